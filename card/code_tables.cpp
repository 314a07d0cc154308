// The fixed code tables of the card fields.
#include "card/code_tables.h"

#include <cstddef>
#include <cwchar>

namespace vorn {

namespace {

// One row of a code table.
struct CodeName {
    const wchar_t* code;
    const wchar_t* name;
};

constexpr CodeName kSexNamesCn[] = {{L"1", L"男"}, {L"2", L"女"}, {L"9", L"其他"}};
constexpr CodeName kSexNamesEn[] = {{L"1", L"M"}, {L"2", L"F"}, {L"9", L"Other"}};
constexpr const wchar_t* kUnknownSexCn = L"未知";
constexpr const wchar_t* kUnknownSexEn = L"Unknown";
constexpr const wchar_t* kUnknownEthnicityFormat = L"未知(%ls)";

constexpr CodeName kEthnicityNames[] = {
    {L"01", L"汉"},       {L"02", L"蒙古"},   {L"03", L"回"},       {L"04", L"藏"},
    {L"05", L"维吾尔"},   {L"06", L"苗"},     {L"07", L"彝"},       {L"08", L"壮"},
    {L"09", L"布依"},     {L"10", L"朝鲜"},   {L"11", L"满"},       {L"12", L"侗"},
    {L"13", L"瑶"},       {L"14", L"白"},     {L"15", L"土家"},     {L"16", L"哈尼"},
    {L"17", L"哈萨克"},   {L"18", L"傣"},     {L"19", L"黎"},       {L"20", L"傈僳"},
    {L"21", L"佤"},       {L"22", L"畲"},     {L"23", L"高山"},     {L"24", L"拉祜"},
    {L"25", L"水"},       {L"26", L"东乡"},   {L"27", L"纳西"},     {L"28", L"景颇"},
    {L"29", L"柯尔克孜"}, {L"30", L"土"},     {L"31", L"达斡尔"},   {L"32", L"仫佬"},
    {L"33", L"羌"},       {L"34", L"布朗"},   {L"35", L"撒拉"},     {L"36", L"毛南"},
    {L"37", L"仡佬"},     {L"38", L"锡伯"},   {L"39", L"阿昌"},     {L"40", L"普米"},
    {L"41", L"塔吉克"},   {L"42", L"怒"},     {L"43", L"乌孜别克"}, {L"44", L"俄罗斯"},
    {L"45", L"鄂温克"},   {L"46", L"德昂"},   {L"47", L"保安"},     {L"48", L"裕固"},
    {L"49", L"京"},       {L"50", L"塔塔尔"}, {L"51", L"独龙"},     {L"52", L"鄂伦春"},
    {L"53", L"赫哲"},     {L"54", L"门巴"},   {L"55", L"珞巴"},     {L"56", L"基诺"},
};

// The rows up to Libya are kept by hand, as the first faces printed them; the rest of
// ISO 3166-1 follows, generated from Debian's iso-codes translations.
constexpr CodeName kCountryNames[] = {
    {L"AFG", L"阿富汗"},
    {L"ALB", L"阿尔巴利亚"},
    {L"ASM", L"美属萨摩亚"},
    {L"AND", L"安道尔"},
    {L"AGO", L"安哥拉"},
    {L"AIA", L"安圭拉"},
    {L"ATA", L"南极洲"},
    {L"ATG", L"安提瓜和巴布达"},
    {L"ARG", L"阿根廷"},
    {L"ARM", L"亚美尼亚"},
    {L"ABW", L"阿鲁巴"},
    {L"AUS", L"澳大利亚"},
    {L"AUT", L"奥地利"},
    {L"AZE", L"阿塞拜疆"},
    {L"BHS", L"巴哈马"},
    {L"BHR", L"巴林"},
    {L"BGD", L"孟加拉国"},
    {L"BRB", L"巴巴多斯"},
    {L"BLR", L"白俄罗斯"},
    {L"BEL", L"比利时"},
    {L"BLZ", L"伯利兹"},
    {L"BEN", L"贝宁"},
    {L"BMU", L"百慕大"},
    {L"BTN", L"不丹"},
    {L"BOL", L"玻利维亚"},
    {L"BIH", L"波黑"},
    {L"BWA", L"博茨瓦纳"},
    {L"BVT", L"布维岛"},
    {L"BRA", L"巴西"},
    {L"IOT", L"英属印度洋领地"},
    {L"BRN", L"文莱"},
    {L"BGR", L"保加利亚"},
    {L"BFA", L"布基纳法索"},
    {L"BDI", L"布隆迪"},
    {L"KHM", L"柬埔寨"},
    {L"CMR", L"喀麦隆"},
    {L"CAN", L"加拿大"},
    {L"CPV", L"佛得角"},
    {L"CYM", L"开曼群岛"},
    {L"CAF", L"中非"},
    {L"TCD", L"乍得"},
    {L"CHL", L"智利"},
    {L"CHN", L"中国"},
    {L"HKG", L"香港"},
    {L"TWN", L"中国台湾"},
    {L"CXR", L"圣诞岛"},
    // The mixed full-width and ASCII brackets of this name are stored as found.
    {L"CCK", L"科科斯\uFF08基林)群岛"},
    {L"COL", L"哥伦比亚"},
    {L"COM", L"科摩罗"},
    {L"COG", L"刚果\uFF08布\uFF09"},
    {L"COD", L"刚果\uFF08金\uFF09"},
    {L"COK", L"库克群岛"},
    {L"CRI", L"哥斯达黎加"},
    {L"CIV", L"科特迪瓦"},
    {L"HRV", L"克罗地亚"},
    {L"CUB", L"古巴"},
    {L"CYP", L"塞浦路斯"},
    {L"CZE", L"捷克"},
    {L"DNK", L"丹麦"},
    {L"DJI", L"吉布提"},
    {L"DMA", L"多米尼克"},
    {L"DOM", L"多米尼加"},
    {L"TMP", L"东帝汶"},
    {L"ECU", L"厄瓜多尔"},
    {L"EGY", L"埃及"},
    {L"SLV", L"萨尔瓦多"},
    {L"GNQ", L"赤道几内亚"},
    {L"ERI", L"厄立特里亚"},
    {L"EST", L"爱沙尼亚"},
    {L"ETH", L"埃塞俄比亚"},
    {L"FLK", L"福克兰群岛\uFF08马尔维纳斯\uFF09"},
    {L"FRO", L"法罗群岛"},
    {L"FJI", L"斐济"},
    {L"FIN", L"芬兰"},
    {L"FRA", L"法国"},
    {L"GUF", L"法属圭亚那"},
    {L"PYF", L"法属波利尼西亚"},
    {L"ATF", L"法属南部领地"},
    {L"GAB", L"加蓬"},
    {L"GMB", L"冈比亚"},
    {L"GEO", L"格鲁吉亚"},
    {L"DEU", L"德国"},
    {L"GHA", L"加纳"},
    {L"GIB", L"直布罗陀"},
    {L"GRC", L"希腊"},
    {L"GRL", L"格陵兰"},
    {L"GRD", L"格林纳达"},
    {L"GLP", L"瓜德罗普"},
    {L"GUM", L"关岛"},
    {L"GTM", L"危地马拉"},
    {L"GIN", L"几内亚"},
    {L"GNB", L"几内亚比绍"},
    {L"GUY", L"圭亚那"},
    {L"HTI", L"海地"},
    {L"HMD", L"赫德岛和麦克唐纳岛"},
    {L"HND", L"洪都拉斯"},
    {L"HUN", L"匈牙利"},
    {L"ISL", L"冰岛"},
    {L"IND", L"印度"},
    {L"IDN", L"印度尼西亚"},
    {L"IRN", L"伊朗"},
    {L"IRQ", L"伊拉克"},
    {L"IRL", L"爱尔兰"},
    {L"ISR", L"以色列"},
    {L"ITA", L"意大利"},
    {L"JAM", L"牙买加"},
    {L"JPN", L"日本"},
    {L"JOR", L"约旦"},
    {L"KAZ", L"哈萨克斯坦"},
    {L"KEN", L"肯尼亚"},
    {L"KIR", L"基里巴斯"},
    {L"PRK", L"朝鲜"},
    {L"KOR", L"韩国"},
    {L"KWT", L"科威特"},
    {L"KGZ", L"吉尔吉斯斯坦"},
    {L"LAO", L"老挝"},
    {L"LVA", L"拉脱维亚"},
    {L"LBN", L"黎巴嫩"},
    {L"LSO", L"莱索托"},
    {L"LBR", L"利比里亚"},
    {L"LBY", L"利比亚"},
#include "card/country_names_iso.inc"
};

constexpr int kDotDateDigits = 8;
constexpr std::size_t kDotDateCapacity = 16;

template <std::size_t N>
const wchar_t* FindName(const CodeName (&table)[N], const wchar_t* code) {
    for (const CodeName& row : table) {
        if (std::wcscmp(row.code, code) == 0) {
            return row.name;
        }
    }
    return nullptr;
}

template <std::size_t N>
bool LookUp(const CodeName (&table)[N], const wchar_t* code, wchar_t* out,
            const wchar_t* fallback) {
    if (code == nullptr || out == nullptr) {
        return false;
    }
    const wchar_t* name = FindName(table, code);
    if (name == nullptr) {
        name = fallback;
    }
    if (name != nullptr) {
        std::wcscpy(out, name);
    }
    return true;
}

}  // namespace

bool SexNameCn(const wchar_t* code, wchar_t* out) {
    return LookUp(kSexNamesCn, code, out, kUnknownSexCn);
}

bool SexNameEn(const wchar_t* code, wchar_t* out) {
    return LookUp(kSexNamesEn, code, out, kUnknownSexEn);
}

bool EthnicityName(const wchar_t* code, wchar_t* out) {
    if (code == nullptr || out == nullptr) {
        return false;
    }
    const wchar_t* name = FindName(kEthnicityNames, code);
    if (name != nullptr) {
        std::wcscpy(out, name);
        return true;
    }
    // The staging field holds nine characters: the code is one of the card's two-character
    // codes, so the formatted default always fits. Longer codes are cut rather than overflow.
    constexpr std::size_t kEthnicityNameCapacity = 9;
    if (std::swprintf(out, kEthnicityNameCapacity, kUnknownEthnicityFormat, code) < 0) {
        out[kEthnicityNameCapacity - 1] = L'\0';
    }
    return true;
}

bool CountryNameCn(const wchar_t* code, wchar_t* out) {
    return LookUp(kCountryNames, code, out, nullptr);
}

void FormatDotDate(const wchar_t* date, wchar_t* out) {
    if (date == nullptr || out == nullptr) {
        return;
    }
    if (std::wcslen(date) < static_cast<std::size_t>(kDotDateDigits)) {
        return;
    }
    wchar_t dotted[kDotDateCapacity + 1] = {};
    std::swprintf(dotted, kDotDateCapacity + 1, L"%.4ls.%.2ls.%.2ls", date, date + 4, date + 6);
    if (std::wcslen(dotted) <= kDotDateCapacity) {
        std::wcscpy(out, dotted);
    }
}

}  // namespace vorn

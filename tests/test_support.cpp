// Helpers shared by the unit tests.
#include "tests/test_support.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/module_path.h"
#include "platform/text_conversion.h"

namespace vorn {

RecordBuilder::RecordBuilder() {
    std::memset(bytes_, 0, sizeof(bytes_));
}

RecordBuilder& RecordBuilder::Put(int offset, int width, const std::u16string& text) {
    for (int i = 0; i < width / 2; ++i) {
        char16_t c = i < static_cast<int>(text.size()) ? text[i] : u' ';
        bytes_[offset + 2 * i] = static_cast<unsigned char>(c & 0xFF);
        bytes_[offset + 2 * i + 1] = static_cast<unsigned char>(c >> 8);
    }
    return *this;
}

void RecordBuilder::FillInto(CSdtBuffer& record, std::uint32_t text_length) const {
    std::memcpy(record.text_record, bytes_, sizeof(bytes_));
    record.text_length = text_length;
}

RecordBuilder ResidentRecord() {
    RecordBuilder record;
    record.Put(0, 30, u"林 小雨")
        .Put(30, 2, u"2")
        .Put(32, 4, u"01")
        .Put(36, 16, u"19900307")
        .Put(52, 70, u"浙江省杭州市西湖区文三路一百二十八号")
        .Put(122, 36, u"330106199003070021")
        .Put(158, 30, u"杭州市公安局西湖分局")
        .Put(188, 16, u"20200101")
        .Put(204, 16, u"长期")
        .Put(248, 2, u" ");
    return record;
}

RecordBuilder ForeignerRecord() {
    RecordBuilder record;
    record.Put(0, 120, u"MORGAN, ALEX JAMES")
        .Put(120, 2, u"1")
        .Put(122, 30, u"CAN310085061512")
        .Put(152, 6, u"CAN")
        .Put(158, 30, u"摩根")
        .Put(188, 16, u"20210315")
        .Put(204, 16, u"20310314")
        .Put(220, 16, u"19850615")
        .Put(236, 4, u"02")
        .Put(240, 8, u"1100")
        .Put(248, 2, u"I")
        .Put(250, 6, u"   ");
    return record;
}

RecordBuilder PermitRecord(const std::u16string& number) {
    RecordBuilder record;
    record.Put(0, 30, u"陈家明")
        .Put(30, 2, u"1")
        .Put(36, 16, u"19920511")
        .Put(52, 70, u"广东省深圳市福田区")
        .Put(122, 36, number)
        .Put(158, 30, u"深圳市公安局")
        .Put(188, 16, u"20220101")
        .Put(204, 16, u"20270101")
        .Put(220, 18, u"H60123456")
        .Put(238, 4, u"01")
        .Put(248, 2, u"J");
    return record;
}

std::filesystem::path TestProgramDirectory() {
    char path[4096] = {};
    ModuleFileNameA(path, sizeof(path) - 1);
    return std::filesystem::path(path).parent_path();
}

void WriteTextFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
}

std::string ReadBinaryFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string Utf16LeToUtf8(const std::string& bytes) {
    std::wstring wide;
    std::size_t start = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE' ? 2 : 0;
    for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
        auto unit = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (unit == L'\r') {
            continue;
        }
        wide += unit;
    }
    return WideToUtf8(wide.c_str());
}

std::string Narrow(const wchar_t* text) {
    return WideToUtf8(text);
}

bool SameFolder(const std::filesystem::path& a, const std::filesystem::path& b) {
    return (a / "").lexically_normal() == (b / "").lexically_normal();
}

}  // namespace vorn

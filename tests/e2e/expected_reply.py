"""The reply the program must give, worked out from a sample card file alone.

Nothing here looks at the driver library or the program: the card file says what is on the
card, the card layout says which bytes a field occupies (a field is decoded only when the
reported text length reaches its end), and the reply is written in the exact text form of
the program's JSON writer.
"""

SEX_NAMES = {"1": "男", "2": "女", "9": "其他"}

ETHNICITY_NAMES = [
    "汉", "蒙古", "回", "藏", "维吾尔", "苗", "彝", "壮", "布依", "朝鲜", "满", "侗", "瑶", "白",
    "土家", "哈尼", "哈萨克", "傣", "黎", "傈僳", "佤", "畲", "高山", "拉祜", "水", "东乡", "纳西",
    "景颇", "柯尔克孜", "土", "达斡尔", "仫佬", "羌", "布朗", "撒拉", "毛南", "仡佬", "锡伯", "阿昌",
    "普米", "塔吉克", "怒", "乌孜别克", "俄罗斯", "鄂温克", "德昂", "保安", "裕固", "京", "塔塔尔",
    "独龙", "鄂伦春", "赫哲", "门巴", "珞巴", "基诺",
]

# Reply member -> (card file key, end offset in the text record, width in bytes, trimmed).
# The end offset is the text length needed before the field is decoded at all.
COMMON_FIELDS = {
    "Name": ("name", 30, 30, True),
    "Birth": ("birth", 52, 16, False),
    "ID": ("id", 158, 36, False),
    "ValidBeg": ("valid_begin", 204, 16, False),
    "ValidEnd": ("valid_end", 220, 16, True),
    "CardSign": ("sign", 250, 2, False),
}
SEX_FIELD = {"resident": 32, "permit": 32, "foreigner": 122}
ETHNICITY_END = 36
RESIDENT_FIELDS = {
    "Address": ("address", 122, 70, True),
    "Dept": ("dept", 188, 30, True),
}
PERMIT_FIELDS = dict(
    RESIDENT_FIELDS,
    PassId=("pass_id", 238, 18, False),
    IssNum=("issue_count", 242, 4, False),
)
FOREIGNER_FIELDS = {
    "Name": ("name", 188, 30, True),
    "Birth": ("birth", 236, 16, False),
    "ID": ("id", 152, 30, False),
    "NationCode": ("nationality", 158, 6, False),
    "NameEN": ("name_en", 120, 120, True),
    "CardVer": ("card_version", 240, 4, False),
    "IssAuthCode": ("authority", 248, 8, False),
    "Reserved": ("reserved", 256, 6, False),
}
DEFAULT_SIGNS = {"resident": " ", "permit": "J", "foreigner": "I"}

MEMBERS = [
    "Address", "Birth", "CardSign", "CardVer", "Dept", "Ethnicity", "ID", "IssAuthCode",
    "IssNum", "Name", "NameEN", "NationCode", "NewAddress", "PassId", "Reserved", "Sex",
    "ValidBeg", "ValidEnd", "backImg", "errmsg", "frontImg", "photo", "result",
]


def read_card_file(path):
    """Section [Card] of a card file as a dict (keys lower case, first one wins)."""
    fields = {}
    section = ""
    with open(path, encoding="utf-8-sig") as handle:
        for raw in handle:
            line = raw.strip(" \t\r\n")
            if not line or line[0] in ";#":
                continue
            if line.startswith("[") and line.endswith("]"):
                section = line[1:-1].strip().lower()
                continue
            key, _, value = line.partition("=")
            value = value.strip(" \t")
            if len(value) >= 2 and value[0] == value[-1] == '"':
                value = value[1:-1]
            if section == "card":
                fields.setdefault(key.strip().lower(), value)
    return fields


def stored(value, width, trimmed):
    """The field as the card stores it (blank padded), then as the program hands it out."""
    # The field counts UTF-16 units: a character beyond U+FFFF takes two of them.
    units = len(value.encode("utf-16-le")) // 2
    text = value + " " * max(0, width // 2 - units)
    return text.rstrip(" ") if trimmed else text


def ethnicity_name(code):
    if len(code) == 2 and code.isdigit() and 1 <= int(code) <= len(ETHNICITY_NAMES):
        return ETHNICITY_NAMES[int(code) - 1]
    return "未知(%s)" % code


def card_members(card, text_length):
    """The card members of a successful read, for a record reported `text_length` long."""
    kind = card["kind"]
    values = dict(card)
    values.setdefault("sign", DEFAULT_SIGNS[kind])
    values.setdefault("reserved", "")
    layout = dict(COMMON_FIELDS)
    layout.update({"resident": RESIDENT_FIELDS, "permit": PERMIT_FIELDS,
                   "foreigner": FOREIGNER_FIELDS}[kind])
    members = {}
    for member, (key, end, width, trimmed) in layout.items():
        members[member] = stored(values[key], width, trimmed) if text_length >= end else ""
    sex_code = values["sex"] if text_length >= SEX_FIELD[kind] else ""
    members["Sex"] = SEX_NAMES.get(sex_code, "未知")
    if kind == "resident":
        ethnicity = values["ethnicity"] if text_length >= ETHNICITY_END else ""
        members["Ethnicity"] = ethnicity_name(ethnicity)
    return members


def json_string(text):
    escapes = {'"': '\\"', "\\": "\\\\", "\b": "\\b", "\f": "\\f", "\n": "\\n", "\r": "\\r",
               "\t": "\\t"}
    out = []
    for ch in text:
        if ch in escapes:
            out.append(escapes[ch])
        elif ord(ch) < 0x20:
            out.append("\\u%04X" % ord(ch))
        else:
            out.append(ch)
    return '"' + "".join(out) + '"'


def reply_text(result, errmsg="", members=None):
    """The reply document, byte for byte, as UTF-8."""
    values = {name: "" for name in MEMBERS}
    values.update(members or {})
    values["errmsg"] = errmsg
    lines = []
    for name in sorted(MEMBERS, key=lambda n: n.encode()):
        value = str(result) if name == "result" else json_string(values[name])
        lines.append("   %s : %s" % (json_string(name), value))
    return ("{\n" + ",\n".join(lines) + "\n}\n").encode("utf-8")


def card_reply(card_path, text_length=256, errmsg=""):
    return reply_text(0, errmsg, card_members(read_card_file(card_path), text_length))

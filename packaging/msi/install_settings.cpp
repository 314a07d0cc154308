// Checking the package's properties and writing the host manifests from them.
#include "packaging/msi/install_settings.h"

#include <cwctype>

namespace {

constexpr wchar_t kFieldSeparator = L'|';
constexpr std::size_t kChromeIdLength = 32;
constexpr std::size_t kAddonIdLimit = 255;
constexpr unsigned long kHighestPort = 65535;
constexpr const wchar_t* kHostDescription = L"VornIdReader";
constexpr const wchar_t* kChromeOriginPrefix = L"chrome-extension://";

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

std::wstring JsonString(const std::wstring& text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += L'\\';
            out += c;
        } else if (c < 0x20) {
            static const wchar_t kHex[] = L"0123456789abcdef";
            out += L"\\u00";
            out += kHex[(c >> 4) & 0xF];
            out += kHex[c & 0xF];
        } else {
            out += c;
        }
    }
    return out + L"\"";
}

std::wstring JsonList(const std::vector<std::wstring>& items) {
    std::wstring out = L"[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += (i == 0 ? L"" : L", ") + JsonString(items[i]);
    }
    return out + L"]";
}

std::wstring Manifest(const std::wstring& program_path, const wchar_t* allowed_member,
                      const std::vector<std::wstring>& allowed) {
    return L"{\n  \"name\": " + JsonString(kHostName) + L",\n  \"description\": " +
           JsonString(kHostDescription) + L",\n  \"path\": " + JsonString(program_path) +
           L",\n  \"type\": \"stdio\",\n  " + JsonString(allowed_member) + L": " +
           JsonList(allowed) + L"\n}\n";
}

}  // namespace

std::optional<std::vector<std::wstring>> SplitActionData(const std::wstring& data,
                                                         std::size_t count) {
    std::vector<std::wstring> fields(1);
    for (wchar_t c : data) {
        if (c == kFieldSeparator) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    if (fields.size() != count) {
        return std::nullopt;
    }
    return fields;
}

std::vector<std::wstring> SplitList(const std::wstring& list) {
    std::vector<std::wstring> entries;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(L',', start);
        if (end == std::wstring::npos) {
            end = list.size();
        }
        std::size_t first = start;
        std::size_t last = end;
        while (first < last && IsBlank(list[first])) {
            ++first;
        }
        while (last > first && IsBlank(list[last - 1])) {
            --last;
        }
        if (last > first) {
            entries.push_back(list.substr(first, last - first));
        }
        start = end + 1;
    }
    return entries;
}

bool IsSafeSettingValue(const std::wstring& value) {
    return value.find_first_of(std::wstring(L"\r\n\0", 3)) == std::wstring::npos;
}

bool IsValidPort(const std::wstring& value) {
    if (value.empty() || value.size() > 5) {
        return false;
    }
    unsigned long port = 0;
    for (wchar_t c : value) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        port = port * 10 + static_cast<unsigned long>(c - L'0');
    }
    return port >= 1 && port <= kHighestPort;
}

bool IsValidLogSwitch(const std::wstring& value) {
    return value == L"0" || value == L"1";
}

bool IsValidChromeExtensionId(const std::wstring& id) {
    if (id.size() != kChromeIdLength) {
        return false;
    }
    for (wchar_t c : id) {
        if (c < L'a' || c > L'p') {
            return false;
        }
    }
    return true;
}

bool IsValidFirefoxAddonId(const std::wstring& id) {
    if (id.empty() || id.size() > kAddonIdLimit) {
        return false;
    }
    bool braced = id.front() == L'{' && id.back() == L'}';
    std::size_t at_signs = 0;
    for (std::size_t i = 0; i < id.size(); ++i) {
        wchar_t c = id[i];
        if (braced && (i == 0 || i + 1 == id.size())) {
            continue;
        }
        if (c == L'@') {
            ++at_signs;
        } else if (!(c < 0x80 && (std::iswalnum(c) || c == L'.' || c == L'-' || c == L'_'))) {
            return false;
        }
    }
    return braced ? at_signs == 0 && id.size() > 2 : at_signs == 1;
}

std::wstring ChromeManifest(const std::wstring& program_path,
                            const std::vector<std::wstring>& extension_ids) {
    std::vector<std::wstring> origins;
    for (const auto& id : extension_ids) {
        origins.push_back(kChromeOriginPrefix + id + L"/");
    }
    return Manifest(program_path, L"allowed_origins", origins);
}

std::wstring FirefoxManifest(const std::wstring& program_path,
                             const std::vector<std::wstring>& addon_ids) {
    return Manifest(program_path, L"allowed_extensions", addon_ids);
}

// The policy keys of Chrome and Edge in the registry, for the computer and for the user.
#include <windows.h>

#include "host/selftest/browser_policy.h"
#include "platform/text_conversion.h"

namespace vorn {

namespace {

struct PolicyKey {
    const wchar_t* browser;
    const wchar_t* path;
};

constexpr PolicyKey kPolicyKeys[] = {
    {L"Chrome", L"SOFTWARE\\Policies\\Google\\Chrome\\"},
    {L"Edge", L"SOFTWARE\\Policies\\Microsoft\\Edge\\"},
};

// A list entry is one URL pattern; a longer value is not one.
constexpr DWORD kLongestValue = 2048;

void AddValues(HKEY root, const std::wstring& path, std::vector<std::string>* patterns) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD name_size = 256;
        wchar_t value[kLongestValue + 1];
        DWORD value_size = kLongestValue * sizeof(wchar_t);
        DWORD type = 0;
        LONG status = RegEnumValueW(key, index, name, &name_size, nullptr, &type,
                                    reinterpret_cast<BYTE*>(value), &value_size);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS || type != REG_SZ) {
            continue;
        }
        value[value_size / sizeof(wchar_t)] = L'\0';
        patterns->push_back(WideToUtf8(value));
    }
    RegCloseKey(key);
}

}  // namespace

std::vector<LoopbackGrants> ReadLoopbackGrants() {
    std::vector<LoopbackGrants> grants;
    for (const PolicyKey& policy : kPolicyKeys) {
        LoopbackGrants browser{policy.browser, {}};
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            for (const char* name : {kLoopbackPolicy, kLocalNetworkPolicy}) {
                AddValues(root, policy.path + AnsiToWide(name), &browser.patterns);
            }
        }
        if (!browser.patterns.empty()) {
            grants.push_back(std::move(browser));
        }
    }
    return grants;
}

}  // namespace vorn

// The managed policy folders of the Chromium-based browsers on Linux: every JSON file in them.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/selftest/browser_policy.h"

namespace vorn {

namespace {

struct PolicyFolder {
    const wchar_t* browser;
    const char* path;
};

constexpr PolicyFolder kPolicyFolders[] = {
    {L"Chrome", "/etc/opt/chrome/policies/managed"},
    {L"Chromium", "/etc/chromium/policies/managed"},
    {L"Edge", "/etc/opt/edge/policies/managed"},
};

// A policy file is a few lines; anything larger is not read whole.
constexpr std::streamsize kLargestPolicyFile = 1 << 20;

}  // namespace

std::vector<LoopbackGrants> ReadLoopbackGrants() {
    std::vector<LoopbackGrants> grants;
    for (const PolicyFolder& folder : kPolicyFolders) {
        LoopbackGrants browser{folder.browser, {}};
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path, error)) {
            if (entry.path().extension() != ".json" || !entry.is_regular_file(error)) {
                continue;
            }
            std::ifstream file(entry.path(), std::ios::binary);
            std::string text(static_cast<std::size_t>(kLargestPolicyFile), '\0');
            file.read(text.data(), kLargestPolicyFile);
            text.resize(static_cast<std::size_t>(file.gcount()));
            AddGrantsFromPolicyJson(text, &browser.patterns);
        }
        if (!browser.patterns.empty()) {
            grants.push_back(std::move(browser));
        }
    }
    return grants;
}

}  // namespace vorn

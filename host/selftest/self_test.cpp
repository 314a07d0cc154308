// The self-test: the checklist, one read of the card, and the exit code.
#include "host/selftest/self_test.h"

#include <json/json.h>

#include <chrono>
#include <cwchar>
#include <filesystem>
#include <memory>
#include <random>

#include "diagnostics/trace_log.h"
#include "host/console_output.h"
#include "host/entry_point.h"
#include "host/selftest/browser_policy.h"
#include "host/selftest/self_test_checks.h"
#include "platform/module_path.h"
#include "platform/temp_directory.h"
#include "platform/text_conversion.h"
#include "request/read_card.h"
#include "request/reply_document.h"

namespace vorn {

namespace fs = std::filesystem;

namespace {

constexpr const wchar_t* kTitle = L"VornIdReader self-test\n";
constexpr const wchar_t* kReadySummary = L"Verdict: ready to read cards (exit code 0)\n";
constexpr const wchar_t* kProblemSummary = L"Verdict: not ready, exit code %d\n";

// The base64 text's length as the number of bytes it encodes.
std::size_t DecodedSize(const std::string& text) {
    std::size_t padding = 0;
    for (std::size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) {
        ++padding;
    }
    return text.size() / 4 * 3 - padding;
}

void Print(const CheckLine& line) {
    ConsolePrint(L"%ls\n", FormatCheckLine(line).c_str());
}

// A folder of the read's own under the temporary folder: whatever the read leaves in its
// current directory goes with it.
fs::path MakeWorkFolder() {
    const fs::path parent = TemporaryDirectory::SystemFolder();
    std::error_code error;
    if (parent.empty()) {
        return {};
    }
    std::random_device random;
    for (int attempt = 0; !error && attempt < 8; ++attempt) {
        fs::path folder = parent / (L"vorn-selftest-" + std::to_wstring(random()));
        if (fs::create_directory(folder, error)) {
            return folder;
        }
    }
    return {};
}

// Runs one read through the pipeline the service and the extension use, in the work folder
// and without tracing, so that nothing stays behind.
std::string ReadOnce(double* seconds) {
    std::unique_ptr<char[]> reply(new char[kReplyBufferSize]());
    fs::path folder = MakeWorkFolder();
    std::error_code error;
    fs::path previous = fs::current_path(error);
    bool moved = !folder.empty() && !error;
    if (moved) {
        fs::current_path(folder, error);
    }
    HoldTraceLogOff(true);
    auto started = std::chrono::steady_clock::now();
    ExecuteCommand(kReadCardCommand, reply.get(), kReplyBufferSize);
    *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    HoldTraceLogOff(false);
    if (moved) {
        fs::current_path(previous, error);
    }
    if (!folder.empty()) {
        fs::remove_all(folder, error);
    }
    return reply.get();
}

CheckLine ReadCard(bool show_fields, std::vector<std::wstring>* fields) {
    const wchar_t* subject = L"card read";
    double seconds = 0;
    std::string text = ReadOnce(&seconds);
    Json::Value document;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (!reader->parse(text.data(), text.data() + text.size(), &document, &errors) ||
        !document.isObject() || !document[reply::kResult].isInt()) {
        return {Verdict::kFail, subject, L"no reply document", kSelfTestReadFailed};
    }
    wchar_t took[32] = {};
    std::swprintf(took, 32, L"%.2f s", seconds);
    int result = document[reply::kResult].asInt();
    std::wstring detail = L"result " + std::to_wstring(result) + L", \"" +
                          Utf8ToWide(document[reply::kErrmsg].asString()) + L"\", " + took;
    if (result != 0) {
        return {Verdict::kFail, subject, detail, kSelfTestReadFailed};
    }
    const std::pair<const char*, const wchar_t*> pictures[] = {
        {reply::kPhoto, L"photo"}, {reply::kFrontImg, L"front"}, {reply::kBackImg, L"back"}};
    for (const auto& [member, name] : pictures) {
        detail += L", " + std::wstring(name) + L" " +
                  std::to_wstring(DecodedSize(document[member].asString())) + L" bytes";
    }
    if (show_fields) {
        for (const std::string& member : document.getMemberNames()) {
            if (member != reply::kPhoto && member != reply::kFrontImg &&
                member != reply::kBackImg) {
                fields->push_back(Utf8ToWide(member) + L": " +
                                  Utf8ToWide(document[member].asString()));
            }
        }
    }
    return {Verdict::kOk, subject, detail, 0};
}

}  // namespace

int RunSelfTest(const std::vector<std::wstring>& arguments, const wchar_t* switch_leaders) {
    bool show_fields = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        show_fields =
            show_fields || IsSwitch(arguments[i], kShowFieldsSwitch, switch_leaders, true);
    }
    unsigned console = UseUtf8Console();
    ConsolePrint(kTitle);
    std::string directory = ModuleDirectory();
    int exit_code = 0;
    auto report = [&exit_code](const CheckLine& line) {
        Print(line);
        if (line.verdict == Verdict::kFail) {
            exit_code |= line.failure_bit;
        }
    };
    report(CheckDriverLibrary(directory));
    report(CheckPhotoDecoder(directory));
    report(CheckTemporaryFolder());
    // A read needs the two libraries and somewhere to put the decoder's files.
    bool can_read = exit_code == 0;
    SelfTestSettings settings;
    report(CheckConfig(ConfigFilePath(), &settings));
    ServiceReport service = QueryServiceReport();
    report(CheckService(service));
    report(CheckPort(settings, service));
    // A list that could not be read whole admits no page, so no browser grant matters then.
    const AllowedOriginsSetting& origins = settings.allowed_origins;
    if (origins.fault.empty() && !origins.list.empty()) {
        report(CheckBrowserPolicies(origins.list, ReadLoopbackGrants()));
    }
    if (!can_read) {
        report({Verdict::kSkip, L"card read", L"not tried: fix the lines above first", 0});
    } else {
        std::vector<std::wstring> fields;
        report(ReadCard(show_fields, &fields));
        for (const std::wstring& field : fields) {
            ConsolePrint(L"       %ls\n", field.c_str());
        }
    }
    if (exit_code == 0) {
        ConsolePrint(kReadySummary);
    } else {
        ConsolePrint(kProblemSummary, exit_code);
    }
    RestoreConsoleText(console);
    return exit_code;
}

}  // namespace vorn

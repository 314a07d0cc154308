// The single checks of the self-test: libraries, temporary folder, settings, service, port.
#include "host/selftest/self_test_checks.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <utility>

#include "card/sdt_func.h"
#include "diagnostics/trace_log.h"
#include "host/selftest/self_test.h"
#include "imaging/imaging_context.h"
#include "platform/ascii_text.h"
#include "platform/module_path.h"
#include "platform/shared_library.h"
#include "platform/temp_directory.h"
#include "platform/text_conversion.h"
#include "websocket/handshake.h"
#include "websocket/origin_policy.h"

namespace vorn {

namespace fs = std::filesystem;

namespace {

// The probe's opening handshake: a fixed key is enough to recognise the accept value.
constexpr const char* kProbeKey = "dGhlIHNhbXBsZSBub25jZQ==";
constexpr const char* kSwitchingStatus = "HTTP/1.1 101 ";
constexpr const char* kForbiddenStatus = "HTTP/1.1 403 ";
constexpr const char* kAcceptHeader = "Sec-WebSocket-Accept: ";
constexpr const char* kHeadersEnd = "\r\n\r\n";
constexpr int kAnswerWaitMilliseconds = 3000;
constexpr std::size_t kLongestAnswer = 4096;
// An empty close frame from a client: FIN and close, masked with a zero key.
constexpr unsigned char kCloseFrame[] = {0x88, 0x80, 0, 0, 0, 0};
// A listener bound to every address is reached through the loopback one.
constexpr const char* kAnyAddress = "0.0.0.0";
constexpr const char* kLoopbackAddress = "127.0.0.1";

// The directory as wide text, ending in a separator as the loaders expect.
std::wstring LibraryFolder(const std::string& directory) {
    std::wstring folder = AnsiToWide(directory.c_str());
    if (!folder.empty() && folder.back() != kPathSeparatorW) {
        folder += kPathSeparatorW;
    }
    return folder;
}

// The file's name without its folder, in quotes.
std::wstring Quoted(const std::wstring& file) {
    return L"\"" + file.substr(file.find_last_of(L"/\\") + 1) + L"\"";
}

std::wstring Wide(const std::string& utf8) {
    return Utf8ToWide(utf8);
}

CheckLine Line(Verdict verdict, const wchar_t* subject, std::wstring detail, int bit = 0) {
    return {verdict, subject, std::move(detail), bit};
}

std::wstring JoinNames(const std::vector<std::string>& names) {
    std::wstring text;
    for (const std::string& name : names) {
        text += (text.empty() ? L"" : L", ") + Wide(name);
    }
    return text;
}

// The origins the endpoint admits with these settings, as it compares them.
OriginPolicy PolicyInForce(const AllowedOriginsSetting& setting) {
    return setting.fault.empty() ? OriginPolicy::FromSetting(setting.list)
                                 : OriginPolicy::RefusingEveryOrigin();
}

std::wstring Describe(const SelfTestSettings& settings) {
    std::wstring text = L"ip " + Wide(settings.bind.ip) + L", port " +
                        std::to_wstring(settings.bind.port) + L", trace log " +
                        (settings.trace_log ? L"on" : L"off") + L", allowed origins: ";
    OriginPolicy policy = PolicyInForce(settings.allowed_origins);
    if (policy.RefusesEveryOrigin()) {
        return text + L"none (" + settings.allowed_origins.fault + L")";
    }
    return text + (policy.AcceptsEveryOrigin() ? L"any" : JoinNames(policy.Allowed()));
}

std::string FirstOrigin(const AllowedOriginsSetting& setting) {
    OriginPolicy policy = PolicyInForce(setting);
    return policy.Allowed().empty() ? std::string() : policy.Allowed().front();
}

// The program's own file name without a Windows suffix, to tell it among listeners.
std::wstring FileStem(std::wstring name) {
    std::size_t separator = name.find_last_of(L"/\\");
    if (separator != std::wstring::npos) {
        name.erase(0, separator + 1);
    }
    std::size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0) {
        name.erase(dot);
    }
    return FoldAsciiCase(std::move(name));
}

bool ListenerIsThisProgram(const std::wstring& listener) {
    wchar_t own[kLongestPath + 1] = {};
    ModuleFileNameW(own, kLongestPath + 1);
    std::wstring name = listener.substr(0, listener.find(L" (pid "));
    return !name.empty() && FileStem(name) == FileStem(own);
}

// Sends the opening handshake and collects the answer's header, within a bounded time.
PortAnswer Probe(const char* ip, std::uint16_t port, const std::string& origin,
                 std::string* answer) {
    const OwnedSocket connected(ConnectSocket(ip, port));
    if (!connected) {
        return PortAnswer::kNothing;
    }
    const SocketHandle socket = connected.get();
    std::string request = std::string("GET / HTTP/1.1\r\nHost: ") + ip + ":" +
                          std::to_string(port) +
                          "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n" + kKeyHeader + ": " +
                          kProbeKey + "\r\nSec-WebSocket-Version: 13\r\n";
    if (!origin.empty()) {
        request += "Origin: " + origin + "\r\n";
    }
    request += "\r\n";
    PortAnswer result = PortAnswer::kSilent;
    if (SendSocket(socket, request.data(), request.size()) == static_cast<long>(request.size())) {
        // One deadline for the whole answer, however slowly its bytes come.
        auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerWaitMilliseconds);
        char chunk[512];
        while (answer->find(kHeadersEnd) == std::string::npos && answer->size() < kLongestAnswer) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !WaitForSocketData(socket, static_cast<int>(left.count()))) {
                break;
            }
            long got = ReceiveSocket(socket, chunk, sizeof(chunk));
            if (got <= 0) {
                break;
            }
            answer->append(chunk, static_cast<std::size_t>(got));
        }
        std::unique_ptr<char[]> accept = ComputeAcceptKey(kProbeKey);
        if (!answer->empty()) {
            result = ClassifyHandshakeAnswer(*answer, accept ? accept.get() : "");
        }
        if (result == PortAnswer::kWebSocket) {
            SendSocket(socket, kCloseFrame, sizeof(kCloseFrame));
        }
    }
    ShutdownSocket(socket);
    return result;
}

}  // namespace

std::wstring FormatCheckLine(const CheckLine& line) {
    static const wchar_t* const kMarks[] = {L"[ OK ] ", L"[WARN] ", L"[FAIL] ", L"[SKIP] "};
    return kMarks[static_cast<int>(line.verdict)] + line.subject + L": " + line.detail;
}

CheckLine CheckDriverLibrary(const std::string& directory) {
    const wchar_t* subject = L"reader driver";
    const std::wstring folder = LibraryFolder(directory);
    const std::wstring where =
        Quoted(SharedLibraryFile(folder + AnsiToWide(kSdtLibraryName))) + L" in " + folder;
    CSdtFunc driver;
    if (driver.CreateDefault(directory.c_str()) != kSdtResultOk) {
        return Line(Verdict::kFail, subject, driver.LoadFailure(), kSelfTestDriverFailed);
    }
    std::vector<std::string> missing = driver.MissingExports();
    bool can_read = driver.HasReadEntryPoints();
    driver.Destroy();
    if (!can_read) {
        return Line(Verdict::kFail, subject,
                    where + L" lacks exports a read calls (missing: " + JoinNames(missing) + L")",
                    kSelfTestDriverFailed);
    }
    if (!missing.empty()) {
        return Line(Verdict::kOk, subject,
                    where + L" has the exports a read calls (not present, not needed: " +
                        JoinNames(missing) + L")");
    }
    return Line(Verdict::kOk, subject, where + L" has all its exports");
}

CheckLine CheckPhotoDecoder(const std::string& directory) {
    const wchar_t* subject = L"photo decoder";
    const std::wstring folder = LibraryFolder(directory);
    const std::wstring where =
        Quoted(SharedLibraryFile(folder + kPhotoDecoderLibrary)) + L" in " + folder;
    std::wstring cause;
    SharedLibrary library = LoadSharedLibrary(folder + kPhotoDecoderLibrary, nullptr, &cause);
    if (!library) {
        return Line(Verdict::kFail, subject, cause, kSelfTestDecoderFailed);
    }
    const bool has_export = FindLibraryExport(library.get(), kGetBmpExport, nullptr) != nullptr;
    library.reset();
    if (!has_export) {
        return Line(Verdict::kFail, subject, where + L" has no export " + Wide(kGetBmpExport),
                    kSelfTestDecoderFailed);
    }
    return Line(Verdict::kOk, subject, where + L" has " + Wide(kGetBmpExport));
}

CheckLine CheckTemporaryFolder() {
    const wchar_t* subject = L"temporary folder";
    // The folder each request makes its private folder in.
    const fs::path folder = TemporaryDirectory::SystemFolder();
    std::error_code error;
    if (folder.empty() || !fs::is_directory(folder, error)) {
        const std::wstring named = folder.empty() ? L"" : L" (" + folder.wstring() + L")";
        return Line(Verdict::kFail, subject,
                    L"none usable (TMPDIR on Linux, TMP and TEMP on Windows)" + named,
                    kSelfTestTemporaryFolderFailed);
    }
    // A file of a name no one else uses, written and removed at once.
    std::random_device random;
    fs::path probe = folder / (L"vorn-selftest-" + std::to_wstring(random()) + L".tmp");
    bool written = false;
    {
        std::ofstream out(probe, std::ios::binary);
        out << "probe";
        out.close();
        written = static_cast<bool>(out);
    }
    fs::remove(probe, error);
    if (!written) {
        return Line(Verdict::kFail, subject, folder.wstring() + L" is not writable",
                    kSelfTestTemporaryFolderFailed);
    }
    return Line(Verdict::kOk, subject, folder.wstring() + L" is writable");
}

CheckLine CheckConfig(const std::string& path, SelfTestSettings* settings) {
    const wchar_t* subject = L"config.ini";
    settings->bind = ReadBindSettings(path);
    settings->trace_log = IsTraceLogConfigured(path);
    settings->allowed_origins = ReadAllowedOrigins(path);
    fs::path file(AnsiToWide(path.c_str()));
    std::error_code error;
    if (!fs::exists(file, error)) {
        return Line(Verdict::kOk, subject,
                    L"none at " + file.wstring() + L", defaults: " + Describe(*settings));
    }
    if (!std::ifstream(file)) {
        return Line(Verdict::kFail, subject,
                    file.wstring() + L" cannot be read; the program uses the defaults: " +
                        Describe(*settings),
                    kSelfTestConfigFailed);
    }
    std::wstring detail = file.wstring() + L": " + Describe(*settings);
    if (!settings->allowed_origins.fault.empty()) {
        return Line(Verdict::kFail, subject, detail + L"; every web page is refused",
                    kSelfTestConfigFailed);
    }
    if (settings->trace_log && !fs::is_directory(fs::path(TraceDirectory()), error)) {
        return Line(Verdict::kWarn, subject,
                    detail + L"; no folder " + TraceDirectory() + L", so no entry is written");
    }
    return Line(Verdict::kOk, subject, detail);
}

CheckLine CheckService(const ServiceReport& report) {
    const wchar_t* subject = L"service";
    switch (report.presence) {
        case ServicePresence::kNotInstalled:
            return Line(Verdict::kWarn, subject,
                        L"not installed: web pages cannot connect (the extension can still read)");
        case ServicePresence::kUnknown:
            return Line(Verdict::kWarn, subject, L"state unknown: " + report.state);
        case ServicePresence::kInstalled:
            break;
    }
    std::wstring recovery =
        report.recovery.empty() ? std::wstring() : L"; after a failure: " + report.recovery;
    if (!report.running) {
        return Line(Verdict::kWarn, subject,
                    L"installed, not running (" + report.state + L")" + recovery);
    }
    return Line(Verdict::kOk, subject, L"installed, running" + recovery);
}

PortAnswer ClassifyHandshakeAnswer(const std::string& response, const std::string& accept) {
    if (response.rfind(kSwitchingStatus, 0) == 0 && !accept.empty() &&
        response.find(std::string(kAcceptHeader) + accept + "\r\n") != std::string::npos) {
        return PortAnswer::kWebSocket;
    }
    if (response.rfind(kForbiddenStatus, 0) == 0) {
        return PortAnswer::kRefusedOrigin;
    }
    return PortAnswer::kOther;
}

CheckLine CheckPort(const SelfTestSettings& settings, const ServiceReport& report) {
    const wchar_t* subject = L"port";
    const char* ip =
        std::string(settings.bind.ip) == kAnyAddress ? kLoopbackAddress : settings.bind.ip;
    std::wstring where = Wide(ip) + L":" + std::to_wstring(settings.bind.port);
    if (settings.bind.port == 0) {
        // The low 16 bits of the setting are 0: the system picks another free port at each
        // start, which no page can know, and which this check cannot tell either.
        return Line(Verdict::kWarn, subject,
                    L"port 0 (the low 16 bits of the port in config.ini) makes the service listen "
                    L"on a port the system picks at each start, which no page can find: set a "
                    L"port from 1 to 65535");
    }
    if (SocketStartup() != 0) {
        return Line(Verdict::kWarn, subject, L"sockets unavailable, " + where + L" not checked");
    }
    std::string origin = FirstOrigin(settings.allowed_origins);
    std::string answer;
    PortAnswer kind = Probe(ip, settings.bind.port, origin, &answer);
    SocketCleanup();
    std::wstring listener =
        kind == PortAnswer::kNothing ? std::wstring() : ListenerOf(settings.bind.port);
    std::wstring who = listener.empty() ? std::wstring(L"a program") : listener;
    std::wstring first_line = Wide(answer.substr(0, answer.find('\r')));
    std::wstring wait = std::to_wstring(kAnswerWaitMilliseconds / 1000) + L" s";
    bool foreign = !listener.empty() && !ListenerIsThisProgram(listener);
    if (foreign && kind == PortAnswer::kWebSocket) {
        // Under an emulator the socket belongs to the emulator's server, so a WebSocket
        // endpoint under another name may still be this program.
        return Line(Verdict::kWarn, subject,
                    L"a WebSocket endpoint answers on " + where + L", held by " + listener +
                        L": make sure it is VornIdReader");
    }
    if (foreign && kind != PortAnswer::kNothing) {
        std::wstring answered = kind == PortAnswer::kSilent
                                    ? L"no answer to a WebSocket handshake in " + wait
                                    : L"it answered \"" + first_line + L"\"";
        return Line(Verdict::kFail, subject,
                    listener + L" holds " + where + L" (" + answered + L")", kSelfTestPortFailed);
    }
    switch (kind) {
        case PortAnswer::kNothing:
            if (report.running) {
                return Line(Verdict::kFail, subject,
                            L"nothing listens on " + where +
                                L" although the service runs: check ip and port in config.ini",
                            kSelfTestPortFailed);
            }
            return Line(Verdict::kOk, subject,
                        L"nothing listens on " + where + L", free for the service");
        case PortAnswer::kWebSocket:
            return Line(Verdict::kOk, subject,
                        L"the WebSocket endpoint answers on " + where +
                            (listener.empty() ? L"" : L" (" + listener + L")"));
        case PortAnswer::kRefusedOrigin:
            if (!settings.allowed_origins.fault.empty()) {
                return Line(Verdict::kOk, subject,
                            L"the WebSocket endpoint answers on " + where +
                                L" and refuses every origin, as config.ini leaves it to");
            }
            return Line(Verdict::kWarn, subject,
                        who + L" on " + where + L" refuses the origin \"" + Wide(origin) +
                            L"\": it runs with other settings than config.ini's, restart it");
        case PortAnswer::kOther:
            return Line(Verdict::kFail, subject,
                        who + L" holds " + where +
                            L" and is no WebSocket endpoint (it answered \"" + first_line + L"\")",
                        kSelfTestPortFailed);
        case PortAnswer::kSilent:
            break;
    }
    return Line(Verdict::kFail, subject,
                who + L" accepts connections on " + where +
                    L" but did not answer a WebSocket handshake within " + wait +
                    L": another program, or the service busy with another page",
                kSelfTestPortFailed);
}

}  // namespace vorn

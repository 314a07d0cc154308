// Binding the reader driver library and driving a read through it.
#include "card/sdt_func.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "diagnostics/trace_log.h"
#include "platform/load_failure.h"
#include "platform/module_path.h"
#include "platform/text_conversion.h"

namespace vorn {

namespace {

// One export of the driver, its place in the entry-point table, and what the trace says
// when it is missing. Line numbers are fixed parts of the trace format.
struct DriverExport {
    const char* name;
    const wchar_t* missing_message;
    int line;
};

enum EntrySlot {
    kGetComBaud,
    kSetComBaud,
    kOpenPort,
    kClosePort,
    kGetSamStatus,
    kGetSamId,
    kGetSamIdToStr,
    kStartFindIdCard,
    kSelectIdCard,
    kReadBaseMsg,
    kReadBaseFpMsg,
    kReadNewAppMsg,
    kGetId,
};

constexpr DriverExport kDriverExports[] = {
    {"SDT_GetCOMBaud", L"GetProcAddress SDT_GetCOMBaud Error", 178},
    {"SDT_SetCOMBaud", L"GetProcAddress SDT_SetCOMBaud Error", 184},
    {"SDT_OpenPort", L"GetProcAddress SDT_OpenPort Error", 190},
    {"SDT_ClosePort", L"GetProcAddress SDT_ClosePort Error", 196},
    {"SDT_GetSAMStatus", L"GetProcAddress SDT_GetSAMStatus Error", 202},
    {"SDT_GetSAMID", L"GetProcAddress PF_SDT_GetSAMID Error", 208},
    {"SDT_GetSAMIDToStr", L"GetProcAddress SDT_GetSAMIDToStr Error", 214},
    {"SDT_StartFindIDCard", L"GetProcAddress SDT_StartFindIDCard Error", 220},
    {"SDT_SelectIDCard", L"GetProcAddress SDT_SelectIDCard Error", 226},
    {"SDT_ReadBaseMsg", L"GetProcAddress SDT_ReadBaseMsg Error", 232},
    {"SDT_ReadBaseFPMsg", L"GetProcAddress SDT_ReadBaseFPMsg Error", 238},
    {"SDT_ReadNewAppMsg", L"GetProcAddress SDT_ReadNewAppMsg Error", 244},
    // Optional: never logged when missing.
    {"SDT_GetID", nullptr, 0},
};
static_assert(sizeof(kDriverExports) / sizeof(kDriverExports[0]) == kGetId + 1);

constexpr int kFindWaitMilliseconds = 100;

constexpr int kCreateErrorLine = 89;
constexpr int kLoadLibraryErrorLine = 171;
constexpr int kFindErrorLine = 535;
constexpr int kReadErrorLine = 647;

// Converts ANSI text into the conversion buffer, at most kLongestPath characters.
std::wstring ConvertName(wchar_t (&buffer)[kLongestPath + 1], const char* text) {
    std::memset(buffer, 0, sizeof(buffer));
    if (text != nullptr) {
        std::wstring wide = AnsiToWide(text);
        wide.copy(buffer, wide.size() < kLongestPath ? wide.size() : kLongestPath);
    }
    return std::wstring(buffer);
}

}  // namespace

CSdtFunc::CSdtFunc() : loaded_(false), open_port_(kSdtOpenPortFlag) {
    record_.Clear();
    std::memset(conversion_, 0, sizeof(conversion_));
    std::memset(entry_points_, 0, sizeof(entry_points_));
}

CSdtFunc::~CSdtFunc() {
    Destroy();
}

int CSdtFunc::CreateDefault(const char* directory) {
    std::wstring directory_text = ConvertName(conversion_, directory);
    std::wstring name = ConvertName(conversion_, kSdtLibraryName);
    return Create(directory == nullptr ? nullptr : directory_text.c_str(), name.c_str());
}

int CSdtFunc::Create(const wchar_t* directory, const wchar_t* name) {
    TraceScope scope(L"CSdtFunc::Create");
    if (loaded_) {
        Destroy();
    }
    directory_.clear();
    if (directory != nullptr) {
        directory_ = directory;
        if (directory_.empty() || directory_.back() != kPathSeparatorW) {
            directory_ += kPathSeparatorW;
        }
    }
    if (LoadDllModule(name)) {
        loaded_ = true;
        return kSdtResultOk;
    }
    scope.WriteError(L"LoadDllModule Error", kSdtBindFailed, kCreateErrorLine);
    return kSdtBindFailed;
}

bool CSdtFunc::LoadDllModule(const wchar_t* name) {
    TraceScope scope(L"CSdtFunc::LoadDllModule");
    if (name == nullptr) {
        scope.Write(L"DllName is Null");
        FreeDllModule();
        return false;
    }
    std::wstring path = directory_ + name;
    scope.Write(L"Dll Path = %ls", path.c_str());
    std::uint32_t error = 0;
    load_failure_.clear();
    module_ = LoadSharedLibrary(path, &error, &load_failure_);
    if (!module_) {
        scope.WriteError(L"LoadLibrary Error", static_cast<int>(error), kLoadLibraryErrorLine);
        scope.Write(L"%ls", load_failure_.c_str());
        ReportLoadFailure(load_failure_);
        FreeDllModule();
        return false;
    }
    // A missing export does not stop binding: the step that needs it answers -12 later.
    for (int slot = 0; slot < kEntryPointCount; ++slot) {
        const DriverExport& entry = kDriverExports[slot];
        error = 0;
        entry_points_[slot] = FindLibraryExport(module_.get(), entry.name, &error);
        if (entry_points_[slot] == nullptr && entry.missing_message != nullptr) {
            scope.WriteError(entry.missing_message, static_cast<int>(error), entry.line);
        }
    }
    return true;
}

std::vector<std::string> CSdtFunc::MissingExports() const {
    std::vector<std::string> missing;
    for (int slot = 0; slot < kEntryPointCount; ++slot) {
        if (entry_points_[slot] == nullptr) {
            missing.push_back(kDriverExports[slot].name);
        }
    }
    return missing;
}

bool CSdtFunc::HasReadEntryPoints() const {
    return entry_points_[kStartFindIdCard] != nullptr && entry_points_[kSelectIdCard] != nullptr &&
           (entry_points_[kReadBaseMsg] != nullptr || entry_points_[kReadBaseFpMsg] != nullptr);
}

void CSdtFunc::FreeDllModule() {
    if (!module_) {
        return;
    }
    module_.reset();
    std::memset(entry_points_, 0, sizeof(entry_points_));
}

void CSdtFunc::Destroy() {
    if (!loaded_) {
        return;
    }
    TraceScope scope(L"CSdtFunc::Destroy");
    FreeDllModule();
    open_port_ = kSdtOpenPortFlag;
    record_.Clear();
    directory_.clear();
    loaded_ = false;
}

int CSdtFunc::FindAndSelectCard() {
    TraceScope scope(L"CSdtFunc::FindAndSelectCard");
    unsigned char manage[kSdtSerialSize] = {};
    record_.Clear();
    int code = 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(kFindWaitMilliseconds));
    auto find = EntryPoint<SdtStartFindIdCardFn>(kStartFindIdCard);
    if (!loaded_) {
        code = kSdtNotBound;
    } else if (find == nullptr) {
        code = kSdtEntryMissing;
    } else {
        code = find(kSdtPort, manage, open_port_);
    }
    if (code == kSdtCardPresent) {
        auto select = EntryPoint<SdtSelectIdCardFn>(kSelectIdCard);
        if (!loaded_) {
            code = kSdtNotBound;
        } else if (select == nullptr) {
            code = kSdtEntryMissing;
        } else {
            code = select(kSdtPort, record_.serial, open_port_);
        }
        if (code == kSdtSuccess) {
            return kSdtResultOk;
        }
    }
    // The same line serves a refused select: support staff know it as the find error.
    scope.WriteError(L"SDT_StartFindIDCard Error", code, kFindErrorLine);
    return code;
}

int CSdtFunc::FindCard() {
    if (!loaded_) {
        return kSdtNotBound;
    }
    auto find = EntryPoint<SdtStartFindIdCardFn>(kStartFindIdCard);
    if (find == nullptr) {
        return kSdtEntryMissing;
    }
    unsigned char manage[kSdtSerialSize] = {};
    return find(kSdtPort, manage, open_port_);
}

int CSdtFunc::ReadIDCard() {
    TraceScope scope(L"CSdtFunc::ReadIDCard");
    int code = kSdtNotBound;
    if (loaded_) {
        auto read_fp = EntryPoint<SdtReadBaseFpMsgFn>(kReadBaseFpMsg);
        code = read_fp == nullptr
                   ? kSdtEntryMissing
                   : read_fp(kSdtPort, record_.text_record, &record_.text_length,
                             record_.photo_record, &record_.photo_length,
                             record_.fingerprint_record, &record_.fingerprint_length, open_port_);
        // Drivers without the fingerprint read, or readers without its module, fall back to
        // the plain read of text and photo.
        if (code == kSdtEntryMissing || code == kSdtNoFingerprintRead) {
            scope.Write(L"SDT_ReadBaseFPMsg Result %d, Use SDT_ReadBaseMsg Func.", code);
            auto read = EntryPoint<SdtReadBaseMsgFn>(kReadBaseMsg);
            code = read == nullptr ? kSdtEntryMissing
                                   : read(kSdtPort, record_.text_record, &record_.text_length,
                                          record_.photo_record, &record_.photo_length, open_port_);
        }
        if (code == kSdtSuccess) {
            return kSdtResultOk;
        }
    }
    scope.WriteError(L"SDT_ReadBase(FP)Msg Error", code, kReadErrorLine);
    return code;
}

}  // namespace vorn

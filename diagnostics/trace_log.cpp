// The trace log: entries, file names and the process-wide switch.
#include "diagnostics/trace_log.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <memory>
#include <new>
#include <vector>

#include "diagnostics/trace_file.h"
#include "platform/file_bytes.h"
#include "platform/module_path.h"

namespace vorn {

namespace fs = std::filesystem;

namespace {

constexpr const wchar_t* kTraceDirectoryName = L"QD_LOG";
constexpr const wchar_t* kTraceBaseName = L"SDT_LOG";
constexpr const wchar_t* kEntryPrefixFormat = L"\n[%ls %lu] ";
constexpr const wchar_t* kScopeEnterFormat = L"\u250CFunc IN  <%ls>";
constexpr const wchar_t* kScopeLeaveFormat = L"\u2514Func OUT <%ls>";
constexpr const wchar_t* kErrorLineFormat = L"%ls - %ls(%d - 0x%04X), Line = %d.";
constexpr std::size_t kLongestEntry = 65536;

std::unique_ptr<TraceLog> g_trace_log;
bool g_trace_log_held_off = false;

std::wstring Format(const wchar_t* format, std::va_list arguments) {
    // vswprintf does not say how much room it needs: grow until the text fits.
    for (std::size_t capacity = 512; capacity <= kLongestEntry; capacity *= 4) {
        std::vector<wchar_t> buffer(capacity, L'\0');
        std::va_list copy;
        va_copy(copy, arguments);
        int written = std::vswprintf(buffer.data(), capacity, format, copy);
        va_end(copy);
        if (written >= 0) {
            return std::wstring(buffer.data(), static_cast<std::size_t>(written));
        }
    }
    return {};
}

}  // namespace

std::wstring TraceDirectory() {
    wchar_t path[kLongestPath + 1] = {};
    ModuleFileNameW(path, kLongestPath);
    std::wstring directory(path);
    std::size_t separator = directory.rfind(kPathSeparatorW);
    directory.erase(separator == std::wstring::npos ? 0 : separator + 1);
    directory += kTraceDirectoryName;
    directory += kPathSeparatorW;
    return directory;
}

TraceLog::TraceLog()
    : base_name(kTraceBaseName),
      size_limit(kTraceFileSizeLimit),
      day_limit(kTraceDayLimit),
      clock(CurrentLocalTime) {}

std::wstring TraceLog::LogFileName() const {
    LocalTime today = clock();
    wchar_t date[32] = {};
    std::swprintf(date, 32, L"[%04d-%02d-%02d]", today.year, today.month, today.day);
    auto name_of = [this, &date](int sequence) {
        return directory + date + base_name + L"_" + std::to_wstring(sequence) + L".log";
    };
    const long long most_files = std::max(1LL, day_limit / std::max(1LL, size_limit));
    bool all_files = true;
    for (int sequence = 1;; ++sequence) {
        std::wstring name = name_of(sequence);
        long long size = TraceFileSize(name);
        if (size >= 0 && size < size_limit) {
            return name;
        }
        if (size == kUnusableTraceFileSize) {
            // A name taken by something else is passed over, and nothing around it is moved.
            all_files = false;
            continue;
        }
        if (size >= 0) {
            continue;
        }
        // A new file would begin. The full files before it that exceed the day's share are
        // removed, oldest first, and the rest take their numbers.
        const int full = sequence - 1;
        const int dropped = full - static_cast<int>(most_files - 1);
        if (!all_files || dropped <= 0) {
            return name;
        }
        for (int old = 1; old <= full; ++old) {
            std::error_code error;
            if (old <= dropped) {
                fs::remove(PathFromWide(name_of(old).c_str()), error);
            } else {
                fs::rename(PathFromWide(name_of(old).c_str()),
                           PathFromWide(name_of(old - dropped).c_str()), error);
            }
            if (error) {
                // Another writer is moving them too, or a file is held open: the entry goes
                // to a new file rather than over one that may still be there.
                return name;
            }
        }
        return name_of(full - dropped + 1);
    }
}

void TraceLog::WriteEntry(const wchar_t* format, std::va_list arguments) {
    std::lock_guard<std::mutex> hold(lock_);
    LocalTime now = clock();
    wchar_t time_text[16] = {};
    std::swprintf(time_text, 16, L"%02d:%02d:%02d", now.hour, now.minute, now.second);
    wchar_t prefix[64] = {};
    std::swprintf(prefix, 64, kEntryPrefixFormat, time_text, CurrentThreadId());
    AppendTraceText(LogFileName(), prefix + Format(format, arguments));
}

void EnableTraceLog() {
    ReleaseTraceLog();
    if (g_trace_log_held_off) {
        return;
    }
    std::unique_ptr<TraceLog> log(new (std::nothrow) TraceLog());
    if (log == nullptr) {
        return;
    }
    log->directory = TraceDirectory();
    g_trace_log = std::move(log);
}

void HoldTraceLogOff(bool held_off) {
    g_trace_log_held_off = held_off;
}

void ReleaseTraceLog() {
    g_trace_log.reset();
}

TraceLog* ActiveTraceLog() {
    return g_trace_log.get();
}

namespace {

void WriteTo(TraceLog* log, const wchar_t* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    log->WriteEntry(format, arguments);
    va_end(arguments);
}

}  // namespace

void TraceWrite(const wchar_t* format, ...) {
    if (g_trace_log == nullptr) {
        return;
    }
    std::va_list arguments;
    va_start(arguments, format);
    g_trace_log->WriteEntry(format, arguments);
    va_end(arguments);
}

void WriteTraceLine(const wchar_t* format, ...) {
    TraceLog log;
    log.directory = TraceDirectory();
    std::va_list arguments;
    va_start(arguments, format);
    log.WriteEntry(format, arguments);
    va_end(arguments);
}

TraceScope::TraceScope(const wchar_t* name) : log_(g_trace_log.get()), name_(name ? name : L"") {
    if (log_ != nullptr && name != nullptr) {
        WriteTo(log_, kScopeEnterFormat, name_.c_str());
    }
}

TraceScope::~TraceScope() {
    if (log_ != nullptr) {
        WriteTo(log_, kScopeLeaveFormat, name_.c_str());
    }
}

void TraceScope::Write(const wchar_t* format, ...) {
    if (log_ == nullptr) {
        return;
    }
    std::va_list arguments;
    va_start(arguments, format);
    log_->WriteEntry(format, arguments);
    va_end(arguments);
}

void TraceScope::WriteError(const wchar_t* message, int code, int line) {
    if (log_ != nullptr) {
        WriteTo(log_, kErrorLineFormat, name_.c_str(), message, code, static_cast<unsigned>(code),
                line);
    }
}

}  // namespace vorn

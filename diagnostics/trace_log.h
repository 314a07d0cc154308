// The switchable trace log: daily, size-limited UTF-16LE files beside the program.
#pragma once

#include <cstdarg>
#include <functional>
#include <mutex>
#include <string>

#include "platform/system_info.h"

namespace vorn {

// The one trace log of the process; it exists only while a traced request runs.
class TraceLog {
public:
    TraceLog();

    // Writes one entry: a new line, the time and thread id, then the formatted text.
    void WriteEntry(const wchar_t* format, std::va_list arguments);
    // The file the next entry goes to: today's first file below the size limit. Before the
    // day's files outgrow the day's limit, the oldest of them are removed and the others
    // renumbered from 1, so that the day keeps its newest entries.
    std::wstring LogFileName() const;

    std::wstring directory;
    std::wstring base_name;
    long long size_limit;
    // A day's files hold at most this many bytes, give or take an entry per file.
    long long day_limit;
    // Where entries take their date and time from; tests set it to cross midnight.
    std::function<LocalTime()> clock;

private:
    std::mutex lock_;
};

constexpr long long kTraceFileSizeLimit = 33554432;
// A client refused thousands of times a second must not fill the disk.
constexpr long long kTraceDayLimit = 2 * kTraceFileSizeLimit;

// The folder the entries go to: "QD_LOG" beside the program, with a trailing separator. It is
// never created: without it, entries are lost.
std::wstring TraceDirectory();

// Creates the trace log (replacing one that exists), so that trace calls write entries.
void EnableTraceLog();
// While held off, enabling the log does nothing: a self-test reads the card without adding
// entries to the files that support staff collect.
void HoldTraceLogOff(bool held_off);
// Ends tracing: trace calls do nothing until the log is enabled again.
void ReleaseTraceLog();
// The active trace log, or null when tracing is off.
TraceLog* ActiveTraceLog();

// Writes a printf-style entry (wide format; "%ls" for wide strings) when tracing is on.
void TraceWrite(const wchar_t* format, ...);

// Writes one entry whether or not a request is traced, through a log of its own: for events
// outside any request, once the caller has found tracing switched on in the settings.
void WriteTraceLine(const wchar_t* format, ...);

// Marks one operation in the trace: entry and exit lines, and the operation's own lines.
class TraceScope {
public:
    explicit TraceScope(const wchar_t* name);
    ~TraceScope();
    TraceScope(const TraceScope&) = delete;
    TraceScope& operator=(const TraceScope&) = delete;

    // A free text line of this operation.
    void Write(const wchar_t* format, ...);
    // "name - message(code - 0xCODE), Line = line." The line number is part of the trace
    // format that support staff read, not a position in this source.
    void WriteError(const wchar_t* message, int code, int line);

private:
    TraceLog* log_;
    std::wstring name_;
};

}  // namespace vorn

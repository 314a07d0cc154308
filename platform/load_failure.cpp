// Explains a failed library load from the file's header compared with the program's own.
#include "platform/load_failure.h"

#include <cwchar>
#include <mutex>
#include <utility>

#include "platform/file_bytes.h"
#include "platform/module_path.h"
#include "platform/shared_library.h"

namespace vorn {

namespace {

constexpr const wchar_t* kMissingFormat = L"%ls is missing from %ls";
constexpr const wchar_t* kUnreadableFormat = L"%ls in %ls cannot be read";
constexpr const wchar_t* kNoLibraryFormat =
    L"%ls in %ls is no library (neither a Windows DLL nor a Linux shared library): replace it "
    L"with the reader maker's library";
constexpr const wchar_t* kOtherSystemFormat =
    L"%ls in %ls is a %ls library (%ls); this program runs on %ls: install the reader "
    L"maker's %ls library";
constexpr const wchar_t* kOtherProcessorFormat =
    L"%ls in %ls is a %ls library; this program is %ls: %ls";
constexpr const wchar_t* kOtherPackageAdvice =
    L"install the %ls package, or the maker's %ls library";
constexpr const wchar_t* kMakersLibraryAdvice = L"install the maker's %ls library";
constexpr const wchar_t* kMissingDependenciesFormat =
    L"%ls in %ls needs %ls, found neither beside it nor on the system path";
constexpr const wchar_t* kLoaderTextFormat = L"%ls in %ls cannot be loaded: %ls";
constexpr const wchar_t* kUnknownDependencyFormat =
    L"%ls in %ls cannot be loaded (error %u): a DLL it needs, or one that DLL needs, is missing";
constexpr const wchar_t* kErrorFormat = L"%ls in %ls cannot be loaded (error %u)";
// The program's own header lies within its first page.
constexpr std::size_t kProgramHeaderReadLimit = 4096;
// Room for a sentence: the file's path (at most kLongestPath), the words, and a repeated text.
constexpr std::size_t kSentenceRoom = 1024;
constexpr std::size_t kLongestRepeated = 400;

// Each system's libraries: what it is called, and the machines of the program's packages.
const wchar_t* SystemName(BinaryFormat format) {
    return format == BinaryFormat::kPe ? L"Windows" : L"Linux";
}

bool IsPackagedMachine(const BinaryHeader& header) {
    const std::wstring name = MachineName(header);
    return header.format == BinaryFormat::kPe && (name == L"x86" || name == L"x64");
}

// "32-bit x86", or the machine alone when the header does not tell the width.
std::wstring Describe(const BinaryHeader& header) {
    const std::wstring machine = MachineName(header);
    return header.bits == 0 ? machine : std::to_wstring(header.bits) + L"-bit " + machine;
}

// "64-bit (x64)".
std::wstring DescribeProgram(const BinaryHeader& header) {
    return header.bits == 0 ? MachineName(header)
                            : std::to_wstring(header.bits) + L"-bit (" + MachineName(header) + L")";
}

// A text repeated in a sentence, cut so that the sentence always fits its room.
std::wstring Shortened(const std::wstring& text) {
    return text.size() <= kLongestRepeated ? text : text.substr(0, kLongestRepeated) + L"...";
}

template <typename... Arguments>
std::wstring Format(const wchar_t* format, Arguments... arguments) {
    wchar_t text[kSentenceRoom] = {};
    if (std::swprintf(text, kSentenceRoom, format, arguments...) < 0) {
        text[kSentenceRoom - 1] = L'\0';
    }
    return text;
}

std::mutex listener_lock;
LoadFailureListener listener;

}  // namespace

std::wstring ExplainLoadFailure(const LoadFailureFacts& facts, const BinaryHeader& program) {
    const std::size_t separator = facts.file.find_last_of(L"/\\");
    const std::wstring name =
        separator == std::wstring::npos ? facts.file : facts.file.substr(separator + 1);
    const std::wstring folder =
        separator == std::wstring::npos ? std::wstring() : facts.file.substr(0, separator + 1);
    const wchar_t* n = name.c_str();
    const wchar_t* f = folder.c_str();
    const BinaryHeader library = ReadBinaryFileHeader(PathFromWide(facts.file.c_str()));
    switch (library.format) {
        case BinaryFormat::kMissing:
            return Format(kMissingFormat, n, f);
        case BinaryFormat::kUnreadable:
            return Format(kUnreadableFormat, n, f);
        case BinaryFormat::kUnknown:
            return Format(kNoLibraryFormat, n, f);
        case BinaryFormat::kPe:
        case BinaryFormat::kElf:
            break;
    }
    const bool program_known =
        program.format == BinaryFormat::kPe || program.format == BinaryFormat::kElf;
    if (program_known && library.format != program.format) {
        return Format(kOtherSystemFormat, n, f, SystemName(library.format),
                      Describe(library).c_str(), SystemName(program.format),
                      SystemName(program.format));
    }
    if (program_known &&
        (library.machine != program.machine ||
         (library.bits != 0 && program.bits != 0 && library.bits != program.bits))) {
        const std::wstring width =
            program.bits == 0 ? MachineName(program) : std::to_wstring(program.bits) + L"-bit";
        const std::wstring advice =
            IsPackagedMachine(library)
                ? Format(kOtherPackageAdvice, MachineName(library).c_str(), width.c_str())
                : Format(kMakersLibraryAdvice, Describe(program).c_str());
        return Format(kOtherProcessorFormat, n, f, Describe(library).c_str(),
                      DescribeProgram(program).c_str(), advice.c_str());
    }
    if (facts.dependency_found) {
        std::wstring missing;
        for (const std::string& dll : library.imports) {
            if (!facts.dependency_found(dll)) {
                missing += (missing.empty() ? L"" : L", ") + std::wstring(dll.begin(), dll.end());
            }
        }
        if (!missing.empty()) {
            return Format(kMissingDependenciesFormat, n, f, Shortened(missing).c_str());
        }
    }
    if (!facts.loader_text.empty()) {
        return Format(kLoaderTextFormat, n, f, Shortened(facts.loader_text).c_str());
    }
    if (facts.error == kLibraryNotFoundError) {
        return Format(kUnknownDependencyFormat, n, f, static_cast<unsigned>(facts.error));
    }
    return Format(kErrorFormat, n, f, static_cast<unsigned>(facts.error));
}

BinaryHeader ProgramBinaryHeader() {
    wchar_t own[kLongestPath + 1] = {};
    if (ModuleFileNameW(own, kLongestPath + 1) == 0) {
        return {};
    }
    return ReadBinaryFileHeader(PathFromWide(own), kProgramHeaderReadLimit);
}

void SetLoadFailureListener(LoadFailureListener told) {
    std::lock_guard<std::mutex> hold(listener_lock);
    listener = std::move(told);
}

void ReportLoadFailure(const std::wstring& cause) {
    LoadFailureListener told;
    {
        std::lock_guard<std::mutex> hold(listener_lock);
        told = listener;
    }
    if (told) {
        told(cause);
    }
}

}  // namespace vorn

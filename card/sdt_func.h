// The binding of the reader driver library: bind, find and select the card, read it.
#pragma once

#include <string>
#include <vector>

#include "card/sdt_api.h"
#include "card/sdt_buffer.h"
#include "platform/module_path.h"
#include "platform/shared_library.h"

namespace vorn {

// Result codes of the binding's operations; any other value is the driver's own code.
constexpr int kSdtResultOk = 0;
constexpr int kSdtNotBound = -10;
constexpr int kSdtBindFailed = -11;
constexpr int kSdtEntryMissing = -12;

// The driver library's fixed name and the port every call addresses.
constexpr const char* kSdtLibraryName = "sdtapi";
constexpr int kSdtPort = 1001;
constexpr int kSdtOpenPortFlag = 1;

// Binds the driver library for one request and reads the card through it.
class CSdtFunc {
public:
    CSdtFunc();
    ~CSdtFunc();
    CSdtFunc(const CSdtFunc&) = delete;
    CSdtFunc& operator=(const CSdtFunc&) = delete;

    // Binds "sdtapi" from the given ANSI directory (null: the loader's own search).
    int CreateDefault(const char* directory);
    int Create(const wchar_t* directory, const wchar_t* name);
    void Destroy();

    int FindAndSelectCard();
    // Asks the driver whether a card lies on the reader with its find call alone: no wait, no
    // select, no read, no trace. The driver's answer (0x9F for a card), or a code above.
    int FindCard();
    int ReadIDCard();

    // The raw card record the driver writes into.
    const CSdtBuffer& Record() const { return record_; }
    bool IsLoaded() const { return loaded_; }
    // Why the last bind could not load the library, in a sentence; empty after one that could.
    const std::wstring& LoadFailure() const { return load_failure_; }

    // The exports the bound library lacks, by name.
    std::vector<std::string> MissingExports() const;
    // Whether the bound library has what a read calls: finding, selecting, and at least one
    // of the two reads (each falls back on the other).
    bool HasReadEntryPoints() const;

private:
    template <typename Function>
    Function EntryPoint(int slot) const {
        return reinterpret_cast<Function>(entry_points_[slot]);
    }
    bool LoadDllModule(const wchar_t* name);
    void FreeDllModule();

    bool loaded_;
    std::wstring directory_;
    SharedLibrary module_;
    std::wstring load_failure_;
    CSdtBuffer record_;
    int open_port_;
    wchar_t conversion_[kLongestPath + 1];

    // The driver's exports, in the order they are resolved; all null while unbound.
    static constexpr int kEntryPointCount = 13;
    void* entry_points_[kEntryPointCount];
};

}  // namespace vorn

// Settings read by the Windows private-profile functions, and by the program's own reader for
// files those functions misread.
#include <windows.h>

#include <cstring>
#include <utility>

#include "platform/handles_win.h"
#include "request/config.h"
#include "request/ini_file.h"

namespace vorn {

namespace {

enum class ProfileFile { kMissing, kOnDisk, kOther };

// The private-profile functions open whatever the path names and wait on it: a pipe behind
// that name would hold the start or the request. Only a missing file or a file on disk is
// handed to them; anything else counts as no file.
ProfileFile KindOfFile(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? ProfileFile::kMissing
                   : ProfileFile::kOther;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return ProfileFile::kOther;
    }
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && GetFileType(file.get()) == FILE_TYPE_DISK ? ProfileFile::kOnDisk
                                                             : ProfileFile::kOther;
}

// At most `most` bytes of a file on disk; false when it cannot be read. `cut` tells that the
// file goes on past them.
bool ReadFileStart(const std::string& path, std::size_t most, std::string* content, bool* cut) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || GetFileType(file.get()) != FILE_TYPE_DISK) {
        return false;
    }
    char chunk[4096];
    // One byte more than is kept tells a file that goes on from one that just fills it.
    while (content->size() <= most) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr)) {
            return false;
        }
        if (got == 0) {
            break;
        }
        content->append(chunk, got);
    }
    *cut = content->size() > most;
    if (*cut) {
        content->resize(most);
    }
    return true;
}

// The private-profile functions take a UTF-8 byte order mark for part of the first section's
// name, which hides that section; such a file is read by the program's own reader instead.
bool StartsWithByteOrderMark(const std::string& path) {
    std::string head;
    bool cut = false;
    return ReadFileStart(path, kUtf8ByteOrderMark.size(), &head, &cut) &&
           head == kUtf8ByteOrderMark;
}

// The value by the program's own reader: false when the file or the key is not there.
bool FindOwnValue(const char* section, const char* key, const std::string& path,
                  std::string* value) {
    std::string content;
    bool cut = false;
    return section != nullptr && key != nullptr &&
           ReadFileStart(path, kLargestConfigFile, &content, &cut) &&
           FindIniValue(content, section, key, value);
}

}  // namespace

void ReadProfileString(const char* section, const char* key, const char* fallback, char* out,
                       std::uint32_t size, const std::string& path) {
    if (out == nullptr || size == 0) {
        return;
    }
    std::memset(out, 0, size);
    if (KindOfFile(path) != ProfileFile::kOnDisk) {
        std::strncpy(out, fallback == nullptr ? "" : fallback, size - 1);
        return;
    }
    if (StartsWithByteOrderMark(path)) {
        std::string value;
        if (!FindOwnValue(section, key, path, &value)) {
            value = fallback == nullptr ? "" : fallback;
        }
        std::strncpy(out, value.c_str(), size - 1);
        return;
    }
    GetPrivateProfileStringA(section, key, fallback, out, size, path.c_str());
}

int ReadProfileInt(const char* section, const char* key, int fallback, const std::string& path) {
    if (KindOfFile(path) != ProfileFile::kOnDisk) {
        return fallback;
    }
    if (StartsWithByteOrderMark(path)) {
        std::string value;
        return FindOwnValue(section, key, path, &value) && !value.empty() ? ParseIniInteger(value)
                                                                          : fallback;
    }
    return static_cast<int>(GetPrivateProfileIntA(section, key, fallback, path.c_str()));
}

WholeRead ReadWholeProfileString(const char* section, const char* key, std::uint32_t limit,
                                 const std::string& path, std::string* value) {
    switch (KindOfFile(path)) {
        case ProfileFile::kMissing:
            return WholeRead::kAbsent;
        case ProfileFile::kOther:
            return WholeRead::kUnreadable;
        case ProfileFile::kOnDisk:
            break;
    }
    if (StartsWithByteOrderMark(path)) {
        std::string content;
        bool cut = false;
        if (!ReadFileStart(path, kLargestConfigFile, &content, &cut)) {
            return WholeRead::kUnreadable;
        }
        return FindWholeValue(std::move(content), cut, section, key, limit, value);
    }
    // The functions read the whole file, and fill all but the last byte of the buffer exactly
    // when they had to cut the value: one byte more than the limit tells a longer value.
    std::string text(limit + 2, '\0');
    DWORD length = GetPrivateProfileStringA(section, key, "", text.data(),
                                            static_cast<DWORD>(text.size()), path.c_str());
    if (length > limit) {
        return WholeRead::kTooLong;
    }
    text.resize(length);
    *value = std::move(text);
    return value->empty() ? WholeRead::kAbsent : WholeRead::kRead;
}

}  // namespace vorn

// A private folder for one request's temporary files under the system's temporary folder.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace vorn {

// Owns a folder that only the current user may open, and removes it with everything in it
// when it goes. The name is new for every folder, so two processes never share one. A read
// left behind in a slow driver or decoder may still hold one when the process ends: the
// folders still there are removed as the process exits, and none is made after.
class TemporaryDirectory {
public:
    // Makes the folder under SystemFolder, its name starting with name_prefix. Null when it
    // cannot be made, or when the process is exiting.
    static std::unique_ptr<TemporaryDirectory> Create(const char* name_prefix);

    // The folder the private folders are made in: on Windows the one GetTempPath names; on
    // Linux $TMPDIR when it is set, else /dev/shm when it is a folder anyone may write to, as
    // /tmp is, else /tmp. /dev/shm is held in memory, so a card holder's photo never reaches
    // a disk, and its files cost less to make and remove. Empty when none can be named.
    static std::filesystem::path SystemFolder();

    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    // The folder as the file functions take it.
    const std::filesystem::path& path() const { return path_; }
    // The folder as narrow text in the system's code page with its trailing separator, for
    // libraries that take narrow file names.
    const std::string& narrow_prefix() const { return narrow_prefix_; }

private:
    TemporaryDirectory(std::filesystem::path path, std::string narrow_prefix);
    // The platform's making of the folder.
    static std::unique_ptr<TemporaryDirectory> MakeFolder(const char* name_prefix);

    std::filesystem::path path_;
    std::string narrow_prefix_;
};

}  // namespace vorn

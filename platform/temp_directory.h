// A private folder for one request's temporary files under the system's temporary folder.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace vorn {

// Owns a folder that only the current user may open, and removes it with everything in it
// when it goes. The name is new for every folder, so two processes never share one.
class TemporaryDirectory {
public:
    // Makes the folder under the system's temporary folder (GetTempPath on Windows, $TMPDIR
    // or /tmp elsewhere), its name starting with name_prefix. Null when it cannot be made.
    static std::unique_ptr<TemporaryDirectory> Create(const char* name_prefix);

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

    std::filesystem::path path_;
    std::string narrow_prefix_;
};

}  // namespace vorn

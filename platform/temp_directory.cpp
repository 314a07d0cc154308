// Private temporary folders, and the list of those still there as the process ends.
#include "platform/temp_directory.h"

#include <cstdlib>
#include <mutex>
#include <set>
#include <system_error>
#include <utility>

namespace vorn {

namespace {

// The folders this process has made and not yet removed. Never destroyed: a read left behind
// may still make or remove one while the process exits.
struct LiveFolders {
    std::mutex lock;
    std::set<std::filesystem::path> paths;
    bool exiting = false;
};

LiveFolders& Live() {
    static LiveFolders* live = new LiveFolders;
    return *live;
}

void RemoveFolder(const std::filesystem::path& path) {
    // Links inside are removed, never followed; nobody else can have put one there.
    std::error_code error;
    std::filesystem::remove_all(path, error);
}

// A stop gives a running read a few seconds, then the process ends around it: a folder the
// read still holds would stay behind, with the holder's photo record in it.
void RemoveLiveFoldersAtExit() {
    LiveFolders& live = Live();
    std::lock_guard<std::mutex> hold(live.lock);
    live.exiting = true;
    for (const std::filesystem::path& path : live.paths) {
        RemoveFolder(path);
    }
    live.paths.clear();
}

}  // namespace

TemporaryDirectory::TemporaryDirectory(std::filesystem::path path, std::string narrow_prefix)
    : path_(std::move(path)), narrow_prefix_(std::move(narrow_prefix)) {}

std::unique_ptr<TemporaryDirectory> TemporaryDirectory::Create(const char* name_prefix) {
    LiveFolders& live = Live();
    std::lock_guard<std::mutex> hold(live.lock);
    static const bool removed_at_exit = std::atexit(RemoveLiveFoldersAtExit) == 0;
    if (live.exiting || !removed_at_exit) {
        return nullptr;
    }
    std::unique_ptr<TemporaryDirectory> made = MakeFolder(name_prefix);
    if (made != nullptr) {
        live.paths.insert(made->path_);
    }
    return made;
}

TemporaryDirectory::~TemporaryDirectory() {
    LiveFolders& live = Live();
    std::lock_guard<std::mutex> hold(live.lock);
    live.paths.erase(path_);
    RemoveFolder(path_);
}

}  // namespace vorn

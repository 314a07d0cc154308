#include "platform/temp_directory.h"

#include <system_error>
#include <utility>

namespace vorn {

TemporaryDirectory::TemporaryDirectory(std::filesystem::path path, std::string narrow_prefix)
    : path_(std::move(path)), narrow_prefix_(std::move(narrow_prefix)) {}

TemporaryDirectory::~TemporaryDirectory() {
    // Links inside are removed, never followed; nobody else can have put one there.
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

}  // namespace vorn

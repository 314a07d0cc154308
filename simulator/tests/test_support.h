// Helpers of the simulator tests: a scratch folder and reading fields back out of records.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace vorn::sim::testing {

// A folder of its own under the system's temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() {
        static std::atomic<int> counter{0};
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("vornsim-" + std::string(info ? info->name() : "test") + "-" +
                 std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    void Write(const std::filesystem::path& relative, std::string_view content) const {
        const std::filesystem::path file = path_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
    }

private:
    std::filesystem::path path_;
};

// The UCS-2 little-endian characters of `width` bytes at `offset`, as UTF-16 text.
inline std::u16string FieldAt(const unsigned char* record, std::size_t offset, std::size_t width) {
    std::u16string text;
    for (std::size_t i = offset; i < offset + width; i += 2) {
        text.push_back(static_cast<char16_t>(record[i] | (record[i + 1] << 8)));
    }
    return text;
}

}  // namespace vorn::sim::testing

// The trace log's files, entries and switch.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "diagnostics/trace_log.h"
#include "tests/test_support.h"

using namespace vorn;

namespace fs = std::filesystem;

namespace {

// Gives each test an empty trace folder beside the test program, and removes it after.
class TraceLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ReleaseTraceLog();
        directory_ = TestProgramDirectory() / "QD_LOG";
        fs::remove_all(directory_);
        fs::create_directory(directory_);
    }
    void TearDown() override {
        ReleaseTraceLog();
        fs::remove_all(directory_);
    }

    static LocalTime FixedTime() { return {2026, 12, 6, 23, 59, 58}; }

    fs::path File(const std::string& name) const { return directory_ / name; }
    std::string Read(const std::string& name) const {
        return Utf16LeToUtf8(ReadBinaryFile(File(name)));
    }

    fs::path directory_;
};

TEST_F(TraceLogTest, EntriesGoToTheDaysFileInUtf16) {
    EnableTraceLog();
    ASSERT_NE(ActiveTraceLog(), nullptr);
    ActiveTraceLog()->clock = FixedTime;
    {
        TraceScope scope(L"CSdtFunc::Create");
        scope.Write(L"Dll Path = %ls", L"/opt/读卡/sdtapi");
    }
    ReleaseTraceLog();

    std::string bytes = ReadBinaryFile(File("[2026-12-06]SDT_LOG_1.log"));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE"));
    std::string text = Utf16LeToUtf8(bytes);
    std::regex entries(
        "\n\\[23:59:58 [0-9]+\\] ┌Func IN  <CSdtFunc::Create>"
        "\n\\[23:59:58 [0-9]+\\] Dll Path = /opt/读卡/sdtapi"
        "\n\\[23:59:58 [0-9]+\\] └Func OUT <CSdtFunc::Create>");
    EXPECT_TRUE(std::regex_match(text, entries)) << text;
}

TEST_F(TraceLogTest, ErrorLineShowsNegativeCodesInTwosComplement) {
    EnableTraceLog();
    ActiveTraceLog()->clock = FixedTime;
    {
        TraceScope scope(L"CSdtFunc::Create");
        scope.WriteError(L"LoadDllModule Error", -11, 89);
        scope.WriteError(L"SDT_StartFindIDCard Error", 0x80, 535);
    }
    std::string text = Read("[2026-12-06]SDT_LOG_1.log");
    EXPECT_NE(text.find("] CSdtFunc::Create - LoadDllModule Error(-11 - 0xFFFFFFF5), Line = 89."),
              std::string::npos)
        << text;
    EXPECT_NE(
        text.find("] CSdtFunc::Create - SDT_StartFindIDCard Error(128 - 0x0080), Line = 535."),
        std::string::npos)
        << text;
}

TEST_F(TraceLogTest, FullFilesRollOverToTheNextSequenceNumber) {
    EnableTraceLog();
    ActiveTraceLog()->clock = FixedTime;
    // A file one byte short of the limit still takes the entry.
    WriteTextFile(File("[2026-12-06]SDT_LOG_1.log"), "");
    fs::resize_file(File("[2026-12-06]SDT_LOG_1.log"), kTraceFileSizeLimit - 1);
    TraceWrite(L"first");
    EXPECT_FALSE(fs::exists(File("[2026-12-06]SDT_LOG_2.log")));
    EXPECT_GT(fs::file_size(File("[2026-12-06]SDT_LOG_1.log")),
              static_cast<std::uintmax_t>(kTraceFileSizeLimit));

    TraceWrite(L"second");
    EXPECT_NE(Read("[2026-12-06]SDT_LOG_2.log").find("] second"), std::string::npos);
}

TEST_F(TraceLogTest, ADaysFilesKeepItsNewestEntriesWithinTheDaysLimit) {
    EnableTraceLog();
    TraceLog* log = ActiveTraceLog();
    log->clock = FixedTime;
    // Each file takes two entries; the day keeps two files.
    log->size_limit = 80;
    log->day_limit = 160;
    for (int entry = 0; entry < 20; ++entry) {
        TraceWrite(L"entry %02d", entry);
    }
    EXPECT_FALSE(fs::exists(File("[2026-12-06]SDT_LOG_3.log")));
    std::string text = Read("[2026-12-06]SDT_LOG_1.log") + Read("[2026-12-06]SDT_LOG_2.log");
    std::regex newest(
        "\n\\[23:59:58 [0-9]+\\] entry 16\n\\[23:59:58 [0-9]+\\] entry 17"
        "\n\\[23:59:58 [0-9]+\\] entry 18\n\\[23:59:58 [0-9]+\\] entry 19");
    EXPECT_TRUE(std::regex_match(text, newest)) << text;
}

TEST_F(TraceLogTest, EntriesAfterMidnightGoToTheNewDaysFile) {
    EnableTraceLog();
    ActiveTraceLog()->clock = FixedTime;
    TraceWrite(L"before");
    ActiveTraceLog()->clock = [] { return LocalTime{2026, 12, 7, 0, 0, 1}; };
    TraceWrite(L"after");
    EXPECT_NE(Read("[2026-12-06]SDT_LOG_1.log").find("] before"), std::string::npos);
    EXPECT_NE(Read("[2026-12-07]SDT_LOG_1.log").find("[00:00:01 "), std::string::npos);
}

TEST_F(TraceLogTest, ScopesEnteredWhileOffStaySilent) {
    {
        TraceScope scope(L"CSdtFunc::ReadIDCard");
        EnableTraceLog();
        ActiveTraceLog()->clock = FixedTime;
        scope.Write(L"not written");
        scope.WriteError(L"not written", 1, 1);
    }
    TraceWrite(L"written");
    std::string text = Read("[2026-12-06]SDT_LOG_1.log");
    EXPECT_EQ(text.find("ReadIDCard"), std::string::npos);
    EXPECT_EQ(text.find("not written"), std::string::npos);
    EXPECT_NE(text.find("written"), std::string::npos);
}

TEST_F(TraceLogTest, NothingIsWrittenWhenOffOrWithoutTheFolder) {
    TraceWrite(L"off");
    EXPECT_TRUE(fs::is_empty(directory_));

    // The folder is never created by the program: without it entries are lost quietly.
    fs::remove_all(directory_);
    EnableTraceLog();
    TraceWrite(L"lost");
    { TraceScope scope(L"CSdtFunc::Destroy"); }
    ReleaseTraceLog();
    EXPECT_FALSE(fs::exists(directory_));
    EXPECT_EQ(ActiveTraceLog(), nullptr);
}

}  // namespace

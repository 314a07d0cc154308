#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "card/sdt_api.h"
#include "simulator/export_guard.h"
#include "simulator/tests/test_support.h"

using namespace vorn;

namespace vorn::sim {
namespace {

constexpr const char* kCard =
    "[Card]\nkind = resident\nname = 张三\nsex = 1\nethnicity = 01\nbirth = 19900101\n"
    "address = 北京市东城区示例街1号\nid = 11010119900101003X\n"
    "dept = 北京市公安局东城分局\nvalid_begin = 20200101\nvalid_end = 20400101\n";

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A benchmark counts the calls of the program in this log and times them, with the chip
// read as slow as a real one.
TEST(CallLogTest, SlowReadAndEveryCallLoggedWithTimeNameAndAnswer) {
    testing::ScratchFolder folder;
    folder.Write("cards/one.ini", kCard);
    folder.Write("simulator.ini",
                 "[Reader]\ncard = cards/one.ini\nread_delay = 150\ncall_log = calls.log\n");

    const long long before = NowMs();
    unsigned char manage[8] = {};
    EXPECT_EQ(AnswerFromReaderIn(folder.path(), "SDT_StartFindIDCard",
                                 [&](const SimulatedReader& r) { return r.StartFind(manage); }),
              kSdtCardPresent);
    const long long found = NowMs();
    unsigned char text[256], photo[1024];
    std::uint32_t text_length = 0, photo_length = 0;
    EXPECT_EQ(AnswerFromReaderIn(folder.path(), "SDT_ReadBaseMsg",
                                 [&](const SimulatedReader& r) {
                                     return r.ReadBase(text, &text_length, photo, &photo_length);
                                 }),
              kSdtSuccess);
    const long long after = NowMs();
    EXPECT_LT(found - before, 100);
    EXPECT_GE(after - found, 150);

    // "<ms> <name> <answer>" per call, the time taken when the call answers.
    std::ifstream log(folder.path() / "calls.log");
    long long found_at = 0, read_at = 0;
    std::string find_name, read_name;
    int find_answer = 0, read_answer = 0;
    ASSERT_TRUE(log >> found_at >> find_name >> find_answer >> read_at >> read_name >> read_answer);
    EXPECT_EQ(find_name + " " + read_name, "SDT_StartFindIDCard SDT_ReadBaseMsg");
    EXPECT_EQ(find_answer, kSdtCardPresent);
    EXPECT_EQ(read_answer, kSdtSuccess);
    EXPECT_TRUE(before <= found_at && found_at <= found) << found_at;
    EXPECT_TRUE(found + 150 <= read_at && read_at <= after) << read_at;
    std::string rest;
    EXPECT_FALSE(log >> rest);
}

}  // namespace
}  // namespace vorn::sim

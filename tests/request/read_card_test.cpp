// The read-card pipeline, from command to reply text, against the simulated reader.
#include <gtest/gtest.h>

#include <json/reader.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "diagnostics/trace_log.h"
#include "request/read_card.h"
#include "tests/simulated_reader.h"
#include "tests/test_support.h"

using namespace vorn;

namespace fs = std::filesystem;

namespace {

Json::Value Parse(const char* text) {
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    EXPECT_TRUE(reader->parse(text, text + std::strlen(text), &root, &errors)) << errors;
    return root;
}

Json::Value Read(const std::string& card, const std::string& extra = "") {
    SimulatedReader reader(card, extra);
    std::vector<char> reply(kReplyBufferSize, '\0');
    EXPECT_EQ(ExecuteCommand(kReadCardCommand, reply.data(), kReplyBufferSize), 0);
    return Parse(reply.data());
}

TEST(ReadCard, RefusesOtherCommandsWithoutTouchingTheBuffer) {
    char reply[16];
    std::memset(reply, 'k', sizeof(reply));
    for (const char* command : {"readcard\n", "READCARD", "Readcard", "", " readcard"}) {
        EXPECT_EQ(ExecuteCommand(command, reply, sizeof(reply)), -2) << command;
    }
    EXPECT_EQ(ExecuteCommand(nullptr, reply, sizeof(reply)), -1);
    EXPECT_EQ(ExecuteCommand("readcard", reply, 0), -1);
    EXPECT_EQ(ExecuteCommand("readcard", reply, -5), -1);
    EXPECT_EQ(std::string(reply, sizeof(reply)), std::string(16, 'k'));
}

TEST(ReadCard, ReadsEveryKindOfCard) {
    Json::Value resident = Read("resident_long_term.ini");
    EXPECT_EQ(resident["result"].asInt(), 0);
    EXPECT_EQ(resident["errmsg"].asString(), "");
    EXPECT_EQ(resident["Name"].asString(), "陈静怡");
    EXPECT_EQ(resident["Sex"].asString(), "女");
    EXPECT_EQ(resident["Ethnicity"].asString(), "汉");
    EXPECT_EQ(resident["ValidEnd"].asString(), "长期");
    EXPECT_FALSE(resident["photo"].asString().empty());
    EXPECT_FALSE(resident["frontImg"].asString().empty());
    EXPECT_FALSE(resident["backImg"].asString().empty());

    Json::Value foreigner = Read("foreigner_usa.ini");
    EXPECT_EQ(foreigner["result"].asInt(), 0);
    EXPECT_EQ(foreigner["NationCode"].asString(), "USA");
    EXPECT_EQ(foreigner["Address"].asString(), "");

    Json::Value taiwan = Read("permit_taiwan.ini");
    EXPECT_EQ(taiwan["result"].asInt(), 0);
    EXPECT_EQ(taiwan["ID"].asString().substr(0, 2), "83");
    EXPECT_FALSE(taiwan["PassId"].asString().empty());
}

TEST(ReadCard, FailingStagesSetResultAndMessage) {
    Json::Value none = Read("");
    EXPECT_EQ(none["result"].asInt(), 0x80);
    EXPECT_EQ(none["errmsg"].asString(), "寻卡失败(128).");
    EXPECT_EQ(none["Name"].asString(), "");

    Json::Value refused = Read("resident_dated.ini", "select = -3\n");
    EXPECT_EQ(refused["result"].asInt(), -3);
    EXPECT_EQ(refused["errmsg"].asString(), "寻卡失败(-3).");

    Json::Value unread = Read("resident_dated.ini", "read_fp = 0x41\n");
    EXPECT_EQ(unread["result"].asInt(), 0x41);
    EXPECT_EQ(unread["errmsg"].asString(), "读卡信息失败(65).");
    EXPECT_EQ(unread["ID"].asString(), "");

    Json::Value fallback = Read("resident_dated.ini", "read_fp = 33\n");
    EXPECT_EQ(fallback["result"].asInt(), 0);
    EXPECT_FALSE(fallback["Name"].asString().empty());
}

TEST(ReadCard, TracesOnlyWhileTheRequestRuns) {
    fs::path directory = TestProgramDirectory();
    fs::remove_all(directory / "QD_LOG");
    fs::create_directory(directory / "QD_LOG");
    WriteTextFile(directory / "config.ini", "[Bind]\nlog=1\n");
    Read("resident_dated.ini");
    EXPECT_EQ(ActiveTraceLog(), nullptr);
    std::string trace;
    for (const auto& entry : fs::directory_iterator(directory / "QD_LOG")) {
        trace += Utf16LeToUtf8(ReadBinaryFile(entry.path()));
    }
    EXPECT_NE(trace.find("└Func OUT <CSdtFunc::ReadIDCard>"), std::string::npos) << trace;

    // Switched off again, the next request adds nothing.
    WriteTextFile(directory / "config.ini", "[Bind]\nlog=0\n");
    std::uintmax_t size = 0;
    for (const auto& entry : fs::directory_iterator(directory / "QD_LOG")) {
        size += entry.file_size();
    }
    Read("resident_dated.ini");
    std::uintmax_t after = 0;
    for (const auto& entry : fs::directory_iterator(directory / "QD_LOG")) {
        after += entry.file_size();
    }
    EXPECT_EQ(after, size);
    fs::remove(directory / "config.ini");
    fs::remove_all(directory / "QD_LOG");
}

TEST(ReadCard, OversizedReplyNeverPassesTheCapacity) {
    SimulatedReader reader("resident_long_term.ini");
    std::vector<std::string> notices;
    const ReplyTooLargeNotifier record = [&notices](const char* text, const char* caption) {
        notices.push_back(std::string(caption) + "|" + text);
    };

    std::vector<char> reply(kReplyBufferSize, 'g');
    ASSERT_EQ(ExecuteCommand(kReadCardCommand, reply.data(), kReplyBufferSize, record), 0);
    EXPECT_TRUE(notices.empty());
    // Room for the text but not for its terminator: the reply does not fit, and the short
    // failure reply, which does, takes its place.
    const int capacity = static_cast<int>(std::strlen(reply.data()));
    const std::size_t guard = 1000;
    reply.assign(capacity + guard, 'g');
    ASSERT_EQ(ExecuteCommand(kReadCardCommand, reply.data(), capacity, record), 0);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], "Qd Id Reader Service Error.|Send buffer is too small!");
    Json::Value failed = Parse(reply.data());
    EXPECT_EQ(failed["result"].asInt(), -1);
    EXPECT_EQ(failed["errmsg"].asString(), "Send buffer is too small!");
    EXPECT_EQ(failed["photo"].asString(), "");
    EXPECT_EQ(std::string(reply.data() + capacity, guard), std::string(guard, 'g'));

    // No room even for that: the client gets an empty text.
    reply.assign(10 + guard, 'g');
    ASSERT_EQ(ExecuteCommand(kReadCardCommand, reply.data(), 10, record), 0);
    EXPECT_EQ(reply[0], '\0');
    EXPECT_EQ(std::string(reply.data() + 10, guard), std::string(guard, 'g'));
    EXPECT_EQ(notices.size(), 2u);
}

}  // namespace

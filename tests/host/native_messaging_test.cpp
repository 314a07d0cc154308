// Native-messaging frames on the standard streams.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "host/native_messaging.h"
#include "platform/file_stream.h"
#include "tests/test_support.h"

using namespace vorn;

namespace fs = std::filesystem;

namespace {

// A stream over a file beside the test program, filled with the given bytes.
class FrameStream {
public:
    explicit FrameStream(const std::string& bytes) {
        path_ = TestProgramDirectory() / "frame_stream.bin";
        WriteTextFile(path_, bytes);
        file_.reset(std::fopen(path_.string().c_str(), "rb"));
    }
    ~FrameStream() {
        file_.reset();
        fs::remove(path_);
    }
    std::FILE* get() const { return file_.get(); }

private:
    fs::path path_;
    FileStream file_;
};

std::string Frame(const std::string& body) {
    std::string frame(4, '\0');
    std::uint32_t length = static_cast<std::uint32_t>(body.size());
    for (int i = 0; i < 4; ++i) {
        frame[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    }
    return frame + body;
}

std::string ReadBody(const std::string& bytes) {
    FrameStream in(bytes);
    std::unique_ptr<char[]> body = ReadFrame(in.get());
    return body ? std::string(body.get()) : std::string("<none>");
}

TEST(NativeMessaging, ReadsTheOneRequest) {
    EXPECT_EQ(ReadBody(std::string("\x0C\0\0\0", 4) + "\"readidbase\""), "\"readidbase\"");
    EXPECT_EQ(ReadBody(Frame("readidbase")), "readidbase");
}

TEST(NativeMessaging, LengthsThatNameNoRequest) {
    EXPECT_EQ(ReadBody(std::string("\xFF\xFF\xFF\xFF", 4) + "\"readidbase\""), "<none>");
    EXPECT_EQ(ReadBody(std::string("\x00\x00\x00\x80", 4) + "\"readidbase\""), "<none>");
    EXPECT_EQ(ReadBody(std::string("\0\0\0\0", 4)), "<none>");
    EXPECT_EQ(ReadBody(""), "<none>");
}

TEST(NativeMessaging, ShortAndEmbeddedNulBodies) {
    // The stream ends early: the rest of the body stays zero.
    EXPECT_EQ(ReadBody(std::string("\x14\0\0\0", 4) + "\"readidbase\""), "\"readidbase\"");
    // The text ends at its first NUL.
    EXPECT_EQ(ReadBody(Frame(std::string("\"readidbase\"\0tail", 17))), "\"readidbase\"");
    // A huge declared length with little data is read without waiting for the rest.
    EXPECT_EQ(ReadBody(std::string("\xFF\xFF\xFF\x7F", 4) + "abc"), "abc");
}

TEST(NativeMessaging, WriteFramePrefixesTheLittleEndianLength) {
    fs::path path = TestProgramDirectory() / "frame_out.bin";
    FileStream out(std::fopen(path.string().c_str(), "wb"));
    ASSERT_TRUE(out);
    std::string reply(1000, 'x');
    EXPECT_TRUE(WriteFrame(out.get(), reply.c_str()));
    EXPECT_TRUE(WriteFrame(out.get(), ""));
    out.reset();
    std::string bytes = ReadBinaryFile(path);
    fs::remove(path);
    ASSERT_EQ(bytes.size(), 1008u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xE8\x03\x00\x00", 4));
    EXPECT_EQ(bytes.substr(4, 1000), reply);
    EXPECT_EQ(bytes.substr(1004), std::string("\0\0\0\0", 4));
}

TEST(NativeMessaging, OtherRequestsGetNoReply) {
    fs::path path = TestProgramDirectory() / "frame_reply.bin";
    for (const std::string& body : {std::string("readidbase"), std::string("\"readidbase\"\n"),
                                    std::string("\"READIDBASE\""), std::string("\"readcard\"")}) {
        FrameStream in(Frame(body));
        FileStream out(std::fopen(path.string().c_str(), "wb"));
        ASSERT_TRUE(out);
        EXPECT_EQ(RunNativeMessaging(in.get(), out.get()), NativeMessagingOutcome::kNotAnswered)
            << body;
        out.reset();
        EXPECT_EQ(fs::file_size(path), 0u) << body;
    }
    fs::remove(path);
}

// The exit code of a browser's start rests on these: an input that ends at once is nobody
// asking, while a frame of length zero is a request that went unanswered.
TEST(NativeMessaging, NoInputIsNoRequest) {
    fs::path path = TestProgramDirectory() / "frame_none.bin";
    FileStream out(std::fopen(path.string().c_str(), "wb"));
    ASSERT_TRUE(out);
    {
        FrameStream empty("");
        EXPECT_EQ(RunNativeMessaging(empty.get(), out.get()), NativeMessagingOutcome::kNoRequest);
    }
    {
        FrameStream zero(std::string("\0\0\0\0", 4));
        EXPECT_EQ(RunNativeMessaging(zero.get(), out.get()), NativeMessagingOutcome::kNotAnswered);
    }
    out.reset();
    fs::remove(path);
}

TEST(NativeMessaging, WriteFrameReportsAStreamThatTakesNothing) {
    fs::path path = TestProgramDirectory() / "frame_read_only.bin";
    ASSERT_TRUE(FileStream(std::fopen(path.string().c_str(), "wb")));
    FileStream read_only(std::fopen(path.string().c_str(), "rb"));
    ASSERT_TRUE(read_only);
    EXPECT_FALSE(WriteFrame(read_only.get(), "reply"));
    read_only.reset();
    fs::remove(path);
}

}  // namespace

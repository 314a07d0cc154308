// The self-test's checks: the switch, the driver and decoder checks on the stand-in libraries
// and their variants, the settings line, and how a handshake answer is told apart.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "host/entry_point.h"
#include "host/selftest/self_test.h"
#include "host/selftest/self_test_checks.h"
#include "tests/simulated_reader.h"
#include "tests/test_support.h"
#include "websocket/handshake.h"

using namespace vorn;

namespace fs = std::filesystem;

namespace {

std::string Directory(const fs::path& path) {
    return path.string() + static_cast<char>(fs::path::preferred_separator);
}

std::string Detail(const CheckLine& line) {
    return Narrow(line.detail.c_str());
}

TEST(SelfTestSwitch, SelfTestInAnyCaseAndInLongForm) {
    EXPECT_EQ(ParseRunMode({L"-selftest"}, L"-/"), RunMode::kSelfTest);
    EXPECT_EQ(ParseRunMode({L"/SelfTest", L"/show"}, L"-/"), RunMode::kSelfTest);
    EXPECT_EQ(ParseRunMode({L"--selftest"}, L"-"), RunMode::kSelfTest);
    // Paths start with "/" on Linux; the install switch keeps its one-hyphen rule.
    EXPECT_EQ(ParseRunMode({L"/selftest"}, L"-"), RunMode::kRun);
    EXPECT_EQ(ParseRunMode({L"-selftests"}, L"-"), RunMode::kIgnore);
    EXPECT_EQ(ParseRunMode({L"---selftest"}, L"-"), RunMode::kIgnore);
    EXPECT_EQ(ParseRunMode({L"--install"}, L"-"), RunMode::kIgnore);
    EXPECT_TRUE(IsSwitch(L"-SHOW", kShowFieldsSwitch, L"-", true));
    EXPECT_FALSE(IsSwitch(L"show", kShowFieldsSwitch, L"-", true));
}

TEST(SelfTestLibraries, DriverWithEveryExportOrOnlyThoseAReadCalls) {
    CheckLine complete = CheckDriverLibrary(Directory(TestProgramDirectory()));
    EXPECT_EQ(complete.verdict, Verdict::kOk) << Detail(complete);
    EXPECT_NE(Detail(complete).find("all its exports"), std::string::npos);

    CheckLine minimal = CheckDriverLibrary(SimulatedReader::VariantDirectory("minimal"));
    EXPECT_EQ(minimal.verdict, Verdict::kOk) << Detail(minimal);
    EXPECT_NE(Detail(minimal).find("not needed: SDT_GetCOMBaud"), std::string::npos);

    CheckLine no_read = CheckDriverLibrary(SimulatedReader::VariantDirectory("no-card"));
    EXPECT_EQ(no_read.verdict, Verdict::kFail);
    EXPECT_EQ(no_read.failure_bit, kSelfTestDriverFailed);
    EXPECT_NE(Detail(no_read).find("SDT_SelectIDCard"), std::string::npos) << Detail(no_read);
}

TEST(SelfTestSettingsLine, ShowsWhatTheFileSets) {
    fs::path path = TestProgramDirectory() / "self_test_config.ini";
    WriteTextFile(path,
                  "[Bind]\nip=127.0.0.2\nport=70000\n"
                  "[Security]\nallowed_origins = https://counter.example.com, http://localhost\n");
    SelfTestSettings settings;
    CheckLine line = CheckConfig(path.string(), &settings);
    fs::remove(path);
    EXPECT_EQ(line.verdict, Verdict::kOk);
    EXPECT_EQ(settings.bind.port, 4464);
    EXPECT_NE(Detail(line).find("ip 127.0.0.2, port 4464, trace log off, allowed origins: "
                                "https://counter.example.com, http://localhost"),
              std::string::npos)
        << Detail(line);

    CheckLine missing = CheckConfig(path.string(), &settings);
    EXPECT_EQ(missing.verdict, Verdict::kOk);
    EXPECT_NE(Detail(missing).find("defaults: ip 127.0.0.1, port 17171, trace log off, allowed "
                                   "origins: any"),
              std::string::npos)
        << Detail(missing);
}

TEST(SelfTestPort, HandshakeAnswersAreToldApart) {
    std::string accept = ComputeAcceptKey("dGhlIHNhbXBsZSBub25jZQ==").get();
    EXPECT_EQ(accept, "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
    std::string switching =
        "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
        "Connection: Upgrade\r\nSec-WebSocket-Accept: " +
        accept + "\r\n\r\n";
    EXPECT_EQ(ClassifyHandshakeAnswer(switching, accept), PortAnswer::kWebSocket);
    // An endpoint that switches but proves nothing about the key is not taken for one.
    EXPECT_EQ(ClassifyHandshakeAnswer(switching, "other="), PortAnswer::kOther);
    EXPECT_EQ(ClassifyHandshakeAnswer(switching, ""), PortAnswer::kOther);
    EXPECT_EQ(
        ClassifyHandshakeAnswer("HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n", accept),
        PortAnswer::kRefusedOrigin);
    EXPECT_EQ(ClassifyHandshakeAnswer("HTTP/1.0 200 OK\r\n\r\n", accept), PortAnswer::kOther);
    EXPECT_EQ(ClassifyHandshakeAnswer("SSH-2.0-x\r\n", accept), PortAnswer::kOther);
}

}  // namespace

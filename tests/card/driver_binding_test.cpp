// Binding the reader driver and reading a card through it, against the simulated reader.
#include <gtest/gtest.h>

#include <filesystem>

#include "card/sdt_func.h"
#include "diagnostics/trace_log.h"
#include "tests/simulated_reader.h"
#include "tests/test_support.h"

using namespace vorn;

namespace fs = std::filesystem;

namespace {

std::string ProgramDirectory() {
    return TestProgramDirectory().string() + static_cast<char>(fs::path::preferred_separator);
}

// Collects the trace of one test in the trace folder beside the test program.
class DriverBindingTest : public ::testing::Test {
protected:
    void SetUp() override {
        trace_directory_ = TestProgramDirectory() / "QD_LOG";
        fs::remove_all(trace_directory_);
        fs::create_directory(trace_directory_);
        EnableTraceLog();
    }
    void TearDown() override {
        ReleaseTraceLog();
        fs::remove_all(trace_directory_);
    }
    std::string Trace() const {
        std::string text;
        for (const auto& entry : fs::directory_iterator(trace_directory_)) {
            text += Utf16LeToUtf8(ReadBinaryFile(entry.path()));
        }
        return text;
    }

    fs::path trace_directory_;
};

TEST_F(DriverBindingTest, ReadsTheCardOnTheReader) {
    SimulatedReader reader("resident_long_term.ini");
    CSdtFunc driver;
    ASSERT_EQ(driver.CreateDefault(ProgramDirectory().c_str()), 0);
    EXPECT_TRUE(driver.IsLoaded());
    ASSERT_EQ(driver.FindAndSelectCard(), 0);
    ASSERT_EQ(driver.ReadIDCard(), 0);
    EXPECT_EQ(driver.Record().text_length, 256u);
    EXPECT_EQ(driver.Record().photo_length, 1024u);

    CIdBufferW card;
    card.CopyFrom(driver.Record());
    EXPECT_EQ(card.GetCardKind(), CardKind::Resident);
    EXPECT_EQ(Narrow(card.GetName()), "陈静怡");
    EXPECT_EQ(Narrow(card.GetIdNumber()), "11010119650312158X");
    EXPECT_EQ(Narrow(card.GetValidEnd()), "长期");

    driver.Destroy();
    EXPECT_FALSE(driver.IsLoaded());
    EXPECT_EQ(driver.Record().text_length, 0u);
    // Destroying twice is harmless, and steps after it answer "not bound".
    driver.Destroy();
    EXPECT_EQ(driver.FindAndSelectCard(), kSdtNotBound);
    EXPECT_EQ(driver.ReadIDCard(), kSdtNotBound);

    std::string trace = Trace();
    EXPECT_NE(trace.find("┌Func IN  <CSdtFunc::Create>"), std::string::npos) << trace;
    EXPECT_NE(trace.find("Dll Path = " + ProgramDirectory() + "sdtapi"), std::string::npos)
        << trace;
    EXPECT_NE(trace.find("└Func OUT <CSdtFunc::Destroy>"), std::string::npos);
    // Every export is there: no missing-export line.
    EXPECT_EQ(trace.find("GetProcAddress"), std::string::npos);
}

TEST_F(DriverBindingTest, MissingLibraryFailsToBind) {
    fs::path empty = TestProgramDirectory() / "no-driver-here";
    fs::create_directories(empty);
    CSdtFunc driver;
    // Without a trailing separator one is added before the name.
    EXPECT_EQ(driver.CreateDefault(empty.string().c_str()), kSdtBindFailed);
    EXPECT_FALSE(driver.IsLoaded());
    EXPECT_EQ(driver.FindAndSelectCard(), kSdtNotBound);
    EXPECT_EQ(driver.Create(nullptr, nullptr), kSdtBindFailed);
    fs::remove_all(empty);

    std::string trace = Trace();
    EXPECT_NE(trace.find("Dll Path = " + empty.string() +
                         static_cast<char>(fs::path::preferred_separator) + "sdtapi"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("CSdtFunc::LoadDllModule - LoadLibrary Error("), std::string::npos);
    EXPECT_NE(trace.find("), Line = 171."), std::string::npos);
    EXPECT_NE(trace.find("CSdtFunc::Create - LoadDllModule Error(-11 - 0xFFFFFFF5), Line = 89."),
              std::string::npos);
    EXPECT_NE(trace.find("] DllName is Null"), std::string::npos);
    EXPECT_NE(trace.find("CSdtFunc::FindAndSelectCard - SDT_StartFindIDCard Error(-10 - "
                         "0xFFFFFFF6), Line = 535."),
              std::string::npos);
}

TEST_F(DriverBindingTest, FindAndSelectFailuresPassTheDriversCode) {
    CSdtFunc driver;
    ASSERT_EQ(driver.CreateDefault(ProgramDirectory().c_str()), 0);
    {
        SimulatedReader reader("");
        EXPECT_EQ(driver.FindAndSelectCard(), 0x80);
    }
    {
        SimulatedReader reader("resident_long_term.ini", "select = 0x81\n");
        EXPECT_EQ(driver.FindAndSelectCard(), 0x81);
    }
    {
        SimulatedReader reader("resident_long_term.ini", "find = 0x9E\n");
        EXPECT_EQ(driver.FindAndSelectCard(), 0x9E);
    }
    std::string trace = Trace();
    // A refused select is reported under the find's name.
    EXPECT_NE(trace.find("SDT_StartFindIDCard Error(129 - 0x0081), Line = 535."), std::string::npos)
        << trace;
}

TEST_F(DriverBindingTest, FingerprintReadFallsBackOnlyFor33) {
    CSdtFunc driver;
    ASSERT_EQ(driver.CreateDefault(ProgramDirectory().c_str()), 0);
    {
        SimulatedReader reader("permit_taiwan.ini", "read_fp = 33\n");
        ASSERT_EQ(driver.FindAndSelectCard(), 0);
        EXPECT_EQ(driver.ReadIDCard(), 0);
        CIdBufferW card;
        card.CopyFrom(driver.Record());
        EXPECT_EQ(card.GetCardKind(), CardKind::Taiwan);
    }
    {
        SimulatedReader reader("permit_taiwan.ini", "read_fp = 0x41\n");
        ASSERT_EQ(driver.FindAndSelectCard(), 0);
        EXPECT_EQ(driver.ReadIDCard(), 0x41);
    }
    {
        SimulatedReader reader("permit_taiwan.ini", "read_fp = 33\nread = 0x42\n");
        ASSERT_EQ(driver.FindAndSelectCard(), 0);
        EXPECT_EQ(driver.ReadIDCard(), 0x42);
    }
    std::string trace = Trace();
    EXPECT_NE(trace.find("] SDT_ReadBaseFPMsg Result 33, Use SDT_ReadBaseMsg Func."),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("CSdtFunc::ReadIDCard - SDT_ReadBase(FP)Msg Error(65 - 0x0041), Line = "
                         "647."),
              std::string::npos);
    // 0x41 was returned as it came: the plain read was tried only after 33.
    EXPECT_EQ(trace.find("Result 65"), std::string::npos);
}

TEST_F(DriverBindingTest, LibraryWithoutFingerprintReadStillReads) {
    SimulatedReader reader("foreigner_usa.ini");
    // The variant reads the description beside itself, so give it the same card.
    std::string variant = SimulatedReader::VariantDirectory("no-fingerprint");
    WriteTextFile(fs::path(variant) / "simulator.ini",
                  "[Reader]\ncard = ../../cards/foreigner_usa.ini\n");
    CSdtFunc driver;
    ASSERT_EQ(driver.CreateDefault(variant.c_str()), 0);
    ASSERT_EQ(driver.FindAndSelectCard(), 0);
    EXPECT_EQ(driver.ReadIDCard(), 0);
    CIdBufferW card;
    card.CopyFrom(driver.Record());
    EXPECT_EQ(card.GetCardKind(), CardKind::Foreigner);
    fs::remove(fs::path(variant) / "simulator.ini");

    std::string trace = Trace();
    EXPECT_NE(trace.find("GetProcAddress SDT_ReadBaseFPMsg Error(127 - 0x007F), Line = 238."),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("SDT_ReadBaseFPMsg Result -12, Use SDT_ReadBaseMsg Func."),
              std::string::npos);
}

TEST_F(DriverBindingTest, ExportsThatAreNeverCalledMayBeMissing) {
    std::string variant = SimulatedReader::VariantDirectory("minimal");
    WriteTextFile(fs::path(variant) / "simulator.ini",
                  "[Reader]\ncard = ../../cards/permit_hongkong.ini\n");
    CSdtFunc driver;
    ASSERT_EQ(driver.CreateDefault(variant.c_str()), 0);
    ASSERT_EQ(driver.FindAndSelectCard(), 0);
    EXPECT_EQ(driver.ReadIDCard(), 0);
    fs::remove(fs::path(variant) / "simulator.ini");

    std::string trace = Trace();
    EXPECT_NE(trace.find("GetProcAddress SDT_OpenPort Error"), std::string::npos) << trace;
    EXPECT_NE(trace.find("GetProcAddress PF_SDT_GetSAMID Error"), std::string::npos);
    // The optional export is never reported.
    EXPECT_EQ(trace.find("SDT_GetID"), std::string::npos);
}

}  // namespace

// The service framework's status sequences and error entries, seen through a fake sink.
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "host/service/service_base.h"

using namespace vorn;

namespace {

// Records every report and entry instead of telling a service manager.
class RecordingSink : public ServiceStatusSink {
public:
    void SetStatus(const ServiceStatus& status) override { reports.push_back(status); }
    void WriteErrorEntry(const wchar_t* source, const wchar_t* message) override {
        entries.push_back(std::wstring(source) + L" | " + message);
    }
    std::vector<ServiceStatus> reports;
    std::vector<std::wstring> entries;
};

// What a hook does when called.
enum class Outcome { kReturn, kThrowCode, kThrowOther };

class ScriptedService : public CServiceBase {
public:
    ScriptedService()
        : CServiceBase(L"TestService", kServiceWin32OwnProcess, kServiceStartPending,
                       kServiceAcceptStop | kServiceAcceptShutdown) {
        SetStatusSink(&sink);
    }
    Outcome start = Outcome::kReturn;
    Outcome stop = Outcome::kReturn;
    Outcome pause = Outcome::kReturn;
    Outcome resume = Outcome::kReturn;
    Outcome shutdown = Outcome::kReturn;
    std::uint32_t code = 5;
    std::vector<std::string> calls;
    RecordingSink sink;

protected:
    void StartHook(std::uint32_t argc, wchar_t** /*argv*/) override {
        calls.push_back("start " + std::to_string(argc));
        Act(start);
    }
    void StopHook() override {
        calls.push_back("stop");
        Act(stop);
    }
    void PauseHook() override {
        calls.push_back("pause");
        Act(pause);
    }
    void ContinueHook() override {
        calls.push_back("continue");
        Act(resume);
    }
    void ShutdownHook() override {
        calls.push_back("shutdown");
        Act(shutdown);
    }

private:
    void Act(Outcome outcome) {
        if (outcome == Outcome::kThrowCode) {
            throw code;
        }
        if (outcome == Outcome::kThrowOther) {
            throw std::string("not a code");
        }
    }
};

// The states reported, with "+" for a checkpoint that follows the previous pending one and
// the exit code after a slash when it is not 0.
std::vector<std::string> States(const RecordingSink& sink, std::uint32_t* last_checkpoint) {
    std::vector<std::string> states;
    for (const ServiceStatus& status : sink.reports) {
        std::string text = std::to_string(status.current_state);
        if (status.check_point != 0) {
            EXPECT_EQ(status.check_point, *last_checkpoint + 1) << "checkpoints run 1, 2, 3, ...";
            *last_checkpoint = status.check_point;
            text += "+";
        }
        if (status.win32_exit_code != 0) {
            text += "/" + std::to_string(status.win32_exit_code);
        }
        EXPECT_EQ(status.wait_hint, 0u);
        EXPECT_EQ(status.service_type, kServiceWin32OwnProcess);
        EXPECT_EQ(status.controls_accepted, kServiceAcceptStop | kServiceAcceptShutdown);
        states.push_back(text);
    }
    return states;
}

using Strings = std::vector<std::string>;
using WideStrings = std::vector<std::wstring>;

class ServiceFramework : public ::testing::Test {
protected:
    // The process-wide counter has moved on through earlier tests: start from where it is.
    void SetUp() override { checkpoint_ = NextCheckpoint(); }
    Strings Reported() { return States(service_.sink, &checkpoint_); }

    ScriptedService service_;
    std::uint32_t checkpoint_ = 0;
};

TEST_F(ServiceFramework, StartAndStop) {
    wchar_t name[] = L"TestService";
    wchar_t* argv[] = {name, nullptr};
    service_.HandleStart(1, argv);
    service_.HandleControl(kServiceControlStop);
    EXPECT_EQ(Reported(), (Strings{"2+", "4", "3+", "1"}));
    EXPECT_EQ(service_.calls, (Strings{"start 1", "stop"}));
    EXPECT_TRUE(service_.sink.entries.empty());
}

TEST_F(ServiceFramework, StartHookFailures) {
    service_.start = Outcome::kThrowCode;
    service_.HandleStart(0, nullptr);
    EXPECT_EQ(Reported(), (Strings{"2+", "1/5"}));
    EXPECT_EQ(service_.sink.entries,
              (WideStrings{L"TestService | Service Start failed w/err 0x00000005"}));

    ScriptedService other;
    other.start = Outcome::kThrowOther;
    other.HandleStart(0, nullptr);
    EXPECT_EQ(States(other.sink, &checkpoint_), (Strings{"2+", "1"}));
    EXPECT_EQ(other.sink.entries, (WideStrings{L"TestService | Service failed to start."}));
}

TEST_F(ServiceFramework, StopHookFailuresRestoreTheFormerState) {
    service_.HandleStart(0, nullptr);
    service_.stop = Outcome::kThrowCode;
    service_.code = 0x80070005u;
    service_.HandleControl(kServiceControlStop);
    service_.stop = Outcome::kThrowOther;
    service_.HandleControl(kServiceControlStop);
    EXPECT_EQ(Reported(), (Strings{"2+", "4", "3+", "4", "3+", "4"}));
    EXPECT_EQ(service_.sink.entries,
              (WideStrings{L"TestService | Service Stop failed w/err 0x80070005",
                           L"TestService | Service failed to stop."}));
    // From a state that is itself pending, the restored report takes the next checkpoint.
    service_.ReportStatus(kServicePausePending, 0, 0);
    service_.HandleControl(kServiceControlStop);
    EXPECT_EQ(service_.Status().current_state, kServicePausePending);
    EXPECT_EQ(service_.Status().check_point, checkpoint_ + 2);
}

TEST_F(ServiceFramework, PauseAndContinue) {
    service_.HandleStart(0, nullptr);
    service_.HandleControl(kServiceControlPause);
    service_.HandleControl(kServiceControlContinue);
    service_.pause = Outcome::kThrowCode;
    service_.HandleControl(kServiceControlPause);
    service_.resume = Outcome::kThrowOther;
    service_.HandleControl(kServiceControlContinue);
    service_.resume = Outcome::kThrowCode;
    service_.HandleControl(kServiceControlContinue);
    service_.pause = Outcome::kThrowOther;
    service_.HandleControl(kServiceControlPause);
    EXPECT_EQ(Reported(), (Strings{"2+", "4", "6+", "7+", "5+", "4", "6+", "4", "5+", "7+", "5+",
                                   "7+", "6+", "4"}));
    EXPECT_EQ(service_.sink.entries,
              (WideStrings{L"TestService | Service Pause failed w/err 0x00000005",
                           L"TestService | Service failed to resume.",
                           L"TestService | Service Continue failed w/err 0x00000005",
                           L"TestService | Service failed to pause."}));
}

TEST_F(ServiceFramework, ShutdownReportsStoppedOnlyWhenItWorked) {
    service_.HandleStart(0, nullptr);
    service_.shutdown = Outcome::kThrowCode;
    service_.HandleControl(kServiceControlShutdown);
    service_.shutdown = Outcome::kThrowOther;
    service_.HandleControl(kServiceControlShutdown);
    service_.shutdown = Outcome::kReturn;
    service_.HandleControl(kServiceControlShutdown);
    EXPECT_EQ(Reported(), (Strings{"2+", "4", "1"}));
    EXPECT_EQ(service_.sink.entries,
              (WideStrings{L"TestService | Service Shutdown failed w/err 0x00000005",
                           L"TestService | Service failed to shut down."}));
}

TEST_F(ServiceFramework, OtherControlsAreIgnored) {
    service_.HandleStart(0, nullptr);
    for (std::uint32_t control : {kServiceControlInterrogate, 0u, 6u, 128u, 0xFFFFFFFFu}) {
        service_.HandleControl(control);
    }
    EXPECT_EQ(Reported(), (Strings{"2+", "4"}));
    EXPECT_EQ(service_.calls, (Strings{"start 0"}));
}

TEST_F(ServiceFramework, FailureTextIsCutAt259Characters) {
    std::wstring label(300, L'L');
    service_.WriteFailureEvent(label.c_str(), 1);
    ASSERT_EQ(service_.sink.entries.size(), 1u);
    EXPECT_EQ(service_.sink.entries[0], L"TestService | " + label.substr(0, 259));
}

}  // namespace

namespace {

// Writes error entries to standard error, where a death test finds them.
class StandardErrorSink : public ServiceStatusSink {
public:
    void SetStatus(const ServiceStatus& /*status*/) override {}
    void WriteErrorEntry(const wchar_t* /*source*/, const wchar_t* message) override {
        std::string text;
        for (const wchar_t* c = message; *c != L'\0'; ++c) {
            text += static_cast<char>(*c);
        }
        std::fprintf(stderr, "%s\n", text.c_str());
        std::fflush(stderr);
    }
};

}  // namespace

// An error that escapes any thread of a running service ends the process; the log says why
// before it does.
TEST(ServiceFrameworkDeathTest, EscapedErrorIsWrittenBeforeTheEnd) {
    EXPECT_DEATH(
        {
            StandardErrorSink sink;
            ScriptedService service;
            service.SetStatusSink(&sink);
            SetServiceInstance(&service);
            service.HandleStart(0, nullptr);
            std::thread([] { throw std::runtime_error("lost on its way"); }).join();
        },
        "escaped one of its threads .lost on its way.");
}

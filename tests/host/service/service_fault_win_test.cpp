// A fault of a service's thread leaves an error entry that says what and where.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "host/service/service_base.h"

using namespace vorn;

namespace {

// Prints the error entry on standard error, where the death test reads it.
class StandardErrorSink : public ServiceStatusSink {
public:
    void SetStatus(const ServiceStatus& /*status*/) override {}
    void WriteErrorEntry(const wchar_t* /*source*/, const wchar_t* message) override {
        std::fprintf(stderr, "%ls\n", message);
        std::fflush(stderr);
    }
};

// A service with nothing to do; the fault comes from elsewhere in its process.
class IdleService : public CServiceBase {
public:
    IdleService() : CServiceBase(L"TestService", kServiceWin32OwnProcess, kServiceRunning, 0) {}
};

}  // namespace

TEST(ServiceFaultDeathTest, FaultOfAnyThreadIsWrittenWithItsPlace) {
    EXPECT_DEATH(
        {
            StandardErrorSink sink;
            IdleService service;
            service.SetStatusSink(&sink);
            SetServiceInstance(&service);
            ReportFaultsBeforeTheEnd();
            std::thread([] { *static_cast<volatile int*>(nullptr) = 1; }).join();
        },
        "a fault in its process .exception 0xc0000005 at VornIdReaderTests.exe\\+0x\\w+.");
}

// The program's run path: answer one native-messaging request and end.
#include "host/entry_point.h"

#include "host/native_messaging.h"

int RunProgram(const std::vector<std::wstring>& /*arguments*/) {
    RunNativeMessaging();
    return 0;
}

// The event-log message table: an entry the service writes reads as its message in Event
// Viewer, which formats the entry's id from the table in the program file.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "host/service/event_messages.h"

namespace {

TEST(EventMessages, TheServiceErrorIdFormatsAsTheMessage) {
    // FormatMessage takes the inserts as an array of pointers in place of a va_list.
    DWORD_PTR strings[2] = {reinterpret_cast<DWORD_PTR>(L"VornIdReader"),
                            reinterpret_cast<DWORD_PTR>(L"Service Start failed w/err 0x00000005")};
    wchar_t text[512] = {};
    // Every executable that links the core carries the table, this test program included.
    DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr,
                       VORN_EVENT_SERVICE_ERROR, 0, text, 512, reinterpret_cast<va_list*>(strings));
    ASSERT_NE(length, 0u) << "no message " << VORN_EVENT_SERVICE_ERROR << ", error "
                          << GetLastError();
    EXPECT_EQ(std::wstring(text), L"Service Start failed w/err 0x00000005\r\n");
    // Event Viewer shows the id without its severity bits.
    EXPECT_EQ(VORN_EVENT_SERVICE_ERROR & 0xFFFF, 1u);
}

}  // namespace

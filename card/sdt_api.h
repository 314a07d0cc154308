// The reader driver's entry points, exactly as the program calls them and the
// simulated driver exports them.
#pragma once

#include <cstdint>

namespace vorn {

// Driver entry points use the Windows API calling convention; it differs from
// the default only on 32-bit Windows.
#if defined(_WIN32) && !defined(_WIN64)
#define SDT_API __stdcall
#else
#define SDT_API
#endif

extern "C" {
using SdtGetComBaudFn = int(SDT_API*)(int port, std::uint32_t* baud);
using SdtSetComBaudFn = int(SDT_API*)(int port, std::uint32_t current, std::uint32_t wanted);
using SdtOpenPortFn = int(SDT_API*)(int port);
using SdtClosePortFn = int(SDT_API*)(int port);
using SdtGetSamStatusFn = int(SDT_API*)(int port, int open_port);
using SdtGetSamIdFn = int(SDT_API*)(int port, unsigned char* sam_id, int open_port);
using SdtGetSamIdToStrFn = int(SDT_API*)(int port, char* sam_id, int open_port);
using SdtStartFindIdCardFn = int(SDT_API*)(int port, unsigned char* manage, int open_port);
using SdtSelectIdCardFn = int(SDT_API*)(int port, unsigned char* serial, int open_port);
using SdtReadBaseMsgFn = int(SDT_API*)(int port, unsigned char* text, std::uint32_t* text_length,
                                       unsigned char* photo, std::uint32_t* photo_length,
                                       int open_port);
using SdtReadBaseFpMsgFn = int(SDT_API*)(int port, unsigned char* text, std::uint32_t* text_length,
                                         unsigned char* photo, std::uint32_t* photo_length,
                                         unsigned char* fingerprint,
                                         std::uint32_t* fingerprint_length, int open_port);
using SdtReadNewAppMsgFn = int(SDT_API*)(int port, unsigned char* address,
                                         std::uint32_t* address_length, int open_port);
using SdtGetIdFn = int(SDT_API*)(int port, unsigned char* id, int open_port);
}

// Codes of the driver that the program tests.
constexpr int kSdtCardPresent = 0x9F;
constexpr int kSdtSuccess = 0x90;
constexpr int kSdtNoFingerprintRead = 33;

// Buffer sizes of the raw card record the driver writes into.
constexpr int kSdtTextRecordSize = 256;
constexpr int kSdtPhotoRecordSize = 1024;
constexpr int kSdtFingerprintRecordSize = 1024;
constexpr int kSdtNewAddressRecordSize = 70;
constexpr int kSdtSerialSize = 8;

}  // namespace vorn

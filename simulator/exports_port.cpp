// Port, security module and extra-record entry points. The program binds them but never calls
// them; they answer as a reader with a working port would, and one variant leaves them out.
#include <cstring>
#include <type_traits>

#include "card/sdt_api.h"
#include "simulator/export_guard.h"
#include "simulator/sdt_export.h"

using namespace vorn;

using vorn::sim::AnswerFromFreshReader;
using vorn::sim::SimulatedReader;

namespace {

constexpr std::uint32_t kSerialBaud = 115200;
// A made-up security module number; callers of the string form get it with its terminator.
constexpr unsigned char kSamId[16] = {'V', 'O', 'R', 'N', 'S', 'I', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 1};
constexpr char kSamIdText[] = "VORNSIM-0001";

}  // namespace

extern "C" {

SDT_EXPORT int SDT_API SDT_GetCOMBaud(int /*port*/, std::uint32_t* baud) {
    return AnswerFromFreshReader("SDT_GetCOMBaud", [&](const SimulatedReader&) {
        if (baud == nullptr) {
            return vorn::sim::kBadArgument;
        }
        *baud = kSerialBaud;
        return kSdtSuccess;
    });
}

SDT_EXPORT int SDT_API SDT_SetCOMBaud(int /*port*/, std::uint32_t /*current*/,
                                      std::uint32_t /*wanted*/) {
    return AnswerFromFreshReader("SDT_SetCOMBaud",
                                 [](const SimulatedReader&) { return kSdtSuccess; });
}

SDT_EXPORT int SDT_API SDT_OpenPort(int /*port*/) {
    return AnswerFromFreshReader("SDT_OpenPort",
                                 [](const SimulatedReader&) { return kSdtSuccess; });
}

SDT_EXPORT int SDT_API SDT_ClosePort(int /*port*/) {
    return AnswerFromFreshReader("SDT_ClosePort",
                                 [](const SimulatedReader&) { return kSdtSuccess; });
}

SDT_EXPORT int SDT_API SDT_GetSAMStatus(int /*port*/, int /*open_port*/) {
    return AnswerFromFreshReader("SDT_GetSAMStatus",
                                 [](const SimulatedReader&) { return kSdtSuccess; });
}

SDT_EXPORT int SDT_API SDT_GetSAMID(int /*port*/, unsigned char* sam_id, int /*open_port*/) {
    return AnswerFromFreshReader("SDT_GetSAMID", [&](const SimulatedReader&) {
        if (sam_id == nullptr) {
            return vorn::sim::kBadArgument;
        }
        std::memcpy(sam_id, kSamId, sizeof(kSamId));
        return kSdtSuccess;
    });
}

SDT_EXPORT int SDT_API SDT_GetSAMIDToStr(int /*port*/, char* sam_id, int /*open_port*/) {
    return AnswerFromFreshReader("SDT_GetSAMIDToStr", [&](const SimulatedReader&) {
        if (sam_id == nullptr) {
            return vorn::sim::kBadArgument;
        }
        std::memcpy(sam_id, kSamIdText, sizeof(kSamIdText));
        return kSdtSuccess;
    });
}

SDT_EXPORT int SDT_API SDT_ReadNewAppMsg(int /*port*/, unsigned char* address,
                                         std::uint32_t* address_length, int /*open_port*/) {
    return AnswerFromFreshReader("SDT_ReadNewAppMsg", [&](const SimulatedReader& r) {
        return r.ReadNewAddress(address, address_length);
    });
}

SDT_EXPORT int SDT_API SDT_GetID(int /*port*/, unsigned char* id, int /*open_port*/) {
    return AnswerFromFreshReader("SDT_GetID",
                                 [&](const SimulatedReader& r) { return r.GetCardId(id); });
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&SDT_GetCOMBaud), SdtGetComBaudFn>);
static_assert(std::is_same_v<decltype(&SDT_SetCOMBaud), SdtSetComBaudFn>);
static_assert(std::is_same_v<decltype(&SDT_OpenPort), SdtOpenPortFn>);
static_assert(std::is_same_v<decltype(&SDT_ClosePort), SdtClosePortFn>);
static_assert(std::is_same_v<decltype(&SDT_GetSAMStatus), SdtGetSamStatusFn>);
static_assert(std::is_same_v<decltype(&SDT_GetSAMID), SdtGetSamIdFn>);
static_assert(std::is_same_v<decltype(&SDT_GetSAMIDToStr), SdtGetSamIdToStrFn>);
static_assert(std::is_same_v<decltype(&SDT_ReadNewAppMsg), SdtReadNewAppMsgFn>);
static_assert(std::is_same_v<decltype(&SDT_GetID), SdtGetIdFn>);

// The entry points that find, select and read a card: every build of the library has them.
#include <type_traits>

#include "card/sdt_api.h"
#include "simulator/export_guard.h"
#include "simulator/sdt_export.h"

using namespace vorn;

using vorn::sim::AnswerFromFreshReader;
using vorn::sim::SimulatedReader;

extern "C" {

SDT_EXPORT int SDT_API SDT_StartFindIDCard(int /*port*/, unsigned char* manage, int /*open_port*/) {
    return AnswerFromFreshReader("SDT_StartFindIDCard",
                                 [&](const SimulatedReader& r) { return r.StartFind(manage); });
}

SDT_EXPORT int SDT_API SDT_SelectIDCard(int /*port*/, unsigned char* serial, int /*open_port*/) {
    return AnswerFromFreshReader("SDT_SelectIDCard",
                                 [&](const SimulatedReader& r) { return r.Select(serial); });
}

SDT_EXPORT int SDT_API SDT_ReadBaseMsg(int /*port*/, unsigned char* text,
                                       std::uint32_t* text_length, unsigned char* photo,
                                       std::uint32_t* photo_length, int /*open_port*/) {
    return AnswerFromFreshReader("SDT_ReadBaseMsg", [&](const SimulatedReader& r) {
        return r.ReadBase(text, text_length, photo, photo_length);
    });
}

}  // extern "C"

// The program binds these names to the pointer types of its own header; a mismatch in
// arguments or calling convention would corrupt its stack on 32-bit Windows.
static_assert(std::is_same_v<decltype(&SDT_StartFindIDCard), SdtStartFindIdCardFn>);
static_assert(std::is_same_v<decltype(&SDT_SelectIDCard), SdtSelectIdCardFn>);
static_assert(std::is_same_v<decltype(&SDT_ReadBaseMsg), SdtReadBaseMsgFn>);

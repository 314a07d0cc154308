// The read that also returns the fingerprint record; one variant of the library leaves it out
// so that the program's fallback to the plain read can be seen.
#include <type_traits>

#include "card/sdt_api.h"
#include "simulator/export_guard.h"
#include "simulator/sdt_export.h"

using namespace vorn;

using vorn::sim::AnswerFromFreshReader;
using vorn::sim::SimulatedReader;

extern "C" {

SDT_EXPORT int SDT_API SDT_ReadBaseFPMsg(int /*port*/, unsigned char* text,
                                         std::uint32_t* text_length, unsigned char* photo,
                                         std::uint32_t* photo_length, unsigned char* fingerprint,
                                         std::uint32_t* fingerprint_length, int /*open_port*/) {
    return AnswerFromFreshReader("SDT_ReadBaseFPMsg", [&](const SimulatedReader& r) {
        return r.ReadBaseWithFingerprint(text, text_length, photo, photo_length, fingerprint,
                                         fingerprint_length);
    });
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&SDT_ReadBaseFPMsg), SdtReadBaseFpMsgFn>);

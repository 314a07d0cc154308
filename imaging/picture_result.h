// The codes the picture steps answer with, and a reply picture together with its code.
#pragma once

#include <string>
#include <utility>

namespace vorn {

// Every picture step answers 0 when it succeeded and kPictureFailed when it failed on its own
// account; a failure of the photo decoder passes the decoder's own code on unchanged, so that
// the reply can show it.
constexpr int kPictureDone = 0;
constexpr int kPictureFailed = -1;

// One picture of the reply as base64 JPEG text, or the code of the step that failed it.
struct EncodedPicture {
    int code = kPictureFailed;
    // Empty unless the picture was made.
    std::string text;

    bool ok() const { return code == kPictureDone; }

    static EncodedPicture Failed(int failure) { return EncodedPicture{failure, {}}; }
    static EncodedPicture Made(std::string base64) {
        return EncodedPicture{kPictureDone, std::move(base64)};
    }
};

}  // namespace vorn

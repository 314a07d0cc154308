#include "imaging/photo/image_holder.h"

#include "imaging/encoding/image_codec.h"

namespace vorn {

void ImageMemoryStream::Release() {
    DestroyPictureState(state_);
    state_ = nullptr;
}

}  // namespace vorn

#include "imaging/photo/image_holder.h"

#include "imaging/encoding/image_codec.h"

void ImageMemoryStream::Release() {
    DestroyPictureState(state_);
    state_ = nullptr;
}

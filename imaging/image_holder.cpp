#include "imaging/image_holder.h"

#include "imaging/image_codec.h"

void ImageMemoryStream::Release() {
    DestroyPictureState(state_);
    state_ = nullptr;
}

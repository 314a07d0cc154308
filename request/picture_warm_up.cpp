#include "request/picture_warm_up.h"

#include <system_error>

#include "imaging/faces/program_resources.h"
#include "imaging/imaging_context.h"
#include "imaging/text/private_fonts.h"
#include "platform/text_conversion.h"
#include "platform/working_memory.h"

namespace vorn {

PictureWarmUp::PictureWarmUp(const std::string& directory) {
    std::wstring path = AnsiToWide(directory.c_str()) + kPhotoDecoderLibrary;
    try {
        thread_ = std::thread(&PictureWarmUp::Run, this, std::move(path));
    } catch (const std::system_error&) {
        // Without a thread the stages do the same work themselves, only later.
    }
}

PictureWarmUp::~PictureWarmUp() {
    Finish();
}

void PictureWarmUp::Finish() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void PictureWarmUp::Run(std::wstring decoder_path) {
    decoder_ = LoadSharedLibrary(decoder_path, nullptr);
    WarmUpTextDrawing();
    PrepareWorkingMemory(kReadWorkingMemory);
    // The canvases take their memory from what was just faulted in.
    PrepareProgramCanvases(canvases_);
    PrepareProgramFonts(fonts_);
}

}  // namespace vorn

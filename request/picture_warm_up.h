// Work that the picture stages of every read need, whatever the card, started while the
// driver waits before it looks for the card.
#pragma once

#include <string>
#include <thread>

#include "imaging/faces/prepared_canvases.h"
#include "imaging/faces/prepared_fonts.h"
#include "platform/shared_library.h"

namespace vorn {

// Loads the photo decoder library, readies the text drawing's font matching, faults in the
// memory the pictures are drawn in, makes the resident card's face canvases from the
// program's templates and registers the program's fonts with the resident card's fonts
// made ready, on a thread of its own. The read's own binding of the decoder then
// finds the library already mapped; this object holds its own reference until it is
// destroyed, which waits for the thread and lets the reference go, so nothing of it outlasts
// the request.
class PictureWarmUp {
public:
    explicit PictureWarmUp(const std::string& directory);
    ~PictureWarmUp();
    PictureWarmUp(const PictureWarmUp&) = delete;
    PictureWarmUp& operator=(const PictureWarmUp&) = delete;

    // Waits until the work is done; the destructor does the same.
    void Finish();

    // The canvases made meanwhile; only for use after Finish. They go with this object.
    PreparedCanvases& canvases() { return canvases_; }
    // The fonts registered and warmed meanwhile; the same holds.
    PreparedFonts& fonts() { return fonts_; }

private:
    void Run(std::wstring decoder_path);

    SharedLibrary decoder_;
    PreparedCanvases canvases_;
    PreparedFonts fonts_;
    std::thread thread_;
};

}  // namespace vorn

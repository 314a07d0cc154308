// Helpers of the imaging tests: bitmap files, pictures from text, cards with photos.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/faces/prepared_fonts.h"
#include "imaging/imaging_context.h"

namespace vorn {

// A 24-bit bottom-up bitmap file whose pixel (x, y), counted from the top, is colour(x, y)
// as 0xRRGGBB.
std::vector<unsigned char> MakeBitmapFile(int width, int height,
                                          const std::function<std::uint32_t(int, int)>& colour);

// The width and height of an encoded picture, or {0, 0} when it does not decode.
struct PictureDimensions {
    int width = 0;
    int height = 0;
};
PictureDimensions DecodedSize(const std::vector<unsigned char>& bytes);
std::vector<unsigned char> DecodeBase64(const std::string& text);

// Fills the context's card with the resident test record and a photo record of the
// simulator, with the reported photo length.
void LoadResidentCard(CImagingContext& imaging, std::uint32_t photo_length = 1024);
// Gives the card the photo record of the resident test card, with the given length.
void AddTestPhoto(CIdBufferW& card, std::uint32_t photo_length = 1024);

// What the tests look at inside an imaging context.
struct ImagingContextPeer {
    // The request's private temporary folder once a photo has been decoded, else null.
    static const TemporaryDirectory* TemporaryFolder(const CImagingContext& imaging) {
        return imaging.temp_directory_.get();
    }
};

// What the tests look at inside prepared fonts.
struct PreparedFontsPeer {
    // How many fonts are warm and not taken.
    static int WarmCount(const PreparedFonts& fonts) { return fonts.warm_.count(); }
};

// No resource of the program has this id.
constexpr int kMissingResource = 999;

// A resource table that points every entry at the program's own resources.
CardResourceTable ProgramTable();

// The context bound to the stand-in decoder beside the test program, its templates and
// fonts taken from the program's resources and registered, as the pipeline sets it up.
void PrepareLikeThePipeline(CImagingContext& imaging);

}  // namespace vorn

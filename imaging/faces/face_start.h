// The steps both card faces begin and end with, so that the front and the back fail alike.
#pragma once

#include <optional>

#include "card/sdt_buffer.h"
#include "imaging/faces/card_kinds.h"
#include "imaging/faces/composition.h"
#include "imaging/imaging_context.h"

namespace vorn {

// What a face composition draws with once it has begun: a reset text item, the decoded
// photo, the card kind, the kind's template on the face canvas, and the font set. The
// members are declared in the order they are made, so they are destroyed in reverse.
struct FaceStart {
    FaceStart() = default;
    FaceStart(const FaceStart&) = delete;
    FaceStart& operator=(const FaceStart&) = delete;

    // Empties the holder, decodes the photo (a card whose photo cannot be decoded gets no
    // face), reads the card kind, loads the side's template for it, makes the canvas (or
    // takes the one the context's prepared canvases made from the same template), chooses the
    // embedded font set when its fonts are registered and draws the rows of the side's
    // layout. Returns 0, the decoder's error, or -1 when the template or the canvas cannot
    // be made or a row cannot be drawn.
    int Begin(CImagingContext& context, ImageMemoryStream& holder, const FaceSide& side);
    // Scales the drawn canvas into the holder, which stays empty when that fails. Returns 0
    // or -1.
    int Finish(CImagingContext& context, ImageMemoryStream& holder);

    TextItem item;
    ImageMemoryStream photo;
    CardKind kind = CardKind::Resident;
    std::optional<TemplateHolder> face_template;
    CardCanvas canvas;
    CIdCardFont_Base base_fonts;
    CIdCardFont_Ex embedded_fonts;
    // Points at one of the two sets once Begin has succeeded.
    CIdCardFont* fonts = nullptr;
};

}  // namespace vorn

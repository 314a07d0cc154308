// The rows of a card face layout, and the texts they print for one card.
#pragma once

#include <span>
#include <vector>

#include "card/card_fields.h"
#include "imaging/faces/composition.h"

namespace vorn {

// What a face row prints: a card field as decoded, or a text made from the card's fields.
enum class FaceText {
    kCardField,
    // The birth date cut into year, month and day; a leading zero of the month or day
    // becomes a blank.
    kBirthYear,
    kBirthMonth,
    kBirthDay,
    // The sex in Chinese and in English, "男/M".
    kSexBilingual,
    // The country's Chinese name, a slash and the nationality code.
    kNationality,
    // The issuing authority the foreigner's card prints; the card's own code is not shown.
    kForeignerAuthority,
    // The birth date as "YYYY.MM.DD".
    kDottedBirth,
    // The period of validity: "start - end" on the foreigner's front, "start-end" on backs.
    kForeignerValidity,
    kBackValidity,
};

// One row of a face layout, in face canvas pixels. A font operation of kKeep keeps the
// fonts of the row before; a value of 0 in the last five columns means "none".
struct FaceRow {
    FaceText text;
    // The field printed when text is kCardField.
    CardField field;
    int x;
    int y;
    FontOperation font;
    int wrap_width;
    int line_gap;
    // The weight both fonts are given after the font operation.
    int weight;
    // The weight the digit font alone is given after that.
    int digit_weight;
    // The widest the text may be drawn before it is made smaller.
    int fit_width;
    // For the birth month and day: where the text is drawn when its leading zero became a
    // blank, so that the digit stays in its place.
    int shifted_x;
};

// The photo's place on the fronts: drawn 2.5 times its size, its background keyed out.
constexpr int kPhotoX = 541;
constexpr int kPhotoY = 84;
constexpr int kPhotoDrawnWidth = 255;
constexpr int kPhotoDrawnHeight = 315;
// The least room left between a text and the photo.
constexpr int kPhotoMargin = 10;

// The rows of one face, drawn in order; a face with no rows is its template alone.
using FaceLayout = std::span<const FaceRow>;

// The rows of the layout with this card's texts, ready to draw.
std::vector<FieldRow> FieldRowsOf(FaceLayout layout, CIdBufferW& card);

}  // namespace vorn

// The card's emblem side: template, issuing office and validity, and on the residence
// permits the pass number and issue count.
#include "imaging/faces/card_texts.h"
#include "imaging/faces/composition.h"
#include "imaging/faces/face_start.h"
#include "imaging/imaging_context.h"

namespace {

std::vector<FieldRow> BackRows(CIdBufferW& card, CardKind kind) {
    std::vector<FieldRow> rows;
    if (kind == Foreigner) {
        return rows;  // the template alone
    }
    const std::wstring valid_from = card.GetValidBeg();
    const std::wstring validity = BackValidityText(valid_from.c_str(), card.GetValidEnd());
    // The back prints in a thin weight, whatever the font operation chose.
    FieldRow authority{card.GetDept(), 355, 388, FontOperation::kField};
    authority.weight = kWeightThin;
    FieldRow period{validity, 358, 454, FontOperation::kValidity};
    period.weight = kWeightThin;
    if (kind == Resident) {
        rows.push_back(authority);
        rows.push_back(period);
        return rows;
    }
    authority.y = 360;
    period.y = 400;
    rows.push_back(authority);
    rows.push_back(period);
    rows.push_back({card.GetPassId(), 358, 440});
    FieldRow issue_count{card.GetIssNum(), 730, 400};
    issue_count.digit_weight = kWeightHeavy;
    rows.push_back(issue_count);
    return rows;
}

int BackTemplate(CardKind kind) {
    switch (kind) {
        case Resident:
            return kResidentBackTemplate;
        case Foreigner:
            return kForeignerBackTemplate;
        case HongKongMacau:
            return kHongKongMacauBackTemplate;
        case Taiwan:
            return kTaiwanBackTemplate;
    }
    return kResidentBackTemplate;
}

}  // namespace

int CImagingContext::ComposeBack(ImageMemoryStream& holder) {
    // The photo is not drawn on the back, but a card whose photo cannot be decoded gets
    // no back either; the start decodes it for both faces.
    FaceStart face;
    const int started = face.Begin(*this, holder, BackTemplate);
    if (started != 0) {
        return started;
    }
    if (DrawFieldRows(face.canvas, face.item, *face.fonts, BackRows(card_, face.kind)) != 0) {
        return kPictureFailed;
    }
    if (!FinishFace(face.canvas, holder)) {
        holder.Release();
        return kPictureFailed;
    }
    return 0;
}

// The imaging context's life: what it holds from its making to its end.
#include "imaging/imaging_context.h"

#include "imaging/faces/prepared_fonts.h"

namespace vorn {

CImagingContext::CImagingContext() = default;

CImagingContext::~CImagingContext() {
    UnloadDecoder();
    // Fonts registered without a decoder ever being loaded are removed all the same.
    warm_fonts_.Release();
    ResetCardResources(resources_);
}

void CImagingContext::SetCard(const CIdBufferW& record) {
    card_.CopyFrom(record);
}

bool CImagingContext::UseModuleResources(ModuleHandle module,
                                         const int (&resource_ids)[kCardResourceCount]) {
    PointAtModule(resources_, module, resource_ids);
    resources_.fonts_registered =
        (prepared_fonts_ != nullptr && prepared_fonts_->Take(resources_, warm_fonts_)) ||
        RegisterCardFonts(resources_);
    return resources_.fonts_registered;
}

}  // namespace vorn

#include "imaging/faces/program_resources.h"

#include "imaging/faces/prepared_canvases.h"
#include "imaging/faces/prepared_fonts.h"
#include "imaging/imaging_context.h"
#include "resources/resource_ids.h"

namespace vorn {

const int kProgramResourceIds[kCardResourceCount] = {
    VORN_RESOURCE_RESIDENT_FRONT, VORN_RESOURCE_RESIDENT_BACK, VORN_RESOURCE_FOREIGNER_FRONT,
    VORN_RESOURCE_FOREIGNER_BACK, VORN_RESOURCE_PERMIT_FRONT,  VORN_RESOURCE_HONGKONG_MACAU_BACK,
    VORN_RESOURCE_TAIWAN_BACK,    VORN_RESOURCE_OCR_FONT,      VORN_RESOURCE_CJK_FONT,
};

bool UseProgramResources(CImagingContext& imaging) {
    return imaging.UseModuleResources(OwnModule(), kProgramResourceIds);
}

namespace {

CardResourceTable ProgramResources() {
    CardResourceTable program_resources;
    PointAtModule(program_resources, OwnModule(), kProgramResourceIds);
    return program_resources;
}

}  // namespace

void PrepareProgramCanvases(PreparedCanvases& canvases) {
    canvases.Prepare(ProgramResources());
}

void PrepareProgramFonts(PreparedFonts& fonts) {
    fonts.Prepare(ProgramResources());
}

}  // namespace vorn

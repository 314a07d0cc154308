// The program's own templates and fonts: the resources it carries, by card resource entry.
#pragma once

#include "imaging/faces/card_resources.h"

namespace vorn {

class CImagingContext;
class PreparedCanvases;
class PreparedFonts;

// The program's resource for each entry of the card resource table, in entry order.
extern const int kProgramResourceIds[kCardResourceCount];

// Points every template and font of the context at the program's own resources and registers
// the fonts; true when they are registered.
bool UseProgramResources(CImagingContext& imaging);

// Makes the face canvases that the read of a resident card takes, from the program's own
// templates.
void PrepareProgramCanvases(PreparedCanvases& canvases);

// Registers the program's own two fonts and warms the fonts the read of a resident card
// draws with, for the request's imaging context to take.
void PrepareProgramFonts(PreparedFonts& fonts);

}  // namespace vorn

// The card resource table: where the face templates and the two fonts come from, and the
// registration of the fonts for the process.
#pragma once

#include <string>

#include "imaging/faces/module_resources.h"
#include "imaging/text/private_fonts.h"

namespace vorn {

// Where one template or font is taken from.
enum ResourceSource : int {
    kResourceFromFile = 0,
    kResourceFromModule = 1,
};

// One template or font: a file at path, or the resource of an id in a module.
struct ResourceEntry {
    int source = kResourceFromFile;
    std::wstring path;
    ModuleHandle module = nullptr;
    int resource_id = 0;
};

// Entries 0 to 6 are the face templates, 7 the numbers font and 8 the Chinese font.
enum CardResource : int {
    kResidentFrontTemplate = 0,
    kResidentBackTemplate = 1,
    kForeignerFrontTemplate = 2,
    kForeignerBackTemplate = 3,
    kPermitFrontTemplate = 4,
    kHongKongMacauBackTemplate = 5,
    kTaiwanBackTemplate = 6,
    kOcrFontResource = 7,
    kCjkFontResource = 8,
    kCardResourceCount = 9,
};

// The file name of each entry, in entry order, looked for in the decoder's directory.
extern const wchar_t* const kCardResourceFileNames[kCardResourceCount];

struct CardResourceTable {
    ResourceEntry entries[kCardResourceCount];
    FontHandle ocr_font = nullptr;
    FontHandle cjk_font = nullptr;
    int registered = 0;
    // Read by the compositions: the embedded fonts are in use.
    bool fonts_registered = false;
};

// Whether both entries load the same template or font: a module's resource ignores the
// entry's path (the table keeps the file beside the decoder there when it is pointed at a
// module).
bool SameResource(const ResourceEntry& left, const ResourceEntry& right);

// Points every entry at the resource of the given id in the module, in entry order.
void PointAtModule(CardResourceTable& table, ModuleHandle module,
                   const int (&resource_ids)[kCardResourceCount]);

// Registers the fonts of entries 7 and 8, first removing whatever the table still holds.
// Entry 8 is not tried when entry 7 fails. True when both are registered.
bool RegisterCardFonts(CardResourceTable& table);

// Removes both fonts and resets every entry to a file source with no path.
void ResetCardResources(CardResourceTable& table);

// Registers the font file at path; null when it cannot be read or holds no font.
FontHandle LoadFontFile(const wchar_t* path);
// Removes a font that LoadFontFile registered and clears the handle.
void ReleaseCardFont(FontHandle& font);

// The face name a font is created with. While embedded fonts are registered, the two face
// names the font sets give them stand for the embedded fonts' own family names, and a face
// the system does not have is drawn with the embedded Chinese font: the system's own
// substitute may lack the Latin letters or the rare characters a card holds.
const wchar_t* ResolveFaceName(const wchar_t* face);

// How many fonts this process has registered privately, for the face name mapping.
int PrivateFontCount();

}  // namespace vorn

// The resources a module carries: the program's face templates and fonts.
#pragma once

#include <cstddef>

namespace vorn {

// A module that holds resources; null when none.
using ModuleHandle = void*;

// The kinds of resource the program looks up.
enum class ResourceKind { kBitmap, kFont };

// The program's own module.
ModuleHandle OwnModule();

// Finds the resource of the id and kind in the module. Fonts are found as their whole file;
// bitmaps as the platform keeps them. False when there is no such resource or it is empty.
bool FindModuleResource(ModuleHandle module, int id, ResourceKind kind, const unsigned char** data,
                        std::size_t* size);

}  // namespace vorn

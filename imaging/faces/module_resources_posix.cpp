// Resources on Linux: the files assembled into the executable (resources/embedded_resources.S.in).
#include <iterator>

#include "imaging/faces/module_resources.h"
#include "resources/resource_ids.h"

namespace vorn {

#define VORN_SYMBOLS_OF(id, kind)                                \
    extern "C" const unsigned char vorn_resource_##id##_start[]; \
    extern "C" const unsigned char vorn_resource_##id##_end[];
VORN_RESOURCE_LIST(VORN_SYMBOLS_OF)
#undef VORN_SYMBOLS_OF

namespace {

// One embedded file with the id and kind it is found by.
struct EmbeddedResource {
    int id;
    ResourceKind kind;
    const unsigned char* start;
    const unsigned char* end;
};

#define VORN_EMBEDDED(id, kind) \
    {id, ResourceKind::kind, vorn_resource_##id##_start, vorn_resource_##id##_end},
const EmbeddedResource kEmbedded[] = {VORN_RESOURCE_LIST(VORN_EMBEDDED)};
#undef VORN_EMBEDDED

}  // namespace

// The executable is the only module with resources; its handle is the table's address.
ModuleHandle OwnModule() {
    return const_cast<EmbeddedResource*>(kEmbedded);
}

bool FindModuleResource(ModuleHandle module, int id, ResourceKind kind, const unsigned char** data,
                        std::size_t* size) {
    if (module != OwnModule() || data == nullptr || size == nullptr) {
        return false;
    }
    for (const EmbeddedResource& resource : kEmbedded) {
        if (resource.id == id && resource.kind == kind && resource.end > resource.start) {
            *data = resource.start;
            *size = static_cast<std::size_t>(resource.end - resource.start);
            return true;
        }
    }
    return false;
}

}  // namespace vorn

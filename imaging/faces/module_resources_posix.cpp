// Resources on Linux: the files assembled into the executable (resources/embedded_resources.S.in).
#include <iterator>

#include "imaging/faces/module_resources.h"
#include "resources/resource_ids.h"

// The id is expanded before it is pasted into the symbol names.
#define VORN_SYMBOLS_OF(id) VORN_SYMBOLS_OF_(id)
#define VORN_SYMBOLS_OF_(id)                                     \
    extern "C" const unsigned char vorn_resource_##id##_start[]; \
    extern "C" const unsigned char vorn_resource_##id##_end[];

VORN_SYMBOLS_OF(VORN_RESOURCE_RESIDENT_BACK)
VORN_SYMBOLS_OF(VORN_RESOURCE_RESIDENT_FRONT)
VORN_SYMBOLS_OF(VORN_RESOURCE_FOREIGNER_BACK)
VORN_SYMBOLS_OF(VORN_RESOURCE_FOREIGNER_FRONT)
VORN_SYMBOLS_OF(VORN_RESOURCE_HONGKONG_MACAU_BACK)
VORN_SYMBOLS_OF(VORN_RESOURCE_PERMIT_FRONT)
VORN_SYMBOLS_OF(VORN_RESOURCE_TAIWAN_BACK)
VORN_SYMBOLS_OF(VORN_RESOURCE_OCR_FONT)
VORN_SYMBOLS_OF(VORN_RESOURCE_CJK_FONT)

namespace {

// One embedded file with the id and kind it is found by.
struct EmbeddedResource {
    int id;
    ResourceKind kind;
    const unsigned char* start;
    const unsigned char* end;
};

#define VORN_EMBEDDED(id, kind) VORN_EMBEDDED_(id, kind)
#define VORN_EMBEDDED_(id, kind) \
    { id, kind, vorn_resource_##id##_start, vorn_resource_##id##_end }

const EmbeddedResource kEmbedded[] = {
    VORN_EMBEDDED(VORN_RESOURCE_RESIDENT_BACK, ResourceKind::kBitmap),
    VORN_EMBEDDED(VORN_RESOURCE_RESIDENT_FRONT, ResourceKind::kBitmap),
    VORN_EMBEDDED(VORN_RESOURCE_FOREIGNER_BACK, ResourceKind::kBitmap),
    VORN_EMBEDDED(VORN_RESOURCE_FOREIGNER_FRONT, ResourceKind::kBitmap),
    VORN_EMBEDDED(VORN_RESOURCE_HONGKONG_MACAU_BACK, ResourceKind::kBitmap),
    VORN_EMBEDDED(VORN_RESOURCE_PERMIT_FRONT, ResourceKind::kBitmap),
    VORN_EMBEDDED(VORN_RESOURCE_TAIWAN_BACK, ResourceKind::kBitmap),
    VORN_EMBEDDED(VORN_RESOURCE_OCR_FONT, ResourceKind::kFont),
    VORN_EMBEDDED(VORN_RESOURCE_CJK_FONT, ResourceKind::kFont),
};

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

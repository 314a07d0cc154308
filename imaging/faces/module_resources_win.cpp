// Resources on Windows: the BITMAP and "TTF" resources of the program's module.
#include <windows.h>

#include "imaging/faces/module_resources.h"

namespace vorn {

namespace {

constexpr const wchar_t* kFontResourceType = L"TTF";

}  // namespace

ModuleHandle OwnModule() {
    return GetModuleHandleW(nullptr);
}

bool FindModuleResource(ModuleHandle module, int id, ResourceKind kind, const unsigned char** data,
                        std::size_t* size) {
    if (module == nullptr || data == nullptr || size == nullptr) {
        return false;
    }
    const auto instance = static_cast<HMODULE>(module);
    const wchar_t* type = kind == ResourceKind::kFont ? kFontResourceType : RT_BITMAP;
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), type);
    if (found == nullptr) {
        return false;
    }
    const DWORD length = SizeofResource(instance, found);
    HGLOBAL loaded = LoadResource(instance, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr || length == 0) {
        return false;
    }
    *data = static_cast<const unsigned char*>(bytes);
    *size = length;
    return true;
}

}  // namespace vorn

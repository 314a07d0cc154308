#include "request/card_presence.h"

#include <string>

#include "platform/module_path.h"

namespace vorn {

bool CardPresence::Look() {
    if (!driver_.IsLoaded()) {
        const std::string directory = ModuleDirectory();
        if (directory.empty() || driver_.CreateDefault(directory.c_str()) != kSdtResultOk) {
            return false;
        }
    }
    return driver_.FindCard() == kSdtCardPresent;
}

void CardPresence::Release() {
    driver_.Destroy();
}

}  // namespace vorn

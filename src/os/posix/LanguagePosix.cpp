#include "os/Language.h"

#include <cstdlib>

namespace zelo::os {

std::string UserInterfaceLanguage() {
    // The order in which the C library looks for the messages' locale.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return value;
    }
    return {};
}

} // namespace zelo::os

#include "os/Language.h"

#include <windows.h>

namespace zelo::os {

std::string UserInterfaceLanguage() {
    switch (PRIMARYLANGID(::GetUserDefaultUILanguage())) {
    case LANG_GERMAN:
        return "de";
    case LANG_ENGLISH:
        return "en";
    default:
        return {};
    }
}

} // namespace zelo::os

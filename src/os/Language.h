#pragma once
// The user's interface language as the system states it.
#include <string>

namespace zelo::os {

// POSIX: the first of LC_ALL, LC_MESSAGES and LANG that is set and not empty, as it stands ("de_DE.UTF-8").
// Windows: the user's interface language as an ISO 639 code ("de", "en"), empty for one not known here.
std::string UserInterfaceLanguage();

} // namespace zelo::os

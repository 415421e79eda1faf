#pragma once
// The translations compiled into the program: English text and its translation, as the build step writes
// them from the catalogue files of po/.
#include <cstddef>

namespace zelo::catalogue {

struct Entry {
    const char* English;
    const char* Translated;
};

extern const Entry GermanEntries[];
extern const std::size_t GermanEntriesCount;

} // namespace zelo::catalogue

#pragma once
// How the system backs a program's memory.
#include <cstddef>

namespace zelo::os {

// Asks that a big block just allocated be backed by large pages where the system offers them (Linux's
// transparent huge pages), so that filling it costs a page fault per 2 MB rather than per 4 KB. Only the
// whole pages inside the block are concerned; where the system has no such pages nothing happens.
void PreferLargePages(void* block, std::size_t size);

} // namespace zelo::os

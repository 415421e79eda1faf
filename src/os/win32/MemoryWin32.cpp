// Windows backs ordinary allocations with large pages only for programs granted the right to lock pages in
// memory: nothing to ask for here.
#include "os/Memory.h"

namespace zelo::os {

void PreferLargePages(void*, std::size_t) {}

} // namespace zelo::os

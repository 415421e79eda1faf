// Large pages through madvise: the kernel backs the whole 2 MB ranges of the block with huge pages when
// transparent huge pages are enabled for such requests; a system without them ignores the advice.
#include "os/Memory.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace zelo::os {

void PreferLargePages(void* block, std::size_t size) {
#ifdef MADV_HUGEPAGE
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = (reinterpret_cast<std::uintptr_t>(block) + page - 1) / page * page;
    const auto end = (reinterpret_cast<std::uintptr_t>(block) + size) / page * page;
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)block;
    (void)size;
#endif
}

} // namespace zelo::os

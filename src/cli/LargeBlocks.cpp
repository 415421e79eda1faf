// zeloctl's allocations: a block of 2 MB or more (an export's decoded text, its hundred thousand records)
// asks for large pages, since filling such blocks a 4 KB page fault at a time was a third of an import's
// time. Everything else is the standard allocation.
#include "os/Memory.h"

#include <cstdlib>
#include <new>

namespace {

constexpr std::size_t LargeBlock = std::size_t{2} << 20;

} // namespace

void* operator new(std::size_t size) {
    for (;;) {
        if (void* block = std::malloc(size != 0 ? size : 1)) {
            if (size >= LargeBlock)
                zelo::os::PreferLargePages(block, size);
            return block;
        }
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr)
            throw std::bad_alloc();
        handler();
    }
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

#include "huge_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace tez {

void AdviseHugePages(const void* start, std::size_t bytes) {
    constexpr std::uintptr_t kHugePage = 2u << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(start);
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kHugePage - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace tez

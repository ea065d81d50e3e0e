// Large tables touch tens of thousands of 4 KiB pages; asking for huge pages where the
// system allows them saves most of those page faults. Purely advice: nothing changes if refused.
#pragma once

#include <cstddef>

namespace tez {

void AdviseHugePages(const void* start, std::size_t bytes);

}  // namespace tez

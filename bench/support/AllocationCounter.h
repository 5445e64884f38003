#pragma once

#include <cstdint>

namespace kyv::bench {

// Heap allocations made through operator new since the program started. Linking the
// allocation counter replaces the global operator new and delete of the benchmark program.
int64_t AllocationCount() noexcept;

}  // namespace kyv::bench

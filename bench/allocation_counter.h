#pragma once
// Every heap allocation of the benchmark program is counted, so a benchmark can
// report what its path allocates. The global allocation functions are replaced
// once, in allocation_counter.cpp; benchmarks read the count here.
#include <cstdint>

namespace quorvel::bench {

// Allocations made by the whole program so far.
uint64_t AllocationCount();

}  // namespace quorvel::bench

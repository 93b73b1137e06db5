#pragma once
// What must hold between any two ticks of the program, whatever the line, the
// files or the user did: every count within its table, every queue within its
// ring, every fixed text terminated. Fuzz targets abort on the first broken
// one; the long simulation checks them after every tick.
#include <string>

namespace quorvel {
struct Context;
}

namespace quorvel::sim {

// The first broken invariant, described; empty when all hold. `full` false
// checks only counts and queues, leaving out the scan of every record and text,
// for callers that check after every small step and do the full scan now and then.
std::string BrokenInvariant(const Context& ctx, bool full = true);

}  // namespace quorvel::sim

#pragma once
// Time events: actions at a clock time or relative to sunrise or sunset.
namespace quorvel {

struct Context;

// One check of every time event; the per-second housekeeping runs it every 11 s.
void ScanTimeEvents(Context& ctx);

}  // namespace quorvel

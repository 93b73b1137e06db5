#pragma once
// Today's sunrise and sunset from the user's latitude, longitude and time zone.
// (Being filled in; this is its interface.)
namespace quorvel {

struct Context;

struct SunTimes {};

// Recomputes today's sun times from the options.
void RefreshSunTimes(Context& ctx);
// True when a new day was detected (and the day-change work done).
bool DayChangeCheck(Context& ctx);

}  // namespace quorvel

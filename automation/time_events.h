#pragma once
// Time events: actions at a clock time or relative to sunrise or sunset.

namespace quorvel {

struct Context;
struct EventRecord;

// How far back a scan looks for an event whose minute no scan saw (the scan
// pauses while the modem's link table is read).
inline constexpr int kLateFireMinutes = 5;

// What the scan remembers between runs.
struct TimeEventScan {
  bool scanned = false;  // a scan has run in this run
  int year = 0, month = 0, day = 0;
  int minuteOfDay = 0;  // local minute of the last scan
};

// One check of every time event; the per-second housekeeping runs it every 11 s.
// An event acts once a day: in its minute, or, when no scan saw its minute, up to
// five minutes late.
void ScanTimeEvents(Context& ctx);

// The minute of the day at which a time event acts today, or -1 when it never
// matches (an unknown time base or offset, or a sun time outside the day).
int TimeEventMinute(const Context& ctx, const EventRecord& record);

}  // namespace quorvel

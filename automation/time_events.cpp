#include "automation/time_events.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "automation/event_action.h"
#include "engine/context.h"
#include "plm/send_queues.h"

namespace quorvel {

namespace {

constexpr std::string_view kTimerDisabled = "Timer Events Dis-abled!";

const char* ActionWord(uint8_t cmd1) {
  if (cmd1 == 0x11) return "ON";
  if (cmd1 == 0x13) return "OFF";
  return "";
}

bool SameDate(const LocalTime& a, const LocalTime& b) {
  return a.valid && b.valid && a.year == b.year && a.month == b.month && a.day == b.day;
}

// Lets a record act once per calendar day. `late` names the minute it was due
// when it acts after a gap in the scans.
void FireTimeEvent(Context& ctx, const LocalTime& scan, Time now, EventRecord& record, int dueMinute,
                   bool late) {
  // lastFired 0 means never, not 1 January 1970; a whole date is compared, so
  // a firing on this day of an earlier year does not count.
  if (record.lastFired != 0 && SameDate(ctx.clock.Local(static_cast<Time>(record.lastFired)), scan)) return;

  char line[128];
  int n = 0;
  if (record.isGroup != 0) {
    n = std::snprintf(line, sizeof line, "Time Event - Group %d, %s", record.group, ActionWord(record.cmd1));
  } else {
    n = std::snprintf(line, sizeof line, "Time Event - %02x.%02x.%02x, %s %d", record.targetId.b[0],
                      record.targetId.b[1], record.targetId.b[2], ActionWord(record.cmd1), record.cmd2);
  }
  if (late && n > 0 && static_cast<size_t>(n) < sizeof line) {
    std::snprintf(line + n, sizeof line - static_cast<size_t>(n), " (fired late, due %d:%02d)", dueMinute / 60,
                  dueMinute % 60);
  }
  ctx.log.LogActivity(line);

  if ((ctx.options.runFlags & kRunTimerEvents) == 0) {
    ctx.log.LogActivity(kTimerDisabled);
    return;
  }
  // Sent with the hops of every other direct message: a timed command sent with
  // none never reaches a device beyond direct range, and nobody is told.
  EventRecord action;
  std::memcpy(&action, &record, sizeof action);
  action.msgFlags = kFlagsStandard;
  ExecuteEventAction(ctx, action);
  record.lastFired = static_cast<uint32_t>(now);
}

}  // namespace

int TimeEventMinute(const Context& ctx, const EventRecord& record) {
  int t = -1;
  switch (record.timeBase) {
    case 0:
      if (record.hour < 24 && record.minute < 60) t = record.hour * 60 + record.minute;
      return t;
    case 1:
    case 2: {
      const int32_t sun = record.timeBase == 1 ? ctx.sun.sunriseMinutes : ctx.sun.sunsetMinutes;
      if (record.offsetMode == 0)
        t = sun;
      else if (record.offsetMode == 1)
        t = sun - record.delayMinutes;
      else if (record.offsetMode == 2)
        t = sun + record.delayMinutes;
      else
        return -1;
      // Daylight saving or an odd time zone can move a sun time out of the day:
      // such an event matches no minute.
      return t >= 0 && t < 24 * 60 ? t : -1;
    }
    default:
      return -1;
  }
}

void ScanTimeEvents(Context& ctx) {
  const Time now = ctx.clock.Now();
  const LocalTime lt = ctx.clock.Local(now);
  if (!lt.valid) return;
  const int minuteNow = lt.hour * 60 + lt.minute;

  // Minutes after this one were not seen by any scan today. Across midnight or
  // at the first scan of a run, nothing of today was seen yet.
  TimeEventScan& scan = ctx.timeEvents;
  const bool sameDay = scan.scanned && scan.year == lt.year && scan.month == lt.month && scan.day == lt.day;
  const int lastSeen = sameDay ? scan.minuteOfDay : -1;

  for (int i = 0; i < kUsableEventSlots; ++i) {
    EventRecord& record = ctx.events.records[i];
    if (((record.days >> lt.weekday) & 1) == 0) continue;
    if (record.inUse != 1 || record.isTimeEvent != 1) continue;
    const int due = TimeEventMinute(ctx, record);
    if (due < 0) continue;
    if (due == minuteNow) {
      FireTimeEvent(ctx, lt, now, record, due, false);
    } else if (due < minuteNow && due > lastSeen && minuteNow - due <= kLateFireMinutes) {
      FireTimeEvent(ctx, lt, now, record, due, true);
    }
  }

  scan.scanned = true;
  scan.year = lt.year;
  scan.month = lt.month;
  scan.day = lt.day;
  scan.minuteOfDay = minuteNow;
}

}  // namespace quorvel

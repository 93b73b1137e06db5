#include "automation/time_events.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "automation/event_table.h"
#include "automation/sun_times.h"
#include "platform/bytes.h"
#include "support/test_rig.h"
#include "local_time_helpers.h"

namespace quorvel {
namespace {

using testing::AtLocal;
using testing::TestRig;

constexpr int kCentral = -6 * 3600;
const InsteonId kLamp = InsteonId::From(0x1a, 0x2b, 0x3c);

EventRecord ClockEvent(int hour, int minute, uint8_t days) {
  EventRecord r;
  std::memset(&r, 0, sizeof r);
  r.hour = static_cast<uint8_t>(hour);
  r.minute = static_cast<uint8_t>(minute);
  r.days = days;
  r.targetId = kLamp;
  r.cmd1 = 0x11;
  r.cmd2 = 255;
  r.retryClass = 5;
  return r;
}

EventRecord SunEvent(uint8_t timeBase, int8_t offsetMode, uint8_t delay) {
  EventRecord r = ClockEvent(0, 0, 0x7F);
  r.timeBase = timeBase;
  r.offsetMode = offsetMode;
  r.delayMinutes = delay;
  return r;
}

struct Firing {
  int slot;
  LocalTime at;
};

// A run of the program as the per-second housekeeping drives it: a scan every
// 11 seconds and a new-day check every 341.
class Scanner {
 public:
  explicit Scanner(TestRig& rig) : rig_(rig) {}

  // Starts the run at `t` the way the first engine pass does: today's sun times,
  // today's weekday and month remembered.
  void Start(Time t) {
    rig_.clock.Set(t);
    RefreshSunTimes(*rig_);
    const LocalTime lt = rig_.clock.LocalNow();
    rig_->options.lastWeekday = static_cast<int8_t>(lt.weekday);
    rig_->options.lastMonth = static_cast<int8_t>(lt.month);
  }

  // Scans until `until`; every slot whose lastFired moved is a firing.
  void RunUntil(Time until) {
    while (rig_.clock.Now() + 11 <= until) {
      rig_.clock.Advance(11);
      if (++seconds_ % 31 == 0) DayChangeCheck(*rig_);
      ScanOnce();
    }
    rig_.clock.Set(until);
  }

  void ScanOnce() {
    uint32_t before[kUsableEventSlots];
    for (int i = 0; i < kUsableEventSlots; ++i) before[i] = rig_->events.records[i].lastFired;
    ScanTimeEvents(*rig_);
    for (int i = 0; i < kUsableEventSlots; ++i) {
      if (rig_->events.records[i].lastFired != before[i]) {
        EXPECT_EQ(rig_->events.records[i].lastFired, static_cast<uint32_t>(rig_.clock.Now()));
        firings.push_back({i, rig_.clock.LocalNow()});
      }
    }
  }

  std::vector<Firing> firings;

 private:
  TestRig& rig_;
  int seconds_ = 0;
};

void Enable(TestRig& rig) {
  rig->options.runFlags = kRunTimerEvents | kRunLogicEvents;
  CopyFixedText(rig->options.latitude, "44:96");
  CopyFixedText(rig->options.longitude, "-93:10");
  rig->options.timeZone = -6;
  rig.clock.SetUtcOffset(kCentral);
}

std::vector<std::string> TimeEventLines(const TestRig& rig) {
  std::vector<std::string> out;
  for (const std::string& t : rig.Texts(LogChannel::GeneralActivity))
    if (t.rfind("Time Event", 0) == 0 || t == "Timer Events Dis-abled!") out.push_back(t);
  return out;
}

TEST(TimeEvents, WeekdayClockEventActsOnceEachWeekdayInItsMinute) {
  TestRig rig;
  Enable(rig);
  ASSERT_EQ(AddTimeEvent(*rig, ClockEvent(7, 30, 0x3E)), 0);  // Monday..Friday
  Scanner s(rig);
  s.Start(AtLocal(2024, 6, 16, 0, 0, 0, kCentral));  // a Sunday
  s.RunUntil(AtLocal(2024, 6, 23, 0, 0, 0, kCentral));

  ASSERT_EQ(s.firings.size(), 5u);
  for (size_t i = 0; i < s.firings.size(); ++i) {
    const LocalTime& at = s.firings[i].at;
    EXPECT_EQ(at.weekday, static_cast<int>(i) + 1);
    EXPECT_EQ(at.hour, 7);
    EXPECT_EQ(at.minute, 30);
  }
  EXPECT_EQ(TimeEventLines(rig), std::vector<std::string>(5, "Time Event - 1a.2b.3c, ON 255"));
}

TEST(TimeEvents, GroupEventLine) {
  TestRig rig;
  Enable(rig);
  EventRecord r = ClockEvent(7, 30, 0x7F);
  r.isGroup = 1;
  r.group = 12;
  r.cmd1 = 0x13;
  AddTimeEvent(*rig, r);
  Scanner s(rig);
  s.Start(AtLocal(2024, 6, 21, 7, 29, 0, kCentral));
  s.RunUntil(AtLocal(2024, 6, 21, 7, 32, 0, kCentral));
  EXPECT_EQ(TimeEventLines(rig), std::vector<std::string>{"Time Event - Group 12, OFF"});
}

struct SunEventCase {
  const char* name;
  const char* lat;
  const char* lon;
  int timeZone;
  uint8_t timeBase;
  int8_t offsetMode;
  uint8_t delay;
  int expectedMinute;  // local minute of the day it acts, -1 never
};

TEST(TimeEvents, SunEventsActAtTheComputedMinute) {
  // 21 June 2024 under daylight saving: at the default place sunrise is 5:30
  // and sunset 20:57 (330 and 1257 minutes).
  const SunEventCase cases[] = {
      {"at_sunset", "44:96", "-93:10", -6, 2, 0, 0, 1257},
      {"before_sunset", "44:96", "-93:10", -6, 2, 1, 30, 1227},
      {"after_sunset", "44:96", "-93:10", -6, 2, 2, 90, 1347},
      {"at_sunrise", "44:96", "-93:10", -6, 1, 0, 0, 330},
      {"after_sunrise", "44:96", "-93:10", -6, 1, 2, 15, 345},
      {"unknown_offset_mode", "44:96", "-93:10", -6, 2, 3, 30, -1},
      {"negative_offset_mode", "44:96", "-93:10", -6, 2, -1, 30, -1},
      {"unknown_time_base", "44:96", "-93:10", -6, 3, 0, 0, -1},
      // Sunset at 23:07 plus the daylight-saving hour: 1447, no minute of the day.
      {"sunset_past_midnight", "60", "-25", 0, 2, 0, 0, -1},
      // An offset that pushes the time past midnight: no minute of the day.
      {"long_before_sunrise", "44:96", "-93:10", -6, 1, 1, 90, 240},
      {"offset_past_midnight", "44:96", "-93:10", -6, 2, 2, 200, -1},
  };
  for (const SunEventCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestRig rig;
    Enable(rig);
    CopyFixedText(rig->options.latitude, c.lat);
    CopyFixedText(rig->options.longitude, c.lon);
    rig->options.timeZone = c.timeZone;
    const int offset = c.timeZone * 3600;
    rig.clock.SetUtcOffset(offset);
    const Time start = AtLocal(2024, 6, 21, 0, 1, 0, offset + 3600);
    rig.clock.SetDaylightSaving(start - 90 * 86400, start + 90 * 86400);
    AddTimeEvent(*rig, SunEvent(c.timeBase, c.offsetMode, c.delay));
    Scanner s(rig);
    s.Start(start);
    s.RunUntil(AtLocal(2024, 6, 21, 23, 59, 50, offset + 3600));
    if (c.expectedMinute < 0) {
      EXPECT_TRUE(s.firings.empty());
    } else {
      ASSERT_EQ(s.firings.size(), 1u);
      EXPECT_EQ(s.firings[0].at.hour * 60 + s.firings[0].at.minute, c.expectedMinute);
    }
  }
}

TEST(TimeEvents, NegativeSunTimeNeverActs) {
  TestRig rig;
  Enable(rig);
  // The midnight sun: sunrise comes out at -13 minutes.
  CopyFixedText(rig->options.latitude, "69.65");
  CopyFixedText(rig->options.longitude, "18.96");
  rig->options.timeZone = 1;
  rig.clock.SetUtcOffset(3600);
  AddTimeEvent(*rig, SunEvent(1, 0, 0));
  AddTimeEvent(*rig, SunEvent(1, 2, 20));  // -13 + 20: 0:07
  Scanner s(rig);
  s.Start(AtLocal(2024, 6, 21, 0, 0, 0, 3600));
  ASSERT_EQ(rig->sun.sunriseMinutes, -13);
  s.RunUntil(AtLocal(2024, 6, 22, 0, 0, 0, 3600));
  ASSERT_EQ(s.firings.size(), 1u);
  EXPECT_EQ(s.firings[0].slot, 1);
  EXPECT_EQ(s.firings[0].at.hour * 60 + s.firings[0].at.minute, 7);
}

TEST(TimeEvents, SwitchOffLogsEveryScanOfTheMinuteAndSendsNothing) {
  TestRig rig;
  Enable(rig);
  rig->options.runFlags = kRunLogicEvents;
  AddTimeEvent(*rig, ClockEvent(7, 30, 0x7F));
  Scanner s(rig);
  s.Start(AtLocal(2024, 6, 21, 7, 29, 0, kCentral));
  s.RunUntil(AtLocal(2024, 6, 21, 7, 40, 0, kCentral));
  EXPECT_TRUE(s.firings.empty());
  EXPECT_EQ(rig->events.records[0].lastFired, 0u);
  const std::vector<std::string> lines = TimeEventLines(rig);
  // The 11-second scan sees the minute five or six times; a late firing after
  // the minute must not add more.
  ASSERT_TRUE(lines.size() == 10 || lines.size() == 12) << lines.size();
  for (size_t i = 0; i < lines.size(); i += 2) {
    EXPECT_EQ(lines[i], "Time Event - 1a.2b.3c, ON 255");
    EXPECT_EQ(lines[i + 1], "Timer Events Dis-abled!");
  }

  // Switched on again: the next day it acts.
  rig->options.runFlags |= kRunTimerEvents;
  s.RunUntil(AtLocal(2024, 6, 22, 8, 0, 0, kCentral));
  ASSERT_EQ(s.firings.size(), 1u);
  EXPECT_EQ(s.firings[0].at.day, 22);
}

struct GapCase {
  const char* name;
  int stopMinute, stopSecond;      // last scan before the gap (7:xx)
  int resumeMinute, resumeSecond;  // first scan after it
  bool firesLate;
  int firesAtMinute;  // -1: not today
};

TEST(TimeEvents, ActsLateAfterAGapInTheScans) {
  const GapCase cases[] = {
      {"gap_over_the_minute", 29, 50, 33, 10, true, 33},
      {"five_minutes_late", 29, 50, 35, 59, true, 35},
      {"six_minutes_late_is_too_late", 29, 50, 36, 1, false, -1},
      {"gap_after_the_minute", 30, 20, 33, 0, false, 30},
      {"gap_into_the_minute", 29, 59, 30, 58, false, 30},
  };
  for (const GapCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestRig rig;
    Enable(rig);
    AddTimeEvent(*rig, ClockEvent(7, 30, 0x7F));
    Scanner s(rig);
    s.Start(AtLocal(2024, 6, 21, 7, 0, 0, kCentral));
    s.RunUntil(AtLocal(2024, 6, 21, 7, c.stopMinute, c.stopSecond, kCentral));
    s.ScanOnce();
    // The modem's link table is read: no scans.
    rig.clock.Set(AtLocal(2024, 6, 21, 7, c.resumeMinute, c.resumeSecond, kCentral));
    s.ScanOnce();
    s.RunUntil(AtLocal(2024, 6, 21, 9, 0, 0, kCentral));
    if (c.firesAtMinute < 0) {
      EXPECT_TRUE(s.firings.empty());
      EXPECT_TRUE(TimeEventLines(rig).empty());
      continue;
    }
    ASSERT_EQ(s.firings.size(), 1u);
    EXPECT_EQ(s.firings[0].at.hour, 7);
    EXPECT_EQ(s.firings[0].at.minute, c.firesAtMinute);
    EXPECT_EQ(TimeEventLines(rig), std::vector<std::string>{c.firesLate
                                                                ? "Time Event - 1a.2b.3c, ON 255 (fired late, due 7:30)"
                                                                : "Time Event - 1a.2b.3c, ON 255"});
  }
}

TEST(TimeEvents, FirstScanOfARunCatchesUpTheLastFiveMinutes) {
  // The program started at 7:25, and reading the modem's table kept the scan
  // away until 7:33.
  TestRig rig;
  Enable(rig);
  AddTimeEvent(*rig, ClockEvent(7, 30, 0x7F));
  AddTimeEvent(*rig, ClockEvent(7, 27, 0x7F));  // six minutes ago: too late
  Scanner s(rig);
  s.Start(AtLocal(2024, 6, 21, 7, 33, 0, kCentral));
  s.ScanOnce();
  ASSERT_EQ(s.firings.size(), 1u);
  EXPECT_EQ(s.firings[0].slot, 0);
  // Saved and reloaded on the same day after it acted: it does not act again.
  rig->timeEvents = TimeEventScan{};
  s.ScanOnce();
  EXPECT_EQ(s.firings.size(), 1u);
}

struct OnceADayCase {
  const char* name;
  int y, m, d;
  int offset;
  Time lastFired;  // UTC seconds
  bool acts;
};

TEST(TimeEvents, OnceADayComparesTheWholeDate) {
  const OnceADayCase cases[] = {
      {"never_fired", 2024, 6, 21, kCentral, 0, true},
      // 1 January 1970 00:00 UTC is 1 January locally east of Greenwich: still "never".
      {"never_fired_new_year_east", 2024, 1, 1, 3600, 0, true},
      {"same_date_a_year_ago", 2024, 6, 21, kCentral, AtLocal(2023, 6, 21, 7, 30, 5, kCentral), true},
      {"yesterday", 2024, 6, 21, kCentral, AtLocal(2024, 6, 20, 7, 30, 5, kCentral), true},
      {"earlier_today", 2024, 6, 21, kCentral, AtLocal(2024, 6, 21, 0, 0, 0, kCentral), false},
      {"this_minute", 2024, 6, 21, kCentral, AtLocal(2024, 6, 21, 7, 30, 1, kCentral), false},
  };
  for (const OnceADayCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestRig rig;
    Enable(rig);
    rig.clock.SetUtcOffset(c.offset);
    EventRecord r = ClockEvent(7, 30, 0x7F);
    r.lastFired = static_cast<uint32_t>(c.lastFired);
    AddTimeEvent(*rig, r);
    Scanner s(rig);
    s.Start(AtLocal(c.y, c.m, c.d, 7, 30, 30, c.offset));
    s.ScanOnce();
    EXPECT_EQ(s.firings.size(), c.acts ? 1u : 0u);
  }
}

TEST(TimeEvents, AcrossMidnightEachDayOnce) {
  TestRig rig;
  Enable(rig);
  AddTimeEvent(*rig, ClockEvent(23, 59, 0x7F));
  AddTimeEvent(*rig, ClockEvent(0, 0, 0x7F));
  Scanner s(rig);
  s.Start(AtLocal(2024, 6, 21, 23, 58, 0, kCentral));
  s.RunUntil(AtLocal(2024, 6, 23, 0, 1, 0, kCentral));
  // 23:59 on the 21st and 22nd, 0:00 on the 22nd and 23rd.
  ASSERT_EQ(s.firings.size(), 4u);
  const int expected[][3] = {{0, 21, 1439}, {1, 22, 0}, {0, 22, 1439}, {1, 23, 0}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(s.firings[i].slot, expected[i][0]);
    EXPECT_EQ(s.firings[i].at.day, expected[i][1]);
    EXPECT_EQ(s.firings[i].at.hour * 60 + s.firings[i].at.minute, expected[i][2]);
  }
}

// 2024 in the central zone: saving starts 10 March at 2:00 (8:00 UTC) and ends
// 3 November at 2:00 saving time (7:00 UTC).
void CentralDaylightSaving(TestRig& rig) {
  rig.clock.SetDaylightSaving(AtLocal(2024, 3, 10, 8, 0, 0, 0), AtLocal(2024, 11, 3, 7, 0, 0, 0));
}

TEST(TimeEvents, SpringForward) {
  TestRig rig;
  Enable(rig);
  CentralDaylightSaving(rig);
  AddTimeEvent(*rig, ClockEvent(7, 30, 0x7F));
  AddTimeEvent(*rig, ClockEvent(2, 30, 0x7F));  // 2:30 does not exist on the 10th
  AddTimeEvent(*rig, SunEvent(2, 0, 0));
  Scanner s(rig);
  s.Start(AtLocal(2024, 3, 9, 0, 0, 0, kCentral));
  s.RunUntil(AtLocal(2024, 3, 12, 0, 0, 0, kCentral + 3600));

  std::vector<std::vector<int>> byDay(32);
  for (const Firing& f : s.firings) byDay[f.at.day].push_back(f.at.hour * 60 + f.at.minute);
  EXPECT_EQ(byDay[9], (std::vector<int>{150, 450, 1089}));
  // On the day of the change the sun times were computed just after midnight,
  // before the saving hour began, and hold until the next day: sunset 18:10.
  EXPECT_EQ(byDay[10], (std::vector<int>{450, 1090}));
  // The next day's sunset carries the saving hour: 19:11.
  EXPECT_EQ(byDay[11], (std::vector<int>{150, 450, 1151}));
}

TEST(TimeEvents, FallBackActsOnceThoughTheHourRepeats) {
  TestRig rig;
  Enable(rig);
  CentralDaylightSaving(rig);
  AddTimeEvent(*rig, ClockEvent(1, 30, 0x7F));
  AddTimeEvent(*rig, ClockEvent(7, 30, 0x7F));
  Scanner s(rig);
  s.Start(AtLocal(2024, 11, 2, 0, 0, 0, kCentral + 3600));
  s.RunUntil(AtLocal(2024, 11, 5, 0, 0, 0, kCentral));
  std::vector<std::vector<int>> byDay(32);
  for (const Firing& f : s.firings) byDay[f.at.day].push_back(f.at.hour * 60 + f.at.minute);
  for (int day : {2, 3, 4}) {
    SCOPED_TRACE(day);
    EXPECT_EQ(byDay[day], (std::vector<int>{90, 450}));
  }
  // On the 3rd, 1:30 came first under saving time, an hour before the repeat.
  EXPECT_TRUE(s.firings[2].at.daylightSaving);
}

TEST(EventTable, AddFillsFreeSlotsAndRefusesWhenFull) {
  TestRig rig;
  Enable(rig);
  EventTable& table = rig->events;
  // What the file held in the three spare slots stays as it was.
  table.records[399].inUse = 7;
  table.records[401].cmd2 = 9;

  EventRecord logic;
  std::memset(&logic, 0, sizeof logic);
  logic.isTimeEvent = 1;  // the add decides the kind, whatever the editor left
  logic.initiatorGroup = 1;
  EXPECT_EQ(AddLogicEvent(*rig, logic), 0);
  EXPECT_EQ(table.records[0].inUse, 1);
  EXPECT_EQ(table.records[0].isLogicEvent, 1);
  EXPECT_EQ(table.records[0].isTimeEvent, 0);
  EXPECT_EQ(table.records[0].initiatorGroup, 1);
  for (int i = 1; i < kUsableEventSlots; ++i) ASSERT_EQ(AddTimeEvent(*rig, ClockEvent(7, i % 60, 0x7F)), i);
  EXPECT_EQ(table.records[398].isTimeEvent, 1);
  EXPECT_EQ(table.records[398].minute, 398 % 60);
  EXPECT_EQ(table.eventCount, 399u);
  EXPECT_TRUE(rig.Texts(LogChannel::GeneralActivity).empty());

  // The 400th is refused, and the user is told.
  EXPECT_EQ(AddTimeEvent(*rig, ClockEvent(8, 0, 0x7F)), -1);
  EXPECT_EQ(AddLogicEvent(*rig, logic), -1);
  EXPECT_EQ(rig.Texts(LogChannel::GeneralActivity),
            (std::vector<std::string>{std::string(kEventTableFull), std::string(kEventTableFull)}));
  EXPECT_EQ(table.eventCount, 399u);
  EXPECT_EQ(table.records[399].inUse, 7);
  EXPECT_EQ(table.records[400].inUse, 0);
  EXPECT_EQ(table.records[401].cmd2, 9);

  // Deleting frees the slot without lowering the count; the next add reuses it.
  EXPECT_TRUE(DeleteEvent(*rig, 17));
  const EventRecord zero{};
  EXPECT_EQ(std::memcmp(&table.records[17], &zero, sizeof zero), 0);
  EXPECT_EQ(table.eventCount, 399u);
  EXPECT_EQ(AddTimeEvent(*rig, ClockEvent(9, 0, 0x7F)), 17);
  EXPECT_EQ(table.records[17].hour, 9);

  for (int bad : {-1, 399, 401, 100000}) EXPECT_FALSE(DeleteEvent(*rig, bad));
  EXPECT_EQ(table.records[399].inUse, 7);
}

TEST(EventTable, CountStopsAt399EvenAfterDeletes) {
  TestRig rig;
  for (int round = 0; round < 500; ++round) {
    ASSERT_EQ(AddTimeEvent(*rig, ClockEvent(7, 0, 0x7F)), 0);
    ASSERT_TRUE(DeleteEvent(*rig, 0));
  }
  EXPECT_EQ(rig->events.eventCount, 399u);
}

TEST(TimeEvents, IgnoresSlotsThatAreNotTimeEvents) {
  TestRig rig;
  Enable(rig);
  EventRecord r = ClockEvent(7, 30, 0x7F);
  AddLogicEvent(*rig, r);  // a logic event with a clock time in its fields
  rig->events.records[1] = r;
  rig->events.records[1].isTimeEvent = 1;
  rig->events.records[1].inUse = 2;  // not 1: a damaged slot
  rig->events.records[399] = r;      // beyond the usable slots
  rig->events.records[399].isTimeEvent = 1;
  rig->events.records[399].inUse = 1;
  AddTimeEvent(*rig, ClockEvent(7, 30, 0));  // no weekday
  AddTimeEvent(*rig, ClockEvent(24, 30, 0x7F));  // no such hour
  Scanner s(rig);
  s.Start(AtLocal(2024, 6, 21, 7, 29, 0, kCentral));
  s.RunUntil(AtLocal(2024, 6, 21, 7, 40, 0, kCentral));
  EXPECT_TRUE(s.firings.empty());
  EXPECT_EQ(rig->events.records[399].lastFired, 0u);
}

}  // namespace
}  // namespace quorvel

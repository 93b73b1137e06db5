// The time events window's model against the example house: what the form
// stores for each choice of target, command, level, time and days; what stops a
// save; the list by time of day with its headers and lines; and the delete.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "automation/event_table.h"
#include "platform/bytes.h"
#include "view_rig.h"
#include "views/device_setup/device_setup_model.h"
#include "views/event_editors/time_events_model.h"

namespace quorvel {
namespace {

using testing::HouseRig;
using testing::kKitchenCeiling;
using testing::kModem;
using testing::kPorchLight;

const InsteonId kGarageDoor = InsteonId::From(0x2a, 0x10, 0x07);  // an I/O module, category 7

DeviceKey KeyOf(const Context& ctx, const InsteonId& id) {
  const int slot = ctx.db.FindDevice(id);
  return slot >= 0 ? MakeDeviceKey(ctx.db[slot].group, id) : 0;
}

EventRecord Zero() {
  EventRecord r;
  std::memset(&r, 0, sizeof r);
  return r;
}

class TimeEventsModel : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_.ctx->sun.sunriseHour = 6;
    rig_.ctx->sun.sunriseMinute = 10;
    rig_.ctx->sun.sunsetHour = 18;
    rig_.ctx->sun.sunsetMinute = 45;
  }
  Context& ctx() { return *rig_.ctx; }
  // The form with its target picked in the tree.
  TimeEventForm Picked(DeviceKey key) {
    TimeEventForm form = OpenTimeEventForm(ctx());
    EXPECT_TRUE(ShowTimeEventTarget(ctx(), form, key));
    return form;
  }
  HouseRig rig_;
};

TEST_F(TimeEventsModel, TheFormOpensAtQuarterPastSixOnEveryDayOrWithSlotZerosTimeAndDays) {
  const TimeEventForm fresh = OpenTimeEventForm(ctx());
  EXPECT_EQ(fresh.hour, 6);
  EXPECT_EQ(fresh.minute, 15);
  EXPECT_EQ(fresh.days, 0x7F);
  EXPECT_EQ(fresh.command, 0);
  EXPECT_EQ(LevelLabel(fresh.levelPosition), " On 100% ");
  EXPECT_EQ(fresh.timeBase, TimeBase::kClock);
  EXPECT_EQ(fresh.offset, SunOffset::kNone);
  EXPECT_EQ(fresh.offsetRow + 1, 20);

  EventRecord first = Zero();
  first.hour = 21;
  first.minute = 40;
  first.days = 0x41;
  ASSERT_EQ(AddTimeEvent(ctx(), first), 0);
  const TimeEventForm again = OpenTimeEventForm(ctx());
  EXPECT_EQ(again.hour, 21);
  EXPECT_EQ(again.minute, 40);
  EXPECT_EQ(again.days, 0x41);

  // Whatever a file holds there, the sliders take only their own range.
  ctx().events.records[0].hour = 200;
  ctx().events.records[0].minute = 99;
  const TimeEventForm odd = OpenTimeEventForm(ctx());
  EXPECT_EQ(odd.hour, 23);
  EXPECT_EQ(odd.minute, 59);
}

TEST_F(TimeEventsModel, ControlsToTheStoredRecord) {
  struct Case {
    const char* name;
    std::function<DeviceKey(Context&)> target;
    std::function<void(TimeEventForm&)> choose;
    std::function<void(EventRecord&)> expect;  // on a zero record
  };
  const Case cases[] = {
      {"a dimmer at 07:30 on weekdays, slider at 30",
       [](Context& c) { return KeyOf(c, kKitchenCeiling); },
       [](TimeEventForm& f) {
         f.hour = 7;
         f.minute = 30;
         f.levelPosition = 30;
         f.days = PresetDays(WeekdayPreset::kWeekDays);
       },
       [](EventRecord& r) {
         r.hour = 7, r.minute = 30, r.days = 0x3E, r.targetId = kKitchenCeiling, r.cmd1 = 0x11, r.cmd2 = 150;
         r.retryClass = 5;
       }},
      {"a relay is switched full on whatever the slider",
       [](Context& c) { return KeyOf(c, kPorchLight); },
       [](TimeEventForm& f) { f.levelPosition = 3; },
       [](EventRecord& r) {
         r.hour = 6, r.minute = 15, r.days = 0x7F, r.targetId = kPorchLight, r.cmd1 = 0x11, r.cmd2 = 255;
         r.retryClass = 5;
       }},
      {"OFF sends level 0",
       [](Context& c) { return KeyOf(c, kKitchenCeiling); },
       [](TimeEventForm& f) { f.command = 1; },
       [](EventRecord& r) {
         r.hour = 6, r.minute = 15, r.days = 0x7F, r.targetId = kKitchenCeiling, r.cmd1 = 0x13, r.cmd2 = 0;
         r.retryClass = 5;
       }},
      {"a kind that is neither dimmer nor relay gets level 0",
       [](Context& c) { return KeyOf(c, kGarageDoor); },
       [](TimeEventForm&) {},
       [](EventRecord& r) {
         r.hour = 6, r.minute = 15, r.days = 0x7F, r.targetId = kGarageDoor, r.cmd1 = 0x11, r.retryClass = 5;
       }},
      {"a computer group",
       [](Context&) { return MakeGroupKey(5); },
       [](TimeEventForm& f) { f.days = PresetDays(WeekdayPreset::kWeekEnd); },
       [](EventRecord& r) { r.hour = 6, r.minute = 15, r.days = 0x41, r.isGroup = 1, r.group = 5, r.cmd1 = 0x11; }},
      {"twenty minutes before sunset",
       [](Context& c) { return KeyOf(c, kKitchenCeiling); },
       [](TimeEventForm& f) {
         f.timeBase = TimeBase::kSunset;
         f.offset = SunOffset::kBefore;
         f.offsetRow = 19;
         f.hour = 9;  // the sliders are hidden and do not count
       },
       [](EventRecord& r) {
         r.days = 0x7F, r.targetId = kKitchenCeiling, r.cmd1 = 0x11, r.cmd2 = 255, r.retryClass = 5;
         r.timeBase = 2, r.offsetMode = 1, r.delayMinutes = 20;
       }},
      {"a minute after sunrise",
       [](Context& c) { return KeyOf(c, kPorchLight); },
       [](TimeEventForm& f) {
         f.timeBase = TimeBase::kSunrise;
         f.offset = SunOffset::kAfter;
         f.offsetRow = 0;
       },
       [](EventRecord& r) {
         r.days = 0x7F, r.targetId = kPorchLight, r.cmd1 = 0x11, r.cmd2 = 255, r.retryClass = 5;
         r.timeBase = 1, r.offsetMode = 2, r.delayMinutes = 1;
       }},
      {"at sunset, the minutes list not counting",
       [](Context&) { return MakeGroupKey(3); },
       [](TimeEventForm& f) {
         f.timeBase = TimeBase::kSunset;
         f.offsetRow = 44;
         f.command = 1;
       },
       [](EventRecord& r) { r.days = 0x7F, r.isGroup = 1, r.group = 3, r.cmd1 = 0x13, r.timeBase = 2; }},
      {"single days toggled off the week",
       [](Context& c) { return KeyOf(c, kPorchLight); },
       [](TimeEventForm& f) { f.days = ToggleWeekday(ToggleWeekday(kAllWeekDays, 0), 3); },
       [](EventRecord& r) {
         r.hour = 6, r.minute = 15, r.days = 0x76, r.targetId = kPorchLight, r.cmd1 = 0x11, r.cmd2 = 255;
         r.retryClass = 5;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HouseRig rig;
    TimeEventForm form = OpenTimeEventForm(*rig);
    ASSERT_TRUE(ShowTimeEventTarget(*rig, form, c.target(*rig)));
    c.choose(form);
    const EventSaveOutcome out = SaveTimeEvent(*rig, form);
    ASSERT_TRUE(out.Stored()) << out.text;
    EXPECT_TRUE(out.title.empty() && out.text.empty());
    EventRecord want = Zero();
    c.expect(want);
    want.inUse = 1;
    want.isTimeEvent = 1;
    const EventRecord& got = rig->events.records[out.slot];
    EXPECT_EQ(std::memcmp(&got, &want, sizeof want), 0)
        << "targetId " << IdText(got.targetId) << " cmd1 " << int(got.cmd1) << " cmd2 " << int(got.cmd2)
        << " days " << int(got.days) << " at " << int(got.hour) << ":" << int(got.minute) << " base "
        << int(got.timeBase) << " offset " << int(got.offsetMode) << "/" << int(got.delayMinutes);
    EXPECT_EQ(rig->events.eventCount, 1u);
  }
}

TEST_F(TimeEventsModel, WhatStopsASaveAndStoresNothing) {
  struct Case {
    const char* name;
    std::function<void(Context&, TimeEventForm&)> make;
    const char* title;
    const char* text;
  };
  const Case cases[] = {
      {"nothing picked", [](Context&, TimeEventForm&) {}, kSelectionMissingTitle, kSelectDeviceText},
      {"no command", [](Context&, TimeEventForm& f) { f.command = -1; }, kSelectionMissingTitle, kNoCommandText},
      {"no day", [](Context&, TimeEventForm& f) { f.days = 0; }, kSelectionMissingTitle, kNoDaysText},
      {"an hour past the day", [](Context&, TimeEventForm& f) { f.hour = 24; }, kValueOutOfRangeTitle,
       "The hour must be 0 to 23."},
      {"a minute past the hour", [](Context&, TimeEventForm& f) { f.minute = -1; }, kValueOutOfRangeTitle,
       "The minute must be 0 to 59."},
      {"a level past the slider", [](Context&, TimeEventForm& f) { f.levelPosition = 52; }, kValueOutOfRangeTitle,
       "The level must be 0 to 100%."},
      {"a delay with no minutes chosen",
       [](Context&, TimeEventForm& f) {
         f.timeBase = TimeBase::kSunrise;
         f.offset = SunOffset::kAfter;
         f.offsetRow = -1;
       },
       kValueOutOfRangeTitle, "The delay must be 1 to 90 minutes."},
      {"a delay past the list",
       [](Context&, TimeEventForm& f) {
         f.timeBase = TimeBase::kSunset;
         f.offset = SunOffset::kBefore;
         f.offsetRow = 90;
       },
       kValueOutOfRangeTitle, "The delay must be 1 to 90 minutes."},
      // The field shows a device that has left the table since it was picked.
      {"the device is gone",
       [](Context& c, TimeEventForm&) {
         for (uint32_t i = 0; i < c.db.count; ++i)
           if (c.db.records[i].id == kKitchenCeiling) std::memset(&c.db.records[i], 0, sizeof(DeviceRecord));
       },
       kSelectionMissingTitle, kSelectDeviceText},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HouseRig rig;
    TimeEventForm form = OpenTimeEventForm(*rig);
    if (std::string(c.name) != "nothing picked") {
      ASSERT_TRUE(ShowTimeEventTarget(*rig, form, KeyOf(*rig, kKitchenCeiling)));
    }
    c.make(*rig, form);
    const EventSaveOutcome out = SaveTimeEvent(*rig, form);
    EXPECT_FALSE(out.Stored());
    EXPECT_EQ(out.title, c.title);
    EXPECT_EQ(out.text, c.text);
    EXPECT_EQ(rig->events.eventCount, 0u);
    EXPECT_EQ(rig->events.records[0].inUse, 0);
  }
}

TEST_F(TimeEventsModel, TheEventIsForWhatTheFieldShowsWhateverTheTreeSelectedSince) {
  TimeEventForm form = Picked(KeyOf(ctx(), kKitchenCeiling));
  EXPECT_EQ(form.target.text, "2A.10.01  Kitchen Ceiling");
  // The modem, "Unlinked" and group 0 leave the field as it is.
  for (const DeviceKey key : {ModemKey(ctx()), DeviceKey{0}, MakeGroupKey(0)}) {
    EXPECT_FALSE(ShowTimeEventTarget(ctx(), form, key));
    ctx().tick.treeSelection = key;
  }
  EXPECT_EQ(form.target.text, "2A.10.01  Kitchen Ceiling");
  const EventSaveOutcome out = SaveTimeEvent(ctx(), form);
  ASSERT_TRUE(out.Stored());
  EXPECT_EQ(ctx().events.records[out.slot].targetId, kKitchenCeiling);
  EXPECT_EQ(ctx().events.records[out.slot].isGroup, 0);

  // A group replaces the device, and the event is the group's.
  ASSERT_TRUE(ShowTimeEventTarget(ctx(), form, MakeGroupKey(12)));
  EXPECT_EQ(form.target.text, "Group 12  ");
  const EventSaveOutcome group = SaveTimeEvent(ctx(), form);
  ASSERT_TRUE(group.Stored());
  EXPECT_EQ(ctx().events.records[group.slot].isGroup, 1);
  EXPECT_EQ(ctx().events.records[group.slot].group, 12);
  EXPECT_EQ(ctx().events.records[group.slot].targetId, InsteonId{});
}

TEST_F(TimeEventsModel, AnUnnamedDeviceIsShownAndStoredWithItsProductName) {
  const int slot = ctx().db.FindDevice(kPorchLight);
  ctx().db[slot].name[0] = '\0';
  const TimeEventForm form = Picked(KeyOf(ctx(), kPorchLight));
  const std::string product(FixedText(ctx().db[slot].name));
  EXPECT_FALSE(product.empty());
  EXPECT_EQ(form.target.text, "2A.10.05  " + product);
}

TEST_F(TimeEventsModel, AFullTableRefusesWithABoxAndChangesNothing) {
  EventRecord filler = Zero();
  for (int i = 0; i < kUsableEventSlots; ++i) ASSERT_EQ(AddLogicEvent(ctx(), filler), i);
  const EventTable before = ctx().events;
  TimeEventForm form = Picked(KeyOf(ctx(), kKitchenCeiling));
  form.days = kAllWeekDays;  // slot 0 is the zero filler
  const EventSaveOutcome out = SaveTimeEvent(ctx(), form);
  EXPECT_FALSE(out.Stored());
  EXPECT_EQ(out.title, kEventTableFullTitle);
  EXPECT_NE(out.text.find("Event table full"), std::string::npos);
  EXPECT_EQ(std::memcmp(&before, &ctx().events, sizeof before), 0);
  const std::vector<std::string> log = rig_.Activity();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), kEventTableFull);
}

TEST_F(TimeEventsModel, LabelsOfTheSlidersAndTheSunTimes) {
  struct Case {
    int hour;
    const char* text;
    const char* half;
  };
  for (const Case& c : {Case{0, "12:", "am"}, Case{1, "01:", "am"}, Case{11, "11:", "am"}, Case{12, "12:", "pm"},
                        Case{13, "01:", "pm"}, Case{23, "11:", "pm"}}) {
    EXPECT_EQ(HourLabel(c.hour), c.text) << c.hour;
    EXPECT_EQ(AmPmLabel(c.hour), c.half) << c.hour;
  }
  EXPECT_EQ(MinuteLabel(5), "05");
  EXPECT_EQ(MinuteLabel(59), "59");
  for (const auto& [position, text] : std::vector<std::pair<int, const char*>>{
           {0, " On 0% "}, {30, " On 60% "}, {49, " On 98% "}, {50, " On 100% "}, {51, " On 100% "}})
    EXPECT_EQ(LevelLabel(position), text) << position;
  ctx().sun.sunriseMinute = 5;
  EXPECT_EQ(SunriseLabel(ctx().sun), "Sunrise   (6:05)");
  EXPECT_EQ(SunsetLabel(ctx().sun), "Sunset   (18:45)");
  EXPECT_EQ(WeekdayString(0x7F), "SMTWTFS");
  EXPECT_EQ(WeekdayString(0x3E), "_MTWTF_");
  EXPECT_EQ(WeekdayString(0x41), "S_____S");
  EXPECT_EQ(WeekdayString(0), "_______");
}

struct Line {
  int depth;
  std::string text;
  uint32_t value;
  bool operator==(const Line&) const = default;
};
void PrintTo(const Line& l, std::ostream* os) { *os << l.depth << " \"" << l.text << "\" " << std::hex << l.value; }

std::vector<Line> Lines(const EventTreeItem& root) {
  std::vector<Line> out;
  std::function<void(const EventTreeItem&, int)> walk = [&](const EventTreeItem& item, int depth) {
    out.push_back({depth, item.text, item.value});
    for (const EventTreeItem& c : item.children) walk(c, depth + 1);
  };
  walk(root, 0);
  return out;
}

EventRecord Clock(int hour, int minute, uint8_t cmd1, uint8_t days = 0x7F) {
  EventRecord r = Zero();
  r.hour = static_cast<uint8_t>(hour);
  r.minute = static_cast<uint8_t>(minute);
  r.cmd1 = cmd1;
  r.days = days;
  return r;
}
EventRecord ForDevice(EventRecord r, const InsteonId& id, uint8_t cmd2) {
  r.targetId = id;
  r.cmd2 = cmd2;
  r.retryClass = 5;
  return r;
}
EventRecord ForGroup(EventRecord r, uint8_t group) {
  r.isGroup = 1;
  r.group = group;
  return r;
}
EventRecord Sun(EventRecord r, uint8_t base, int8_t offsetMode, uint8_t minutes) {
  r.timeBase = base;
  r.offsetMode = offsetMode;
  r.delayMinutes = minutes;
  return r;
}

TEST_F(TimeEventsModel, TheListByTimeOfDayEachLineUnderTheHeaderOfItsKind) {
  Context& c = ctx();
  ASSERT_EQ(AddTimeEvent(c, ForDevice(Clock(7, 30, 0x11, 0x3E), kKitchenCeiling, 150)), 0);
  ASSERT_EQ(AddTimeEvent(c, Sun(ForGroup(Clock(0, 0, 0x11), 5), 2, 1, 20)), 1);
  ASSERT_EQ(AddTimeEvent(c, ForGroup(Clock(7, 30, 0x13), 3)), 2);
  ASSERT_EQ(AddTimeEvent(c, ForDevice(Clock(6, 0, 0x11), kPorchLight, 255)), 3);
  ASSERT_EQ(AddTimeEvent(c, Sun(ForDevice(Clock(0, 0, 0x13, 0x3E), kKitchenCeiling, 0), 1, 0, 0)), 4);
  // A clock event at the sunset minute, after the sunset event in slot order.
  ASSERT_EQ(AddTimeEvent(c, Sun(ForDevice(Clock(18, 45, 0x11), kPorchLight, 255), 0, 0, 0)), 5);
  ASSERT_EQ(AddLogicEvent(c, Zero()), 6);
  ASSERT_EQ(AddTimeEvent(c, ForDevice(Clock(5, 0, 0x15), kKitchenCeiling, 0)), 7);  // no line for a BRIGHT
  ASSERT_EQ(AddTimeEvent(c, Sun(ForGroup(Clock(0, 0, 0x11), 9), 2, 2, 90)), 8);

  const std::vector<Line> want = {
      {0, "Time Events", 0x10001},
      {1, "05:00 am  SMTWTFS", 0x40007},
      {1, "06:00 am  SMTWTFS", 0x40003},
      {2, "[2a.10.05] Porch Light On, 100%, SMTWTFS", 0xF0003},
      {1, "Sunrise  06:10", 0x40004},
      {2, "[2a.10.01] Kitchen Ceiling Off, _MTWTF_", 0xF0004},
      {1, "07:30 am  _MTWTF_", 0x40000},
      {2, "[2a.10.01] Kitchen Ceiling On, 60%, _MTWTF_", 0xF0000},
      {2, "Group 3 Off, SMTWTFS", 0xF0002},
      {1, "Sunset  18:45", 0x40001},
      {2, "(-20)  Group 5 On, SMTWTFS", 0xF0001},
      {2, "(+90)  Group 9 On, SMTWTFS", 0xF0008},
      {1, "06:45 pm  SMTWTFS", 0x40005},
      {2, "[2a.10.05] Porch Light On, 100%, SMTWTFS", 0xF0005},
  };
  EXPECT_EQ(Lines(RebuildTimeEventList(c)), want);
  // The sun-based events keep the sun time they were listed at.
  EXPECT_EQ(c.events.records[1].hour, 18);
  EXPECT_EQ(c.events.records[1].minute, 45);
  EXPECT_EQ(c.events.records[4].hour, 6);
  EXPECT_EQ(c.events.records[4].minute, 10);

  // A new day's sun times move them.
  c.sun.sunsetHour = 19;
  c.sun.sunsetMinute = 2;
  const std::vector<Line> moved = Lines(RebuildTimeEventList(c));
  EXPECT_EQ(moved[moved.size() - 5], (Line{1, "06:45 pm  SMTWTFS", 0x40005}));
  EXPECT_EQ(moved[moved.size() - 3], (Line{1, "Sunset  19:02", 0x40001}));
  EXPECT_EQ(c.events.records[8].hour, 19);
  EXPECT_EQ(c.events.records[8].minute, 2);
}

TEST_F(TimeEventsModel, AGroupEventListedFirstGivesItsHeaderTheGroupForm) {
  ASSERT_EQ(AddTimeEvent(ctx(), ForGroup(Clock(19, 5, 0x11, 0x41), 4)), 0);
  ASSERT_EQ(AddTimeEvent(ctx(), ForDevice(Clock(19, 5, 0x11), kKitchenCeiling, 253)), 1);
  const std::vector<Line> want = {
      {0, "Time Events", 0x10001},
      {1, "07:05  pm, S_____S", 0x40000},
      {2, "Group 4 On, S_____S", 0xF0000},
      {2, "[2a.10.01] Kitchen Ceiling On, 100%, SMTWTFS", 0xF0001},
  };
  EXPECT_EQ(Lines(RebuildTimeEventList(ctx())), want);
}

TEST_F(TimeEventsModel, OnlyAnEventLineInUseNamesASlotToDelete) {
  ASSERT_EQ(AddTimeEvent(ctx(), ForDevice(Clock(7, 30, 0x11), kKitchenCeiling, 150)), 0);
  ASSERT_EQ(AddLogicEvent(ctx(), Zero()), 1);
  struct Case {
    uint32_t value;
    int slot;
  };
  for (const Case& c : {Case{0xF0000, 0}, Case{0x40000, -1}, Case{0x10001, -1}, Case{0xF0001, -1},
                        Case{0xF0002, -1}, Case{0xF0000 + 399, -1}, Case{0xF0000 + 401, -1}, Case{0xFFFFFFFF, -1}})
    EXPECT_EQ(EventLineSlot(ctx(), c.value, true), c.slot) << std::hex << c.value;

  // The event the user saw is deleted, even when it fired meanwhile; one that
  // changed is not.
  const EventRecord seen = ctx().events.records[0];
  ctx().events.records[0].lastFired = 12345;
  EventRecord other = seen;
  other.cmd2 = 10;
  EXPECT_FALSE(DeleteSeenEvent(ctx(), 0, other));
  EXPECT_EQ(ctx().events.records[0].inUse, 1);
  EXPECT_TRUE(DeleteSeenEvent(ctx(), 0, seen));
  EXPECT_EQ(ctx().events.records[0].inUse, 0);
  EXPECT_EQ(ctx().events.eventCount, 2u) << "a delete leaves the count";
  EXPECT_FALSE(DeleteSeenEvent(ctx(), 0, seen)) << "gone already";
  EXPECT_FALSE(DeleteSeenEvent(ctx(), -1, seen));
  EXPECT_FALSE(DeleteSeenEvent(ctx(), 399, seen));
}

}  // namespace
}  // namespace quorvel

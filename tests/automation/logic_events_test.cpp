#include "automation/logic_events.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "automation/event_table.h"
#include "automation/x10_codes.h"
#include "support/test_rig.h"
#include "local_time_helpers.h"

namespace quorvel {
namespace {

using testing::AtLocal;
using testing::TestRig;

constexpr int kCentral = -6 * 3600;
const InsteonId kKeypad = InsteonId::From(0x0a, 0x0b, 0x0c);
const InsteonId kMotion = InsteonId::From(0x22, 0x33, 0x44);
const InsteonId kDimmer = InsteonId::From(0x1d, 0x2e, 0x3f);

EventRecord Rule(const InsteonId& from, uint8_t cmd1, uint8_t group) {
  EventRecord r;
  std::memset(&r, 0, sizeof r);
  r.initiatorId = from;
  r.initiatorCmd1 = cmd1;
  r.initiatorCmd2 = cmd1 == 0x11 ? 0xFE : 0;
  r.initiatorGroup = group;
  r.days = 0x7F;
  return r;
}

EventRecord DeviceRule(const InsteonId& from, uint8_t cmd1, uint8_t group, const InsteonId& to, uint8_t opCmd,
                       uint8_t level) {
  EventRecord r = Rule(from, cmd1, group);
  r.operatorId = to;
  r.operatorCmd1 = opCmd;
  r.operatorCmd2 = level;
  return r;
}

class LogicEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.clock.SetUtcOffset(kCentral);
    rig.clock.Set(AtLocal(2024, 6, 21, 10, 15, 7, kCentral));  // a Friday
    rig->options.runFlags = kRunTimerEvents | kRunLogicEvents;
  }
  std::vector<int> FiredSlots() {
    std::vector<int> out;
    for (int i = 0; i < kEventSlots; ++i)
      if (rig->events.records[i].lastFired == static_cast<uint32_t>(rig.clock.Now())) out.push_back(i);
    return out;
  }
  TestRig rig;
};

TEST_F(LogicEvents, MatchesSenderCommandAndGroup) {
  // 0: keypad button 1 ON -> dimmer ON at 50%.
  AddLogicEvent(*rig, DeviceRule(kKeypad, 0x11, 1, kDimmer, 0x11, 128));
  // 1: the same press also sends computer group 7 ON.
  EventRecord group = Rule(kKeypad, 0x11, 1);
  group.isGroup = 1;
  group.group = 7;
  group.operatorCmd1 = 0x11;
  AddLogicEvent(*rig, group);
  // 2: keypad button 1 OFF -> X10 C7 Off.
  EventRecord x10 = Rule(kKeypad, 0x13, 1);
  x10.targetKind = 1;
  x10.x10House = HouseCodeFromLetterIndex(2);
  x10.x10Unit = UnitCodeFromNumberIndex(6);
  x10.x10Function = 3;
  x10.operatorCmd1 = 3;
  AddLogicEvent(*rig, x10);
  // 3: the motion sensor's dusk report (group 2) -> dimmer OFF, after 1:30.
  EventRecord dusk = DeviceRule(kMotion, 0x11, 2, kDimmer, 0x13, 0);
  dusk.offsetMode = 2;
  dusk.delayMinutes = 1;
  dusk.delaySeconds = 30;
  AddLogicEvent(*rig, dusk);
  // 4: group 0 never fires.
  AddLogicEvent(*rig, DeviceRule(kKeypad, 0x11, 0, kDimmer, 0x11, 255));
  // 5: weekends only; today is a Friday.
  EventRecord weekend = DeviceRule(kKeypad, 0x11, 1, kDimmer, 0x11, 255);
  weekend.days = 0x41;
  AddLogicEvent(*rig, weekend);
  // 6: a time event with the same initiator fields is not a rule.
  AddTimeEvent(*rig, DeviceRule(kKeypad, 0x11, 1, kDimmer, 0x11, 255));
  // 7: a deleted rule.
  AddLogicEvent(*rig, DeviceRule(kKeypad, 0x11, 1, kDimmer, 0x11, 255));
  DeleteEvent(*rig, 7);
  // 399: beyond the usable slots, as a damaged file might hold it.
  rig->events.records[399] = rig->events.records[0];

  struct Case {
    const char* name;
    InsteonId from;
    uint8_t group;
    uint8_t cmd1;
    std::vector<int> slots;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"keypad_on",
       kKeypad,
       1,
       0x11,
       {0, 1},
       {"Logic Event - 0a.0b.0c, ON then 1d.2e.3f, ON 128", "Logic Event - 7, ON", "Computer Group 7 On"}},
      {"keypad_off", kKeypad, 1, 0x13, {2}, {"0a.0b.0c Group 1 OFF  then delay 0:0 C7 OFF"}},
      {"motion_dusk", kMotion, 2, 0x11, {3}, {"Logic Event - 22.33.44, ON then 1d.2e.3f, OFF 0"}},
      {"motion_group_1", kMotion, 1, 0x11, {}, {}},
      {"keypad_group_0", kKeypad, 0, 0x11, {}, {}},
      {"keypad_group_2", kKeypad, 2, 0x11, {}, {}},
      {"other_sender", kDimmer, 1, 0x11, {}, {}},
      {"other_command", kKeypad, 1, 0x12, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rig.clock.Advance(1);  // a new second for each message
    const size_t before = rig.Texts(LogChannel::GeneralActivity).size();
    MatchLogicEvents(*rig, c.cmd1, c.from, c.group);
    EXPECT_EQ(FiredSlots(), c.slots);
    const std::vector<std::string> all = rig.Texts(LogChannel::GeneralActivity);
    EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<long>(before), all.end()), c.lines);
  }
}

TEST_F(LogicEvents, OncePerSecondWhateverTheMinute) {
  AddLogicEvent(*rig, DeviceRule(kMotion, 0x11, 1, kDimmer, 0x11, 255));
  struct Step {
    const char* name;
    Time at;
    bool fires;
  };
  const Step steps[] = {
      {"broadcast", AtLocal(2024, 6, 21, 10, 15, 7, kCentral), true},
      {"cleanup_same_second", AtLocal(2024, 6, 21, 10, 15, 7, kCentral), false},
      {"cleanup_next_second", AtLocal(2024, 6, 21, 10, 15, 8, kCentral), true},
      // Same minute and second an hour later, and a day later: new presses.
      {"an_hour_later", AtLocal(2024, 6, 21, 11, 15, 8, kCentral), true},
      {"a_day_later", AtLocal(2024, 6, 22, 11, 15, 8, kCentral), true},
      {"again_same_second", AtLocal(2024, 6, 22, 11, 15, 8, kCentral), false},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    rig.clock.Set(s.at);
    const size_t before = rig.Texts(LogChannel::GeneralActivity).size();
    MatchLogicEvents(*rig, 0x11, kMotion, 1);
    EXPECT_EQ(rig->events.records[0].lastFired, static_cast<uint32_t>(s.at));
    EXPECT_EQ(rig.Texts(LogChannel::GeneralActivity).size(), before + (s.fires ? 1 : 0));
  }
}

TEST_F(LogicEvents, SwitchOffSaysSoForEachMessageAndSendsNothing) {
  rig->options.runFlags = kRunTimerEvents;
  AddLogicEvent(*rig, DeviceRule(kKeypad, 0x11, 1, kDimmer, 0x11, 255));
  MatchLogicEvents(*rig, 0x11, kKeypad, 1);
  MatchLogicEvents(*rig, 0x11, kKeypad, 1);  // the same second: not fired, so said again
  EXPECT_EQ(rig->events.records[0].lastFired, 0u);
  const std::vector<std::string> line = {"Logic Event - 0a.0b.0c, ON then 1d.2e.3f, ON 255",
                                         "Logic Events Dis-abled!"};
  std::vector<std::string> twice = line;
  twice.insert(twice.end(), line.begin(), line.end());
  EXPECT_EQ(rig.Texts(LogChannel::GeneralActivity), twice);
}

TEST_F(LogicEvents, DamagedRecordsAreSafe) {
  // An X10 rule whose house code is not a code, and an unknown target kind:
  // no letter to print (and no stray NUL in the line), no line for the other.
  EventRecord x10 = Rule(kKeypad, 0x11, 1);
  x10.targetKind = 1;
  x10.x10House = 200;
  x10.x10Unit = 6;
  x10.x10Function = 2;
  x10.operatorCmd1 = 2;
  AddLogicEvent(*rig, x10);
  EventRecord odd = DeviceRule(kKeypad, 0x11, 1, kDimmer, 0x11, 255);
  odd.targetKind = 5;
  AddLogicEvent(*rig, odd);
  MatchLogicEvents(*rig, 0x11, kKeypad, 1);
  EXPECT_EQ(FiredSlots(), (std::vector<int>{0, 1}));
  const std::vector<std::string> lines = rig.Texts(LogChannel::GeneralActivity);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "0a.0b.0c Group 1 ON  then delay 0:0  ON");
  EXPECT_EQ(lines[0].find('\0'), std::string::npos);
}

}  // namespace
}  // namespace quorvel

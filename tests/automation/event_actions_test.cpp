// Events all the way to the modem: a device's message fed to the incoming
// handling, or the clock reaching an event's minute, and the bytes written to
// the port as the send queues serve them tick by tick.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "automation/event_table.h"
#include "automation/sun_times.h"
#include "automation/time_events.h"
#include "automation/x10_codes.h"
#include "local_time_helpers.h"
#include "plm/queue_rig.h"
#include "platform/bytes.h"

namespace quorvel {
namespace {

using testing::AtLocal;
using testing::kModemId;
using testing::QueueRig;
using testing::StandardFrame;
using testing::WrittenMessage;

const InsteonId kKeypad = InsteonId::From(0x0a, 0x0b, 0x0c);
const InsteonId kMotion = InsteonId::From(0x22, 0x33, 0x44);
const InsteonId kDimmer = InsteonId::From(0x1d, 0x2e, 0x3f);
const InsteonId kRelay = InsteonId::From(0x1a, 0x2b, 0x3c);
constexpr int kTicksPerSecond = 1000 / testing::kTickMillis;  // 6.25, rounded down

// A group broadcast of `group` and the clean-up sent to the modem afterwards.
std::vector<uint8_t> Broadcast(const InsteonId& from, uint8_t group, uint8_t cmd1) {
  return StandardFrame(from, InsteonId::From(0, 0, group), 0xCB, cmd1, 0x00);
}
std::vector<uint8_t> Cleanup(const InsteonId& from, uint8_t group, uint8_t cmd1) {
  return StandardFrame(from, kModemId, 0x41, cmd1, group);
}
std::vector<uint8_t> Direct(const InsteonId& from, uint8_t cmd1) {
  return StandardFrame(from, kModemId, 0x0B, cmd1, 0xFF);
}

EventRecord Rule(const InsteonId& from, uint8_t cmd1, uint8_t group) {
  EventRecord r;
  std::memset(&r, 0, sizeof r);
  r.initiatorId = from;
  r.initiatorCmd1 = cmd1;
  r.initiatorGroup = group;
  r.days = 0x7F;
  return r;
}

EventRecord ToDevice(EventRecord r, const InsteonId& to, uint8_t cmd1, uint8_t level, int waitMinutes = 0,
                     int waitSeconds = 0) {
  r.operatorId = to;
  r.operatorCmd1 = cmd1;
  r.operatorCmd2 = level;
  r.delayMinutes = static_cast<uint8_t>(waitMinutes);
  r.delaySeconds = static_cast<uint8_t>(waitSeconds);
  if (waitMinutes != 0 || waitSeconds != 0) r.offsetMode = 2;
  return r;
}

EventRecord ToGroup(EventRecord r, uint8_t group, uint8_t cmd1, int waitSeconds = 0) {
  r.isGroup = 1;
  r.group = group;
  r.operatorCmd1 = cmd1;
  r.delaySeconds = static_cast<uint8_t>(waitSeconds);
  return r;
}

EventRecord ToX10(EventRecord r, int letter, int unit, uint8_t function, int waitSeconds = 0) {
  r.targetKind = 1;
  r.x10House = HouseCodeFromLetterIndex(letter);
  r.x10Unit = UnitCodeFromNumberIndex(unit - 1);
  r.x10Function = function;
  r.operatorCmd1 = function;
  r.delaySeconds = static_cast<uint8_t>(waitSeconds);
  return r;
}

void AddHouse(QueueRig& q) {
  q.AddDevice(kKeypad, 0x01, 0x1C);
  q.AddDevice(kMotion, 0x10, 0x01);
  q.AddDevice(kDimmer, 0x01, 0x20);
  q.AddDevice(kRelay, 0x02, 0x2A);
  q.Answering(kDimmer);
  q.Answering(kRelay);
}

// A message written for an event: an Insteon send to one of the switched
// devices (not the handling's own requests to the sensors), a group command, X10.
bool IsAction(const WrittenMessage& m) {
  if (m.code() == 0x61 || m.code() == 0x63) return true;
  if (m.code() != 0x62 || m.bytes.size() < 5) return false;
  const InsteonId to = InsteonId::FromBytes(&m.bytes[2]);
  return to == kDimmer || to == kRelay;
}

// Ticks the queues; the modem acknowledges each group command it is given, as
// it does on the line (an X10 echo completes nothing).
void Serve(QueueRig& q, int ticks) {
  for (int i = 0; i < ticks; ++i) {
    const size_t before = q.Written().size();
    q.Tick();
    const std::vector<WrittenMessage> written = q.Written();
    for (size_t k = before; k < written.size(); ++k) {
      const std::vector<uint8_t>& b = written[k].bytes;
      if (b.size() == 5 && b[1] == 0x61) q.Feed({0x02, 0x61, b[2], b[3], b[4], 0x06});
    }
  }
}

// What went to the modem for automation: Insteon sends, group commands, X10.
struct Sent {
  std::vector<uint8_t> bytes;  // without the message flags byte of a 0x62
  int second;                  // whole seconds after the message arrived
  friend bool operator==(const Sent&, const Sent&) = default;
};

std::vector<Sent> ActionsWritten(QueueRig& q, int startTick) {
  std::vector<Sent> out;
  for (const WrittenMessage& m : q.Written()) {
    if (!IsAction(m)) continue;
    std::vector<uint8_t> b = m.bytes;
    if (m.code() == 0x62 && b.size() > 5) b.erase(b.begin() + 5);
    out.push_back({b, (m.tick - startTick) * testing::kTickMillis / 1000});
  }
  return out;
}

struct LogicCase {
  const char* name;
  std::vector<EventRecord> rules;
  std::vector<std::vector<uint8_t>> frames;  // all in the same second
  std::vector<std::vector<uint8_t>> sent;    // in order, without the flags byte
  int earliestSecond;                        // of the first send
  int latestSecond;
};

const std::vector<uint8_t> kDimmerOn = {0x02, 0x62, 0x1d, 0x2e, 0x3f, 0x11, 0xFF};
const std::vector<uint8_t> kDimmerOff = {0x02, 0x62, 0x1d, 0x2e, 0x3f, 0x13, 0x00};

std::vector<LogicCase> LogicCases() {
  return {
      {"keypad_on_switches_the_dimmer",
       {ToDevice(Rule(kKeypad, 0x11, 1), kDimmer, 0x11, 0xFF)},
       {Broadcast(kKeypad, 1, 0x11), Cleanup(kKeypad, 1, 0x11)},
       {kDimmerOn},
       0,
       2},
      {"direct_on_counts_as_group_1",
       {ToDevice(Rule(kKeypad, 0x11, 1), kDimmer, 0x11, 0xFF)},
       {Direct(kKeypad, 0x11)},
       {kDimmerOn},
       0,
       2},
      {"other_button_does_nothing",
       {ToDevice(Rule(kKeypad, 0x11, 1), kDimmer, 0x11, 0xFF)},
       {Broadcast(kKeypad, 3, 0x11), Cleanup(kKeypad, 3, 0x11)},
       {},
       0,
       0},
      {"off_does_not_match_on",
       {ToDevice(Rule(kKeypad, 0x11, 1), kDimmer, 0x11, 0xFF)},
       {Broadcast(kKeypad, 1, 0x13), Cleanup(kKeypad, 1, 0x13)},
       {},
       0,
       0},
      {"wait_of_a_minute_and_a_half",
       {ToDevice(Rule(kMotion, 0x11, 2), kDimmer, 0x13, 0x00, 1, 30)},
       {Broadcast(kMotion, 2, 0x11), Cleanup(kMotion, 2, 0x11)},
       {kDimmerOff},
       90,
       93},
      {"wait_of_seconds",
       {ToDevice(Rule(kKeypad, 0x11, 1), kDimmer, 0x11, 0xFF, 0, 5)},
       {Broadcast(kKeypad, 1, 0x11)},
       {kDimmerOn},
       5,
       7},
      {"computer_group_at_once_despite_a_wait",
       {ToGroup(Rule(kKeypad, 0x13, 1), 7, 0x13, 30)},
       {Broadcast(kKeypad, 1, 0x13), Cleanup(kKeypad, 1, 0x13)},
       {{0x02, 0x61, 0x07, 0x13, 0x00}},
       0,
       2},
      // C7: house code 2, unit code 5. Address then function, each sent twice
      // (its echo completes nothing), paced by the modem queue: all of it long
      // before the 30 seconds the record also holds.
      {"x10_at_once_despite_a_wait",
       {ToX10(Rule(kKeypad, 0x11, 1), 2, 7, 2, 30)},
       {Broadcast(kKeypad, 1, 0x11), Cleanup(kKeypad, 1, 0x11)},
       {{0x02, 0x63, 0x25, 0x00}, {0x02, 0x63, 0x25, 0x00}, {0x02, 0x63, 0x22, 0x80}, {0x02, 0x63, 0x22, 0x80}},
       0,
       20},
      {"x10_off",
       {ToX10(Rule(kKeypad, 0x13, 1), 9, 11, 3)},
       {Broadcast(kKeypad, 1, 0x13)},
       {{0x02, 0x63, 0xF3, 0x00}, {0x02, 0x63, 0xF3, 0x00}, {0x02, 0x63, 0xF3, 0x80}, {0x02, 0x63, 0xF3, 0x80}},
       0,
       20},
      {"two_rules_lower_slot_first",
       {ToDevice(Rule(kKeypad, 0x11, 1), kRelay, 0x11, 0xFF), ToDevice(Rule(kKeypad, 0x11, 1), kDimmer, 0x11, 0xFF)},
       {Broadcast(kKeypad, 1, 0x11), Cleanup(kKeypad, 1, 0x11)},
       {{0x02, 0x62, 0x1a, 0x2b, 0x3c, 0x11, 0xFF}, kDimmerOn},
       0,
       3},
  };
}

TEST(LogicEventActions, FromTheIncomingMessageToTheModem) {
  for (const LogicCase& c : LogicCases()) {
    for (bool enabled : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (enabled ? "" : " (switch off)"));
      QueueRig q;
      AddHouse(q);
      q.ctx().options.runFlags = enabled ? kRunLogicEvents : kRunTimerEvents;
      for (const EventRecord& r : c.rules) ASSERT_GE(AddLogicEvent(q.ctx(), r), 0);
      const int start = q.ticks;
      for (const std::vector<uint8_t>& f : c.frames) q.Feed(f);
      Serve(q, 200 * kTicksPerSecond);

      const std::vector<Sent> sent = ActionsWritten(q, start);
      if (!enabled || c.sent.empty()) {
        EXPECT_TRUE(sent.empty());
        continue;
      }
      ASSERT_EQ(sent.size(), c.sent.size());
      for (size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(sent[i].bytes, c.sent[i]) << i;
      EXPECT_GE(sent.front().second, c.earliestSecond);
      EXPECT_LE(sent.back().second, c.latestSecond);
    }
  }
}

TEST(LogicEventActions, CleanupInALaterSecondActsAgain) {
  QueueRig q;
  AddHouse(q);
  q.ctx().options.runFlags = kRunLogicEvents;
  AddLogicEvent(q.ctx(), ToDevice(Rule(kKeypad, 0x11, 1), kDimmer, 0x11, 0xFF));
  const int start = q.ticks;
  q.Feed(Broadcast(kKeypad, 1, 0x11));
  Serve(q, 2 * kTicksPerSecond);  // the clean-up comes late
  q.Feed(Cleanup(kKeypad, 1, 0x11));
  Serve(q, 10 * kTicksPerSecond);
  EXPECT_EQ(ActionsWritten(q, start).size(), 2u);
}

TEST(LogicEventActions, NothingWhileTheModemTableIsRead) {
  QueueRig q;
  AddHouse(q);
  q.ctx().options.runFlags = kRunLogicEvents;
  AddLogicEvent(q.ctx(), ToDevice(Rule(kKeypad, 0x11, 1), kDimmer, 0x11, 0xFF));
  q.ctx().engine.plmTableReading = true;
  q.Feed(Broadcast(kKeypad, 1, 0x11));
  q.ctx().engine.plmTableReading = false;
  Serve(q, 10 * kTicksPerSecond);
  EXPECT_TRUE(ActionsWritten(q, 0).empty());
  EXPECT_EQ(q.ctx().events.records[0].lastFired, 0u);
}

// A day in the central zone under daylight saving, the program's housekeeping
// scanning every 11 seconds while the queues are served every tick.
class Day {
 public:
  explicit Day(QueueRig& q) : q_(q) {
    Context& ctx = q.ctx();
    ctx.options.runFlags = kRunTimerEvents;
    CopyFixedText(ctx.options.latitude, "44:96");
    CopyFixedText(ctx.options.longitude, "-93:10");
    ctx.options.timeZone = -6;
    q.rig.clock.SetUtcOffset(-6 * 3600);
    q.rig.clock.SetDaylightSaving(AtLocal(2024, 3, 10, 8, 0, 0, 0), AtLocal(2024, 11, 3, 7, 0, 0, 0));
  }
  void Start(int hour, int minute) {
    q_.rig.clock.Set(AtLocal(2024, 6, 21, hour, minute, 0, -5 * 3600));
    RefreshSunTimes(q_.ctx());
    nextScan_ = q_.rig.clock.Now() + 11;
  }
  // Ticks until local hour:minute, scanning as the housekeeping does.
  void RunUntil(int hour, int minute) {
    const Time until = AtLocal(2024, 6, 21, hour, minute, 0, -5 * 3600);
    while (q_.rig.clock.Now() < until) {
      Serve(q_, 1);
      if (q_.rig.clock.Now() >= nextScan_) {
        ScanTimeEvents(q_.ctx());
        nextScan_ += 11;
      }
    }
  }
  // Local minute of the day at which each matching message was written.
  std::vector<int> MinutesOf(const std::vector<uint8_t>& prefix) {
    std::vector<int> out;
    for (const WrittenMessage& m : q_.Written()) {
      if (!IsAction(m) || m.bytes.size() < prefix.size()) continue;
      std::vector<uint8_t> b = m.bytes;
      if (m.code() == 0x62 && b.size() > 5) b.erase(b.begin() + 5);
      if (!std::equal(prefix.begin(), prefix.end(), b.begin())) continue;
      const Time at = startTime_ + static_cast<Time>(m.tick) * testing::kTickMillis / 1000;
      const LocalTime lt = q_.rig.clock.Local(at);
      out.push_back(lt.hour * 60 + lt.minute);
    }
    return out;
  }
  void MarkStart() {
    startTime_ = q_.rig.clock.Now() - static_cast<Time>(q_.ticks) * testing::kTickMillis / 1000;
  }

 private:
  QueueRig& q_;
  Time nextScan_ = 0;
  Time startTime_ = 0;
};

EventRecord TimeEvent(uint8_t timeBase, int8_t offsetMode, uint8_t delay, int hour, int minute,
                      const InsteonId& target, uint8_t cmd1, uint8_t level) {
  EventRecord r;
  std::memset(&r, 0, sizeof r);
  r.days = 0x7F;
  r.timeBase = timeBase;
  r.offsetMode = offsetMode;
  r.delayMinutes = delay;
  r.hour = static_cast<uint8_t>(hour);
  r.minute = static_cast<uint8_t>(minute);
  r.targetId = target;
  r.cmd1 = cmd1;
  r.cmd2 = level;
  r.retryClass = 5;
  return r;
}

TEST(TimeEventActions, SunsetEventSwitchesTheDimmerAtTheComputedMinute) {
  QueueRig q;
  AddHouse(q);
  Day day(q);
  // 30 minutes before sunset: today's sunset at the default place is 20:57.
  AddTimeEvent(q.ctx(), TimeEvent(2, 1, 30, 0, 0, kDimmer, 0x11, 0xFF));
  // A clock-time event with an offset in its record: the offset is not a wait.
  AddTimeEvent(q.ctx(), TimeEvent(0, 0, 15, 20, 40, kRelay, 0x13, 0x00));
  EventRecord group = TimeEvent(0, 0, 0, 20, 45, kRelay, 0x11, 0);
  group.isGroup = 1;
  group.group = 12;
  group.retryClass = 0;
  AddTimeEvent(q.ctx(), group);
  day.Start(20, 20);
  day.MarkStart();
  ASSERT_EQ(q.ctx().sun.sunsetMinutes, 1257);
  day.RunUntil(21, 10);
  EXPECT_EQ(day.MinutesOf({0x02, 0x62, 0x1d, 0x2e, 0x3f, 0x11, 0xFF}), std::vector<int>{1227});
  EXPECT_EQ(day.MinutesOf({0x02, 0x62, 0x1a, 0x2b, 0x3c, 0x13, 0x00}), std::vector<int>{1240});
  EXPECT_EQ(day.MinutesOf({0x02, 0x61, 0x0c, 0x11, 0x00}), std::vector<int>{1245});
}

TEST(TimeEventActions, SwitchOffSendsNothing) {
  QueueRig q;
  AddHouse(q);
  Day day(q);
  q.ctx().options.runFlags = kRunLogicEvents;
  AddTimeEvent(q.ctx(), TimeEvent(2, 1, 30, 0, 0, kDimmer, 0x11, 0xFF));
  day.Start(20, 20);
  day.MarkStart();
  day.RunUntil(21, 10);
  EXPECT_TRUE(ActionsWritten(q, 0).empty());
}

// A timed or rule-made command goes out with the hops every direct message
// gets: with none it would never reach a device beyond direct range.
TEST(EventActions, SendsCarryTheHopsOfEveryDirectMessage) {
  QueueRig q;
  AddHouse(q);
  Day day(q);
  q.ctx().options.runFlags = kRunTimerEvents | kRunLogicEvents;
  AddTimeEvent(q.ctx(), TimeEvent(0, 0, 0, 20, 30, kDimmer, 0x11, 0xFF));
  AddLogicEvent(q.ctx(), ToDevice(Rule(kKeypad, 0x13, 1), kRelay, 0x13, 0x00));
  AddLogicEvent(q.ctx(), ToDevice(Rule(kKeypad, 0x13, 1), kDimmer, 0x13, 0x00, 0, 3));
  day.Start(20, 29);
  day.RunUntil(20, 31);
  q.Feed(Broadcast(kKeypad, 1, 0x13));
  Serve(q, 10 * kTicksPerSecond);
  std::vector<std::vector<uint8_t>> sends;
  for (const WrittenMessage& m : q.Written())
    if (IsAction(m) && m.code() == 0x62) sends.push_back(m.bytes);
  ASSERT_EQ(sends.size(), 3u) << "the timed ON, the rule's OFF at once and the one after its wait";
  for (const std::vector<uint8_t>& b : sends) {
    ASSERT_GE(b.size(), 8u);
    EXPECT_EQ(b[5], 0x0F) << "to " << int(b[4]) << " cmd1 " << int(b[6]);
  }
}

}  // namespace
}  // namespace quorvel

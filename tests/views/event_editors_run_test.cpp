// Events made through the two event windows' logic, in whole runs of the
// program against the simulated house in virtual time: a sunset event switches
// the dining room's dimmer (two hops away) at its minute, a rule switches the
// kitchen when the hall keypad's button is pressed; both are saved, listed
// again and fire again after a restart, and once deleted fire no more.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/session.h"
#include "automation/event_table.h"
#include "support/memory_file_system.h"
#include "views/event_editors/logic_events_model.h"
#include "views/event_editors/time_events_model.h"

namespace quorvel {
namespace {

const InsteonId kHallKeypad = InsteonId::From(0x2a, 0x10, 0x04);
const InsteonId kKitchenCeiling = InsteonId::From(0x2a, 0x10, 0x01);
const InsteonId kDiningChandelier = InsteonId::From(0x2a, 0x10, 0x03);  // two hops from the modem
constexpr int kBeforeSunset = 20;

class EventRun {
 public:
  explicit EventRun(testing::MemoryFileSystem& disk) {
    SessionOptions o;
    o.headless = true;
    o.virtualTime = true;
    o.houseFile = std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt";
    session_ = std::make_unique<Session>(o, nullptr, nullptr, nullptr, &disk);
    std::string error;
    EXPECT_TRUE(session_->Start(error)) << error;
  }
  Context& ctx() { return session_->context(); }
  sim::SimDevice& Sim(const InsteonId& id) { return *session_->network()->Device(id); }
  void Stop() { session_->Stop(); }

  // Ticks until `done` holds or `seconds` of virtual time have passed.
  bool RunUntil(const std::function<bool()>& done, int seconds) {
    const int64_t until = session_->clock().NowMillis() + seconds * int64_t{1000};
    while (session_->clock().NowMillis() < until) {
      if (done()) return true;
      session_->Tick();
    }
    return done();
  }
  // The modem's table read and merged, and the line quiet for a while.
  bool Settle() {
    RunUntil([] { return false; }, 3);
    return RunUntil(
        [&] {
          return ctx().engine.engineState >= kEngineSteady && (ctx().db.dbFlags & kDbMerged) != 0 &&
                 ctx().clock.Now() - ctx().tick.lastReceiveTime >= 10;
        },
        600);
  }
  // Moves the clock on to a local minute of the day, no earlier than `notBefore`.
  void JumpTo(int minuteOfDay, Time notBefore) {
    const Time now = ctx().clock.Now();
    const LocalTime lt = ctx().clock.Local(now);
    const int nowMinute = lt.hour * 60 + lt.minute;
    Time target = now + ((minuteOfDay - nowMinute + 2 * 1440) % 1440) * 60 - lt.second;
    while (target < notBefore) target += 24 * 3600;
    session_->virtualClock()->AdvanceMillis((target - now) * 1000);
  }
  // The program learns the keypad from a first press, which no rule wants.
  bool LearnTheKeypad() {
    EXPECT_TRUE(session_->network()->Press(kHallKeypad, 1, 0x13));
    return Settle();
  }
  // Presses the keypad's button 1 ON and waits for the kitchen to come on.
  bool PressAndWaitForTheKitchen() {
    Sim(kKitchenCeiling).level = 0;
    EXPECT_TRUE(session_->network()->Press(kHallKeypad, 1, 0x11));
    return RunUntil([&] { return Sim(kKitchenCeiling).level != 0; }, 20);
  }
  // Runs through the sunset event's minute (a day after `after`, at the
  // earliest), the dining room dimmer off before; true when it came on.
  bool RunThroughTheSunsetEvent(Time after) {
    Sim(kDiningChandelier).level = 0;
    const int due = ctx().sun.sunsetMinutes - kBeforeSunset;
    JumpTo((due - 3 + 1440) % 1440, after);
    // A new day's sun time may move the event by a minute while this runs.
    return RunUntil([&] { return Sim(kDiningChandelier).level != 0; }, 9 * 60);
  }
  DeviceKey KeyOf(const InsteonId& id) {
    const int slot = ctx().db.FindDevice(id);
    return slot >= 0 ? MakeDeviceKey(ctx().db[slot].group, id) : 0;
  }
  std::vector<std::string> Listed(bool time) {
    std::vector<std::string> out;
    std::function<void(const EventTreeItem&)> walk = [&](const EventTreeItem& item) {
      out.push_back(item.text);
      for (const EventTreeItem& c : item.children) walk(c);
    };
    walk(time ? RebuildTimeEventList(ctx()) : RebuildLogicEventList(ctx()));
    return out;
  }

 private:
  std::unique_ptr<Session> session_;
};

TEST(EventEditorsRun, EventsMadeInTheWindowsFireSurviveARestartAndStopOnceDeleted) {
  testing::MemoryFileSystem disk;
  std::vector<std::string> timeList, logicList;
  Time firedAt = 0;
  {
    EventRun run(disk);
    ASSERT_TRUE(run.Settle()) << "engine state " << run.ctx().engine.engineState;
    ASSERT_TRUE(run.LearnTheKeypad());

    // Twenty minutes before sunset, the dining room full on, every day.
    TimeEventForm time = OpenTimeEventForm(run.ctx());
    ASSERT_TRUE(ShowTimeEventTarget(run.ctx(), time, run.KeyOf(kDiningChandelier)));
    time.timeBase = TimeBase::kSunset;
    time.offset = SunOffset::kBefore;
    time.offsetRow = kBeforeSunset - 1;
    const EventSaveOutcome saved = SaveTimeEvent(run.ctx(), time);
    ASSERT_TRUE(saved.Stored()) << saved.text;

    // Button 1 of the hall keypad ON: the kitchen ceiling at 80 %.
    LogicEventForm rule;
    ASSERT_TRUE(ShowLogicEventDevice(run.ctx(), rule, run.KeyOf(kHallKeypad)));
    ClickOperId(rule);
    ASSERT_TRUE(ShowLogicEventDevice(run.ctx(), rule, run.KeyOf(kKitchenCeiling)));
    rule.levelPosition = 40;
    ASSERT_TRUE(SaveLogicEvent(run.ctx(), rule).Stored());

    ASSERT_TRUE(run.PressAndWaitForTheKitchen()) << "the rule did not switch the kitchen";
    EXPECT_EQ(run.Sim(kKitchenCeiling).level, 200);
    ASSERT_TRUE(run.RunThroughTheSunsetEvent(0)) << "the sunset event did not switch the dining room";
    EXPECT_EQ(run.Sim(kDiningChandelier).level, 255);
    firedAt = run.ctx().events.records[saved.slot].lastFired;
    EXPECT_NE(firedAt, 0);
    timeList = run.Listed(true);
    logicList = run.Listed(false);
    run.Stop();
  }
  ASSERT_EQ(timeList.size(), 3u);
  EXPECT_EQ(timeList[2], "(-20)  [2a.10.03] SwitchLinc Dimmer DB On, 100%, SMTWTFS");
  ASSERT_EQ(logicList.size(), 2u);
  EXPECT_EQ(logicList[1], "2a.10.04 Group 1 ON  then delay 0:0 2a.10.01 ON 80%, SMTWTFS");

  {
    EventRun again(disk);
    ASSERT_TRUE(again.Settle());
    EXPECT_EQ(again.Listed(true), timeList);
    EXPECT_EQ(again.Listed(false), logicList);
    ASSERT_TRUE(again.LearnTheKeypad());
    EXPECT_TRUE(again.PressAndWaitForTheKitchen()) << "the rule was lost in the restart";
    EXPECT_TRUE(again.RunThroughTheSunsetEvent(static_cast<Time>(firedAt) + 23 * 3600))
        << "the sunset event was lost in the restart";

    // Deleted from the lists, neither acts again.
    for (const bool time : {true, false}) {
      const EventTreeItem root = time ? RebuildTimeEventList(again.ctx()) : RebuildLogicEventList(again.ctx());
      const EventTreeItem& line = time ? root.children.at(0).children.at(0) : root.children.at(0);
      const int slot = EventLineSlot(again.ctx(), line.value, time);
      ASSERT_GE(slot, 0);
      ASSERT_TRUE(DeleteSeenEvent(again.ctx(), slot, again.ctx().events.records[slot]));
    }
    ASSERT_TRUE(again.Settle());
    EXPECT_FALSE(again.PressAndWaitForTheKitchen()) << "a deleted rule fired";
    const Time lastFired = again.ctx().clock.Now();
    EXPECT_FALSE(again.RunThroughTheSunsetEvent(lastFired + 3600)) << "a deleted event fired";
    again.Stop();
  }
}

}  // namespace
}  // namespace quorvel

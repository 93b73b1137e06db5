// The main tick: the order of its steps, its re-entry guards, the refreshes it
// turns flags into, and the per-second housekeeping with the on-time minutes.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "automation/local_time_helpers.h"
#include "engine/context.h"
#include "support/fake_serial_port.h"
#include "support/memory_file_system.h"
#include "support/test_rig.h"

namespace quorvel {
namespace {

using testing::AtLocal;

// Notes which step touched the port: the search asks for the pinned port
// first thing, the receive pump reads.
class RecordingPort : public testing::FakeSerialPort {
 public:
  int PinnedPort() const override {
    calls->push_back("search");
    return 0;
  }
  IoStatus Read(uint8_t* buf, size_t max, size_t& got) override {
    calls->push_back("pump");
    largestRead = std::max(largestRead, max);
    return FakeSerialPort::Read(buf, max, got);
  }
  std::vector<std::string>* calls = nullptr;
  size_t largestRead = 0;
};

class MainTickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_.calls = &calls_;
    port_.AllowPort(1);
    ctx_ = std::make_unique<Context>(clock_, port_, files_, notifier_);
    ctx_->options.comPort = 1;
    ctx_->link.searchCounter = 20;  // the first tick opens port 1
    ctx_->tick.engineStep = [this](Context&) { calls_.push_back("engine"); };
  }
  void Tick() {
    RunMainTick(*ctx_);
    clock_.AdvanceMillis(kTickMillis);
  }
  int Refreshes(ViewRefresh what) const {
    return static_cast<int>(std::count(notifier_.refreshes.begin(), notifier_.refreshes.end(), what));
  }

  TestClock clock_{1300000000};
  std::vector<std::string> calls_;
  RecordingPort port_;
  testing::MemoryFileSystem files_;
  testing::RecordingNotifier notifier_;
  std::unique_ptr<Context> ctx_;
};

TEST_F(MainTickTest, SearchThenPumpThenEngineInEveryTickAlsoWhileThePortIsOpen) {
  for (int i = 0; i < 5; ++i) {
    calls_.clear();
    Tick();
    ASSERT_TRUE(port_.IsOpen()) << "tick " << i;
    ASSERT_EQ(calls_, (std::vector<std::string>{"search", "pump", "engine"})) << "tick " << i;
  }
}

TEST_F(MainTickTest, ATickEnteredFromInsideATickDoesNothing) {
  int nested = 0;
  ctx_->tick.engineStep = [this, &nested](Context& c) {
    calls_.push_back("engine");
    ++nested;
    RunMainTick(c);  // a modal loop inside the step lets the timer in again
  };
  Tick();
  Tick();
  EXPECT_EQ(nested, 2);
  EXPECT_EQ(std::count(calls_.begin(), calls_.end(), "search"), 2);
  EXPECT_EQ(std::count(calls_.begin(), calls_.end(), "pump"), 2);
  EXPECT_FALSE(ctx_->tick.tickGuard);
  EXPECT_FALSE(ctx_->tick.engineGuard);
  EXPECT_FALSE(ctx_->tick.receiveGuard);
}

TEST_F(MainTickTest, AStepStillRunningIsNotRunAgain) {
  ctx_->tick.receiveGuard = true;
  ctx_->tick.engineGuard = true;
  Tick();
  EXPECT_EQ(calls_, std::vector<std::string>{"search"});
  EXPECT_TRUE(ctx_->tick.receiveGuard);
  EXPECT_TRUE(ctx_->tick.engineGuard);
}

TEST_F(MainTickTest, ThePumpTakesAtMost127BytesAndStampsTheReceiveTime) {
  Tick();
  EXPECT_EQ(ctx_->tick.lastReceiveTime, 0);
  port_.Feed(std::vector<uint8_t>(300, 0x15));
  const Time when = clock_.Now();
  Tick();
  EXPECT_EQ(port_.largestRead, 127u);
  EXPECT_EQ(port_.Available(), 300 - 127);
  EXPECT_EQ(ctx_->tick.lastReceiveTime, when);
  while (port_.Available() > 0) Tick();
  const Time last = ctx_->tick.lastReceiveTime;
  clock_.Advance(5);
  Tick();
  EXPECT_EQ(ctx_->tick.lastReceiveTime, last);
}

TEST_F(MainTickTest, TheTreeFollowsTheDeviceCountOnlyInQuietTicks) {
  ctx_->tick.lastSeenCount = 0;
  ctx_->db.count = 3;
  port_.Feed({0x15});
  Tick();
  EXPECT_EQ(Refreshes(ViewRefresh::DeviceTree), 0);
  EXPECT_EQ(ctx_->tick.lastSeenCount, 0u);
  Tick();
  EXPECT_EQ(Refreshes(ViewRefresh::DeviceTree), 1);
  EXPECT_EQ(ctx_->tick.lastSeenCount, 3u);
  Tick();
  EXPECT_EQ(Refreshes(ViewRefresh::DeviceTree), 1);
  // A new modem identity makes the next quiet tick rebuild again.
  ctx_->refresh.deviceListShownReset = true;
  Tick();
  EXPECT_EQ(Refreshes(ViewRefresh::DeviceTree), 2);
}

TEST_F(MainTickTest, MergedTablesRebuildTheTreeAndTheControllerList) {
  ctx_->tick.lastSeenCount = 2;
  ctx_->db.count = 2;
  ctx_->refresh.tablesMerged = true;
  ctx_->refresh.controllerListRefresh = true;
  Tick();
  EXPECT_EQ(Refreshes(ViewRefresh::DeviceTree), 1);
  EXPECT_EQ(Refreshes(ViewRefresh::ControllerList), 1);
  EXPECT_FALSE(ctx_->refresh.tablesMerged);
  EXPECT_FALSE(ctx_->refresh.controllerListRefresh);
}

TEST_F(MainTickTest, AnEmptyNetworkShowsTheModemOnceItAnsweredAndTheTablesMerged) {
  ctx_->tick.lastSeenCount = 0;
  ctx_->db.plm.plmFound = 1;
  ctx_->db.plm.plmId = InsteonId::From(0x1e, 0x65, 0xa2);
  ctx_->refresh.plmAnswered = true;
  Tick();
  EXPECT_EQ(ctx_->tick.treeSelection, 0u) << "the tables are not merged yet";
  ctx_->refresh.tablesMerged = true;
  Tick();
  EXPECT_EQ(ctx_->tick.treeSelection, MakeDeviceKey(0xFF, InsteonId::From(0x1e, 0x65, 0xa2)));
  EXPECT_FALSE(ctx_->refresh.plmAnswered);
  EXPECT_EQ(Refreshes(ViewRefresh::DeviceSetup), 1);
}

TEST_F(MainTickTest, FreshLinksOfTheSelectedDeviceRefreshTheLinkListOnce) {
  const InsteonId id = InsteonId::From(0x2a, 0x10, 0x01);
  ctx_->db.count = 1;
  ctx_->tick.lastSeenCount = 1;
  ctx_->db.records[0].id = id;
  ctx_->db.records[0].group = 1;
  ctx_->db.records[0].linkCount = 5;
  ctx_->db.records[0].linksUpdated = 2;
  ctx_->tick.treeSelection = MakeDeviceKey(1, id);
  Tick();
  Tick();
  EXPECT_EQ(ctx_->db.records[0].linksUpdated, 0);
  EXPECT_EQ(ctx_->tick.linkListRows, 5);
  EXPECT_EQ(Refreshes(ViewRefresh::DeviceSetup), 1);
}

TEST_F(MainTickTest, FlagsReachTheirViews) {
  int analyses = 0;
  ctx_->tick.linkWatchAnalysis = [&analyses](Context&) { ++analyses; };
  ctx_->tick.lastSeenCount = 0;
  ctx_->refresh.linkStored = true;
  ctx_->refresh.eventsViewRefresh = true;
  Tick();
  EXPECT_EQ(analyses, 1);
  EXPECT_FALSE(ctx_->refresh.linkStored);
  EXPECT_EQ(Refreshes(ViewRefresh::TimeEvents), 0) << "the sun times are not known yet";
  EXPECT_TRUE(ctx_->refresh.eventsViewRefresh);
  ctx_->sun.computed = true;
  Tick();
  EXPECT_EQ(Refreshes(ViewRefresh::TimeEvents), 1);
  EXPECT_FALSE(ctx_->refresh.eventsViewRefresh);
  EXPECT_EQ(analyses, 1);

  const int trees = Refreshes(ViewRefresh::DeviceTree);
  ctx_->tick.treeRefreshPending = true;
  Tick();
  EXPECT_EQ(Refreshes(ViewRefresh::DeviceTree), trees + 1);
  EXPECT_FALSE(ctx_->tick.treeRefreshPending);
}

// The housekeeping alone, one wall-clock second at a time.
class HousekeepingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_->tick.checkFlags = [this](Context&) { ++checkFlagsRuns_; };
  }
  // Starts the clock at a local time and tells the options it is that day.
  void StartAt(Time t) {
    rig_.clock.Set(t);
    const LocalTime lt = rig_.clock.LocalNow();
    rig_->options.lastWeekday = static_cast<int8_t>(lt.weekday);
    rig_->options.lastMonth = static_cast<int8_t>(lt.month);
    rig_->tick.lastSecond = static_cast<int16_t>(lt.second);
  }
  void Seconds(int n) {
    for (int i = 0; i < n; ++i) {
      rig_.clock.Advance(1);
      PerSecondHousekeeping(*rig_);
    }
  }
  DeviceRecord& Device(int slot) {
    if (rig_->db.count <= static_cast<uint32_t>(slot)) rig_->db.count = static_cast<uint32_t>(slot) + 1;
    return rig_->db.records[slot];
  }
  bool NewDayLogged() {
    for (const std::string& t : rig_.Texts(LogChannel::GeneralActivity)) {
      if (t.rfind("New Day", 0) == 0) return true;
    }
    return false;
  }

  testing::TestRig rig_;
  int checkFlagsRuns_ = 0;
};

TEST_F(HousekeepingTest, ActsOnceForEachNewWallSecond) {
  StartAt(AtLocal(2011, 3, 15, 10, 0, 30, 0));
  const int idle = rig_->engine.wait.idleSeconds;
  for (int i = 0; i < 7; ++i) PerSecondHousekeeping(*rig_);
  EXPECT_EQ(rig_->engine.wait.idleSeconds, idle);
  rig_.clock.AdvanceMillis(999);
  PerSecondHousekeeping(*rig_);
  EXPECT_EQ(rig_->engine.wait.idleSeconds, idle);
  rig_.clock.AdvanceMillis(1);
  PerSecondHousekeeping(*rig_);
  PerSecondHousekeeping(*rig_);
  EXPECT_EQ(rig_->engine.wait.idleSeconds, idle + 1);
}

TEST_F(HousekeepingTest, EventScanEvery11SecondsAndRepairWindowEvery31) {
  StartAt(AtLocal(2011, 3, 15, 10, 0, 30, 0));
  rig_->tick.repairWindow.firstPassRun = true;
  Seconds(10);
  EXPECT_FALSE(rig_->timeEvents.scanned);
  Seconds(1);
  EXPECT_TRUE(rig_->timeEvents.scanned);
  EXPECT_EQ(rig_->timeEvents.minuteOfDay, 10 * 60 + 0);

  Seconds(19);  // 30 seconds in
  EXPECT_TRUE(rig_->tick.repairWindow.repairMade) << "no repair in the first window";
  EXPECT_TRUE(rig_->tick.repairWindow.firstPassRun);
  Seconds(1);
  EXPECT_FALSE(rig_->tick.repairWindow.repairMade);
  EXPECT_FALSE(rig_->tick.repairWindow.firstPassRun);
  rig_->tick.repairWindow = {true, true};
  Seconds(30);
  EXPECT_TRUE(rig_->tick.repairWindow.repairMade);
  Seconds(1);
  EXPECT_FALSE(rig_->tick.repairWindow.repairMade);
}

TEST_F(HousekeepingTest, NewDayCheckEvery341SecondsAndCheckFlagsEvery62Minutes) {
  StartAt(AtLocal(2011, 3, 15, 10, 0, 30, 0));
  rig_->options.lastWeekday = static_cast<int8_t>((rig_->options.lastWeekday + 1) % 7);
  Seconds(340);
  EXPECT_FALSE(NewDayLogged());
  Seconds(1);
  EXPECT_TRUE(NewDayLogged());

  Seconds(3720 - 341 - 1);
  EXPECT_EQ(checkFlagsRuns_, 0);
  Seconds(1);
  EXPECT_EQ(checkFlagsRuns_, 1);
  Seconds(3720);
  EXPECT_EQ(checkFlagsRuns_, 2);
}

TEST_F(HousekeepingTest, ADeviceOnForTenMinutesGainsNineOrTenMinutes) {
  StartAt(AtLocal(2011, 3, 15, 10, 0, 30, 0));
  DeviceRecord& on = Device(0);
  DeviceRecord& off = Device(1);
  for (int phase = 0; phase < 62; ++phase) {
    Seconds(1);
    on.level = 200;
    on.minutesOnToday = 0;
    Seconds(600);
    on.level = 0;
    EXPECT_TRUE(on.minutesOnToday == 9 || on.minutesOnToday == 10) << "phase " << phase << ": " << on.minutesOnToday;
  }
  EXPECT_EQ(off.minutesOnToday, 0u);
}

// The day roll at midnight: week and month counters, with a device switched
// off so that today's minutes stay as the day left them.
struct RollCase {
  const char* name;
  int year, month, day;  // the day before the roll, month 1..12
  uint32_t week, monthMinutes;
};

void PrintTo(const RollCase& c, std::ostream* os) { *os << c.name; }

class DayRollTest : public HousekeepingTest, public ::testing::WithParamInterface<RollCase> {};

TEST_P(DayRollTest, FoldsTheDayIntoWeekAndMonth) {
  const RollCase& c = GetParam();
  StartAt(AtLocal(c.year, c.month, c.day, 23, 56, 30, 0));
  for (int slot = 0; slot < 3; ++slot) {
    DeviceRecord& d = Device(slot);
    d.level = 0;
    d.minutesOnToday = 100;
    d.minutesOnWeek = 500;
    d.minutesOnMonth = 2000;
  }
  Seconds(341 + 62);
  ASSERT_TRUE(NewDayLogged());
  for (int slot = 0; slot < 3; ++slot) {
    const DeviceRecord& d = rig_->db.records[slot];
    EXPECT_EQ(d.minutesOnToday, 0u) << "slot " << slot;
    EXPECT_EQ(d.minutesOnWeek, c.week) << "slot " << slot;
    EXPECT_EQ(d.minutesOnMonth, c.monthMinutes) << "slot " << slot;
  }
  EXPECT_FALSE(rig_->sun.dayRoll);
  EXPECT_FALSE(rig_->sun.weekReset);
  EXPECT_FALSE(rig_->sun.monthReset);
  // The next day's minutes stay in today's counter.
  rig_->db.records[0].level = 1;
  Seconds(124);
  EXPECT_EQ(rig_->db.records[0].minutesOnToday, 2u);
  EXPECT_EQ(rig_->db.records[0].minutesOnWeek, c.week);
}

INSTANTIATE_TEST_SUITE_P(
    Rolls, DayRollTest,
    ::testing::Values(RollCase{"TuesdayIntoWednesday", 2011, 3, 15, 600, 2100},
                      RollCase{"SaturdayIntoSunday", 2011, 3, 19, 100, 2100},
                      RollCase{"ThursdayIntoTheFirstOfApril", 2011, 3, 31, 600, 0},
                      RollCase{"SaturdayIntoSundayTheFirstOfMay", 2011, 4, 30, 100, 0}),
    [](const ::testing::TestParamInfo<RollCase>& info) { return std::string(info.param.name); });

TEST_F(HousekeepingTest, OnTimeCountKeepsToTheTableWhateverTheCountSays) {
  rig_->db.count = 100000;  // a damaged count must not walk off the table
  rig_->db.records[479].level = 9;
  rig_->db.records[480].level = 9;
  CountOnTime(*rig_);
  EXPECT_EQ(rig_->db.records[479].minutesOnToday, 1u);
  EXPECT_EQ(rig_->db.records[480].minutesOnToday, 0u);
}

}  // namespace
}  // namespace quorvel

// A logic event through the whole program in virtual time: the simulated hall
// keypad's button 1 sends ON, and five seconds later the program switches the
// kitchen dimmer on in the simulated house.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/session.h"
#include "automation/event_table.h"
#include "support/scratch.h"

namespace quorvel {
namespace {

const InsteonId kHallKeypad = InsteonId::From(0x2a, 0x10, 0x04);
const InsteonId kKitchenCeiling = InsteonId::From(0x2a, 0x10, 0x01);

class LogicEventRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(data_.path().empty());
    SessionOptions o;
    o.headless = true;
    o.virtualTime = true;
    o.dataDir = data_.path();
    o.houseFile = std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt";
    session_ = std::make_unique<Session>(o, nullptr);
    std::string error;
    ASSERT_TRUE(session_->Start(error)) << error;
    // Without the engine nothing is ever sent; the run wires it at start.
    if (!session_->context().tick.engineStep) GTEST_SKIP() << "the run has no engine step wired";
  }
  void TearDown() override { session_.reset(); }
  // The program has read the modem's table and the line has been quiet for a
  // while: what a user pressing a button a while after start-up meets.
  bool Settle() {
    Context& ctx = session_->context();
    RunUntil([] { return false; }, 3);  // what was just pressed reaches the program first
    return RunUntil(
        [&] {
          return ctx.engine.engineState >= kEngineSteady && ctx.db.FindDevice(kHallKeypad) >= 0 &&
                 ctx.clock.Now() - ctx.tick.lastReceiveTime >= 10;
        },
        600);
  }
  // Ticks until `done` holds or `seconds` of virtual time have passed; true if it held.
  template <typename Done>
  bool RunUntil(Done done, int seconds) {
    const int64_t until = session_->clock().NowMillis() + seconds * int64_t{1000};
    while (session_->clock().NowMillis() < until) {
      if (done()) return true;
      session_->Tick();
    }
    return done();
  }
  static EventRecord KeypadOnThenDimmerOn(int waitSeconds) {
    EventRecord r;
    std::memset(&r, 0, sizeof r);
    r.initiatorId = kHallKeypad;
    r.initiatorCmd1 = 0x11;
    r.initiatorGroup = 1;
    r.days = 0x7F;
    r.operatorId = kKitchenCeiling;
    r.operatorCmd1 = 0x11;
    r.operatorCmd2 = 0xFF;
    r.delaySeconds = static_cast<uint8_t>(waitSeconds);
    r.offsetMode = 2;
    return r;
  }

  testing::TempFolder data_;
  std::unique_ptr<Session> session_;
};

TEST_F(LogicEventRun, KeypadOnSwitchesTheDimmerOnAboutFiveSecondsLater) {
  Context& ctx = session_->context();
  ASSERT_GE(AddLogicEvent(ctx, KeypadOnThenDimmerOn(5)), 0);
  // The program finds the modem, reads its link table and learns the keypad
  // from a first press, which the rule ignores.
  ASSERT_TRUE(Settle()) << "engine state " << ctx.engine.engineState << ", devices " << ctx.db.count;
  ASSERT_TRUE(session_->network()->Press(kHallKeypad, 1, 0x13));
  ASSERT_TRUE(Settle());
  sim::SimDevice* dimmer = session_->network()->Device(kKitchenCeiling);
  ASSERT_NE(dimmer, nullptr);
  ASSERT_EQ(dimmer->level, 0);

  const int64_t pressed = session_->clock().NowMillis();
  ASSERT_TRUE(session_->network()->Press(kHallKeypad, 1, 0x11));
  ASSERT_TRUE(RunUntil([&] { return dimmer->level != 0; }, 30)) << "the dimmer never came on";
  const int64_t after = session_->clock().NowMillis() - pressed;


  EXPECT_EQ(dimmer->level, 0xFF);
  EXPECT_GE(after, 5000);
  EXPECT_LE(after, 7500);
  // The run names the rule it fired.
  bool logged = false;
  for (const LogLine& line : ctx.log.Lines(LogChannel::GeneralActivity)) {
    if (line.text.find("Logic Event - 2a.10.04, ON then 2a.10.01, ON 255") != std::string::npos) logged = true;
  }
  EXPECT_TRUE(logged);
}

TEST_F(LogicEventRun, AnOffFromTheKeypadDoesNotFireAnOnRule) {
  Context& ctx = session_->context();
  ASSERT_GE(AddLogicEvent(ctx, KeypadOnThenDimmerOn(5)), 0);
  ASSERT_TRUE(Settle());
  sim::SimDevice* dimmer = session_->network()->Device(kKitchenCeiling);
  ASSERT_NE(dimmer, nullptr);
  ASSERT_TRUE(session_->network()->Press(kHallKeypad, 1, 0x13));
  EXPECT_FALSE(RunUntil([&] { return dimmer->level != 0; }, 15));
}

}  // namespace
}  // namespace quorvel

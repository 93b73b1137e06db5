// The command-line device commands: parsing the id and the level, the level's
// round trip through the percentage, and a run that finds no modem.
#include "engine/device_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plm/serial_link.h"
#include "support/test_rig.h"

namespace quorvel {
namespace {

TEST(ParseDeviceCommand, TakesAnIdAndForOnALevel) {
  struct Case {
    DeviceCommandKind kind;
    const char* id;
    const char* level;
    std::string error;  // empty: parsed
    int percent;
  };
  const DeviceCommandKind on = DeviceCommandKind::kOn;
  const DeviceCommandKind off = DeviceCommandKind::kOff;
  const DeviceCommandKind status = DeviceCommandKind::kStatus;
  const std::vector<Case> cases = {
      {on, "2a.10.02", "50", "", 50},
      {on, "2A1002", "", "", 100},
      {on, "2a 10 02", "0", "", 0},
      {on, "2a.10.02", "100%", "", 100},
      {on, "2a.10.02", "101", "the level \"101\" is not a percentage 0..100", 0},
      {on, "2a.10.02", "-5", "the level \"-5\" is not a percentage 0..100", 0},
      {on, "2a.10.02", "%", "the level \"%\" is not a percentage 0..100", 0},
      {on, "2a.10.02", "half", "the level \"half\" is not a percentage 0..100", 0},
      {on, "2a.10.02", "99999999999", "the level \"99999999999\" is not a percentage 0..100", 0},
      {off, "2a.10.02", "", "", 100},
      {status, "2a.10.02", "", "", 100},
      {status, "2a.10.02", "50", "only --on takes a level", 0},
      {status, "2a.10.9", "", "\"2a.10.9\" is not a device id like 2A.10.02", 0},
      {off, "2a.10.02.03", "", "\"2a.10.02.03\" is not a device id like 2A.10.02", 0},
      {off, "", "", "\"\" is not a device id like 2A.10.02", 0},
      {on, "zz.10.02", "", "\"zz.10.02\" is not a device id like 2A.10.02", 0},
      {status, "00.00.00", "", "00.00.00 names no device", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.id) + " " + c.level);
    DeviceCommand cmd;
    std::string error;
    EXPECT_EQ(ParseDeviceCommand(c.kind, c.id, c.level, cmd, error), c.error.empty());
    EXPECT_EQ(error, c.error);
    if (!c.error.empty()) continue;
    EXPECT_EQ(cmd.kind, c.kind);
    EXPECT_EQ(cmd.id, InsteonId::From(0x2a, 0x10, 0x02));
    EXPECT_EQ(cmd.percent, c.percent);
  }
}

// The level sent shows as the percentage asked for, every one of them: 50%
// must not come back as 49%.
TEST(LevelForPercent, EveryPercentageReadsBackAsItself) {
  for (int p = 0; p <= 100; ++p) EXPECT_EQ(PercentOfLevel(LevelForPercent(p)), p) << p;
  EXPECT_EQ(LevelForPercent(50), 128);
  EXPECT_EQ(LevelForPercent(0), 0);
  EXPECT_EQ(LevelForPercent(100), 255);
  EXPECT_EQ(LevelForPercent(-3), 0);
  EXPECT_EQ(LevelForPercent(300), 255);
}

// A port that never opens, and says why when it was refused.
class RefusingPort : public testing::FakeSerialPort {
 public:
  std::string OpenRefusal() const override { return refusal; }
  std::string refusal;
};

struct NoModemCase {
  const char* refusal;
  std::string report;
};

// No modem on any port: once the search has been round every port the run
// ends with the reason, rather than waiting its four minutes.
TEST(DeviceCommandRun, WithNoModemItEndsAfterOneRoundOfTheSearchWithTheReason) {
  const std::string denied = "Permission denied on /dev/ttyUSB0: add yourself to its group dialout";
  const std::vector<NoModemCase> cases = {
      {"", kNoModemText},
      {"Permission denied on /dev/ttyUSB0: add yourself to its group dialout", "No modem answered: " + denied},
  };
  for (const NoModemCase& c : cases) {
    SCOPED_TRACE(c.refusal);
    TestClock clock;
    RefusingPort port;
    port.refusal = c.refusal;
    testing::MemoryFileSystem files;
    testing::RecordingNotifier notifier;
    Context ctx(clock, port, files, notifier);
    Silence(ctx.diagnostics);
    ctx.options.comPort = 1;
    DeviceCommandRun run;
    std::string error;
    ASSERT_TRUE(ParseDeviceCommand(DeviceCommandKind::kOn, "2a.10.02", "50", run.command, error));
    run.Attach(ctx);
    int ticks = 0;
    for (; ticks < kDeviceCommandTableWaitTicks; ++ticks) {
      PortSearch(ctx);
      clock.AdvanceMillis(160);
      if (run.Step(ctx)) break;
    }
    run.Detach(ctx);
    EXPECT_EQ(run.phase, DeviceCommandRun::Phase::kDone);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.report, c.report);
    EXPECT_LT(ticks, 17 * 12) << "one round of the 16 ports, about ten ticks each";
    EXPECT_TRUE(port.Written().empty()) << "nothing may be sent with no port open";
  }
}

}  // namespace
}  // namespace quorvel

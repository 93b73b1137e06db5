// The program's run object end to end: the command line, and a whole run
// against the simulated house in virtual time, with the files saved at the end.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/session.h"
#include "app/session_options.h"
#include "support/scratch.h"

namespace quorvel {
namespace {

using testing::ScopedEnv;
using testing::TempFolder;

struct ArgsCase {
  std::vector<const char*> args;
  bool ok;
  const char* errorPart;  // a piece of the error message, for a refused line
};

void PrintTo(const ArgsCase& c, std::ostream* os) {
  *os << "quorvel";
  for (const char* a : c.args) *os << " '" << a << "'";
}

class ParseArgumentsTest : public ::testing::TestWithParam<ArgsCase> {};

TEST_P(ParseArgumentsTest, AcceptsGoodLinesAndNamesWhatIsWrongWithBadOnes) {
  const ArgsCase& c = GetParam();
  std::vector<const char*> argv{"quorvel"};
  argv.insert(argv.end(), c.args.begin(), c.args.end());
  SessionOptions o;
  std::string error;
  EXPECT_EQ(ParseArguments(static_cast<int>(argv.size()), argv.data(), o, error), c.ok) << error;
  if (!c.ok) {
    EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseArgumentsTest,
    ::testing::Values(ArgsCase{{}, true, ""}, ArgsCase{{"--headless", "--simulate", "--seconds", "8"}, true, ""},
                      ArgsCase{{"--virtual-time", "--seconds=30", "--house", "h.txt", "--data", "/tmp/x"}, true, ""},
                      ArgsCase{{"--serial", "/dev/ttyUSB3"}, true, ""},
                      ArgsCase{{"--bogus"}, false, "--bogus"}, ArgsCase{{"--seconds"}, false, "needs N"},
                      ArgsCase{{"--seconds", "ten"}, false, "ten"}, ArgsCase{{"--seconds", "-5"}, false, "-5"},
                      ArgsCase{{"--seconds", "99999999999999999999"}, false, "9999"},
                      ArgsCase{{"--headless=yes"}, false, "takes no value"},
                      ArgsCase{{"--serial", ""}, false, "empty"},
                      ArgsCase{{"--simulate", "--virtual-time"}, false, "choose one"},
                      ArgsCase{{"--headless", "--link", "2a.10.04", "2a.10.01", "3", "--seconds", "60"}, true, ""},
                      ArgsCase{{"--link", "2a.10.04", "2a.10.01"}, false, "needs CONTROLLER RESPONDER GROUP"},
                      ArgsCase{{"--link=2a.10.04"}, false, "separate words"},
                      ArgsCase{{"--link", "2a.10", "2a.10.01", "3"}, false, "\"2a.10\" is not an id"},
                      ArgsCase{{"--link", "2a.10.04", "2a.10.01", "300"}, false, "0..255"},
                      ArgsCase{{"--screenshot", "w.png", "--screenshot-after", "5", "--startup-times"}, true, ""},
                      ArgsCase{{"--screenshot-after", "soon"}, false, "soon"},
                      ArgsCase{{"--virtual-time", "--until-idle"}, true, ""},
                      ArgsCase{{"--until-idle=1"}, false, "takes no value"},
                      ArgsCase{{"/home/me/House.cfg"}, true, ""}, ArgsCase{{"House.txt"}, false, "House.txt"},
                      ArgsCase{{"--virtual-time", "--on", "2a.10.02", "50"}, true, ""},
                      ArgsCase{{"--on", "2a.10.02", "--virtual-time"}, true, ""},
                      ArgsCase{{"--on=2a.10.02", "--verbose"}, true, ""},
                      ArgsCase{{"--on", "2a.10.02", "half"}, false, "the level \"half\" is not a percentage"},
                      ArgsCase{{"--on", "2a.10.02", "-5"}, false, "the level \"-5\" is not a percentage"},
                      ArgsCase{{"--status", "2a.10"}, false, "--status: \"2a.10\" is not a device id"},
                      ArgsCase{{"--off"}, false, "--off needs ID"},
                      ArgsCase{{"--off", "2a.10.02", "50"}, false, "unknown option \"50\""},
                      ArgsCase{{"--on", "2a.10.02", "--off", "2a.10.03"}, false, "only one of --on, --off and --status"},
                      ArgsCase{{"--status", "2a.10.02", "--until-idle"}, false, "without --link, --until-idle"},
                      ArgsCase{{"--ports"}, true, ""}, ArgsCase{{"--paths"}, true, ""}));

TEST(ParseArguments, DeviceCommandsTakeTheirIdAndLevel) {
  const char* argv[] = {"quorvel", "--simulate", "--on", "2a.10.02", "50%"};
  SessionOptions o;
  std::string error;
  ASSERT_TRUE(ParseArguments(5, argv, o, error)) << error;
  EXPECT_TRUE(o.deviceCommandRequested);
  EXPECT_EQ(o.deviceCommand.kind, DeviceCommandKind::kOn);
  EXPECT_EQ(o.deviceCommand.id, InsteonId::From(0x2a, 0x10, 0x02));
  EXPECT_EQ(o.deviceCommand.percent, 50);
  EXPECT_FALSE(o.verbose);

  // A malformed id fails the run as a device that does not answer does (status
  // 1); an unknown option stays a mistake of the command line (status 2).
  const char* bad[] = {"quorvel", "--status", "2a.10.9"};
  SessionOptions b;
  EXPECT_FALSE(ParseArguments(3, bad, b, error));
  EXPECT_TRUE(b.deviceCommandRefused);
  const char* unknown[] = {"quorvel", "--stat", "2a.10.02"};
  SessionOptions u;
  EXPECT_FALSE(ParseArguments(3, unknown, u, error));
  EXPECT_FALSE(u.deviceCommandRefused);
}

TEST(ParseArguments, LinkTakesItsThreeWords) {
  const char* argv[] = {"quorvel", "--link", "1e.65.a2", "2A.10.01", "7", "--seconds", "5"};
  SessionOptions o;
  std::string error;
  ASSERT_TRUE(ParseArguments(7, argv, o, error)) << error;
  EXPECT_TRUE(o.linkRequested);
  EXPECT_EQ(o.link.controller, InsteonId::From(0x1e, 0x65, 0xa2));
  EXPECT_EQ(o.link.responder, InsteonId::From(0x2a, 0x10, 0x01));
  EXPECT_EQ(o.link.group, 7);
  EXPECT_EQ(o.secondsLimit, 5);
}

TEST(ParseArguments, ReadsValuesAndTheSerialDeviceFromTheEnvironment) {
  setenv("QUORVEL_SERIAL", "/dev/ttyS7", 1);
  const char* argv[] = {"quorvel", "--seconds", "12", "--data", "/tmp/q"};
  SessionOptions o;
  std::string error;
  ASSERT_TRUE(ParseArguments(5, argv, o, error)) << error;
  unsetenv("QUORVEL_SERIAL");
  EXPECT_EQ(o.serialPath, "/dev/ttyS7");
  EXPECT_EQ(o.secondsLimit, 12);
  EXPECT_EQ(o.dataDir, "/tmp/q");

  const char* argv2[] = {"quorvel", "--serial", "/dev/ttyUSB1"};
  SessionOptions o2;
  ASSERT_TRUE(ParseArguments(3, argv2, o2, error)) << error;
  EXPECT_EQ(o2.serialPath, "/dev/ttyUSB1");
  EXPECT_NE(UsageText().find("--virtual-time"), std::string::npos);
}

std::vector<std::string> ActivityTexts(Context& ctx) {
  std::vector<std::string> out;
  for (const LogLine& line : ctx.log.Lines(LogChannel::GeneralActivity)) {
    const size_t bar = line.text.find("|   ");
    out.push_back(bar == std::string::npos ? line.text : line.text.substr(bar + 4));
  }
  return out;
}

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& l : lines) {
    if (l == text) return true;
  }
  return false;
}

SessionOptions VirtualRun(const std::string& data, int64_t seconds) {
  SessionOptions o;
  o.headless = true;
  o.virtualTime = true;
  o.dataDir = data;
  o.houseFile = std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt";
  o.secondsLimit = seconds;
  return o;
}

TEST(SessionVirtualTime, FindsTheSimulatedModemAndSavesTheConfigurationAtTheEnd) {
  TempFolder data;
  ASSERT_FALSE(data.path().empty());
  Session session(VirtualRun(data.path(), 8), nullptr);
  std::string error;
  ASSERT_TRUE(session.Start(error)) << error;
  const int64_t startMillis = session.clock().NowMillis();
  EXPECT_EQ(session.RunLoop(nullptr), 0);
  // Eight virtual seconds are 50 ticks of 160 ms.
  EXPECT_EQ(session.clock().NowMillis() - startMillis, 8000);

  const std::vector<std::string> lines = ActivityTexts(session.context());
  EXPECT_TRUE(Contains(lines, "Serial Port On 1 : Open")) << ::testing::PrintToString(lines);
  EXPECT_TRUE(Contains(lines, "Searching for Power Line Modem #2413U,2412S,2412U"));
  EXPECT_TRUE(Contains(lines, "1e.65.a2   PLM 2413U  FirmWare 9.e")) << ::testing::PrintToString(lines);
  EXPECT_FALSE(session.context().port.IsOpen()) << "the port is closed at the end";
  EXPECT_FALSE(session.context().log.Lines(LogChannel::InsteonTraffic).empty());

  struct stat st {};
  ASSERT_EQ(stat((data.path() + "/quorvel/OrvoOptions3.cfg").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 1176);
}

TEST(SessionVirtualTime, TheSecondStartReadsWhatTheFirstSaved) {
  TempFolder data;
  {
    Session first(VirtualRun(data.path(), 1), nullptr);
    std::string error;
    ASSERT_TRUE(first.Start(error)) << error;
    // The first start gets the first-start defaults and marks them done.
    EXPECT_EQ(first.context().options.runFlags, 0x1F);
    first.RunLoop(nullptr);
  }
  Session second(VirtualRun(data.path(), 1), nullptr);
  std::string error;
  ASSERT_TRUE(second.Start(error)) << error;
  EXPECT_EQ(second.context().options.runFlags, 0xFF);
}

// Restores an environment variable when the test ends.
TEST(SessionVirtualTime, ASimulatedRunLeavesTheUsersOwnConfigurationAlone) {
  TempFolder home;
  ScopedEnv xdg("XDG_DATA_HOME", home.path());
  SessionOptions o = VirtualRun("", 2);
  {
    Session session(o, nullptr);
    std::string error;
    ASSERT_TRUE(session.Start(error)) << error;
    session.RunLoop(nullptr);
  }
  struct stat st {};
  EXPECT_NE(stat((home.path() + "/quorvel").c_str(), &st), 0) << "the user's folder was written";
  EXPECT_EQ(stat((home.path() + "/quorvel-simulated/quorvel/OrvoOptions3.cfg").c_str(), &st), 0);
}

TEST(SessionVirtualTime, ALinkThatCannotBeMadeInTimeEndsTheRunWithAFailure) {
  TempFolder data;
  SessionOptions o = VirtualRun(data.path(), 2);
  o.linkRequested = true;
  o.link.controller = InsteonId::From(0x2a, 0x10, 0x04);
  o.link.responder = InsteonId::From(0x2a, 0x10, 0x01);
  o.link.group = 3;
  Session session(o, nullptr);
  std::string error;
  ASSERT_TRUE(session.Start(error)) << error;
  EXPECT_EQ(session.RunLoop(nullptr), 1);
  EXPECT_NE(session.linkRun().phase, LinkCommandRun::Phase::kDone);
}

int InUseRecord(const DeviceDatabase& db, const InsteonId& id) {
  for (uint32_t i = 0; i < db.count && i < kMaxDevices; ++i) {
    if (db[i].id == id && db[i].InUse()) return static_cast<int>(i);
  }
  return -1;
}

std::string ReadAll(std::FILE* f) {
  std::string text;
  std::rewind(f);
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
  return text;
}

// A run to its end with what it prints kept.
struct PrintedRun {
  explicit PrintedRun(const SessionOptions& o) : session(o, out.get()) {}
  // The exit status; -1 when the run could not start.
  int Run() {
    std::string error;
    if (out == nullptr || !session.Start(error)) {
      ADD_FAILURE() << "the run did not start: " << error;
      return -1;
    }
    return session.RunLoop(nullptr);
  }
  std::string Text() { return ReadAll(out.get()); }

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out{std::tmpfile(), &std::fclose};
  Session session;
};

// The example house from a first start: every powered device identified and
// its link table read, the device only the kitchen ceiling's links name placed
// in the discovery group, and the summary printed at the end.
TEST(SessionVirtualTime, UntilIdleLearnsTheWholeHouseAndPrintsItsSummary) {
  TempFolder data;
  SessionOptions o = VirtualRun(data.path(), 0);
  o.untilIdle = true;
  PrintedRun run(o);
  EXPECT_EQ(run.Run(), 0);
  Session& session = run.session;
  EXPECT_TRUE(session.settled());
  EXPECT_LT(session.ElapsedMillis(), kUntilIdleVirtualSeconds * 1000);

  const DeviceDatabase& db = session.context().db;
  for (const sim::SimDevice& d : session.network()->Devices()) {
    const int slot = InUseRecord(db, d.id);
    SCOPED_TRACE(d.name);
    ASSERT_GE(slot, 0) << "linked to the modem";
    const DeviceRecord& r = db[slot];
    EXPECT_EQ(r.category, d.category);
    EXPECT_EQ(r.subcategory, d.subcategory);
    EXPECT_EQ(r.firmware, d.firmware);
    if (d.sleeper) continue;  // asleep all run: its engine and links wait for it to wake
    EXPECT_EQ(r.engineVersion, d.engine);
    EXPECT_NE(r.timeLinksRead, 0);
    int inUse = 0;
    for (const sim::LinkEntry& l : d.Links()) inUse += l.InUse();
    int stored = 0;
    for (int k = 0; k < r.LinkLimit(); ++k) stored += r.links[k].InUse();
    EXPECT_EQ(stored, inUse);
  }
  // Whether the polling placed it or the device's refusal of an unlinked modem
  // had it link itself, it is now the modem's responder in group 251.
  const int pantry = InUseRecord(db, InsteonId::From(0x2a, 0x10, 0x11));
  ASSERT_GE(pantry, 0);
  EXPECT_EQ(db[pantry].group, kDiscoveryGroup);

  const std::string text = run.Text();
  const size_t summary = text.rfind("Run summary\n");
  ASSERT_NE(summary, std::string::npos);
  const std::string tail = text.substr(summary);
  EXPECT_NE(tail.find("group 251      1 members, 0 found in links still to place"), std::string::npos) << tail;
  EXPECT_NE(tail.find("outstanding    0 powered devices"), std::string::npos) << tail;
  EXPECT_NE(tail.find("s of virtual time, settled"), std::string::npos) << tail;
}

TEST(SessionVirtualTime, UntilIdleStoppedByItsLimitSaysSoAndFails) {
  TempFolder data;
  SessionOptions o = VirtualRun(data.path(), 30);
  o.untilIdle = true;
  PrintedRun run(o);
  EXPECT_EQ(run.Run(), 1);
  EXPECT_FALSE(run.session.settled());
  EXPECT_NE(run.Text().find("30.0 s of virtual time, stopped before the network settled"), std::string::npos);
}

// The engine's diagnostic lines share the printed output; each stands on a
// line of its own instead of running into the next log line.
TEST(SessionVirtualTime, DiagnosticsArePrintedOnLinesOfTheirOwn) {
  TempFolder data;
  PrintedRun run(VirtualRun(data.path(), 70));
  run.Run();
  const std::string text = run.Text();
  EXPECT_NE(text.find("\ncheckFirstRun\n"), std::string::npos);
  EXPECT_NE(text.find("\ntime_lastPLMreadALDB 1 minutes\n"), std::string::npos);
  EXPECT_EQ(text.find("minutesGeneral"), std::string::npos);
}

TEST(SessionVirtualTime, AMissingHouseFileIsReported) {
  SessionOptions o = VirtualRun("/tmp", 1);
  o.houseFile = "/nonexistent/house.txt";
  Session session(o, nullptr);
  std::string error;
  EXPECT_FALSE(session.Start(error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(session.started());
}

}  // namespace
}  // namespace quorvel

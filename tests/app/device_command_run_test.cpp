// --on, --off and --status end to end: the program's run against the
// simulated example house in virtual time, the device's own level changed and
// printed, and the reasons printed when there is no answer.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/session.h"
#include "app/session_options.h"
#include "support/scratch.h"

namespace quorvel {
namespace {

using testing::TempFolder;

const InsteonId kKitchenIsland = InsteonId::From(0x2a, 0x10, 0x02);

std::string ReadAll(std::FILE* f) {
  std::string text;
  std::rewind(f);
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
  return text;
}

// One command run to its end, with its answer and its failures kept apart.
struct CommandRun {
  CommandRun(DeviceCommandKind kind, const char* id, const char* level = "", bool verbose = false) {
    options.headless = true;
    options.virtualTime = true;
    options.dataDir = data.path();
    options.houseFile = std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt";
    options.verbose = verbose;
    std::string error;
    options.deviceCommandRequested = ParseDeviceCommand(kind, id, level, options.deviceCommand, error);
    EXPECT_TRUE(options.deviceCommandRequested) << error;
    session = std::make_unique<Session>(options, out.get());
    session->SetErrorStream(err.get());
  }
  bool Start() {
    std::string error;
    const bool started = out != nullptr && err != nullptr && session->Start(error);
    EXPECT_TRUE(started) << error;
    return started;
  }
  int Run() { return Start() ? session->RunLoop(nullptr) : -1; }
  sim::SimDevice& Device(const InsteonId& id) { return *session->network()->Device(id); }
  std::string Out() { return ReadAll(out.get()); }
  std::string Err() { return ReadAll(err.get()); }

  TempFolder data;
  SessionOptions options;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out{std::tmpfile(), &std::fclose};
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> err{std::tmpfile(), &std::fclose};
  std::unique_ptr<Session> session;
};

struct AnswerCase {
  DeviceCommandKind kind;
  const char* id;
  const char* level;
  std::string printed;  // the one line of standard output
  int simulatedLevel;   // the simulated device's level afterwards
};

TEST(DeviceCommandRuns, TheDeviceDoesWhatItIsToldAndItsAnswerIsPrinted) {
  const std::vector<AnswerCase> cases = {
      {DeviceCommandKind::kOn, "2a.10.02", "50", "2a.10.02 SwitchLinc Dimmer DB: on, level 50%\n", 128},
      {DeviceCommandKind::kOn, "2A.10.02", "", "2a.10.02 SwitchLinc Dimmer DB: on, level 100%\n", 255},
      {DeviceCommandKind::kOn, "2a.10.02", "1", "2a.10.02 SwitchLinc Dimmer DB: on, level 1%\n", 3},
      {DeviceCommandKind::kOff, "2a.10.02", "", "2a.10.02 SwitchLinc Dimmer DB: off, level 0%\n", 0},
      // The house starts the island at 191 and the lamp at 64.
      {DeviceCommandKind::kStatus, "2a.10.02", "", "2a.10.02 SwitchLinc Dimmer DB: level 74%\n", 191},
      {DeviceCommandKind::kStatus, "2a.10.06", "", "2a.10.06 LampLinc (Dual Band): level 25%\n", 64},
      // A relay asked for 30% goes fully on, and says so.
      {DeviceCommandKind::kOn, "2a.10.05", "30", "2a.10.05 SwitchLinc Relay: on, level 100%\n", 255},
  };
  for (const AnswerCase& c : cases) {
    SCOPED_TRACE(c.printed);
    CommandRun run(c.kind, c.id, c.level);
    EXPECT_EQ(run.Run(), 0) << run.Err();
    EXPECT_EQ(run.Out(), c.printed) << "the answer alone, no log lines";
    EXPECT_EQ(run.Err(), "");
    InsteonId id;
    ASSERT_TRUE(ParseInsteonId(c.id, id));
    EXPECT_EQ(run.Device(id).level, c.simulatedLevel);
    EXPECT_TRUE(run.session->deviceRun().ok);
    // Well before the run's own bounds: the table is read, then one message.
    EXPECT_LT(run.session->ElapsedMillis(), 60 * 1000);
  }
}

TEST(DeviceCommandRuns, VerbosePrintsTheLogAndTheAnswerLast) {
  CommandRun run(DeviceCommandKind::kOn, "2a.10.02", "50", /*verbose=*/true);
  EXPECT_EQ(run.Run(), 0);
  const std::string out = run.Out();
  EXPECT_NE(out.find("General Activity: "), std::string::npos);
  EXPECT_NE(out.find("Insteon Traffic: "), std::string::npos);
  const std::string answer = "2a.10.02 SwitchLinc Dimmer DB: on, level 50%\n";
  ASSERT_GE(out.size(), answer.size());
  EXPECT_EQ(out.substr(out.size() - answer.size()), answer) << out;
}

struct FailureCase {
  const char* what;
  DeviceCommandKind kind;
  const char* id;
  std::function<void(CommandRun&)> before;  // after the start, before the run
  std::string reason;                        // what standard error says
};

TEST(DeviceCommandRuns, NoAnswerEndsWithStatusOneAndTheReason) {
  const std::vector<FailureCase> cases = {
      {"a device that hears nothing", DeviceCommandKind::kOn, "2a.10.02",
       [](CommandRun& r) { r.Device(kKitchenIsland).deaf = true; },
       "quorvel: 2a.10.02 SwitchLinc Dimmer DB did not answer\n"},
      {"a device the modem does not know", DeviceCommandKind::kStatus, "2a.10.99", nullptr,
       "quorvel: 2a.10.99 is not in the device database: the modem has no link to it\n"},
      {"the modem itself", DeviceCommandKind::kOff, "1e.65.a2", nullptr,
       "quorvel: 1e.65.a2 is the modem itself, not a device it switches\n"},
      {"a sleeping sensor", DeviceCommandKind::kOn, "2a.10.0f",
       [](CommandRun& r) { r.Device(InsteonId::From(0x2a, 0x10, 0x0f)).awakeUntilMillis = 0; },
       "quorvel: 2a.10.0f TriggerLinc is a wireless device and did not wake to take the command "
       "(press its SET button, then try again)\n"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    CommandRun run(c.kind, c.id);
    ASSERT_TRUE(run.Start());
    if (c.before) c.before(run);
    EXPECT_EQ(run.session->RunLoop(nullptr), 1);
    EXPECT_EQ(run.Err(), c.reason);
    EXPECT_EQ(run.Out(), "");
    EXPECT_FALSE(run.session->deviceRun().ok);
  }
}

TEST(DeviceCommandRuns, ARunThatEndsFirstSaysSo) {
  CommandRun run(DeviceCommandKind::kStatus, "2a.10.02");
  run.options.secondsLimit = 2;  // the modem's table takes longer than this to read
  run.session = std::make_unique<Session>(run.options, run.out.get());
  run.session->SetErrorStream(run.err.get());
  EXPECT_EQ(run.Run(), 1);
  EXPECT_EQ(run.Err(), "quorvel: the run ended before 2a.10.02 answered\n");
}

}  // namespace
}  // namespace quorvel

// The search for the modem, tick by tick against fake ports, and the link's
// bounded writes.
#include "plm/serial_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/context.h"
#include "support/test_rig.h"

namespace quorvel {
namespace {

using testing::FakeSerialPort;
using testing::MemoryFileSystem;

const std::string kOpen3 = "Serial Port On 3 : Open";
const std::string kSearching = "Searching for Power Line Modem #2413U,2412S,2412U";
const std::string kIdentity = "1e.65.a2   PLM 2413U  FirmWare 9.e";

// Records what the link tells the toolbar.
class ConnectionNotifier : public testing::RecordingNotifier {
 public:
  void ConnectionChanged(bool connected, int portNumber) override {
    changes.push_back(connected ? portNumber : -portNumber);
  }
  std::vector<int> changes;  // +n connected on n, -n closed
};

// A fake port that can be pinned, whose writes can stall at a chosen byte, whose
// opens can be refused with a reason, and which can have adapters beyond 16.
class ScriptedPort : public FakeSerialPort {
 public:
  IoStatus WriteByte(uint8_t byte) override {
    if (IsOpen() && stallAt >= 0 && writes++ == stallAt) return IoStatus::TimedOut;
    return FakeSerialPort::WriteByte(byte);
  }
  int PinnedPort() const override { return pinned; }
  std::string OpenRefusal() const override {
    const std::vector<int> attempts = OpenAttempts();
    if (attempts.empty() || IsOpen()) return {};
    const auto it = refusals.find(attempts.back());
    return it == refusals.end() ? std::string() : it->second;
  }
  int PortCount() const override { return 16 + extraPorts; }
  void Rescan() override { ++rescans; }
  int stallAt = -1;
  int writes = 0;
  int pinned = 0;
  std::map<int, std::string> refusals;  // by port number
  int extraPorts = 0;
  int rescans = 0;
};

// A run with ports that open and a modem on one of them. The modem answers Get
// IM Info the tick after it is written, as the receive side would report it.
class Search : public ::testing::Test {
 protected:
  Context& ctx() { return *ctx_; }

  // One tick: the search, then the modem's answer if it has been asked.
  void Tick() {
    ++tick_;
    const size_t attemptsBefore = port_.OpenAttempts().size();
    PortSearch(ctx());
    if (port_.OpenAttempts().size() != attemptsBefore) attemptTicks_.push_back(tick_);
    if (port_.IsOpen() && port_.OpenPort() == modemPort_ && AskedForIdentity() && !ctx().link.Answered()) {
      ctx().db.plm.plmId = InsteonId::From(0x1e, 0x65, 0xa2);
      ctx().db.plm.plmCategory = 0x03;
      ctx().db.plm.plmSubcategory = 0x15;
      ctx().db.plm.plmFirmware = 0x9e;
      ctx().db.plm.plmFound = 1;
      ctx().link.OnModemIdentity(ctx());
    }
    clock_.AdvanceMillis(160);
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) Tick();
  }
  bool AskedForIdentity() {
    const std::vector<uint8_t>& w = port_.Written();
    for (size_t i = 0; i + 1 < w.size(); ++i) {
      if (w[i] == 0x02 && w[i + 1] == 0x60) return true;
    }
    return false;
  }
  std::vector<std::string> Activity() const {
    std::vector<std::string> out;
    for (const LogLine& line : ctx_->log.Lines(LogChannel::GeneralActivity)) {
      const size_t bar = line.text.find("|   ");
      out.push_back(bar == std::string::npos ? line.text : line.text.substr(bar + 4));
    }
    return out;
  }

  TestClock clock_;
  ScriptedPort port_;
  MemoryFileSystem files_;
  ConnectionNotifier notifier_;
  std::unique_ptr<Context> ctx_ = std::make_unique<Context>(clock_, port_, files_, notifier_);
  int modemPort_ = 0;
  int tick_ = 0;
  std::vector<int> attemptTicks_;
};

TEST_F(Search, FindsTheModemOnPort5StartingFromComPort3) {
  struct Case {
    std::vector<int> openable;  // besides the modem's port 5
    std::vector<std::string> lines;
    std::vector<int> attemptTicks;
  };
  const Case cases[] = {
      // Port 3 opens but nothing answers: closed after 20 ticks, 4 follows at once.
      {{3, 4},
       {kOpen3, kSearching, "Serial Port On 4 : Open", kSearching, "Serial Port On 5 : Open", kSearching,
        kIdentity},
       {6, 27, 48}},
      // Ports that do not open are followed by the next one about 10 ticks later.
      {{}, {"Serial Port On 3 : Fail", "Serial Port On 4 : Fail", "Serial Port On 5 : Open", kSearching, kIdentity},
       {6, 17, 28}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.openable.size());
    ctx_.reset();
    port_ = ScriptedPort();
    ctx_ = std::make_unique<Context>(clock_, port_, files_, notifier_);
    tick_ = 0;
    attemptTicks_.clear();
    ctx().options.comPort = 3;
    modemPort_ = 5;
    for (int p : c.openable) port_.AllowPort(p);
    port_.AllowPort(5);
    Ticks(300);
    EXPECT_EQ(Activity(), c.lines);
    EXPECT_EQ(attemptTicks_, c.attemptTicks);
    EXPECT_EQ(port_.OpenPort(), 5);
    EXPECT_EQ(ctx().options.comPort, 5);
  }
}

TEST_F(Search, IdentityLineComesWhenTheAnswerWindowEndsAndOnlyOnce) {
  ctx().options.comPort = 2;
  modemPort_ = 2;
  port_.AllowPort(2);
  Ticks(6);  // the first attempt comes on the sixth tick
  EXPECT_EQ(Activity(), (std::vector<std::string>{"Serial Port On 2 : Open", kSearching}));
  EXPECT_EQ(port_.Written(), (std::vector<uint8_t>{0x02, 0x60}));
  Ticks(19);
  EXPECT_EQ(Activity().size(), 2u);
  Tick();  // 20 ticks after the open
  EXPECT_EQ(Activity().back(), kIdentity);
  Ticks(5000);
  EXPECT_EQ(Activity().size(), 3u);
  EXPECT_EQ(port_.OpenAttempts(), std::vector<int>{2});
  EXPECT_EQ(notifier_.refreshes, std::vector<ViewRefresh>{ViewRefresh::DeviceTree});
}

TEST_F(Search, AnOpenRestartsTheEngineAndTheIndicatorWaitsForTheLineToSettle) {
  ctx().options.comPort = 1;
  ctx().engine.engineState = kEngineSteady;
  port_.AllowPort(1);
  modemPort_ = 1;
  Ticks(6);
  EXPECT_EQ(ctx().engine.engineState, 0);
  const uint8_t on[] = {0x02, 0x62, 0x11, 0x22, 0x33, 0x0F, 0x11, 0xFF};
  EXPECT_FALSE(ctx().link.WriteMessage(ctx(), on, sizeof on));  // the tick of the open
  Tick();
  EXPECT_FALSE(ctx().link.WriteMessage(ctx(), on, sizeof on));
  EXPECT_TRUE(notifier_.changes.empty());
  Tick();
  EXPECT_EQ(notifier_.changes, std::vector<int>{1});
  EXPECT_TRUE(ctx().link.WriteMessage(ctx(), on, sizeof on));
  std::vector<uint8_t> expected = {0x02, 0x60};
  expected.insert(expected.end(), on, on + sizeof on);
  EXPECT_EQ(port_.Written(), expected);
}

TEST_F(Search, AModemFoundOnPort16IsTriedFirstAfterALoss) {
  ctx().options.comPort = 16;
  modemPort_ = 16;
  port_.AllowPort(16);
  port_.AllowPort(1);  // a port that would open if the search went on past 16
  Ticks(40);
  ASSERT_EQ(Activity().back(), kIdentity);
  port_.SetGone(true);
  ctx().link.OnDeviceGone(ctx());
  EXPECT_FALSE(port_.IsOpen());
  Ticks(40);
  EXPECT_EQ(port_.OpenAttempts(), (std::vector<int>{16, 16}));
  EXPECT_EQ(port_.OpenPort(), 16);
  EXPECT_EQ(ctx().options.comPort, 16);
}

TEST_F(Search, WrapsTo0AndClearsTheActivityChannel) {
  ctx().options.comPort = 15;
  Ticks(6 + 11 * 3);
  EXPECT_EQ(port_.OpenAttempts(), (std::vector<int>{15, 16, 0, 1}));
  // Cleared at the wrap: what was logged for 15 and 16 is gone.
  EXPECT_EQ(Activity(), (std::vector<std::string>{"Serial Port On 0 : Fail", "Serial Port On 1 : Fail"}));
}

TEST_F(Search, UserDisconnectSilencesTheSearchUntilConnect) {
  ctx().options.comPort = 4;
  ctx().options.userDisconnect = 1;
  port_.AllowPort(4);
  modemPort_ = 4;
  Ticks(500);
  EXPECT_TRUE(port_.OpenAttempts().empty());
  EXPECT_TRUE(Activity().empty());

  ctx().link.Connect(ctx());
  Ticks(30);
  ASSERT_EQ(Activity().back(), kIdentity);
  ctx().link.Disconnect(ctx());
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_EQ(ctx().options.userDisconnect, 1);
  Ticks(500);
  EXPECT_EQ(port_.OpenAttempts(), std::vector<int>{4});
}

// After the user moves the modem, a port that opens but does not answer must
// not be taken for the modem just because a modem answered earlier.
TEST_F(Search, APortThatNeverAnsweredIsClosedEvenAfterAnEarlierModem) {
  ctx().options.comPort = 5;
  modemPort_ = 5;
  port_.AllowPort(5);
  Ticks(30);
  ASSERT_EQ(Activity().back(), kIdentity);
  ASSERT_EQ(ctx().db.plm.plmFound, 1);

  ctx().link.Disconnect(ctx());
  modemPort_ = 6;  // the modem now sits on 6; 5 is some other device
  port_.AllowPort(6);
  port_.Written().clear();
  ctx().link.Connect(ctx());
  Ticks(6);
  ASSERT_TRUE(port_.IsOpen());
  EXPECT_EQ(port_.OpenPort(), 5);
  Ticks(14);
  EXPECT_EQ(port_.OpenPort(), 5);
  Tick();  // 20 ticks after the open, with no answer
  EXPECT_FALSE(port_.IsOpen()) << "a port with no answer was kept as the modem";
  Ticks(30);
  EXPECT_EQ(port_.OpenPort(), 6);
  EXPECT_EQ(ctx().options.comPort, 6);
  const std::vector<std::string> lines = Activity();
  EXPECT_EQ(std::vector<std::string>(lines.end() - 5, lines.end()),
            (std::vector<std::string>{"Serial Port On 5 : Open", kSearching, "Serial Port On 6 : Open", kSearching,
                                      kIdentity}));
}

TEST_F(Search, AVanishedDeviceIsClosedOnceAndOpenedAgain) {
  struct Case {
    const char* how;
    bool throughWrite;
  };
  for (const Case& c : {Case{"reported by the receive pump", false}, Case{"seen by a write", true}}) {
    SCOPED_TRACE(c.how);
    ctx_.reset();
    port_ = ScriptedPort();
    notifier_.changes.clear();
    ctx_ = std::make_unique<Context>(clock_, port_, files_, notifier_);
    ctx().options.comPort = 2;
    modemPort_ = 2;
    port_.AllowPort(2);
    Ticks(30);
    ASSERT_EQ(Activity().back(), kIdentity);

    port_.SetGone(true);
    if (c.throughWrite) {
      const uint8_t status[] = {0x02, 0x62, 0x11, 0x22, 0x33, 0x0F, 0x19, 0x00};
      EXPECT_FALSE(ctx().link.WriteMessage(ctx(), status, sizeof status));
    } else {
      ctx().link.OnDeviceGone(ctx());
    }
    ctx().link.OnDeviceGone(ctx());  // a second report of the same loss adds nothing
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_FALSE(ctx().link.Answered());
    EXPECT_EQ(Activity().back(), "Serial Port On 2 : Device gone, searching again");
    EXPECT_EQ(notifier_.changes, (std::vector<int>{2, -2}));

    // Plugged back in: the search opens it again and the modem answers again.
    port_.Written().clear();
    Ticks(40);
    EXPECT_EQ(port_.OpenPort(), 2);
    const std::vector<std::string> lines = Activity();
    EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()),
              (std::vector<std::string>{"Serial Port On 2 : Device gone, searching again", "Serial Port On 2 : Open",
                                        kSearching, kIdentity}));
  }
}

TEST_F(Search, AStalledByteDropsTheRestOfItsMessage) {
  ctx().options.comPort = 1;
  modemPort_ = 1;
  port_.AllowPort(1);
  Ticks(30);
  port_.Written().clear();
  const size_t linesBefore = Activity().size();

  const uint8_t read[] = {0x02, 0x62, 0x11, 0x22, 0x33, 0x1F, 0x2F, 0x00, 0x00, 0x00, 0x00,
                          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xD1};
  port_.writes = 0;
  port_.stallAt = 3;
  EXPECT_FALSE(ctx().link.WriteMessage(ctx(), read, sizeof read));
  EXPECT_EQ(port_.Written(), (std::vector<uint8_t>{0x02, 0x62, 0x11}));
  EXPECT_EQ(Activity().size(), linesBefore + 1);
  EXPECT_EQ(Activity().back(), "Serial Port On 1 : Write timed out, message dropped");
  EXPECT_TRUE(port_.IsOpen());

  // The line recovers: the next message goes whole.
  port_.stallAt = -1;
  port_.Written().clear();
  EXPECT_TRUE(ctx().link.WriteMessage(ctx(), read, sizeof read));
  EXPECT_EQ(port_.Written(), std::vector<uint8_t>(read, read + sizeof read));
}

TEST_F(Search, WritesWhileClosedAreDroppedSilently) {
  const uint8_t on[] = {0x02, 0x62, 0x11, 0x22, 0x33, 0x0F, 0x11, 0xFF};
  EXPECT_FALSE(ctx().link.WriteMessage(ctx(), on, sizeof on));
  EXPECT_TRUE(port_.Written().empty());
  EXPECT_TRUE(Activity().empty());
}

TEST_F(Search, APinnedPortIsTheOnlyOneTried) {
  struct Case {
    const char* what;
    uint8_t forcePort;
    uint32_t forcedPortNumber;
    int pinnedByDevice;
    int expectedPort;
    int expectedComPort;
  };
  const Case cases[] = {
      {"forced in the options", 1, 7, 0, 7, 7},
      {"a forced number out of range is not a pin", 1, 40, 0, 0, 0},
      {"a device named outright keeps the user's port number", 0, 0, 1, 1, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ctx_.reset();
    port_ = ScriptedPort();
    ctx_ = std::make_unique<Context>(clock_, port_, files_, notifier_);
    ctx().options.comPort = 3;
    ctx().options.forcePort = c.forcePort;
    ctx().options.forcedPortNumber = c.forcedPortNumber;
    port_.pinned = c.pinnedByDevice;
    modemPort_ = 0;  // nothing answers: every attempt ends
    if (c.expectedPort == 0) {
      Ticks(6 + 11);
      EXPECT_EQ(port_.OpenAttempts(), (std::vector<int>{3, 4}));
      continue;
    }
    port_.AllowPort(c.expectedPort);
    Ticks(6 + 21 * 2);
    EXPECT_EQ(port_.OpenAttempts(), std::vector<int>(3, c.expectedPort));
    modemPort_ = c.expectedPort;
    Ticks(30);
    EXPECT_EQ(Activity().back(), kIdentity);
    EXPECT_EQ(ctx().options.comPort, c.expectedComPort);
  }
}


TEST_F(Search, SaysOnceWhatToCheckWhenAWholeSearchFindsNoModem) {
  struct Case {
    const char* what;
    std::vector<int> openable;  // ports that open but stay silent
    int pinned;
    int ticksToLastAttempt;  // the tick the hint is due on
    std::string hint;
  };
  const Case cases[] = {
      {"every port fails to open", {}, 0, 6 + 11 * 15, kNoModemText},
      // Port 16 opens and stays silent: the hint waits for its 20 ticks to pass.
      {"the last port opens and stays silent", {16}, 0, 6 + 11 * 15 + 20, kNoModemText},
      {"the one device named outright", {}, 1, 6,
       "No modem answered on fake1: check that the modem's adapter is plugged in, that --serial names its "
       "device, and that you may open it (a member of the dialout group)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ctx_.reset();
    port_ = ScriptedPort();
    ctx_ = std::make_unique<Context>(clock_, port_, files_, notifier_);
    ctx().options.comPort = 1;
    port_.pinned = c.pinned;
    for (int p : c.openable) port_.AllowPort(p);
    modemPort_ = 0;
    auto hints = [&] {
      const std::vector<std::string> lines = Activity();
      return std::count(lines.begin(), lines.end(), c.hint);
    };
    Ticks(c.ticksToLastAttempt - 1);
    EXPECT_EQ(hints(), 0) << "not before every port was tried";
    EXPECT_TRUE(ctx().link.NoModemText().empty());
    Tick();
    EXPECT_EQ(hints(), 1);
    EXPECT_EQ(Activity().back(), c.hint);
    EXPECT_EQ(ctx().link.NoModemText(), c.hint);
    const size_t attempts = port_.OpenAttempts().size();
    Ticks(400);
    EXPECT_GT(port_.OpenAttempts().size(), attempts) << "the search goes on";
    EXPECT_EQ(hints(), 1) << "said once, and kept after the channel is cleared at a wrap";
  }
}

TEST_F(Search, TheHintGoesWhenAModemAnswersAndNeedsAnotherWholeSearchToComeBack) {
  ctx().options.comPort = 1;
  modemPort_ = 0;
  Ticks(6 + 11 * 15);
  ASSERT_EQ(ctx().link.NoModemText(), kNoModemText);
  modemPort_ = 3;  // the adapter is plugged in
  port_.AllowPort(3);
  Ticks(80);
  ASSERT_EQ(Activity().back(), kIdentity);
  EXPECT_TRUE(ctx().link.NoModemText().empty());

  // Lost again, and silent this time: only ports tried since the answer count.
  modemPort_ = 0;
  port_.SetGone(true);
  ctx().link.OnDeviceGone(ctx());
  const size_t before = port_.OpenAttempts().size();
  std::set<int> tried;
  for (int i = 0; i < 400 && tried.size() < 16; ++i) {
    EXPECT_TRUE(ctx().link.NoModemText().empty()) << "after " << tried.size() << " ports";
    Tick();
    const std::vector<int> attempts = port_.OpenAttempts();
    for (size_t k = before; k < attempts.size(); ++k)
      if (attempts[k] >= 1) tried.insert(attempts[k]);
  }
  ASSERT_EQ(tried.size(), 16u);
  Ticks(21);  // the last one may be a port that opened and has its time to answer
  EXPECT_EQ(ctx().link.NoModemText(), kNoModemText);
}

// A port that exists but may not be opened says why, once, in the line after
// its "Fail"; the cleared channel of the next round starts with it again; the
// modem's answer elsewhere puts it to rest.
TEST_F(Search, ARefusedPortIsExplainedOnceAndAgainAfterEachWrap) {
  const std::string denied = "Permission denied on /dev/ttyUSB0: add yourself to its group dialout";
  ctx().options.comPort = 1;
  port_.refusals[1] = denied;
  modemPort_ = 0;
  auto count = [&](const std::string& text) {
    const std::vector<std::string> lines = Activity();
    return std::count(lines.begin(), lines.end(), text);
  };
  Ticks(6);
  EXPECT_EQ(Activity(), (std::vector<std::string>{"Serial Port On 1 : Fail", denied}));
  EXPECT_EQ(ctx().link.Refusal(), denied);
  Ticks(11 * 16 + 11);  // round the other ports, the wrap, port 0 and port 1 again
  EXPECT_EQ(port_.OpenAttempts().back(), 1);
  EXPECT_EQ(count(denied), 1) << "logged after the wrap, not again for the same refusal";
  EXPECT_EQ(count("Serial Port On 1 : Fail"), 1);
  EXPECT_EQ(Activity().front(), kNoModemText);

  // The user joins the group; the modem answers on port 1.
  port_.refusals.clear();
  port_.AllowPort(1);
  modemPort_ = 1;
  Ticks(11 * 18 + 25);
  ASSERT_EQ(Activity().back(), kIdentity);
  EXPECT_EQ(ctx().link.Refusal(), "");
}

TEST_F(Search, APortKeptToIsExplainedOnceHoweverOftenItIsTried) {
  const std::string busy = "fake1 is in use by another program (minicom, process 812)";
  ctx().options.comPort = 3;
  port_.pinned = 1;
  port_.refusals[1] = busy;
  modemPort_ = 0;
  Ticks(200);
  const std::vector<std::string> lines = Activity();
  EXPECT_GT(port_.OpenAttempts().size(), 10u);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), busy), 1);
  EXPECT_EQ(ctx().link.Refusal(), busy);
  // Closed by the other program: the reason goes as the port opens.
  port_.refusals.clear();
  port_.AllowPort(1);
  Ticks(12);
  EXPECT_TRUE(port_.IsOpen());
  EXPECT_EQ(ctx().link.Refusal(), "");
}

// Adapters found by name beyond the numbered ports are tried after port 16,
// named in the log, and never stored as the options' port number.
TEST_F(Search, AdaptersFoundByNameAreTriedAfterTheNumberedPorts) {
  ctx().options.comPort = 15;
  port_.extraPorts = 2;
  port_.AllowPort(18);
  modemPort_ = 18;
  Ticks(6 + 11 * 2);
  EXPECT_EQ(port_.rescans, 1) << "listed as the search starts";
  EXPECT_EQ(Activity(), (std::vector<std::string>{"Serial Port On 15 : Fail", "Serial Port On 16 : Fail",
                                                  "Serial Port On 17 is fake17", "Serial Port On 17 : Fail"}));
  Ticks(11 + 25);
  EXPECT_EQ(port_.OpenAttempts(), (std::vector<int>{15, 16, 17, 18}));
  EXPECT_EQ(Activity().back(), kIdentity);
  EXPECT_EQ(ctx().options.comPort, 15) << "the options file keeps a numbered port";

  // Lost and found again: the search goes back to the adapter first.
  port_.SetGone(true);
  ctx().link.OnDeviceGone(ctx());
  Ticks(30);
  EXPECT_EQ(port_.OpenAttempts().back(), 18);
  EXPECT_TRUE(port_.IsOpen());

  // With nothing answering the round wraps after the last adapter, listing them again.
  ctx_.reset();
  port_ = ScriptedPort();
  ctx_ = std::make_unique<Context>(clock_, port_, files_, notifier_);
  ctx().options.comPort = 16;
  port_.extraPorts = 1;
  modemPort_ = 0;
  Ticks(6 + 11 * 3);
  EXPECT_EQ(port_.OpenAttempts(), (std::vector<int>{16, 17, 0, 1}));
  EXPECT_EQ(port_.rescans, 2);
}

// Frames the receive side completes, as the handlers would get them.
class FrameRecorder : public FrameHandler {
 public:
  void HandleFrame(Context&, const uint8_t* frame, size_t length) override {
    frames.emplace_back(frame, frame + length);
  }
  std::vector<std::vector<uint8_t>> frames;
};

// A frame cut off when the adapter vanished must not be glued to the first
// frame of the reopened port.
TEST_F(Search, APartialFrameDoesNotOutliveItsPort) {
  FrameRecorder recorder;
  ctx().framer.handler = &recorder;
  ctx().options.comPort = 2;
  modemPort_ = 2;
  port_.AllowPort(2);
  Ticks(30);
  port_.Feed({0x02, 0x50, 0x2a, 0x10});
  ctx().framer.PumpReceive(ctx());
  port_.SetGone(true);
  ctx().framer.PumpReceive(ctx());  // the read reports the device gone
  ASSERT_FALSE(port_.IsOpen());
  Tick();  // reopened at once: well within the framer's own patience
  ASSERT_TRUE(port_.IsOpen());
  const std::vector<uint8_t> identity = {0x02, 0x60, 0x1e, 0x65, 0xa2, 0x03, 0x15, 0x9e, 0x06};
  port_.Feed(identity);
  ctx().framer.PumpReceive(ctx());
  EXPECT_EQ(recorder.frames, std::vector<std::vector<uint8_t>>{identity});
}

}  // namespace
}  // namespace quorvel

// The engine step against a modem scripted frame by frame: how a read of the
// modem's table ends (or does not), the identity poll beside the send rings,
// CheckFlags, the wait window and the auto-save counters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "automation/event_record.h"
#include "engine/context.h"
#include "engine/network_engine.h"
#include "plm/send_queues.h"
#include "support/test_rig.h"

namespace quorvel {
namespace {

using testing::TestRig;

constexpr int kTick = 160;
// 2011-03-13 00:00:00 UTC; the test clock's local time is UTC.
constexpr Time kMidnight = 1299974400;
const InsteonId kModem = InsteonId::From(0x1e, 0x65, 0xa2);

std::vector<uint8_t> RecordFrame(uint8_t group, const InsteonId& id) {
  return {0x02, 0x57, 0xE2, group, id.b[0], id.b[1], id.b[2], 0x01, 0x20, 0x41};
}

// A modem played by the test: each command the engine writes is answered at
// once by `answer`, which hands back the frames to deliver.
class ScriptedModem {
 public:
  explicit ScriptedModem(TestRig& rig) : rig_(rig) {
    rig_.clock.Set(kMidnight + 10 * 3600);
    rig_.port.AllowPort(1);
    rig_.port.Open(1);
  }
  std::function<std::vector<std::vector<uint8_t>>(uint8_t code)> answer;

  void Step() {
    const size_t before = rig_.port.Written().size();
    EngineStep(*rig_);
    const std::vector<uint8_t>& w = rig_.port.Written();
    for (size_t i = before; i + 1 < w.size(); ++i) {
      if (w[i] != 0x02) continue;
      written.push_back(w[i + 1]);
      if (!answer) continue;
      for (const std::vector<uint8_t>& f : answer(w[i + 1])) rig_->incoming.HandleFrame(*rig_, f.data(), f.size());
    }
    rig_.clock.AdvanceMillis(kTick);
  }
  std::vector<uint8_t> written;  // codes of the commands written

 private:
  TestRig& rig_;
};

int CountLines(TestRig& rig, const std::string& text) {
  int n = 0;
  for (const std::string& t : rig.Texts(LogChannel::GeneralActivity)) n += t == text;
  return n;
}

struct ReadCase {
  const char* name;
  int recordsBeforeTrouble;  // records the modem reports
  enum { EndsTable, StopsRecords, Silent } trouble;
  bool merges;
};

class PlmReadEnd : public ::testing::TestWithParam<ReadCase> {};

// Only the modem's own refusal ends its table; a modem that goes quiet, or
// never answers Get First, makes the engine start over instead of merging a
// partial table and opening the saving gate over it.
TEST_P(PlmReadEnd, OnlyTheModemsRefusalEndsTheRead) {
  const ReadCase c = GetParam();
  TestRig rig;
  ScriptedModem modem(rig);
  rig->db.plm.plmFound = 1;
  rig->db.plm.plmId = kModem;
  rig->db.plm.plmConfigAcked = 1;
  int reported = 0;
  modem.answer = [&](uint8_t code) -> std::vector<std::vector<uint8_t>> {
    if (code == 0x73) return {{0x02, 0x73, 0x40, 0x00, 0x00, 0x06}};
    if (code != 0x69 && code != 0x6A) return {};
    if (reported < c.recordsBeforeTrouble) {
      ++reported;
      return {{0x02, code, 0x06}, RecordFrame(1, InsteonId::FromValue(0x2a1000 + reported))};
    }
    switch (c.trouble) {
      case ReadCase::EndsTable: return {{0x02, code, 0x15}};
      case ReadCase::StopsRecords: return {{0x02, code, 0x06}};
      case ReadCase::Silent: return {};
    }
    return {};
  };

  bool sawRead = false;
  int steps = 0;
  for (; steps < 400; ++steps) {
    modem.Step();
    if (rig->engine.engineState == 5) sawRead = true;
    if (sawRead && (rig->engine.engineState == 0 || rig->engine.engineState == kEngineSteady)) break;
  }
  ASSERT_TRUE(sawRead);
  if (c.merges) {
    EXPECT_EQ(rig->engine.engineState, kEngineSteady);
    EXPECT_EQ(rig->db.count, static_cast<uint32_t>(c.recordsBeforeTrouble));
    EXPECT_EQ(rig->db.dbFlags & kDbMerged, kDbMerged);
    EXPECT_EQ(CountLines(rig, "Loading Device Data., " + std::to_string(c.recordsBeforeTrouble) +
                                  " device links from PLM"),
              1);
  } else {
    EXPECT_EQ(rig->engine.engineState, 0) << "the read starts over";
    EXPECT_EQ(rig->db.dbFlags & kDbMerged, 0);
    EXPECT_FALSE(rig->engine.plmTableReading);
    EXPECT_EQ(rig->engine.plmTableReads, 0u);
    for (const std::string& t : rig.Texts(LogChannel::GeneralActivity))
      EXPECT_EQ(t.find("Loading Device Data."), std::string::npos) << t;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, PlmReadEnd,
                         ::testing::Values(ReadCase{"EmptyTable", 0, ReadCase::EndsTable, true},
                                           ReadCase{"ThreeRecords", 3, ReadCase::EndsTable, true},
                                           ReadCase{"RecordsStop", 3, ReadCase::StopsRecords, false},
                                           ReadCase{"GetFirstUnanswered", 0, ReadCase::Silent, false},
                                           ReadCase{"GetNextUnanswered", 2, ReadCase::Silent, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The stall rule counts seconds without a new record: the read survives five
// quiet seconds and starts over in the sixth.
TEST(PlmReadStall, StartsOverAfterMoreThanFiveQuietSeconds) {
  TestRig rig;
  ScriptedModem modem(rig);
  rig->db.plm.plmFound = 1;
  rig->db.plm.plmConfigAcked = 1;
  int reported = 0;
  modem.answer = [&](uint8_t code) -> std::vector<std::vector<uint8_t>> {
    if (code == 0x73) return {{0x02, 0x73, 0x40, 0x00, 0x00, 0x06}};
    if (code != 0x69 && code != 0x6A) return {};
    if (reported == 2) return {{0x02, code, 0x06}};  // acknowledged, but no record follows
    ++reported;
    return {{0x02, code, 0x06}, RecordFrame(1, InsteonId::FromValue(0x2a1000 + reported))};
  };
  int lastRecordStep = -1;
  int restartStep = -1;
  for (int step = 0; step < 200 && restartStep < 0; ++step) {
    const uint32_t before = rig->db.count;
    modem.Step();
    if (rig->db.count != before) lastRecordStep = step;
    if (lastRecordStep >= 0 && rig->engine.engineState == 0) restartStep = step;
  }
  ASSERT_GE(restartStep, 0);
  const double quietSeconds = (restartStep - lastRecordStep) * kTick / 1000.0;
  EXPECT_GT(quietSeconds, 5.0);
  EXPECT_LE(quietSeconds, 7.0);
  EXPECT_EQ(rig->db.dbFlags & kDbMerged, 0);
  // Started over: configured again and the table emptied for a read from the first record.
  for (int step = 0; step < 200 && rig->engine.engineState != 5; ++step) modem.Step();
  EXPECT_EQ(rig->engine.engineState, 5);
  EXPECT_EQ(rig->db.count, 0u);
  for (int step = 0; step < 3; ++step) modem.Step();
  EXPECT_EQ(std::count(modem.written.begin(), modem.written.end(), 0x69), 2);
}

// The send rings take the step first: no identity request goes out in a step
// in which a ring was served, and once they are empty it repeats every sixth step.
TEST(IdentityPoll, NeverInAStepThatServedASendRing) {
  TestRig rig;
  ScriptedModem modem(rig);
  modem.Step();  // the first step empties the rings
  EventRecord action{};
  action.msgFlags = kFlagsStandard;
  action.targetId = InsteonId::From(0x2a, 0x10, 0x01);
  action.cmd1 = 0x11;
  action.cmd2 = 0xFF;
  action.retryClass = 5;
  ASSERT_TRUE(RouteAction(*rig, action));
  ASSERT_FALSE(rig->queues.replyRing.Empty());

  std::vector<int> requestSteps;
  int ringSteps = 0;
  for (int step = 0; step < 300; ++step) {
    const bool ringBusy = !rig->queues.replyRing.Empty();
    const size_t before = modem.written.size();
    modem.Step();
    bool request = false;
    for (size_t i = before; i < modem.written.size(); ++i) request |= modem.written[i] == 0x60;
    if (ringBusy) {
      ++ringSteps;
      EXPECT_FALSE(request) << "step " << step;
    }
    if (request) requestSteps.push_back(step);
  }
  EXPECT_GT(ringSteps, 50) << "the unanswered ON waited for its retry";
  ASSERT_GE(requestSteps.size(), 3u);
  EXPECT_GE(requestSteps.front(), ringSteps);
  for (size_t i = 1; i < requestSteps.size(); ++i) EXPECT_EQ(requestSteps[i] - requestSteps[i - 1], 6);
  EXPECT_EQ(CountLines(rig, "GetPLMInfo"), static_cast<int>(requestSteps.size()));
}

TEST(IdentityPoll, ResetsTheDatabaseAndTheModemQueueEachTime) {
  TestRig rig;
  ScriptedModem modem(rig);
  rig->db.count = 12;
  rig->db.dbFlags = kDbMerged;
  rig->db.checkFlagsHourCode = 0x70;
  rig->engine.engineState = 4;
  const uint8_t group[4] = {0x61, 0x01, 0x11, 0x00};
  ASSERT_TRUE(EnqueueModemCommand(*rig, group, sizeof group));
  modem.Step();
  modem.Step();
  ASSERT_EQ(CountLines(rig, "GetPLMInfo"), 1);
  EXPECT_EQ(rig->db.count, 0u);
  EXPECT_EQ(rig->db.dbFlags, 0);
  EXPECT_EQ(rig->db.checkFlagsHourCode, 3);
  EXPECT_TRUE(rig->queues.modem.Empty());
  EXPECT_EQ(rig->engine.engineState, 0);
}

// A queued modem command takes the step from the link jobs, the link reader and
// the start-up states; a started link job takes it from the reader and shows
// its progress text in the wait window and the status bar.
TEST(StepOrder, ModemQueueThenLinkJobThenReader) {
  TestRig rig;
  ScriptedModem modem(rig);
  rig->db.plm.plmFound = 1;
  rig->engine.engineState = kEngineSteady;
  rig->linkReader.active = 1;
  LinkJob& job = rig->linkOps.state.jobs[0];
  job.phase = LinkJobPhase::kWrite;
  job.remaining = 8;
  job.target = InsteonId::From(0x2a, 0x10, 0x07);
  job.displayGroup = 3;
  rig->linkOps.state.jobCount = 1;
  const uint8_t group[4] = {0x61, 0x01, 0x11, 0x00};
  ASSERT_TRUE(EnqueueModemCommand(*rig, group, sizeof group));

  modem.Step();  // the first step: the rings are emptied, the modem command goes out
  EXPECT_EQ(modem.written, (std::vector<uint8_t>{0x61}));
  EXPECT_FALSE(rig->engine.wait.open);
  EXPECT_EQ(rig->engine.engineWait, 0);

  rig->queues.modem.Clear();
  modem.Step();
  EXPECT_TRUE(rig->engine.wait.open);
  EXPECT_EQ(rig->engine.wait.text, LinkJobProgressText(*rig));
  EXPECT_EQ(rig->engine.statusText, LinkJobProgressText(*rig));
  EXPECT_NE(rig->engine.wait.text.find("2a.10.07, Group 3"), std::string::npos) << rig->engine.wait.text;
  EXPECT_EQ(rig->engine.engineWait, 0) << "the reader did not run";

  rig->linkOps.state = LinkJobs{};
  rig->queues.ClearRingsAndHeld();  // what the job step asked of the device
  modem.Step();
  EXPECT_EQ(rig->engine.engineWait, 2) << "the reader took the step";
  EXPECT_EQ(rig->engine.engineState, kEngineSteady);
}

// --- CheckFlags ------------------------------------------------------------------

struct HourCase {
  const char* name;
  Time sinceMidnight;
  bool acts;
};

class CheckFlagsHour : public ::testing::TestWithParam<HourCase> {};

TEST_P(CheckFlagsHour, ActsOnlyInHourZero) {
  const HourCase c = GetParam();
  TestRig rig;
  rig.clock.Set(kMidnight + c.sinceMidnight);
  DeviceRecord& sw = rig->db.records[0];
  sw.linkFlags = 0xA2;
  sw.group = 1;
  sw.id = InsteonId::From(0x2a, 0x10, 0x05);
  sw.category = 0x02;
  sw.subcategory = 0x1c;
  sw.linkCount = 3;
  sw.get_statusTries = 4;
  sw.timeLastContact = rig.clock.Now();
  sw.timeStatusReply = rig.clock.Now() - 3 * 3600;
  rig->db.count = 1;
  CheckFlags(*rig);
  EXPECT_EQ(sw.get_statusTries, c.acts ? 0 : 4);
  EXPECT_EQ(CountLines(rig, "CheckFlags - reseting get_statusTries for 2a.10.05 dif = (10800)"), c.acts ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, CheckFlagsHour,
                         ::testing::Values(HourCase{"HalfPastMidnight", 1800, true},
                                           HourCase{"OneSecondBeforeOne", 3599, true},
                                           HourCase{"One", 3600, false},
                                           HourCase{"Thirteen", 13 * 3600, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CheckFlags, ClearsEachGiveUpCounterByItsOwnRule) {
  TestRig rig;
  rig.clock.Set(kMidnight + 1800);
  const Time now = rig.clock.Now();
  auto add = [&](uint8_t last, uint8_t category, bool inUse) -> DeviceRecord& {
    DeviceRecord& r = rig->db.records[rig->db.count++];
    r.linkFlags = inUse ? 0xA2 : 0x00;
    r.group = 1;
    r.id = InsteonId::From(0x2a, 0x20, last);
    r.category = category;
    r.subcategory = category ? 0x01 : 0x00;
    r.engineVersion = kEngineI2;
    r.linkCount = 2;
    r.timeStatusRequest = now;
    r.timeStatusReply = now;
    r.timeLastContact = now;
    return r;
  };
  DeviceRecord& recent = add(1, 0x02, true);  // replied 10799 s ago: left alone
  recent.timeStatusReply = now - 10799;
  recent.get_statusTries = 3;
  DeviceRecord& asked = add(2, 0x02, true);  // asked 12 h ago, silent for an hour
  asked.timeStatusRequest = now - 43201;
  asked.timeLastContact = now - 3601;
  asked.get_statusTries = 3;
  DeviceRecord& unknown = add(3, 0x00, true);
  unknown.categoryTries = 2;
  DeviceRecord& once = add(4, 0x00, true);
  once.categoryTries = 1;
  DeviceRecord& noEngine = add(5, 0x01, true);
  noEngine.engineVersion = 7;
  noEngine.versionTries = 2;
  DeviceRecord& unread = add(6, 0x01, true);
  unread.linkCount = 0;
  unread.aldbDelta = 9;
  unread.aldbReadState = 4;
  unread.get_statusTries = 2;
  unread.timeLastContact = now - 3600;
  DeviceRecord& sensor = add(7, 0x10, true);  // never replies to status: repairs cleared, no line
  sensor.timeStatusReply = 0;
  sensor.get_statusTries = 2;
  sensor.plmLinkRepairs = 3;
  sensor.reserved700 = 1;
  DeviceRecord& unused = add(8, 0x02, false);
  unused.timeStatusReply = 0;
  unused.get_statusTries = 2;
  unused.plmLinkRepairs = 1;
  DeviceRecord& garbage = add(9, 0x02, true);  // times from a damaged file
  garbage.timeStatusReply = std::numeric_limits<int64_t>::min();
  garbage.timeLastContact = std::numeric_limits<int64_t>::max();
  garbage.timeStatusRequest = std::numeric_limits<int64_t>::min();
  garbage.get_statusTries = 5;

  CheckFlags(*rig);

  EXPECT_EQ(recent.get_statusTries, 3);
  EXPECT_EQ(asked.get_statusTries, 0);
  EXPECT_EQ(unknown.categoryTries, 0);
  EXPECT_EQ(once.categoryTries, 1);
  EXPECT_EQ(noEngine.versionTries, 0);
  EXPECT_EQ(unread.aldbDelta, 0);
  EXPECT_EQ(unread.aldbReadState, kReadWanted);
  EXPECT_EQ(unread.get_statusTries, 0);
  EXPECT_EQ(sensor.get_statusTries, 2);
  EXPECT_EQ(sensor.plmLinkRepairs, 0);
  EXPECT_EQ(sensor.reserved700, 0);
  EXPECT_EQ(unused.get_statusTries, 2);
  EXPECT_EQ(unused.plmLinkRepairs, 1);
  EXPECT_EQ(garbage.get_statusTries, 0) << "a reply time from far in the past is long ago";

  const std::vector<std::string> lines = rig.Texts(LogChannel::GeneralActivity);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "CheckFlags - reseting ALDB read for Group 1, 2a.20.06",
                       "CheckFlags - reseting get_statusTries for 2a.20.09 dif = (9223372036854775807)",
                   }));
}

// --- Wait window and change counters ----------------------------------------------

TEST(WaitWindow, OpeningAgainKeepsItsTextAndItClosesWhenIdleOrCancelled) {
  TestRig rig;
  ShowWaitWindow(*rig, "first");
  ShowWaitWindow(*rig, "second");
  EXPECT_TRUE(rig->engine.wait.open);
  EXPECT_EQ(rig->engine.wait.text, "first");
  EXPECT_EQ(rig->engine.wait.idleSeconds, 0);

  rig->engine.plmTableReading = true;  // keep the step to the window alone
  rig->engine.wait.cancelPressed = true;
  for (int i = 0; i < 11; ++i) EngineStep(*rig);
  EXPECT_TRUE(rig->engine.wait.open) << "the button is looked at every twelfth step";
  EngineStep(*rig);
  EXPECT_FALSE(rig->engine.wait.open);

  ShowWaitWindow(*rig, "third");
  EXPECT_EQ(rig->engine.wait.text, "third");
  rig->engine.wait.idleSeconds = 30;
  EngineStep(*rig);
  EXPECT_TRUE(rig->engine.wait.open);
  rig->engine.wait.idleSeconds = 31;
  EngineStep(*rig);
  EXPECT_FALSE(rig->engine.wait.open);
}

TEST(AutoSaveCounters, SaturateInsteadOfWrapping) {
  int8_t counter = 120;
  RaiseSaveCounter(counter, 5);
  EXPECT_EQ(counter, 125);
  RaiseSaveCounter(counter, 5);
  EXPECT_EQ(counter, 127);
  RaiseSaveCounter(counter);
  EXPECT_EQ(counter, 127);

  // A full set of counters still adds up to a save.
  TestRig rig;
  rig->engine.autoSaveCounter = 127;
  rig->engine.discoveriesSinceSave = 127;
  rig->engine.linkReadsSinceSave = 127;
  rig.clock.Set(kMidnight);
  int saves = 0;
  rig->engine.saveCommand = [&](Context&) { ++saves; };
  EXPECT_TRUE(AutoSaveStep(*rig));
  EXPECT_EQ(saves, 1);
}

}  // namespace
}  // namespace quorvel

// The engine's polling against the simulated network: identity, engine version,
// status and link tables learned in turn, with the waits between requests,
// give-ups by the tries counters, and the placing of discovered devices.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <string>
#include <vector>

#include "device/device_database.h"
#include "engine/device_polling.h"
#include "engine/network_engine.h"
#include "plm/link_reader.h"
#include "plm/send_queues.h"
#include "support/sim_rig.h"

namespace quorvel {
namespace {

using testing::SimRig;

const InsteonId kDimmer = InsteonId::From(0x2a, 0x10, 0x01);
const InsteonId kRelay = InsteonId::From(0x2a, 0x10, 0x02);
const InsteonId kSwitch = InsteonId::From(0x2a, 0x10, 0x03);
const InsteonId kKeypad = InsteonId::From(0x2a, 0x10, 0x04);
const InsteonId kHidden = InsteonId::From(0x2a, 0x10, 0x09);  // named only in the dimmer's links

sim::LinkEntry ModemLink(const sim::House& h) { return sim::LinkEntry{0xA2, 1, h.modem.id, {0xFF, 0x1C, 0x01}}; }

sim::House ThreeDevices() {
  sim::House h;
  h.devices.emplace_back(kDimmer, 0x01, 0x20, 0x41, kEngineI2cs);
  h.devices.emplace_back(kRelay, 0x02, 0x1c, 0x45, kEngineI2);
  h.devices.emplace_back(kSwitch, 0x01, 0x01, 0x32, kEngineI1);
  for (sim::SimDevice& d : h.devices) {
    d.SetLinkAt(0, ModemLink(h));
    h.modem.links.push_back(sim::LinkEntry{0xE2, 1, d.id, {d.category, d.subcategory, d.firmware}});
  }
  h.devices[0].SetLinkAt(1, sim::LinkEntry{0xE2, 1, kRelay, {0x03, 0x00, 0x01}});
  h.devices[0].level = 0x80;
  h.devices[1].level = 0xFF;
  return h;
}

// The polling in steady running, under the engine's own step: the modem's
// table is read and merged, and the idle steps are the polling's.
class PollRig : public SimRig {
 public:
  explicit PollRig(sim::House house) : SimRig(std::move(house)) {
    realEngine = true;
    ctx->engine.engineState = kEngineSteady;
    ctx->engine.firstRun = false;
    ctx->engine.minuteMark = clock.Now();
  }
  // Time passes on the line long enough for the quiet rule.
  void QuietStart() { clock.Advance(kPollQuietSeconds + 1); }

  // The polling's own request lines, in order.
  std::vector<std::string> Requests() const {
    std::vector<std::string> out;
    for (const LogLine& line : ctx->log.Lines(LogChannel::GeneralActivity)) {
      const size_t bar = line.text.find("|   ");
      const std::string t = bar == std::string::npos ? line.text : line.text.substr(bar + 4);
      for (const char* start : {"Catagory Request", "IEV Request", "Status Request", "ALDB Request",
                                "Device discovery placed"}) {
        if (t.rfind(start, 0) == 0) out.push_back(t);
      }
    }
    return out;
  }
};

std::string Id(const InsteonId& id) {
  char text[16];
  std::snprintf(text, sizeof text, "%02x.%02x.%02x", id.b[0], id.b[1], id.b[2]);
  return text;
}

// Three devices linked to the modem that the table knows nothing about yet,
// as after the first read of the modem's table.
TEST(Polling, LearnsIdentityEngineStatusAndLinksInTurn) {
  PollRig rig(ThreeDevices());
  for (const InsteonId& id : {kDimmer, kRelay, kSwitch}) {
    DeviceRecord& r = rig.AddRecord(id);
    r.category = r.subcategory = r.firmware = 0;
    r.engineVersion = kEngineUnknown;
  }
  rig.QuietStart();
  ASSERT_TRUE(rig.StepUntil(
      [&] {
        for (int i = 0; i < 3; ++i) {
          const DeviceRecord& r = rig->db[i];
          if (r.linkCount == 0 || r.timeStatusReply == 0) return false;
        }
        return rig->linkReader.recordsStored > 0 && !rig->linkReader.Busy();
      },
      20000));

  for (int i = 0; i < 3; ++i) {
    const DeviceRecord& r = rig->db[i];
    const sim::SimDevice& d = *rig.net.Device(r.id);
    SCOPED_TRACE(Id(r.id));
    EXPECT_EQ(r.category, d.category);
    EXPECT_EQ(r.subcategory, d.subcategory);
    EXPECT_EQ(r.engineVersion, d.engine);
    EXPECT_EQ(r.level, d.level);
    EXPECT_EQ(r.linkCount, static_cast<int>(d.Links().size()));
  }
  // Identity first, slot by slot; then engines; then status; the status
  // replies ask for the link tables.
  const std::vector<std::string> requests = rig.Requests();
  std::vector<std::string> expected;
  for (const char* kind : {"Catagory Request : ", "IEV Request : ", "Status Request : "}) {
    for (const InsteonId& id : {kDimmer, kRelay, kSwitch}) expected.push_back(kind + Id(id));
  }
  ASSERT_GE(requests.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(requests.begin(), requests.begin() + 9), expected);
}

// The wait after each kind of request, counted in steps from its send to the
// next request the polling sends.
TEST(Polling, WaitsAfterEachRequest) {
  PollRig rig(ThreeDevices());
  DeviceRecord& r = rig.AddRecord(kRelay);
  r.category = r.subcategory = 0;
  r.engineVersion = kEngineUnknown;
  rig.QuietStart();
  ASSERT_TRUE(rig.StepUntil([&] { return r.timeStatusReply != 0; }, 5000));
  const std::vector<int> identity = rig.StepsOf(kRelay, 0x10);
  const std::vector<int> version = rig.StepsOf(kRelay, 0x0D);
  const std::vector<int> status = rig.StepsOf(kRelay, 0x19);
  ASSERT_EQ(identity.size(), 1u);
  ASSERT_EQ(version.size(), 1u);
  ASSERT_EQ(status.size(), 1u);
  EXPECT_GE(version[0] - identity[0], kWaitAfterIdentity);
  EXPECT_GE(status[0] - version[0], kWaitAfterIdentity);

  // A second device is asked for its status no sooner than 20 steps after the first.
  rig.ClearSent();
  DeviceRecord& dimmer = rig.AddRecord(kDimmer);
  DeviceRecord& other = rig.AddRecord(kSwitch);
  ASSERT_TRUE(rig.StepUntil([&] { return dimmer.timeStatusReply != 0 && other.timeStatusReply != 0; }, 3000));
  ASSERT_EQ(rig.StepsOf(kDimmer, 0x19).size(), 1u);
  ASSERT_EQ(rig.StepsOf(kSwitch, 0x19).size(), 1u);
  EXPECT_GE(rig.StepsOf(kSwitch, 0x19)[0] - rig.StepsOf(kDimmer, 0x19)[0], kWaitAfterStatus);
}

// A device that never answers is asked once and left alone; CheckFlags clears
// its status tries after twelve hours and it is asked again.
TEST(Polling, UnansweringDeviceIsGivenUpUntilItsTriesAreCleared) {
  sim::House h = ThreeDevices();
  h.devices[1].deaf = true;
  PollRig rig(std::move(h));
  DeviceRecord& r = rig.AddRecord(kRelay);
  rig.QuietStart();
  ASSERT_TRUE(rig.StepUntil([&] { return r.get_statusTries == 1 && rig->queues.replyRing.Empty(); }, 2000));
  // Ten minutes on: the counter keeps it from being asked again.
  for (int i = 0; i < 4000; ++i) rig.Step();
  EXPECT_EQ(rig.SentTo(kRelay, 0x19).size(), 2u) << "one request, sent twice by its ring";
  EXPECT_EQ(r.get_statusTries, 1);
  EXPECT_EQ(r.noResponse, 1);

  // Half past midnight, half a day later: CheckFlags's hour.
  rig.clock.Set((rig.clock.Now() / 86400 + 1) * 86400 + 1800);
  CheckFlags(*rig);
  EXPECT_EQ(r.get_statusTries, 0);
  rig.ClearSent();
  ASSERT_TRUE(rig.StepUntil([&] { return !rig.SentTo(kRelay, 0x19).empty(); }, 500));
}

// One identification request that goes unanswered holds back everything else
// for that device, even after CheckFlags.
TEST(Polling, UnansweredIdentityIsNotAskedAgainNorFollowedUp) {
  sim::House h = ThreeDevices();
  h.devices[0].deaf = true;
  PollRig rig(std::move(h));
  DeviceRecord& r = rig.AddRecord(kDimmer);
  r.category = r.subcategory = 0;
  r.engineVersion = kEngineUnknown;
  rig.QuietStart();
  ASSERT_TRUE(rig.StepUntil([&] { return r.categoryTries == 1 && rig->queues.plainRing.Empty(); }, 2000));
  EXPECT_EQ(rig.SentTo(kDimmer, 0x10).size(), 2u) << "one request, sent twice by its ring";

  // Its links are wanted too, but nothing more is asked of it.
  r.aldbReadState = kReadWanted;
  rig.ClearSent();
  for (int i = 0; i < 3000; ++i) rig.Step();
  EXPECT_TRUE(rig.Sent().empty());
  EXPECT_EQ(r.categoryTries, 1);
  EXPECT_EQ(r.aldbReadState, kReadWanted);
  rig.clock.Set((rig.clock.Now() / 86400 + 1) * 86400 + 1800);
  CheckFlags(*rig);
  EXPECT_EQ(r.categoryTries, 1) << "CheckFlags leaves a single try alone";
}

TEST(Polling, NothingIsSentWithinThreeSecondsOfTheLastByteReceived) {
  PollRig rig(ThreeDevices());
  DeviceRecord& r = rig.AddRecord(kRelay);
  r.category = r.subcategory = 0;
  rig.AddRecord(kDimmer);
  rig.QuietStart();
  // The dimmer's button is pressed: its broadcast arrives now.
  rig.net.Press(kDimmer, 1, 0x11);
  ASSERT_TRUE(rig.StepUntil([&] { return rig->tick.lastReceiveTime != 0; }, 50));
  ASSERT_TRUE(rig.StepUntil([&] { return !rig.SentTo(kRelay, 0x10).empty(); }, 500));
  // The step that sent it ended just now; its pump came before the send.
  const Time sentAt = (rig.clock.NowMillis() - testing::kSimTickMillis) / 1000;
  EXPECT_GT(sentAt - rig->tick.lastReceiveTime, kPollQuietSeconds);
  // And no later than the fourth poll once the line is quiet (the polls ask for
  // an identity on every fourth, each followed by its wait), plus the ring's turn.
  const int64_t fourPollsMillis = 4 * (kWaitAfterStatus + 1) * testing::kSimTickMillis;
  EXPECT_LE((sentAt - rig->tick.lastReceiveTime) * 1000, (kPollQuietSeconds + 1) * 1000 + fourPollsMillis + 1000);
}

TEST(Polling, KeypadLedMaskGoesBeforeAnyOtherRequest) {
  sim::House h = ThreeDevices();
  h.devices.emplace_back(kKeypad, 0x01, 0x0C, 0x41, kEngineI2);
  h.devices.back().SetLinkAt(0, ModemLink(h));
  PollRig rig(std::move(h));
  DeviceRecord& unknown = rig.AddRecord(kRelay);
  unknown.category = unknown.subcategory = 0;
  DeviceRecord& keypad = rig.AddRecord(kKeypad);
  keypad.ledDirty = 1;
  keypad.groupStates = 0x05;
  rig.QuietStart();
  ASSERT_TRUE(rig.StepUntil([&] { return !rig.Sent().empty(); }, 100));
  const std::vector<uint8_t>& first = rig.Sent()[0];
  ASSERT_EQ(first.size(), 22u);
  EXPECT_EQ(InsteonId::FromBytes(&first[2]), kKeypad);
  EXPECT_EQ(first[6], 0x2E);
  EXPECT_EQ(first[7], 0x00);
  EXPECT_EQ(first[8], 0x00);
  EXPECT_EQ(first[9], 0x09);
  EXPECT_EQ(first[10], 0x05);
  EXPECT_EQ(keypad.ledDirty, 0);
}

struct DiscoveryCase {
  const char* name;
  bool enabled;
};

class Discovery : public ::testing::TestWithParam<DiscoveryCase> {};

// A device named only in another device's links: with discovery on it is
// identified and added to the modem as a responder of group 251; with it off
// it stays a record of group 0, never placed.
TEST_P(Discovery, DeviceSeenOnlyInLinksJoinsGroup251WhenEnabled) {
  sim::House h = ThreeDevices();
  h.devices.emplace_back(kHidden, 0x02, 0x2a, 0x43, kEngineI2);
  h.devices[0].SetLinkAt(2, sim::LinkEntry{0xE2, 2, kHidden, {0x03, 0x00, 0x02}});
  PollRig rig(std::move(h));
  rig->options.runFlags = GetParam().enabled ? kRunDiscovery : 0;
  DeviceRecord& dimmer = rig.AddRecord(kDimmer);
  dimmer.aldbReadState = kReadWanted;
  rig.AddRecord(kRelay);
  rig.QuietStart();

  ASSERT_TRUE(rig.StepUntil([&] { return rig->db.FindDevice(kHidden) >= 0; }, 3000)) << "found in the links";
  const int slot = rig->db.FindDevice(kHidden);
  EXPECT_EQ(rig->db[slot].linkFlags, 0);
  EXPECT_EQ(rig->db[slot].group, 0);
  for (int i = 0; i < 3000; ++i) rig.Step();

  const DeviceRecord& hidden = rig->db[slot];
  const sim::SimModem& modem = rig.net.Modem();
  const int held = modem.Find(251, kHidden, sim::kResponderSide);
  std::vector<std::vector<uint8_t>> adds;
  for (const auto& m : rig.Sent())
    if (m.size() == 11 && m[1] == 0x6F && m[2] == 0x41) adds.push_back(m);
  if (!GetParam().enabled) {
    EXPECT_EQ(hidden.group, 0);
    EXPECT_EQ(hidden.linkFlags, 0);
    EXPECT_LT(held, 0);
    EXPECT_TRUE(adds.empty());
    EXPECT_TRUE(rig.SentTo(kHidden, 0x10).empty()) << "not asked: it is not linked to the modem";
    return;
  }
  EXPECT_EQ(hidden.group, 251);
  EXPECT_EQ(hidden.linkFlags, 0xA2);
  EXPECT_EQ(hidden.category, 0x02) << "identified before it was placed";
  EXPECT_EQ(hidden.subcategory, 0x2a);
  ASSERT_EQ(adds.size(), 1u);
  const std::vector<uint8_t> expected = {0x02, 0x6F, 0x41, 0xA2, 0xFB, 0x2a, 0x10, 0x09, 0x02, 0x2a, 0x43};
  EXPECT_EQ(adds[0], expected);
  EXPECT_GE(held, 0) << "the modem holds it as a responder of group 251";
  EXPECT_FALSE(rig.SentTo(kHidden, 0x10).empty());
  const auto requests = rig.Requests();
  EXPECT_NE(std::find(requests.begin(), requests.end(), "Device discovery placed to Area 251  " + Id(kHidden)),
            requests.end());
  EXPECT_GE(rig->engine.discoveriesSinceSave, 1);
}

INSTANTIATE_TEST_SUITE_P(Switch, Discovery,
                         ::testing::Values(DiscoveryCase{"on", true}, DiscoveryCase{"off", false}),
                         [](const ::testing::TestParamInfo<DiscoveryCase>& info) {
                           return std::string(info.param.name);
                         });

// --- The pickers and senders on a table set by hand ------------------------------

TEST(PickLinkRead, EachPickRaisesTheStateAndShownLinksHoldTheReadBack) {
  struct Case {
    const char* name;
    uint8_t state, linksUpdated, categoryTries;
    bool identityKnown;
    int picked;  // 0: this record, -1: none
    uint8_t stateAfter;
  };
  const Case cases[] = {
      {"wanted: picked, raised", 1, 0, 0, true, 0, 2},
      {"third pick", 3, 0, 0, true, 0, 4},
      {"given up", 4, 0, 0, true, -1, 4},
      {"user asks: read again", 5, 0, 0, true, 0, 3},
      {"user asks, links not yet shown: counted only", 5, 2, 0, true, -1, 3},
      {"links not yet shown: counted only", 1, 2, 0, true, -1, 2},
      {"identity unanswered: left alone", 1, 0, 1, false, -1, 1},
      {"identity never asked: picked", 1, 0, 0, false, 0, 2},
      {"not wanted", 0, 0, 0, true, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TestRig rig;
    DeviceDatabase& db = rig->db;
    DeviceRecord& r = db.records[db.count++];
    r.linkFlags = 0xA2;
    r.id = kRelay;
    r.category = c.identityKnown ? 0x02 : 0;
    r.aldbReadState = c.state;
    r.linksUpdated = c.linksUpdated;
    r.categoryTries = c.categoryTries;
    EXPECT_EQ(PickLinkRead(*rig), c.picked);
    EXPECT_EQ(r.aldbReadState, c.stateAfter);
  }
}

TEST(Pickers, TheSpacingRuleStopsTheScanAtTheFirstCandidate) {
  testing::TestRig rig;
  DeviceDatabase& db = rig->db;
  for (uint8_t i = 0; i < 3; ++i) {
    DeviceRecord& r = db.records[db.count++];
    r.linkFlags = 0xA2;
    r.id = InsteonId::From(0x2a, 0x10, i);
  }
  db.records[0].category = 0x02;  // known: not a candidate for identity
  db.records[1].timeCategoryRequest = rig.clock.Now() - kRequestSpacingSeconds;
  EXPECT_EQ(PickCategoryRequest(*rig), -1) << "slot 1 was asked 180 s ago; slot 2 is not looked at";
  db.records[1].timeCategoryRequest = rig.clock.Now() - kRequestSpacingSeconds - 1;
  EXPECT_EQ(PickCategoryRequest(*rig), 1);

  // A stale record past the count is picked but the send side does not know it.
  db.records[1].category = db.records[2].category = 0x02;
  DeviceRecord& stale = db.records[7];
  stale.linkFlags = 0xA2;
  stale.id = InsteonId::From(0x2a, 0x10, 0x77);
  EXPECT_EQ(PickCategoryRequest(*rig), 7);
  SendCategoryRequest(*rig, stale);
  EXPECT_TRUE(rig->queues.plainRing.Empty() && rig->queues.replyRing.Empty());
}

TEST(SendStatusRequest, TheRequestsFollowTheKind) {
  struct Case {
    const char* name;
    uint8_t category, subcategory, engine;
    std::vector<std::pair<uint8_t, uint8_t>> sent;  // cmd1, cmd2 in order
  };
  const Case cases[] = {
      {"dimmer", 0x01, 0x20, kEngineI2, {{0x19, 0x00}}},
      {"I/O module", 0x07, 0x00, kEngineI2, {{0x19, 0x01}, {0x1F, 0x00}, {0x1F, 0x02}, {0x19, 0x00}}},
      {"category 3 subcategory 0", 0x03, 0x00, kEngineI2, {{0x19, 0x01}, {0x1F, 0x00}, {0x1F, 0x02}, {0x19, 0x00}}},
      {"energy meter", 0x09, 0x07, kEngineI2, {{0x82, 0x00}}},
      {"engine unknown: its version instead", 0x01, 0x20, kEngineUnknown, {{0x0D, 0x00}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TestRig rig;
    DeviceDatabase& db = rig->db;
    DeviceRecord& r = db.records[db.count++];
    r.linkFlags = 0xA2;
    r.id = kRelay;
    r.category = c.category;
    r.subcategory = c.subcategory;
    r.engineVersion = c.engine;
    r.versionTries = 3;
    SendStatusRequest(*rig, r);
    EXPECT_EQ(r.get_statusTries, 1);
    std::vector<std::pair<uint8_t, uint8_t>> queued;
    for (RetryRing* ring : {static_cast<RetryRing*>(&rig->queues.replyRing),
                            static_cast<RetryRing*>(&rig->queues.plainRing)}) {
      for (uint8_t i = ring->head; i != ring->tail; i = RingSlots::Next(i))
        queued.emplace_back(ring->slots[i].cmd1, ring->slots[i].cmd2);
    }
    // The two rings are listed one after the other; compare as sets of messages in ring order.
    std::sort(queued.begin(), queued.end());
    std::vector<std::pair<uint8_t, uint8_t>> expected = c.sent;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(queued, expected);
    if (c.engine == kEngineUnknown) {
      EXPECT_EQ(r.versionTries, 1);
      EXPECT_EQ(r.timeStatusRequest, 0);
    } else {
      EXPECT_EQ(r.timeStatusRequest, rig.clock.Now());
    }
  }
}

}  // namespace
}  // namespace quorvel

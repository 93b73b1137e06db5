// Link jobs against the simulated network: what ends up in the devices' own
// tables (read straight out of the simulator), what the database believes, and
// what the user is told.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/link_operations.h"
#include "link_rig.h"

namespace quorvel {
namespace {

using testing::Entry;
using testing::kSimModemId;
using testing::LinkNet;
using testing::Show;

const InsteonId kDimmer = InsteonId::From(0x20, 0x00, 0x01);  // i2 dimmer
const InsteonId kRelay = InsteonId::From(0x20, 0x00, 0x02);   // i1 on/off module
const InsteonId kKeypad = InsteonId::From(0x20, 0x00, 0x03);  // i2cs keypad
const InsteonId kOldDim = InsteonId::From(0x20, 0x00, 0x04);  // i1 dimmer

std::string Show(const LinkRecord& l) {
  sim::LinkEntry e = Entry(l.flags, l.group, l.id, l.data[0], l.data[1], l.data[2]);
  return Show(e);
}

// Slots of the database's records, by what they stand for.
struct Slots {
  int dimmer1, dimmer9, relay1, keypad1, oldDim1;
};

// The house every case starts from.
Slots BuildHouse(LinkNet& n) {
  n.AddSimDevice(kDimmer, 0x01, 0x20, sim::kEngineI2);
  n.AddSimDevice(kRelay, 0x02, 0x09, sim::kEngineI1);
  n.AddSimDevice(kKeypad, 0x01, 0x1C, sim::kEngineI2cs);
  n.AddSimDevice(kOldDim, 0x01, 0x00, sim::kEngineI1);
  n.Start();
  sim::SimDevice& d = n.Sim(kDimmer);
  d.SetLinkAt(0, Entry(0xA2, 1, kSimModemId, 0xFE, 0x1C, 0));
  d.SetLinkAt(1, Entry(0xA2, 3, kKeypad, 0xC0, 0x1C, 3));
  d.SetLinkAt(2, Entry(0xA2, 9, kSimModemId, 0xFE, 0x1C, 0));
  sim::SimDevice& s = n.Sim(kRelay);
  s.SetLinkAt(0, Entry(0xA2, 1, kSimModemId, 0xFF, 0x00, 0));
  s.SetLinkAt(1, Entry(0xA2, 1, kSimModemId, 0xFF, 0x00, 0));
  s.SetLinkAt(2, Entry(0xE2, 2, kSimModemId, 0x02, 0x00, 0));
  sim::SimDevice& k = n.Sim(kKeypad);
  k.SetLinkAt(0, Entry(0xA2, 1, kSimModemId, 0xFE, 0x1C, 0));
  k.SetLinkAt(1, Entry(0xE2, 3, kDimmer, 0x03, 0x00, 0));
  sim::SimDevice& o = n.Sim(kOldDim);
  o.SetLinkAt(0, Entry(0xA2, 1, kSimModemId, 0xFE, 0x1C, 0));
  o.SetLinkAt(1, Entry(0xA2, 7, kKeypad, 0x60, 0x1C, 0));
  for (const auto& [group, id] : std::vector<std::pair<uint8_t, InsteonId>>{
           {1, kDimmer}, {9, kDimmer}, {1, kRelay}, {1, kKeypad}, {1, kOldDim}}) {
    n.net->Modem().links.push_back(Entry(0xE2, group, id, 0, 0, 0));
  }
  Slots slots{};
  slots.dimmer1 = n.AddRecord(kDimmer, 1, kEngineI2);
  slots.dimmer9 = n.AddRecord(kDimmer, 9, kEngineI2);
  slots.relay1 = n.AddRecord(kRelay, 1, kEngineI1);
  slots.keypad1 = n.AddRecord(kKeypad, 1, kEngineI2cs);
  slots.oldDim1 = n.AddRecord(kOldDim, 1, kEngineI1);
  return slots;
}

// Every record of the device holds exactly what the device's table holds, and
// its link count reaches the last slot that was ever used.
void ExpectDatabaseMatchesDevice(LinkNet& n, const InsteonId& id) {
  const sim::SimDevice& d = n.Sim(id);
  int last = 0;
  for (int k = 0; k < kLinksPerDevice; ++k) {
    if (d.LinkAt(k).flags != 0) last = k + 1;
  }
  ForEachRecordOf(n.ctx->db, id, [&](int slot, DeviceRecord& r) {
    for (int k = 0; k < kLinksPerDevice; ++k) {
      EXPECT_EQ(Show(r.links[k]), Show(d.LinkAt(k))) << "record " << slot << " link slot " << k;
    }
    EXPECT_EQ(r.linkCount, last) << "record " << slot;
  });
}

struct Written {
  InsteonId device;
  int slot;
  sim::LinkEntry entry;
};

struct JobCase {
  const char* name;
  std::function<bool(LinkNet&, const Slots&)> prepare;
  std::vector<Written> written;
  std::vector<std::string> lines;  // General Activity, in order
  std::string firstProgress;
  bool editDisplay = false;
};

void PrintTo(const JobCase& c, std::ostream* os) { *os << c.name; }

class LinkJobKinds : public ::testing::TestWithParam<JobCase> {};

TEST_P(LinkJobKinds, WriteTheRecordsTheDatabaseThenShows) {
  const JobCase& c = GetParam();
  LinkNet n;
  const Slots slots = BuildHouse(n);
  n.ctx->linkOps.linkEditDisplay = c.editDisplay;
  std::vector<std::vector<sim::LinkEntry>> before;
  for (const sim::SimDevice& d : n.net->Devices()) {
    std::vector<sim::LinkEntry> t;
    for (int k = 0; k < kLinksPerDevice; ++k) t.push_back(d.LinkAt(k));
    before.push_back(t);
  }

  ASSERT_TRUE(c.prepare(n, slots));
  ASSERT_TRUE(n.RunToEnd()) << "the operation ends";

  // The records written, and nothing else in any device.
  for (size_t i = 0; i < n.net->Devices().size(); ++i) {
    const sim::SimDevice& d = n.net->Devices()[i];
    for (int k = 0; k < kLinksPerDevice; ++k) {
      sim::LinkEntry want = before[i][static_cast<size_t>(k)];
      for (const Written& w : c.written) {
        if (w.device == d.id && w.slot == k) want = w.entry;
      }
      EXPECT_EQ(Show(d.LinkAt(k)), Show(want)) << d.id.b[2] << " slot " << k;
    }
    ExpectDatabaseMatchesDevice(n, d.id);
  }
  EXPECT_EQ(n.ctx->linkOps.state.writesConfirmed, c.written.size());
  EXPECT_EQ(n.ctx->linkOps.state.writesFailed, 0u);
  EXPECT_EQ(n.LinkLines(), c.lines);
  ASSERT_FALSE(n.progressTexts.empty());
  EXPECT_EQ(n.progressTexts.front(), c.firstProgress);
}

const std::string kWait = " \n\n\t Please wait...";

INSTANTIATE_TEST_SUITE_P(
    AgainstTheSimulatedHouse, LinkJobKinds,
    ::testing::Values(
        JobCase{"DimmerToTheModemTakesTheFirstFreeSlot",
                [](LinkNet& n, const Slots& s) { return LinkDeviceToPlmGroup(*n.ctx, s.dimmer1, 5); },
                {{kDimmer, 3, Entry(0xA2, 5, kSimModemId, 0xFE, 0x1C, 0)}},
                {"Link 20.00.01 to PLM 1E.65.A2 group 5", "Linking 20.00.01 with 1E.65.A2 group 5"},
                "Linking Inteon Device... \n20.00.01, Group 5" + kWait},
        JobCase{"I1RelayToTheModemIsPokedWithRelayData",
                [](LinkNet& n, const Slots& s) { return LinkDeviceToPlmGroup(*n.ctx, s.relay1, 5); },
                {{kRelay, 3, Entry(0xA2, 5, kSimModemId, 0xFF, 0x00, 0)}},
                {"Link 20.00.02 to PLM 1E.65.A2 group 5", "Linking 20.00.02 with 1E.65.A2 group 5"},
                "Linking Inteon Device... \n20.00.02, Group 5" + kWait},
        JobCase{"DimmerMovesToAnotherComputerGroup",
                [](LinkNet& n, const Slots& s) { return LinkDeviceToComputerGroup(*n.ctx, s.dimmer9, 9, 12); },
                {{kDimmer, 2, Entry(0xA2, 12, kSimModemId, 0xFE, 0x1C, 0)}},
                {"Link 20.00.01 to Computer Group 12", "Linking 20.00.01 with 1E.65.A2 group 12"},
                "Linking Inteon Device... \n20.00.01, Group 9" + kWait},
        JobCase{"KeypadButtonToADimmerWritesBothSides",
                [](LinkNet& n, const Slots& s) {
                  return LinkControllerResponder(*n.ctx, s.keypad1, 4, s.dimmer1, 0x80);
                },
                {{kKeypad, 2, Entry(0xE2, 4, kDimmer, 0x04, 0x00, 0)},
                 {kDimmer, 3, Entry(0xA2, 4, kKeypad, 0x80, 0x1C, 0)}},
                {"Linking 20.00.03 with 20.00.01 group 4", "Linking 20.00.01 with 20.00.03 group 4"},
                "Linking Inteon Device... \n20.00.03, Group 4" + kWait},
        JobCase{"KeypadButtonToAnI1RelayGivesTheRelayFullOn",
                [](LinkNet& n, const Slots& s) {
                  return LinkControllerResponder(*n.ctx, s.keypad1, 5, s.relay1, 0x80);
                },
                {{kKeypad, 2, Entry(0xE2, 5, kRelay, 0x05, 0x00, 0)},
                 {kRelay, 3, Entry(0xA2, 5, kKeypad, 0xFF, 0x00, 0)}},
                {"Linking 20.00.03 with 20.00.02 group 5", "Linking 20.00.02 with 20.00.03 group 5"},
                "Linking Inteon Device... \n20.00.03, Group 5" + kWait},
        JobCase{"ResponderThatHoldsItsRecordGetsNoJob",
                [](LinkNet& n, const Slots& s) {
                  return LinkControllerResponder(*n.ctx, s.keypad1, 7, s.oldDim1, 0x80);
                },
                {{kKeypad, 2, Entry(0xE2, 7, kOldDim, 0x07, 0x00, 0)}},
                {"Linking 20.00.03 with 20.00.04 group 7"},
                "Linking Inteon Device... \n20.00.03, Group 7" + kWait},
        JobCase{"RemovingAPairMarksBothRecordsRemoved",
                [](LinkNet& n, const Slots& s) { return RemoveLinkPair(*n.ctx, 1, 3, s.dimmer1, s.keypad1, 1); },
                {{kDimmer, 1, Entry(0x02, 3, kKeypad, 0x03, 0x00, 0)},
                 {kKeypad, 1, Entry(0x02, 3, kDimmer, 0x00, 0x00, 0)}},
                {"UnLinking 20.00.01 with 20.00.03 group 3", "UnLinking 20.00.03 with 20.00.01 group 3"},
                "Linking Inteon Device... \n20.00.01, Group 3" + kWait},
        JobCase{"RemovingFromAnI1DeviceHitsOnlyItsRecord",
                [](LinkNet& n, const Slots& s) { return RemoveLinkPair(*n.ctx, 1, 7, s.oldDim1, s.keypad1, -1); },
                {{kOldDim, 1, Entry(0x02, 7, kKeypad, 0x07, 0x00, 0)}},
                {"UnLinking 20.00.04 with 20.00.03 group 7"},
                "Linking Inteon Device... \n20.00.04, Group 7" + kWait},
        JobCase{"OnLevelAndRampRateOnBothSidesKeepTheButtonByte",
                [](LinkNet& n, const Slots& s) {
                  return UpdateLink(*n.ctx, s.dimmer1, 1, 3, 0x40, 0x1F, 0xA2) &&
                         UpdateSecondLink(*n.ctx, s.keypad1, 1, 3, 0x03, 0x01, 0xE2);
                },
                {{kDimmer, 1, Entry(0xA2, 3, kKeypad, 0x40, 0x1F, 3)},
                 {kKeypad, 1, Entry(0xE2, 3, kDimmer, 0x03, 0x01, 0)}},
                {"Linking 20.00.01 with 20.00.03 group 3", "Linking 20.00.03 with 20.00.01 group 3"},
                "Updating Link Information... \nInteon Device  20.00.01, Group 3" + kWait, true},
        JobCase{"ModemLinkRemovalWritesEveryMatchingRecord",
                [](LinkNet& n, const Slots& s) {
                  RemovePlmLinkForDevice(*n.ctx, n.ctx->db[s.relay1]);
                  return true;
                },
                {{kRelay, 0, Entry(0x22, 0, kSimModemId, 0x00, 0x00, 0)},
                 {kRelay, 1, Entry(0x22, 0, kSimModemId, 0x00, 0x00, 0)}},
                {"UnLinking 20.00.02 with 1E.65.A2 group 0", "UnLinking 20.00.02 with 1E.65.A2 group 0"},
                "Unlinking... \nInteon Device  20.00.02, Group 0" + kWait, true}),
    [](const ::testing::TestParamInfo<JobCase>& info) { return std::string(info.param.name); });

TEST(ModemSide, RemovalDeletesTheModemRecordAndAddingPutsItBack) {
  LinkNet n;
  const Slots s = BuildHouse(n);
  auto modemHas = [&](uint8_t group, const InsteonId& id) {
    return n.net->Modem().Find(group, id, sim::kAnySide) >= 0;
  };
  RemovePlmLinkForDevice(*n.ctx, n.ctx->db[s.relay1]);
  ASSERT_TRUE(n.RunToEnd());
  EXPECT_FALSE(modemHas(1, kRelay));
  EXPECT_TRUE(modemHas(1, kDimmer)) << "only the relay's record went";

  DeviceRecord& r = n.ctx->db[s.relay1];
  r.categoryLearned = 1;
  r.get_statusTries = 4;
  AddPlmLinkForDevice(*n.ctx, r);
  ASSERT_TRUE(n.RunToEnd());
  EXPECT_TRUE(modemHas(1, kRelay));
  EXPECT_EQ(r.categoryLearned, 0);
  EXPECT_EQ(r.get_statusTries, 0);
}

TEST(FullLinkTable, GetsNoJobAndSaysSo) {
  LinkNet n;
  const Slots s = BuildHouse(n);
  sim::SimDevice& d = n.Sim(kDimmer);
  for (int k = 3; k < kWritableLinkSlots; ++k) d.SetLinkAt(k, Entry(0xA2, static_cast<uint8_t>(20 + k), kKeypad, 0, 0, 0));
  n.MirrorTable(s.dimmer1);
  n.MirrorTable(s.dimmer9);

  EXPECT_FALSE(LinkDeviceToPlmGroup(*n.ctx, s.dimmer1, 5));
  EXPECT_EQ(n.ctx->linkOps.state.jobCount, 0);
  EXPECT_FALSE(LinkOperationRunning(*n.ctx));
  EXPECT_EQ(n.LinkLines(), std::vector<std::string>{"No free link slot in 20.00.01"});

  // A full responder: the controller's side alone is written.
  ASSERT_TRUE(LinkControllerResponder(*n.ctx, s.keypad1, 6, s.dimmer1, 0x80));
  EXPECT_EQ(n.ctx->linkOps.state.jobCount, 1);
  ASSERT_TRUE(n.RunToEnd());
  EXPECT_EQ(Show(n.Sim(kKeypad).LinkAt(2)), Show(Entry(0xE2, 6, kDimmer, 6, 0, 0)));
  EXPECT_EQ(Show(d.LinkAt(32)), Show(sim::LinkEntry{})) << "slot 32 is never written";
  ExpectDatabaseMatchesDevice(n, kDimmer);
  ExpectDatabaseMatchesDevice(n, kKeypad);
}

TEST(ExistingLinks, AreNotWrittenAgain) {
  LinkNet n;
  const Slots s = BuildHouse(n);
  EXPECT_FALSE(LinkDeviceToPlmGroup(*n.ctx, s.dimmer1, 9));
  EXPECT_FALSE(LinkControllerResponder(*n.ctx, s.keypad1, 3, s.dimmer1, 0x80));
  EXPECT_EQ(n.LinkLines(), (std::vector<std::string>{"PLM Group exists in Responder",
                                                    "Link for 20.00.01 group 3 in Controller 20.00.03 exists."}));
  EXPECT_FALSE(LinkOperationRunning(*n.ctx));
  EXPECT_TRUE(n.Quiet()) << "nothing sent";
}

TEST(RunningOperation, RefusesANewOneUntilItEnds) {
  LinkNet n;
  const Slots s = BuildHouse(n);
  ASSERT_TRUE(LinkDeviceToPlmGroup(*n.ctx, s.dimmer1, 5));
  for (int i = 0; i < 5; ++i) n.Step();
  ASSERT_TRUE(LinkOperationRunning(*n.ctx));

  EXPECT_FALSE(LinkDeviceToPlmGroup(*n.ctx, s.relay1, 5));
  EXPECT_FALSE(RemoveLinkPair(*n.ctx, 1, 3, s.dimmer1, s.keypad1, 1));
  EXPECT_FALSE(UpdateLink(*n.ctx, s.dimmer1, 1, 3, 0, 0, 0xA2));
  EXPECT_FALSE(UpdateSecondLink(*n.ctx, s.keypad1, 1, 3, 0, 0, 0xE2));
  EXPECT_TRUE(RefuseWhileLinking(*n.ctx));
  EXPECT_EQ(n.notifier.messages, std::vector<std::string>{"Please wait for current operation to finish.: "});
  EXPECT_EQ(n.ctx->linkOps.state.jobs[0].target, kDimmer) << "the running job is left alone";

  ASSERT_TRUE(n.RunToEnd());
  EXPECT_FALSE(RefuseWhileLinking(*n.ctx));
  EXPECT_EQ(Show(n.Sim(kDimmer).LinkAt(3)), Show(Entry(0xA2, 5, kSimModemId, 0xFE, 0x1C, 0)));
  EXPECT_EQ(Show(n.Sim(kRelay).LinkAt(3)), Show(sim::LinkEntry{})) << "the refused job wrote nothing";
  const std::vector<std::string> lines = n.LinkLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Please wait for current operation to finish."), 4);
}

// A device that stops answering part way through an operation: the side it
// never took stays as it was, in the device and in the database.
TEST(StopsAnswering, TheResponderSideIsGivenUpAndTheDatabaseKeepsWhatTheDeviceHolds) {
  LinkNet n;
  const Slots s = BuildHouse(n);
  ASSERT_TRUE(LinkControllerResponder(*n.ctx, s.keypad1, 4, s.dimmer1, 0x80));
  int guard = 0;
  while (!n.ctx->linkOps.state.jobs[0].Idle() && guard++ < 2000) n.Step();
  ASSERT_EQ(n.ctx->linkOps.state.writesConfirmed, 1u);
  n.Sim(kDimmer).deaf = true;

  ASSERT_TRUE(n.RunToEnd()) << "given up by the counters, not stuck";
  EXPECT_EQ(Show(n.Sim(kKeypad).LinkAt(2)), Show(Entry(0xE2, 4, kDimmer, 4, 0, 0)));
  EXPECT_EQ(Show(n.Sim(kDimmer).LinkAt(3)), Show(sim::LinkEntry{}));
  ExpectDatabaseMatchesDevice(n, kKeypad);
  ExpectDatabaseMatchesDevice(n, kDimmer);
  EXPECT_EQ(n.ctx->linkOps.state.writesFailed, 1u);
  EXPECT_EQ(n.ctx->db[s.dimmer1].noResponse, 1);
  const std::vector<std::string> lines = n.LinkLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Linking 20.00.01 with 20.00.03 group 4"), 2) << "tried twice";
  EXPECT_EQ(lines.back(), "Link write to 20.00.01 at 0FE7 did not take: no answer to the read-back");
}

TEST(StopsAnswering, AnI1DeviceGoingDeafBetweenItsAddressAndItsPokes) {
  LinkNet n;
  const Slots s = BuildHouse(n);
  ASSERT_TRUE(LinkDeviceToPlmGroup(*n.ctx, s.oldDim1, 5));
  int guard = 0;
  while (!I1WriteInProgress(*n.ctx) && guard++ < 2000) n.Step();
  ASSERT_TRUE(I1WriteInProgress(*n.ctx));
  n.Sim(kOldDim).deaf = true;

  ASSERT_TRUE(n.RunToEnd(20000));
  EXPECT_EQ(Show(n.Sim(kOldDim).LinkAt(2)), Show(sim::LinkEntry{}));
  ExpectDatabaseMatchesDevice(n, kOldDim);
  EXPECT_EQ(n.LinkLines().back(), "Link write to 20.00.04 at 0FE8 did not take: no answer to the read-back");
}

TEST(WriteThatDoesNotTake, IsWrittenOnceMoreThenReportedAndTheDatabaseShowsTheDevice) {
  for (const bool i1 : {false, true}) {
    SCOPED_TRACE(i1 ? "i1 pokes" : "extended write");
    LinkNet n;
    const Slots s = BuildHouse(n);
    const InsteonId id = i1 ? kOldDim : kDimmer;
    n.Sim(id).writeProtected = true;
    ASSERT_TRUE(LinkDeviceToPlmGroup(*n.ctx, i1 ? s.oldDim1 : s.dimmer1, 5));
    ASSERT_TRUE(n.RunToEnd(20000));
    const std::vector<std::string> lines = n.LinkLines();
    const std::string writing = i1 ? "Linking 20.00.04 with 1E.65.A2 group 5" : "Linking 20.00.01 with 1E.65.A2 group 5";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), writing), 2);
    EXPECT_EQ(lines.back(), i1 ? "Link write to 20.00.04 at 0FE8 did not take: the device holds 00 00 00.00.00 there"
                               : "Link write to 20.00.01 at 0FE7 did not take: the device holds 00 00 00.00.00 there");
    ExpectDatabaseMatchesDevice(n, id);
    EXPECT_FALSE(n.ctx->db[i1 ? s.oldDim1 : s.dimmer1].links[i1 ? 2 : 3].InUse());
  }
}

// A job prepared before the device's engine was known holds the extended
// address; learned to be i1, the device is poked from the record's first byte.
TEST(UnknownEngine, IsAskedForThenTheRecordLandsOnItsOwnSlot) {
  LinkNet n;
  const Slots s = BuildHouse(n);
  n.ctx->db[s.oldDim1].engineVersion = kEngineUnknown;
  ASSERT_TRUE(LinkDeviceToPlmGroup(*n.ctx, s.oldDim1, 5));
  EXPECT_EQ(n.ctx->linkOps.state.jobs[0].addressLow, 0xEF);
  ASSERT_TRUE(n.RunToEnd(20000));
  EXPECT_EQ(n.ctx->db[s.oldDim1].engineVersion, kEngineI1) << "learned from the engine-version reply";
  EXPECT_GE(n.steps, kStepsAfterEngineQuery);
  EXPECT_EQ(Show(n.Sim(kOldDim).LinkAt(2)), Show(Entry(0xA2, 5, kSimModemId, 0xFE, 0x1C, 0)));
  EXPECT_EQ(Show(n.Sim(kOldDim).LinkAt(1)), Show(Entry(0xA2, 7, kKeypad, 0x60, 0x1C, 0)));
  EXPECT_EQ(Show(n.Sim(kOldDim).LinkAt(3)), Show(sim::LinkEntry{}));
  ExpectDatabaseMatchesDevice(n, kOldDim);
}

TEST(UnknownEngine, ThatStaysUnknownSkipsTheJob) {
  LinkNet n;
  const Slots s = BuildHouse(n);
  n.ctx->db[s.oldDim1].engineVersion = kEngineUnknown;
  n.Sim(kOldDim).deaf = true;
  ASSERT_TRUE(LinkDeviceToPlmGroup(*n.ctx, s.oldDim1, 5));
  ASSERT_TRUE(n.RunToEnd(20000));
  EXPECT_EQ(n.LinkLines().back(), "Link write to 20.00.04 skipped: its Insteon engine is not known");
  ExpectDatabaseMatchesDevice(n, kOldDim);
}

// A table the database never read looks empty; the slots are read before a new
// record goes in, so the device keeps every record it had.
TEST(UnreadTable, KeepsItsRecordsAndTheDatabaseLearnsThem) {
  for (const bool i1 : {false, true}) {
    SCOPED_TRACE(i1 ? "i1" : "i2");
    LinkNet n;
    const InsteonId id = InsteonId::From(0x40, 0x00, 0x01);
    n.AddSimDevice(id, 0x01, 0x20, i1 ? sim::kEngineI1 : sim::kEngineI2);
    n.Start();
    sim::SimDevice& d = n.Sim(id);
    d.SetLinkAt(0, Entry(0xA2, 1, kSimModemId, 0xFE, 0x1C, 0));
    d.SetLinkAt(1, Entry(0xA2, 3, kKeypad, 0xC0, 0x1C, 3));
    d.SetLinkAt(2, Entry(0xA2, 9, kSimModemId, 0xFE, 0x1C, 0));
    const int slot = n.AddRecord(id, 30, i1 ? kEngineI1 : kEngineI2, /*mirrorTable=*/false);
    ASSERT_TRUE(LinkDeviceToPlmGroup(*n.ctx, slot, 5));
    EXPECT_EQ(n.ctx->linkOps.state.jobs[0].linkSlot, 0) << "the database thinks slot 0 is free";
    ASSERT_TRUE(n.RunToEnd(20000));
    EXPECT_EQ(Show(d.LinkAt(0)), Show(Entry(0xA2, 1, kSimModemId, 0xFE, 0x1C, 0)));
    EXPECT_EQ(Show(d.LinkAt(3)), Show(Entry(0xA2, 5, kSimModemId, 0xFE, 0x1C, 0)));
    EXPECT_EQ(Show(n.ctx->db[slot].links[3]), Show(d.LinkAt(3)));
    EXPECT_EQ(Show(n.ctx->db[slot].links[1]), Show(d.LinkAt(1)));
    EXPECT_EQ(n.ctx->db[slot].linkCount, 4);
    EXPECT_EQ(n.ctx->linkOps.state.writesFailed, 0u);

    // A record the device already holds is found, not written twice.
    d.SetLinkAt(4, Entry(0xA2, 6, kSimModemId, 0xFE, 0x1C, 0));
    const int again = slot;
    const std::vector<std::string> before = n.LinkLines();
    ASSERT_TRUE(LinkDeviceToPlmGroup(*n.ctx, again, 6));
    ASSERT_TRUE(n.RunToEnd(20000));
    EXPECT_EQ(n.LinkLines().size(), before.size() + 1) << "only the Link line; nothing was written";
    EXPECT_EQ(Show(d.LinkAt(5)), Show(sim::LinkEntry{}));
    EXPECT_EQ(Show(n.ctx->db[again].links[4]), Show(d.LinkAt(4)));
  }
}

// A table never read whose first slot does not answer its check: the job ends
// with a line and the device keeps the record it holds there. A table that was
// read (here: an empty one) is written after the same silence.
TEST(UnreadTable, ASlotThatDoesNotAnswerIsNotWrittenBlind) {
  for (const bool i1 : {false, true}) {
    SCOPED_TRACE(i1 ? "i1" : "i2");
    LinkNet n;
    const InsteonId id = InsteonId::From(0x40, 0x00, 0x02);
    n.AddSimDevice(id, 0x01, 0x20, i1 ? sim::kEngineI1 : sim::kEngineI2);
    n.Start();
    sim::SimDevice& d = n.Sim(id);
    d.SetLinkAt(0, Entry(0xA2, 3, kKeypad, 0xC0, 0x1C, 3));
    for (uint16_t a = 0x0FF8; a <= 0x0FFF; ++a) d.loseAnswers[a] = 1000;
    const int slot = n.AddRecord(id, 30, i1 ? kEngineI1 : kEngineI2, /*mirrorTable=*/false);
    ASSERT_TRUE(LinkDeviceToPlmGroup(*n.ctx, slot, 5));
    EXPECT_TRUE(n.ctx->linkOps.state.jobs[0].tableUnread);
    ASSERT_TRUE(n.RunToEnd(20000));
    EXPECT_EQ(Show(d.LinkAt(0)), Show(Entry(0xA2, 3, kKeypad, 0xC0, 0x1C, 3))) << "the device's first link stays";
    EXPECT_EQ(n.LinkLines().back(), "Link write to 40.00.02 skipped: its link table could not be read");
    EXPECT_EQ(n.ctx->linkOps.state.writesFailed, 1u);

    // Once its table was read, the slot the reader saw free is written, silence or not.
    n.ctx->linkReader.NoteTableRead(id);
    d.SetLinkAt(0, sim::LinkEntry{});
    ASSERT_TRUE(LinkDeviceToPlmGroup(*n.ctx, slot, 5));
    EXPECT_FALSE(n.ctx->linkOps.state.jobs[0].tableUnread);
    ASSERT_TRUE(n.RunToEnd(20000));
    EXPECT_EQ(Show(d.LinkAt(0)), Show(Entry(0xA2, 5, kSimModemId, 0xFE, 0x1C, 0)));
  }
}

// A device taken out of its only group while its record is written (leaving
// the discovery area): its record is no longer in use and its mirror goes
// stale, yet the slot check moves on past each used slot and the job ends.
TEST(SlotCheck, MovesOnWhenTheDevicesRecordLeftItsGroup) {
  LinkNet n;
  const Slots s = BuildHouse(n);
  DeviceRecord& r = n.ctx->db[s.relay1];
  for (LinkRecord& l : r.links) l = LinkRecord{};
  r.linkCount = 0;
  n.ctx->linkReader.NoteTableRead(kRelay);
  ASSERT_TRUE(LinkDeviceToPlmGroup(*n.ctx, s.relay1, 5));
  r.linkFlags = kRemovedRecordFlags;
  ASSERT_TRUE(n.RunToEnd(20000)) << "the check does not read slot 0 for ever";
  EXPECT_EQ(Show(n.Sim(kRelay).LinkAt(3)), Show(Entry(0xA2, 5, kSimModemId, 0xFF, 0x00, 0)));
  EXPECT_EQ(Show(n.Sim(kRelay).LinkAt(0)), Show(Entry(0xA2, 1, kSimModemId, 0xFF, 0x00, 0)));
}

// The ids and addresses of the jobs a preparer leaves, without running them.
TEST(Preparers, AddressesAndRecordsOfTheJobs) {
  LinkNet n;
  const Slots s = BuildHouse(n);
  const LinkJobs& st = n.ctx->linkOps.state;

  ASSERT_TRUE(LinkDeviceToPlmGroup(*n.ctx, s.dimmer1, 5));
  EXPECT_EQ(st.jobs[0].addressHigh, 0x0F);
  EXPECT_EQ(st.jobs[0].addressLow, 0xE7) << "slots 0..2 in use: slot 3 of an i2 device";
  ResetLinkJobs(*n.ctx);

  ASSERT_TRUE(LinkDeviceToPlmGroup(*n.ctx, s.relay1, 5));
  EXPECT_EQ(st.jobs[0].addressLow, 0xE0) << "slot 3 of an i1 device";
  EXPECT_EQ(st.jobs[0].engine, kEngineI1);
  ResetLinkJobs(*n.ctx);

  // A link whose stored address was never read is rewritten at its slot's address.
  n.ctx->db[s.dimmer1].links[1].address = 0;
  ASSERT_TRUE(UpdateLink(*n.ctx, s.dimmer1, 1, 3, 0x40, 0x1F, 0xA2));
  EXPECT_EQ(st.jobs[0].addressLow, 0xF7);
  EXPECT_EQ(st.jobs[0].record[0], 0xA2) << "flags | 0x20";
  EXPECT_EQ(st.jobs[0].record[7], 3) << "the link's own data 3";
  ResetLinkJobs(*n.ctx);

  EXPECT_FALSE(RemoveLinkPair(*n.ctx, -1, 3, s.dimmer1, s.keypad1, 1));
  EXPECT_FALSE(RemoveLinkPair(*n.ctx, 1, 3, s.dimmer1, -1, 1));
  EXPECT_FALSE(RemoveLinkPair(*n.ctx, 40, 3, s.dimmer1, s.keypad1, 1)) << "a link slot out of range";
  EXPECT_FALSE(LinkDeviceToPlmGroup(*n.ctx, 400, 5)) << "a device slot past the count";
  EXPECT_FALSE(LinkOperationRunning(*n.ctx));
}

TEST(WriteLine, NamesTheWirelessKindsWayOfTakingIt) {
  struct Case {
    uint8_t category, subcategory;
    std::string line;
  };
  const std::vector<Case> cases = {
      {0x00, 0x05, "Linking 30.00.01 with 1E.65.A2 group 5, press dim button"},
      {0x00, 0x12, "Linking 30.00.01 with 1E.65.A2 group 5, press dim button"},
      {0x10, 0x01, "Linking 30.00.01 with 1E.65.A2 group 5, activate wireless device"},
      {0x01, 0x20, "Linking 30.00.01 with 1E.65.A2 group 5"},
  };
  const InsteonId id = InsteonId::From(0x30, 0x00, 0x01);
  for (const Case& c : cases) {
    LinkNet n;
    n.AddSimDevice(id, c.category, c.subcategory, sim::kEngineI2cs);
    n.Start();
    const int slot = n.AddRecord(id, 1, kEngineI2cs);
    // An i2cs device refuses a modem it is not linked to: its empty table counts
    // as read, so the write goes out rather than waiting for a slot check.
    n.ctx->linkReader.NoteTableRead(id);
    ASSERT_TRUE(LinkDeviceToPlmGroup(*n.ctx, slot, 5));
    ASSERT_TRUE(n.RunToEnd());
    const std::vector<std::string> lines = n.LinkLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], c.line);
  }
}

// Each prepared write carries a ticket, by which a window follows what became of it.
TEST(Tickets, SayWhetherTheirWriteWasConfirmed) {
  LinkNet n;
  const Slots s = BuildHouse(n);
  ASSERT_TRUE(UpdateLink(*n.ctx, s.dimmer1, 1, 3, 0x40, 0x1C, 0xA2));
  const std::vector<uint32_t> taken = PreparedTickets(*n.ctx);
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(LinkJobOutcome(*n.ctx, taken[0]), LinkWriteOutcome::kPending);
  ASSERT_TRUE(n.RunToEnd());
  EXPECT_EQ(LinkJobOutcome(*n.ctx, taken[0]), LinkWriteOutcome::kConfirmed);

  n.Sim(kDimmer).writeProtected = true;
  ASSERT_TRUE(UpdateLink(*n.ctx, s.dimmer1, 1, 3, 0x20, 0x1C, 0xA2));
  const std::vector<uint32_t> refused = PreparedTickets(*n.ctx);
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_NE(refused[0], taken[0]);
  ASSERT_TRUE(n.RunToEnd());
  EXPECT_EQ(LinkJobOutcome(*n.ctx, refused[0]), LinkWriteOutcome::kFailed);
  EXPECT_EQ(LinkJobOutcome(*n.ctx, taken[0]), LinkWriteOutcome::kConfirmed) << "still known";

  // Both halves of a pair have their own; a reset fails them, and a ticket is never handed out twice.
  ASSERT_TRUE(RemoveLinkPair(*n.ctx, 1, 3, s.dimmer1, s.keypad1, 1));
  const std::vector<uint32_t> pair = PreparedTickets(*n.ctx);
  ASSERT_EQ(pair.size(), 2u);
  EXPECT_NE(pair[0], pair[1]);
  ResetLinkJobs(*n.ctx);
  for (const uint32_t t : pair) EXPECT_EQ(LinkJobOutcome(*n.ctx, t), LinkWriteOutcome::kFailed);
  ASSERT_TRUE(UpdateLink(*n.ctx, s.dimmer1, 1, 3, 0x20, 0x1C, 0xA2));
  EXPECT_GT(PreparedTickets(*n.ctx).at(0), pair[1]);
  EXPECT_EQ(LinkJobOutcome(*n.ctx, 0), LinkWriteOutcome::kFailed);
}

// A link slot from a list that no longer matches the table touches nothing.
TEST(UpdateBounds, ASlotOutsideTheTableChangesNothing) {
  for (const int slot : {-1, 33, 40, 1000}) {
    LinkNet n;
    const Slots s = BuildHouse(n);
    DeviceRecord before;
    std::memcpy(&before, &n.ctx->db[s.dimmer1], sizeof before);
    EXPECT_FALSE(UpdateLink(*n.ctx, s.dimmer1, slot, 3, 1, 2, 0xA2)) << slot;
    EXPECT_FALSE(UpdateSecondLink(*n.ctx, s.dimmer1, slot, 3, 1, 2, 0xA2)) << slot;
    EXPECT_EQ(std::memcmp(&before, &n.ctx->db[s.dimmer1], sizeof before), 0) << slot;
    EXPECT_FALSE(LinkOperationRunning(*n.ctx)) << slot;
  }
}

}  // namespace
}  // namespace quorvel

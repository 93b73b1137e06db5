// The engine's start-up against the simulated modem, in virtual time: it finds
// the modem, configures it, reads its link table into the device table, merges
// the stored details and settles into steady running; a save reads it all again.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "config/config_files.h"
#include "engine/context.h"
#include "engine/network_engine.h"
#include "sim/house_file.h"
#include "sim/sim_network.h"
#include "sim/sim_port.h"
#include "support/test_rig.h"

namespace quorvel {
namespace {

constexpr int kTick = 160;

// Counts what the engine shows of its read of the modem's table.
class ProgressNotifier : public testing::RecordingNotifier {
 public:
  void ProgressBegin(std::string_view, int total) override {
    ++begun;
    beginTotal = total;
  }
  void ProgressStep(int done, std::string_view) override { lastDone = done, ++steps; }
  void ProgressEnd() override { ++ended; }
  int begun = 0, beginTotal = -1, steps = 0, lastDone = 0, ended = 0;
};

class EngineOnSimulator : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::House house;
    std::string error;
    ASSERT_TRUE(sim::LoadHouseFile(std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt", house, error))
        << error;
    net_ = std::make_unique<sim::SimNetwork>(clock_, std::move(house));
    port_ = std::make_unique<sim::SimPort>(*net_, 1);
    ctx_ = std::make_unique<Context>(clock_, *port_, files_, notifier_);
    Silence(ctx_->diagnostics);
    ctx_->options.comPort = 1;
    WireConfigFiles(*ctx_);
  }

  Context& ctx() { return *ctx_; }

  // One tick as the program runs it: search, receive, one engine step.
  void Tick() {
    PortSearch(ctx());
    if (ctx().framer.PumpReceive(ctx())) ctx().tick.lastReceiveTime = clock_.Now();
    const int before = ctx().engine.engineState;
    EngineStep(ctx());
    const int after = ctx().engine.engineState;
    if (after != before || states_.empty()) states_.push_back(after);
    clock_.AdvanceMillis(kTick);
  }
  // Ticks until the engine is in `state`; false when it did not get there.
  bool RunUntilState(int state, int maxTicks = 3000) {
    for (int i = 0; i < maxTicks; ++i) {
      if (ctx().engine.engineState == state) return true;
      Tick();
    }
    return ctx().engine.engineState == state;
  }
  int CountActivity(const std::string& text) {
    int n = 0;
    for (const LogLine& line : ctx().log.Lines(LogChannel::GeneralActivity))
      if (line.text.size() >= text.size() && line.text.compare(line.text.size() - text.size(), text.size(), text) == 0)
        ++n;
    return n;
  }
  // The (group, id) pairs the modem holds: one device record each.
  std::set<std::pair<int, uint32_t>> ModemLinks() {
    std::set<std::pair<int, uint32_t>> out;
    for (const sim::LinkEntry& e : net_->Modem().links) out.insert({e.group, e.id.Value()});
    return out;
  }

  TestClock clock_{1300000000};
  std::unique_ptr<sim::SimNetwork> net_;
  std::unique_ptr<sim::SimPort> port_;
  testing::MemoryFileSystem files_;
  ProgressNotifier notifier_;
  std::unique_ptr<Context> ctx_;
  std::vector<int> states_;
};

TEST_F(EngineOnSimulator, WalksTheStatesInOrderAndReadsTheModemTable) {
  ASSERT_TRUE(RunUntilState(kEngineSteady));
  EXPECT_EQ(states_, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, kEngineSteady}));

  EXPECT_EQ(net_->Modem().config & 0x40, 0x40) << "the modem was put into monitor mode";
  const auto links = ModemLinks();
  ASSERT_EQ(ctx().db.count, links.size());
  for (const auto& [group, id] : links)
    EXPECT_GE(ctx().db.FindDeviceInGroup(static_cast<uint8_t>(group), InsteonId::FromValue(id)), 0)
        << "group " << group << " id " << std::hex << id;
  // A record the modem holds carries its in-use flag and, first for its id, the
  // device's kind from the link data.
  const int kitchen = ctx().db.FindDeviceInGroup(1, InsteonId::From(0x2a, 0x10, 0x01));
  ASSERT_GE(kitchen, 0);
  EXPECT_TRUE(ctx().db[kitchen].InUse());
  EXPECT_EQ(ctx().db[kitchen].category, 0x01);
  EXPECT_EQ(ctx().db[kitchen].subcategory, 0x20);

  EXPECT_EQ(CountActivity("Reading PLM device Links."), 1);
  EXPECT_EQ(CountActivity("Loading Device Data., " + std::to_string(links.size()) + " device links from PLM"), 1);
  EXPECT_FALSE(ctx().engine.plmTableReading);
  // One progress step per record the modem reported after the first.
  EXPECT_EQ(notifier_.begun, 1);
  EXPECT_EQ(notifier_.ended, 1);
  EXPECT_EQ(notifier_.steps, static_cast<int>(net_->Modem().links.size()));
  EXPECT_EQ(ctx().engine.plmTableReads, 1u);
}

TEST_F(EngineOnSimulator, MergesTheStoredDetailsAndOpensTheSavingGateOnlyThen) {
  // What the data file kept: a name, the engine version and two links, one of
  // them to a device the modem has no link with.
  DeviceRecord& stored = ctx().loaded.records[0];
  std::memset(&stored, 0, sizeof stored);
  stored.linkFlags = 0x00;  // the live flags must win
  stored.group = 1;
  stored.id = InsteonId::From(0x2a, 0x10, 0x01);
  std::strcpy(stored.name, "Kitchen Ceiling");
  stored.category = 0x01;
  stored.subcategory = 0x20;
  stored.engineVersion = kEngineI2cs;
  stored.versionTries = 7;
  stored.linkCount = 2;
  auto link = [&](int slot, uint8_t flags, const InsteonId& other) {
    stored.links[slot].flags = flags;
    stored.links[slot].group = 1;
    stored.links[slot].id = other;
    stored.links[slot].address = static_cast<uint32_t>(0x0FFF - 8 * slot);
  };
  link(0, 0xA2, InsteonId::From(0x1e, 0x65, 0xa2));
  link(1, 0xE2, InsteonId::From(0x33, 0x44, 0x55));
  ctx().loaded.count = 1;

  ASSERT_TRUE(RunUntilState(5));
  EXPECT_EQ(ctx().db.dbFlags & kDbMerged, 0);
  ASSERT_TRUE(RunUntilState(kEngineSteady));
  EXPECT_EQ(ctx().db.dbFlags & kDbMerged, kDbMerged);
  EXPECT_TRUE(ctx().refresh.tablesMerged);
  EXPECT_EQ(notifier_.beginTotal, 1) << "the progress runs to the stored device count";

  const int r = ctx().db.FindDeviceInGroup(1, InsteonId::From(0x2a, 0x10, 0x01));
  ASSERT_GE(r, 0);
  EXPECT_STREQ(ctx().db[r].name, "Kitchen Ceiling");
  EXPECT_EQ(ctx().db[r].linkFlags & kRecordInUse, kRecordInUse);
  EXPECT_EQ(ctx().db[r].engineVersion, kEngineI2cs);
  EXPECT_EQ(ctx().db[r].versionTries, 0);
  EXPECT_EQ(ctx().db[r].linkCount, 2);
  const int found = ctx().db.FindDevice(InsteonId::From(0x33, 0x44, 0x55));
  ASSERT_GE(found, 0) << "a device named only in a stored link joins the table";
  EXPECT_EQ(ctx().db[found].group, 0);

  // A second read closes the gate while the table is being rebuilt: a save then
  // keeps the good file instead of writing a partial table over it.
  ctx().engine.engineState = 0;
  ASSERT_TRUE(RunUntilState(5));
  EXPECT_EQ(ctx().db.dbFlags & kDbMerged, 0);
  EXPECT_TRUE(SaveAll(ctx()).dataGated);
  ASSERT_TRUE(RunUntilState(kEngineSteady));
  EXPECT_EQ(ctx().db.dbFlags & kDbMerged, kDbMerged);
}

TEST_F(EngineOnSimulator, AutoSaveSavesAndReadsTheModemTableAgain) {
  ASSERT_TRUE(RunUntilState(kEngineSteady));
  const int kitchen = ctx().db.FindDeviceInGroup(1, InsteonId::From(0x2a, 0x10, 0x01));
  ASSERT_GE(kitchen, 0);
  std::strcpy(ctx().db[kitchen].name, "Renamed Since Start");
  ctx().engine.autoSaveCounter = 6;

  // The line must have been quiet for two minutes.
  ctx().tick.lastReceiveTime = clock_.Now() - 30;
  EXPECT_TRUE(AutoSaveStep(ctx())) << "changes wait for quiet, and the polling step ends";
  EXPECT_EQ(CountActivity("Saving plm_aldb, events"), 0);
  EXPECT_EQ(ctx().engine.engineState, kEngineSteady);

  ctx().tick.lastReceiveTime = clock_.Now() - kAutoSaveQuietSeconds;
  EXPECT_TRUE(AutoSaveStep(ctx()));
  EXPECT_EQ(CountActivity("Saving plm_aldb, events"), 1);
  EXPECT_EQ(ctx().engine.engineState, 0);
  EXPECT_EQ(ctx().engine.autoSaveCounter, 0);
  EXPECT_FALSE(AutoSaveStep(ctx())) << "nothing left to save";

  ASSERT_TRUE(RunUntilState(kEngineSteady));
  EXPECT_EQ(CountActivity("Reading PLM device Links."), 2);
  EXPECT_EQ(ctx().engine.plmTableReads, 2u);
  const int again = ctx().db.FindDeviceInGroup(1, InsteonId::From(0x2a, 0x10, 0x01));
  ASSERT_GE(again, 0);
  EXPECT_STREQ(ctx().db[again].name, "Renamed Since Start") << "the saved details were merged again";
  for (const auto& [group, id] : ModemLinks())
    EXPECT_GE(ctx().db.FindDeviceInGroup(static_cast<uint8_t>(group), InsteonId::FromValue(id)), 0);
}

}  // namespace
}  // namespace quorvel

// The run summary's census of the table and the settled test of --until-idle.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "config/config_files.h"
#include "engine/context.h"
#include "engine/link_watch.h"
#include "engine/main_tick.h"
#include "engine/network_engine.h"
#include "engine/run_summary.h"
#include "plm/serial_link.h"
#include "sim/house_file.h"
#include "sim/sim_network.h"
#include "sim/sim_port.h"
#include "support/memory_file_system.h"
#include "support/test_rig.h"

namespace quorvel {
namespace {

using testing::TestRig;

DeviceRecord& Add(TestRig& rig, uint8_t group, uint32_t id, uint8_t flags) {
  DeviceRecord& r = rig->db.records[rig->db.count++];
  r.linkFlags = flags;
  r.group = group;
  r.id = InsteonId::FromValue(id);
  return r;
}

void Learned(DeviceRecord& r, uint8_t category, uint8_t subcategory, uint8_t engine, int links) {
  r.category = category;
  r.subcategory = subcategory;
  r.firmware = 0x41;
  r.engineVersion = engine;
  r.timeLinksRead = links >= 0 ? 1300000000 : 0;
  r.aldbReadState = links >= 0 ? kReadNone : kReadWanted;
  r.linkCount = static_cast<uint8_t>(links > 0 ? links : 0);
  for (int k = 0; k < links; ++k) {
    r.links[k].flags = 0xA2;
    r.links[k].id = InsteonId::FromValue(0x330000 + k);
  }
}

class Census : public ::testing::Test {
 protected:
  void SetUp() override {
    rig->db.plm.plmFound = 1;
    rig->engine.engineState = kEngineSteady;
    // A dimmer with two records (groups 1 and 251), the same on both.
    Learned(Add(rig, 1, 0x2a1001, 0xA2), 0x01, 0x20, kEngineI2cs, 3);
    Learned(Add(rig, 251, 0x2a1001, 0xA2), 0x01, 0x20, kEngineI2cs, 3);
    // An i1 switch, read, with an empty table.
    Learned(Add(rig, 1, 0x2a1002, 0xA2), 0x02, 0x09, kEngineI1, 0);
    // A motion sensor that was never read: wireless, so not waited for.
    Learned(Add(rig, 1, 0x2a1003, 0xA2), 0x10, 0x01, kEngineUnknown, -1);
    // A device known only from a link.
    Add(rig, 0, 0x330000, 0x00);
  }
  TestRig rig;
};

TEST_F(Census, CountsEachDeviceOnceWhateverItsRecords) {
  const NetworkCensus c = TakeCensus(*rig);
  EXPECT_EQ(c.devices, 4);
  EXPECT_EQ(c.linkedToModem, 3);
  EXPECT_EQ(c.kindKnown, 3);
  EXPECT_EQ(c.identified, 2) << "the motion sensor's engine is not known yet";
  EXPECT_EQ(c.firmwareKnown, 3);
  EXPECT_EQ(c.engineKnown, 2);
  EXPECT_EQ(c.engineI1, 1);
  EXPECT_EQ(c.engineI2cs, 1);
  EXPECT_EQ(c.linkTablesRead, 2);
  EXPECT_EQ(c.linksStored, 3);
  EXPECT_EQ(c.discoveryMembers, 1);
  EXPECT_EQ(c.poweredOutstanding, 0);
  EXPECT_TRUE(NetworkSettled(*rig));

  const std::string text = RunSummary(*rig);
  EXPECT_NE(text.find("  devices        4 (3 linked to the modem, 1 known only from links)"), std::string::npos)
      << text;
  EXPECT_NE(text.find("  link tables    2 read, 3 links stored"), std::string::npos) << text;
  EXPECT_NE(text.find("  group 251      1 members"), std::string::npos) << text;
}

TEST_F(Census, NotSettledWhileAnythingIsLeftToLearnOrSend) {
  struct Case {
    const char* what;
    void (*change)(Context&);
  };
  const Case cases[] = {
      {"a powered device's engine unknown", [](Context& c) { c.db.records[2].engineVersion = 0; }},
      {"a powered device's table unread", [](Context& c) { c.db.records[2].aldbReadState = kReadWanted; }},
      {"a powered device's kind unknown", [](Context& c) { c.db.records[2].category = 0, c.db.records[2].subcategory = 0; }},
      {"the engine starting up", [](Context& c) { c.engine.engineState = 5; }},
      {"the modem not found", [](Context& c) { c.db.plm.plmFound = 0; }},
      {"a modem command queued", [](Context& c) {
         const uint8_t get[1] = {0x73};
         EnqueueModemCommand(c, get, 1);
       }},
      {"the link reader busy", [](Context& c) { c.linkReader.active = 1; }},
      {"a device found in links waits for discovery", [](Context& c) { c.options.runFlags |= kRunDiscovery; }},
      {"a read device lacks its link to the modem, repair on", [](Context& c) {
         c.options.runFlags |= kRunLinkWatchRepair;
         c.db.plm.plmId = InsteonId::FromValue(0x1e65a2);
         c.db.records[2].linkCount = 1;
         c.db.records[2].links[0].flags = 0xA2;
         c.db.records[2].links[0].group = 1;
         c.db.records[2].links[0].id = InsteonId::FromValue(0x2a1001);
       }},
  };
  for (const Case& k : cases) {
    TestRig fresh;
    Context& c = *fresh;
    c.db = rig->db;
    c.engine.engineState = kEngineSteady;
    c.options.runFlags = 0;
    ASSERT_TRUE(NetworkSettled(c));
    k.change(c);
    EXPECT_FALSE(NetworkSettled(c)) << k.what;
  }
}

TEST_F(Census, ProgressSaysWhatTheEngineDoesAndHowFarItIs) {
  struct Case {
    const char* what;
    void (*change)(TestRig&);
    std::string text;
  };
  const std::string counts = " - 2 of 4 devices identified, 2 link tables read";
  const Case cases[] = {
      {"the user disconnected", [](TestRig& r) { r->options.userDisconnect = 1; }, kProgressDisconnected},
      {"no port open yet", [](TestRig&) {}, "Searching for the modem"},
      {"a port open that has not answered", [](TestRig&) {},
       "Searching for the modem: waiting for an answer on fake1"},
      {"setting the modem up", [](TestRig& r) { r->engine.engineState = 2; }, "Setting up the modem"},
      {"reading the modem's table",
       [](TestRig& r) {
         r->engine.engineState = 5;
         r->engine.plmTableReading = true;
       },
       "Reading the modem's link table: 5 links"},
      {"merging the stored details", [](TestRig& r) { r->engine.engineState = 7; },
       "Loading the stored device data"},
      {"polling", [](TestRig& r) { r->engine.statusText = "Reading device catagory..."; },
       "Reading device catagory..." + counts},
      {"a link job's wait-window text on one line",
       [](TestRig& r) { r->engine.statusText = "Linking Inteon Device... \n1a.2b.3c, Group 1 \n\n\t Please wait..."; },
       "Linking Inteon Device... 1a.2b.3c, Group 1 Please wait..." + counts},
      {"idle with nothing left to learn", [](TestRig& r) { r->engine.statusText = "Idle"; }, "Idle" + counts},
      {"idle between requests while a device is still unknown",
       [](TestRig& r) {
         r->engine.statusText = "Idle";
         r->db.records[2].engineVersion = 0;
       },
       "Learning the house - 1 of 4 devices identified, 2 link tables read"},
      {"one link table read",
       [](TestRig& r) {
         r->engine.statusText = "Reading responder links...";
         r->db.records[2].timeLinksRead = 0;  // the i1 switch's read is undone
       },
       "Reading responder links... - 2 of 4 devices identified, 1 link table read"},
  };
  for (const Case& k : cases) {
    TestRig fresh;
    fresh.port.AllowPort(1);
    fresh->db = rig->db;
    fresh->options.runFlags = 0;
    fresh->options.comPort = 1;
    // The search opens port 1 on its sixth tick; the modem answers unless the case searches.
    if (k.text != kProgressSearching)
      for (int i = 0; i < 6; ++i) PortSearch(*fresh);
    if (k.text.rfind(kProgressSearching, 0) != 0) fresh->link.OnModemIdentity(*fresh);
    fresh->engine.engineState = kEngineSteady;  // the open set it back to 0
    k.change(fresh);
    EXPECT_EQ(ProgressText(*fresh), k.text) << k.what;
  }
}

TEST(Progress, AfterAWholeSearchWithoutAModemItSaysWhatToCheck) {
  TestRig rig;
  rig->options.comPort = 1;
  for (int i = 0; i < 6 + 11 * 15; ++i) PortSearch(*rig);
  EXPECT_EQ(ProgressText(*rig), kNoModemText);
}

// The whole program on a first start against the example house, until there is
// nothing left to learn: the summary counts exactly what the modem took in,
// the commands written straight to the port (the search's identity request,
// the Link Watch repair's Start ALL-Linking) as well, and in a house where
// every awake device answers nothing is sent twice.
TEST(RunSummaryOnSimulator, CountsWhatWentOverTheWire) {
  sim::House house;
  std::string error;
  ASSERT_TRUE(sim::LoadHouseFile(std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt", house, error))
      << error;
  TestClock clock(1300000000);
  sim::SimNetwork net(clock, std::move(house));
  sim::SimPort port(net, 1);
  testing::MemoryFileSystem files;
  testing::RecordingNotifier notifier;
  auto owned = std::make_unique<Context>(clock, port, files, notifier);
  Context& ctx = *owned;
  Silence(ctx.diagnostics);
  LoadAtStart(ctx);
  ctx.options.comPort = 1;
  WireEngine(ctx);
  WireConfigFiles(ctx);
  WireLinkWatch(ctx);
  int ticks = 0;
  for (; ticks < 20000 && !NetworkSettled(ctx); ++ticks) {
    RunMainTick(ctx);
    clock.AdvanceMillis(kTickMillis);
  }
  ASSERT_TRUE(NetworkSettled(ctx)) << RunSummary(ctx);

  const TrafficCounts& t = ctx.queues.counts;
  EXPECT_EQ(t.insteonSent, net.Received().insteonMessages);
  EXPECT_EQ(t.modemCommandsSent, net.Received().modemCommands);
  EXPECT_EQ(t.retries, 0u) << RunSummary(ctx);
  char line[96];
  std::snprintf(line, sizeof line, "  messages       %u sent, %u retries, %u modem commands,", net.Received().insteonMessages,
                0u, net.Received().modemCommands);
  EXPECT_NE(RunSummary(ctx).find(line), std::string::npos) << RunSummary(ctx);
}

}  // namespace
}  // namespace quorvel

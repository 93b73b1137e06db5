// Link Watch: the report of every category on a small house whose link tables
// have the usual holes (a keypad's link to a dimmer without its responder
// record, a partner never read, a device never heard from), and the repairs.
#include "engine/link_watch.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/options_record.h"
#include "device/device_database.h"
#include "engine/context.h"
#include "engine/link_operations.h"
#include "engine/main_tick.h"
#include "link_rig.h"
#include "support/test_rig.h"

namespace quorvel {
namespace {

const InsteonId kModem = InsteonId::From(0x11, 0x22, 0x33);
const InsteonId kKeypad = InsteonId::From(0x0a, 0x0b, 0x0c);
const InsteonId kDimmer3 = InsteonId::From(0x1a, 0x2b, 0x3c);  // i2cs, never heard from
const InsteonId kDimmer1 = InsteonId::From(0x1d, 0x2e, 0x3f);  // i1
const InsteonId kUnread = InsteonId::From(0x44, 0x55, 0x66);   // links never read
const InsteonId kOutlet = InsteonId::From(0x1a, 0x1b, 0x1c);   // engine unknown
const InsteonId kHub = InsteonId::From(0x0f, 0x0e, 0x0d);
const InsteonId kMotion = InsteonId::From(0x22, 0x33, 0x44);
const InsteonId kFound = InsteonId::From(0x55, 0x66, 0x77);    // seen only in links, not linked to the modem
const InsteonId kGarbled = InsteonId::From(0x66, 0x77, 0x88);  // a time no calendar holds
const InsteonId kStranger = InsteonId::From(0x77, 0x77, 0x77);

constexpr Time kNewYear2010 = 1262304000;  // 2010-01-01 00:00 UTC
constexpr Time kIn2012 = 1338508800;
constexpr Time kIn2013 = 1370044800;
constexpr Time kIn2015 = 1433116800;
constexpr int kLocalOffset = -3600;  // local time is an hour behind UTC

DeviceRecord& Put(DeviceDatabase& db, const InsteonId& id, uint8_t category, uint8_t subcategory, uint8_t engine,
                  Time lastContact, uint8_t group = 1, uint8_t linkFlags = 0xA2) {
  DeviceRecord& r = db.records[db.count++];
  r.linkFlags = linkFlags;
  r.group = group;
  r.id = id;
  r.category = category;
  r.subcategory = subcategory;
  r.engineVersion = engine;
  r.timeLastContact = lastContact;
  return r;
}

void PutLink(DeviceRecord& r, int slot, uint8_t flags, uint8_t group, const InsteonId& id) {
  LinkRecord& link = r.links[slot];
  link.flags = flags;
  link.group = group;
  link.id = id;
  link.address = static_cast<uint32_t>(0x0FFF - 8 * slot);
  if (r.linkCount < slot + 1) r.linkCount = static_cast<uint8_t>(slot + 1);
}

// Slots: keypad 0, i2cs dimmer 1, i1 dimmer 2, unread appliance 3, outlet 4,
// hub 5, motion sensor 6, found device 7, garbled device 8.
std::unique_ptr<DeviceDatabase> SmallHouse() {
  auto db = std::make_unique<DeviceDatabase>();
  db->plm.plmId = kModem;

  DeviceRecord& keypad = Put(*db, kKeypad, 0x01, 0x1C, kEngineI2, kIn2012, 1, 0xE2);
  PutLink(keypad, 0, 0xE2, 1, kModem);      // the modem is not a record: skipped
  PutLink(keypad, 1, 0xE2, 3, kDimmer3);    // returned
  PutLink(keypad, 2, 0xE2, 4, kDimmer1);    // the dimmer lacks its responder record
  PutLink(keypad, 3, 0xE2, 5, kUnread);     // partner never read
  PutLink(keypad, 4, 0x02, 6, kDimmer3);    // removed: skipped
  PutLink(keypad, 5, 0xE2, 2, kStranger);   // not in the table: skipped
  PutLink(keypad, 6, 0xE2, 207, kHub);       // a modem-like partner

  DeviceRecord& dimmer3 = Put(*db, kDimmer3, 0x01, 0x20, kEngineI2cs, 0);
  PutLink(dimmer3, 0, 0xA2, 3, kKeypad);
  PutLink(dimmer3, 1, 0xA2, 1, kModem);

  DeviceRecord& dimmer1 = Put(*db, kDimmer1, 0x01, 0x01, kEngineI1, kIn2015);
  PutLink(dimmer1, 0, 0xE2, 1, kOutlet);
  PutLink(dimmer1, 1, 0xA2, 40, kMotion);  // the sensor holds group 1, not 40

  Put(*db, kUnread, 0x02, 0x09, kEngineI2, kNewYear2010 + 1800);  // 2009-12-31 23:30 local
  DeviceRecord& outlet = Put(*db, kOutlet, 0x02, 0x08, kEngineUnknown, kNewYear2010 + 3600);  // 2010 local
  PutLink(outlet, 0, 0xA2, 1, kDimmer1);

  Put(*db, kHub, 0x03, 0x15, kEngineI2, kIn2013);
  DeviceRecord& motion = Put(*db, kMotion, 0x10, 0x01, kEngineI2, kIn2013, 1, 0xE2);
  PutLink(motion, 0, 0xE2, 1, kDimmer1);
  PutLink(motion, 1, 0xE2, 1, kFound);  // partner not in use: skipped

  Put(*db, kFound, 0x01, 0x20, kEngineI2, 0, 0, 0x00);
  Put(*db, kGarbled, 0x01, 0x20, kEngineUnknown, LLONG_MAX);
  return db;
}

class LinkReportTest : public ::testing::Test {
 protected:
  LinkReportTest() { clock.SetUtcOffset(kLocalOffset); }
  std::string Report(int category) {
    LinkReport report;
    EXPECT_TRUE(BuildReport(*db, clock, category, report));
    return ReportText(report);
  }
  TestClock clock{kIn2015};
  std::unique_ptr<DeviceDatabase> db = SmallHouse();
};

struct ReportCase {
  int category;
  std::string text;
};

TEST_F(LinkReportTest, EachCategoryListsItsDevicesAndLinks) {
  const std::vector<ReportCase> cases = {
      {0,
       "All Responding Devices\n"
       "  [0a.0b.0c] KeypadLinc Dimmer8\n"
       "    [1a.2b.3c] Group 3, contains return link.\n"
       "    [1d.2e.3f] Group 4, NO return link in [1d.2e.3f].\n"
       "    [44.55.66] Group 5, NO return link in [44.55.66].\n"
       "  [1a.2b.3c] SwitchLinc Dimmer DB\n"
       "    [0a.0b.0c] Group 3, contains return link.\n"
       "  [1d.2e.3f] SwitchLinc 600W\n"
       "    [1a.1b.1c] Group 1, contains return link.\n"
       "    [22.33.44] Group 40, NO return link in [22.33.44].\n"
       "  [22.33.44] Motion Sensor\n"
       "    [1d.2e.3f] Group 1, NO return link in [1d.2e.3f].\n"},
      {1,
       "Contains Link With No Return Link\n"
       "  [0a.0b.0c] KeypadLinc Dimmer8\n"
       "    [1d.2e.3f] Group 4, NO return link in [1d.2e.3f].\n"
       "    [44.55.66] Group 5, NO return link in [44.55.66].\n"
       "    0 LINKS or UNREAD\n"
       "    [0f.0e.0d] Group 207, NO return link in [0f.0e.0d].\n"
       "    0 LINKS or UNREAD\n"
       "  [1a.2b.3c] SwitchLinc Dimmer DB\n"
       "  [1d.2e.3f] SwitchLinc 600W\n"
       "    [22.33.44] Group 40, NO return link in [22.33.44].\n"
       "  [22.33.44] Motion Sensor\n"
       "    [1d.2e.3f] Group 1, NO return link in [1d.2e.3f].\n"},
      {2,
       "Version 3 Devices\n"
       "  [1a.2b.3c] SwitchLinc Dimmer DB\n"
       "    [0a.0b.0c] Group 3, contains return link in [0a.0b.0c].\n"},
      {3,
       "Version 2 Devices\n"
       "  [0a.0b.0c] KeypadLinc Dimmer8\n"
       "    [1a.2b.3c] Group 3, contains return link in [1a.2b.3c].\n"
       "    [1d.2e.3f] Group 4, NO return link in [1d.2e.3f].\n"
       "    [44.55.66] Group 5, NO return link in [44.55.66].\n"
       "    [0f.0e.0d] Group 207, NO return link in [0f.0e.0d].\n"
       "  [22.33.44] Motion Sensor\n"
       "    [1d.2e.3f] Group 1, NO return link in [1d.2e.3f].\n"},
      {4,
       "Version 1 Devices\n"
       "  [1d.2e.3f] SwitchLinc 600W\n"
       "    [1a.1b.1c] Group 1, contains return link in [1a.1b.1c].\n"
       "    [22.33.44] Group 40, NO return link in [22.33.44].\n"},
      {5,
       "Wireless Devices\n"
       "  [22.33.44] Motion Sensor\n"
       "    [1d.2e.3f] Group 1, NO return link in [1d.2e.3f].\n"},
      {6,
       "Dimmable Devices\n"
       "  [0a.0b.0c] KeypadLinc Dimmer8\n"
       "    [1a.2b.3c] Group 3, contains return link in [1a.2b.3c].\n"
       "    [1d.2e.3f] Group 4, NO return link in [1d.2e.3f].\n"
       "    [44.55.66] Group 5, NO return link in [44.55.66].\n"
       "    [0f.0e.0d] Group 207, NO return link in [0f.0e.0d].\n"
       "  [1a.2b.3c] SwitchLinc Dimmer DB\n"
       "    [0a.0b.0c] Group 3, contains return link in [0a.0b.0c].\n"
       "  [1d.2e.3f] SwitchLinc 600W\n"
       "    [1a.1b.1c] Group 1, contains return link in [1a.1b.1c].\n"
       "    [22.33.44] Group 40, NO return link in [22.33.44].\n"},
      {7,
       "Switch Devices\n"
       "  [1a.1b.1c] OutletLinc\n"
       "    [1d.2e.3f] Group 1, contains return link in [1d.2e.3f].\n"},
      {8,
       "Controller Devices\n"
       "  [0a.0b.0c] KeypadLinc Dimmer8\n"
       "    [1a.2b.3c] Group 3, contains return link in [1a.2b.3c].\n"
       "    [1d.2e.3f] Group 4, NO return link in [1d.2e.3f].\n"
       "    [44.55.66] Group 5, NO return link in [44.55.66].\n"
       "    [0f.0e.0d] Group 207, NO return link in [0f.0e.0d].\n"
       "  [1a.2b.3c] SwitchLinc Dimmer DB\n"
       "    [0a.0b.0c] Group 3, contains return link in [0a.0b.0c].\n"
       "  [1d.2e.3f] SwitchLinc 600W\n"
       "    [1a.1b.1c] Group 1, contains return link in [1a.1b.1c].\n"
       "    [22.33.44] Group 40, NO return link in [22.33.44].\n"
       "  [22.33.44] Motion Sensor\n"
       "    [1d.2e.3f] Group 1, NO return link in [1d.2e.3f].\n"},
      // Never heard from: the dimmer with no contact at all, the appliance last
      // heard in the last hour of 2009 local time, and the garbled time; not the
      // outlet heard in the first second of 2010 local, nor the keypad of 2012,
      // nor the found device, which the modem does not link.
      {9,
       "No Response Devices\n"
       "  [1a.2b.3c] SwitchLinc Dimmer DB\n"
       "  [44.55.66] ApplianceLinc\n"
       "  [66.77.88] SwitchLinc Dimmer DB\n"},
  };
  for (const ReportCase& c : cases) {
    SCOPED_TRACE(c.category);
    EXPECT_EQ(Report(c.category), c.text);
  }
}

TEST_F(LinkReportTest, LinesCarryTheDeviceAndLinkTheyName) {
  LinkReport report;
  ASSERT_TRUE(BuildReport(*db, clock, 1, report));
  ASSERT_EQ(report.lines.size(), 12u);
  const ReportLine& root = report.lines[0];
  EXPECT_EQ(root.kind, ReportLineKind::Root);
  EXPECT_EQ(root.parent, -1);
  EXPECT_TRUE(root.expanded);

  const ReportLine& keypad = report.lines[1];
  EXPECT_EQ(keypad.kind, ReportLineKind::Device);
  EXPECT_EQ(keypad.parent, 0);
  EXPECT_EQ(keypad.depth, 1);
  EXPECT_TRUE(keypad.expanded);
  EXPECT_EQ(keypad.key, MakeDeviceKey(1, kKeypad));
  EXPECT_EQ(keypad.linkIndex, -1);

  // The keypad's link to the i1 dimmer is its slot 2; the unread partner's is slot 3.
  const ReportLine& missing = report.lines[2];
  EXPECT_EQ(missing.kind, ReportLineKind::NoReturnLink);
  EXPECT_EQ(missing.parent, 1);
  EXPECT_EQ(missing.depth, 2);
  EXPECT_EQ(missing.key, MakeDeviceKey(1, kKeypad));
  EXPECT_EQ(missing.linkIndex, 2);
  EXPECT_NE(missing.text.find(kNoReturnMark), std::string::npos);
  const ReportLine& unread = report.lines[4];
  EXPECT_EQ(unread.kind, ReportLineKind::PartnerUnread);
  EXPECT_EQ(unread.parent, 1);
  EXPECT_EQ(unread.linkIndex, 3);
  EXPECT_EQ(unread.text.find(kNoReturnMark), std::string::npos);

  // The motion sensor's line is the parent of its own link line.
  EXPECT_EQ(report.lines[10].text, "[22.33.44] Motion Sensor");
  EXPECT_EQ(report.lines[11].parent, 10);
  EXPECT_EQ(report.lines[11].key, MakeDeviceKey(1, kMotion));
  EXPECT_EQ(report.lines[11].linkIndex, 0);
}

TEST_F(LinkReportTest, TheColourSetLastHoldsForTheWholeTree) {
  LinkReport report;
  ASSERT_TRUE(BuildReport(*db, clock, 0, report));
  ASSERT_TRUE(report.lineColour.has_value());
  EXPECT_EQ(*report.lineColour, kReportDarkRed);  // the sensor's link, checked last, lacks its return

  // With the sensor's link returned, the last link checked sets plain red, though
  // earlier links still lack theirs.
  PutLink(db->records[2], 2, 0xA2, 1, kMotion);
  ASSERT_TRUE(BuildReport(*db, clock, 0, report));
  EXPECT_EQ(*report.lineColour, kReportRed);
  EXPECT_NE(ReportText(report).find("NO return link"), std::string::npos);

  // Only the first category colours the tree.
  ASSERT_TRUE(BuildReport(*db, clock, 3, report));
  EXPECT_FALSE(report.lineColour.has_value());
}

TEST_F(LinkReportTest, RebuildingReplacesTheReportAndAnUnknownCategoryEmptiesIt) {
  LinkReport report;
  ASSERT_TRUE(BuildReport(*db, clock, 0, report));
  ASSERT_TRUE(BuildReport(*db, clock, 5, report));
  EXPECT_EQ(report.category, 5);
  EXPECT_EQ(report.lines.size(), 3u);
  for (int bad : {-1, 10, 255}) {
    EXPECT_FALSE(BuildReport(*db, clock, bad, report));
    EXPECT_TRUE(report.lines.empty());
    EXPECT_FALSE(report.lineColour.has_value());
    EXPECT_EQ(ReportText(report), "");
  }
}

TEST_F(LinkReportTest, ADamagedLinkCountStaysInsideTheRecord) {
  // A data file can hold any link count; the walk stops at the slots that exist,
  // and the return-link search at 32.
  DeviceRecord& outlet = db->records[4];
  outlet.linkCount = 255;
  DeviceRecord& dimmer1 = db->records[2];
  dimmer1.linkCount = 255;
  PutLink(dimmer1, 32, 0xA2, 1, kOutlet);  // slot 33 of the table: never searched
  dimmer1.links[0].flags = 0;              // the only other link to the outlet
  EXPECT_EQ(FindLinkIndex(dimmer1, kOutlet, 1), -1);
  dimmer1.links[0].flags = 0xE2;
  EXPECT_EQ(FindLinkIndex(dimmer1, kOutlet, 1), 0);
  EXPECT_EQ(Report(7),
            "Switch Devices\n"
            "  [1a.1b.1c] OutletLinc\n"
            "    [1d.2e.3f] Group 1, contains return link in [1d.2e.3f].\n");
}

TEST_F(LinkReportTest, APartnerIsJudgedByItsFirstRecord) {
  // The dimmer linked to the modem a second time, in the discovery area, with a
  // table that holds the return links of the keypad and the sensor; the first record, which lacks it,
  // is the one looked at.
  DeviceRecord& again = Put(*db, kDimmer1, 0x01, 0x01, kEngineI1, kIn2015, 251);
  PutLink(again, 0, 0xA2, 4, kKeypad);
  PutLink(again, 1, 0xA2, 1, kMotion);
  EXPECT_EQ(Report(5),
            "Wireless Devices\n"
            "  [22.33.44] Motion Sensor\n"
            "    [1d.2e.3f] Group 1, NO return link in [1d.2e.3f].\n");
  EXPECT_NE(Report(0).find("[1d.2e.3f] Group 4, NO return link"), std::string::npos);
  // Its second record is a device of its own in the report.
  EXPECT_NE(Report(0).find("  [1d.2e.3f] SwitchLinc 600W\n"
                                 "    [0a.0b.0c] Group 4, contains return link.\n"
                                 "    [22.33.44] Group 1, contains return link.\n"),
            std::string::npos);
}

TEST(FindLinkIndex, MatchesGroupIdAndTheInUseBitAmongTheCountedLinks) {
  DeviceRecord r{};
  PutLink(r, 0, 0x02, 3, kKeypad);  // removed
  PutLink(r, 1, 0xA2, 4, kKeypad);  // other group
  PutLink(r, 2, 0xA2, 3, kOutlet);  // other device
  PutLink(r, 3, 0xE2, 3, kKeypad);  // a controller record counts as well
  PutLink(r, 4, 0xA2, 3, kKeypad);
  EXPECT_EQ(FindLinkIndex(r, kKeypad, 3), 3);
  EXPECT_EQ(FindLinkIndex(r, kKeypad, 4), 1);
  EXPECT_EQ(FindLinkIndex(r, kKeypad, 5), -1);
  r.linkCount = 3;  // links past the count are stale
  EXPECT_EQ(FindLinkIndex(r, kKeypad, 3), -1);
}

// --- The automatic repair, called as the polling calls it -------------------------

constexpr Time kRepairStart = 1300000000;

class AutoRepairTest : public ::testing::Test {
 protected:
  AutoRepairTest() {
    rig.clock.Set(kRepairStart);
    rig->db.plm.plmId = kModem;
    rig->options.runFlags = kRunSetUp | kRunLinkWatchRepair;
    rig->tick.lastReceiveTime = kRepairStart - 60;
  }

  // A device as the polling leaves it: identified, engine known, links read,
  // holding one link that is not its modem link.
  DeviceRecord& Device(const InsteonId& id, uint8_t group = 1) {
    DeviceRecord& r = Put(rig->db, id, 0x01, 0x20, kEngineI2, kRepairStart - 100, group);
    r.timeLinksRead = kRepairStart - 100;
    PutLink(r, 0, 0xA2, 3, kKeypad);
    return r;
  }

  // The housekeeping's start of a new 31-second window.
  void NextWindow() {
    rig->tick.repairWindow = RepairWindow{false, false};
    rig.clock.Advance(31);
    ResetLinkJobs(*rig);  // the previous window's job has run
  }

  std::vector<std::string> RepairLines() const {
    std::vector<std::string> out;
    for (const std::string& t : rig.Texts(LogChannel::GeneralActivity))
      if (t.rfind("LINK WATCH", 0) == 0 || t.rfind("Link ", 0) == 0) out.push_back(t);
    return out;
  }
  const LinkJob& Job() { return rig->linkOps.state.jobs[0]; }

  testing::TestRig rig;
};

TEST_F(AutoRepairTest, OneDevicePerWindowInSlotOrderAndEachOnlyOnce) {
  Device(kDimmer3, 251);  // the discovery area is never repaired
  Device(kDimmer1);
  DeviceRecord& holds = Device(kOutlet);
  PutLink(holds, 1, 0xA2, 1, kModem);  // holds its modem link
  Device(kKeypad, 3);

  // The first window after start counts as used.
  EXPECT_FALSE(AutoRepair(*rig));
  EXPECT_TRUE(RepairLines().empty());

  NextWindow();
  EXPECT_FALSE(AutoRepair(*rig));
  EXPECT_FALSE(AutoRepair(*rig));  // one repair per window
  NextWindow();
  EXPECT_FALSE(AutoRepair(*rig));
  // The keypad's job: a responder record for the modem's group 3, in its first free slot.
  EXPECT_EQ(Job().target, kKeypad);
  const uint8_t record[8] = {0xA2, 3, 0x11, 0x22, 0x33, 0xFE, 0x1C, 0x00};
  EXPECT_EQ(std::vector<uint8_t>(Job().record, Job().record + 8), std::vector<uint8_t>(record, record + 8));
  EXPECT_EQ(Job().addressLow, 0xF7);
  NextWindow();
  EXPECT_FALSE(AutoRepair(*rig));  // both were repaired once: nothing is left
  EXPECT_EQ(RepairLines(), (std::vector<std::string>{
                               "LINK WATCH - Fix link for PLM Group 1 not found in [1d.2e.3f].",
                               "Link 1D.2E.3F to PLM 11.22.33 group 1",
                               "LINK WATCH - Fix link for PLM Group 3 not found in [0a.0b.0c].",
                               "Link 0A.0B.0C to PLM 11.22.33 group 3",
                           }));
  EXPECT_EQ(rig->db.records[1].plmLinkRepairs, 1);
  EXPECT_EQ(rig->db.records[3].plmLinkRepairs, 1);
  EXPECT_EQ(rig->db.records[0].plmLinkRepairs, 0);

  // Once CheckFlags has cleared its count, a device still without the link is tried again.
  rig->db.records[1].plmLinkRepairs = 0;
  NextWindow();
  AutoRepair(*rig);
  EXPECT_EQ(RepairLines().size(), 6u);
  EXPECT_EQ(RepairLines()[4], "LINK WATCH - Fix link for PLM Group 1 not found in [1d.2e.3f].");
}

TEST_F(AutoRepairTest, DevicesThatAreNotRepaired) {
  struct Case {
    const char* what;
    std::function<void(DeviceRecord&, Context&)> change;
  };
  const std::vector<Case> cases = {
      {"identity unknown", [](DeviceRecord& r, Context&) { r.category = r.subcategory = 0; }},
      {"engine unknown", [](DeviceRecord& r, Context&) { r.engineVersion = 0; }},
      {"links never read", [](DeviceRecord& r, Context&) { r.timeLinksRead = 0; }},
      // A read that was started but never answered leaves an empty table behind.
      {"no link stored", [](DeviceRecord& r, Context&) { r.linkCount = 0; }},
      {"repaired before", [](DeviceRecord& r, Context&) { r.plmLinkRepairs = 1; }},
      {"not linked to the modem", [](DeviceRecord& r, Context&) { r.linkFlags = 0; }},
      {"link write held for the device",
       [](DeviceRecord& r, Context& ctx) {
         RingEntry e{};
         e.flags = 0x1F;
         e.id = r.id;
         e.cmd1 = 0x2F;
         ctx.queues.hold.Hold(e);
       }},
      {"option off", [](DeviceRecord&, Context& ctx) { ctx.options.runFlags = kRunSetUp; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::TestRig fresh;
    fresh.clock.Set(kRepairStart);
    fresh->db.plm.plmId = kModem;
    fresh->options.runFlags = kRunSetUp | kRunLinkWatchRepair;
    fresh->tick.repairWindow = RepairWindow{false, false};
    DeviceRecord& r = Put(fresh->db, kDimmer1, 0x01, 0x20, kEngineI2, kRepairStart - 100);
    r.timeLinksRead = kRepairStart - 100;
    PutLink(r, 0, 0xA2, 3, kKeypad);
    c.change(r, *fresh);
    EXPECT_FALSE(AutoRepair(*fresh));
    EXPECT_FALSE(fresh->tick.repairWindow.repairMade);
    EXPECT_EQ(fresh->linkOps.state.jobCount, 0);
    for (const std::string& t : fresh.Texts(LogChannel::GeneralActivity)) EXPECT_EQ(t.find("LINK WATCH"), std::string::npos);
  }
}

TEST_F(AutoRepairTest, WaitsForTenQuietSecondsOnTheLineAndInTheTree) {
  Device(kDimmer1);
  NextWindow();
  const Time now = rig.clock.Now();
  rig->tick.lastReceiveTime = now - 9;
  EXPECT_TRUE(AutoRepair(*rig)) << "bytes arrived 9 s ago";
  rig->tick.lastReceiveTime = now - 10;
  rig->engine.lastTreeClick = now - 3;
  EXPECT_TRUE(AutoRepair(*rig)) << "the user clicked the tree 3 s ago";
  EXPECT_TRUE(RepairLines().empty());
  EXPECT_FALSE(rig->tick.repairWindow.firstPassRun) << "a busy line does not use up the pass";
  rig->engine.lastTreeClick = now - 10;
  EXPECT_FALSE(AutoRepair(*rig));
  EXPECT_EQ(RepairLines().size(), 2u);
}

TEST_F(AutoRepairTest, ThePassRunsOncePerWindowUnlessANewDayBegins) {
  NextWindow();
  EXPECT_FALSE(AutoRepair(*rig));  // nothing to repair: the pass has run
  EXPECT_TRUE(rig->tick.repairWindow.firstPassRun);
  Device(kDimmer1);  // a device read later in the same window waits for the next
  AutoRepair(*rig);
  EXPECT_TRUE(RepairLines().empty());
  rig->sun.repairPassReset = true;  // the new-day check
  AutoRepair(*rig);
  EXPECT_FALSE(rig->sun.repairPassReset);
  EXPECT_EQ(RepairLines().size(), 2u);
}

TEST_F(AutoRepairTest, ARunningLinkOperationPostponesThePass) {
  Device(kDimmer1);
  Device(kOutlet);
  NextWindow();
  ASSERT_TRUE(LinkDeviceToPlmGroup(*rig, 1, 1));  // the user's own operation
  EXPECT_FALSE(AutoRepair(*rig));
  EXPECT_FALSE(rig->tick.repairWindow.firstPassRun);
  EXPECT_EQ(rig->db.records[0].plmLinkRepairs, 0);
  ResetLinkJobs(*rig);
  AutoRepair(*rig);
  EXPECT_EQ(rig->db.records[0].plmLinkRepairs, 1);
}

// --- Create Link and Remove Link against the simulated house --------------------

const InsteonId kSimKeypad = InsteonId::From(0x30, 0x00, 0x01);  // i2cs keypad
const InsteonId kSimDimmer = InsteonId::From(0x30, 0x00, 0x02);  // i2 dimmer
const InsteonId kSimRelay = InsteonId::From(0x30, 0x00, 0x03);   // i1 appliance module

using testing::Entry;
using testing::Show;

// Each device holds its modem link in slot 0. The keypad's button 3 controls the
// dimmer, which lacks the responder record; the dimmer responds to button 5,
// which the keypad does not know; button 7 controls the relay, which lacks its record.
struct SimHouse {
  testing::LinkNet n;
  int keypad = -1, dimmer = -1, relay = -1;

  SimHouse() {
    n.AddSimDevice(kSimKeypad, 0x01, 0x1C, sim::kEngineI2cs);
    n.AddSimDevice(kSimDimmer, 0x01, 0x20, sim::kEngineI2);
    n.AddSimDevice(kSimRelay, 0x02, 0x09, sim::kEngineI1);
    n.Start();
    for (const InsteonId& id : {kSimKeypad, kSimDimmer, kSimRelay}) {
      n.Sim(id).SetLinkAt(0, Entry(0xA2, 1, testing::kSimModemId, 0xFE, 0x1C));
      n.net->Modem().links.push_back(Entry(0xE2, 1, id, 0, 0));
    }
    n.Sim(kSimKeypad).SetLinkAt(1, Entry(0xE2, 3, kSimDimmer, 3, 0));
    n.Sim(kSimKeypad).SetLinkAt(2, Entry(0xE2, 7, kSimRelay, 7, 0));
    n.Sim(kSimDimmer).SetLinkAt(1, Entry(0xA2, 5, kSimKeypad, 0xC0, 0x1C));
    keypad = n.AddRecord(kSimKeypad, 1, kEngineI2cs);
    dimmer = n.AddRecord(kSimDimmer, 1, kEngineI2);
    relay = n.AddRecord(kSimRelay, 1, kEngineI1);
  }

  std::string Report(int category) {
    LinkReport report;
    BuildReport(*n.ctx, category, report);
    return ReportText(report);
  }
};

struct CreateCase {
  const char* name;
  int SimHouse::*device;
  int linkIndex;
  InsteonId partner;
  int partnerSlot;  // where the partner's table takes the new record
  sim::LinkEntry written;
  std::string missingLine;  // the report line that goes away
};

TEST(CreateReturnLink, WritesThePartnersRecordAndTheReportNoLongerListsIt) {
  const std::vector<CreateCase> cases = {
      {"keypad button to a dimmer without its responder record", &SimHouse::keypad, 1, kSimDimmer, 2,
       Entry(0xA2, 3, kSimKeypad, 0xFE, 0x1C), "[30.00.02] Group 3, NO return link in [30.00.02]."},
      // The dimmer is a controller kind itself, yet here it is the responder: the
      // keypad, not the dimmer, must get the controller record.
      {"dimmer responding to a button the keypad does not know", &SimHouse::dimmer, 1, kSimKeypad, 3,
       Entry(0xE2, 5, kSimDimmer, 5, 0), "[30.00.01] Group 5, NO return link in [30.00.01]."},
      {"keypad button to an i1 relay", &SimHouse::keypad, 2, kSimRelay, 1, Entry(0xA2, 7, kSimKeypad, 0xFF, 0x00),
       "[30.00.03] Group 7, NO return link in [30.00.03]."},
  };
  for (const CreateCase& c : cases) {
    SCOPED_TRACE(c.name);
    SimHouse h;
    ASSERT_NE(h.Report(1).find(c.missingLine), std::string::npos);
    const sim::LinkEntry untouched = h.n.Sim(c.partner).LinkAt(c.partnerSlot + 1);

    ASSERT_TRUE(CreateReturnLink(*h.n.ctx, h.*c.device, c.linkIndex));
    ASSERT_TRUE(h.n.RunToEnd());

    EXPECT_EQ(Show(h.n.Sim(c.partner).LinkAt(c.partnerSlot)), Show(c.written));
    EXPECT_EQ(Show(h.n.Sim(c.partner).LinkAt(c.partnerSlot + 1)), Show(untouched));
    EXPECT_EQ(h.n.ctx->linkOps.state.writesConfirmed, 1u) << "the device's own record is not written again";
    EXPECT_EQ(h.Report(1).find(c.missingLine), std::string::npos) << h.Report(1);
  }
}

TEST(CreateReturnLink, RefusesWhatIsNotThere) {
  struct Case {
    const char* what;
    int slot;
    int linkIndex;
  };
  SimHouse h;
  DeviceRecord& keypad = h.n.ctx->db.records[h.keypad];
  keypad.links[3] = keypad.links[1];
  keypad.links[3].id = kStranger;  // a partner not in the table
  keypad.links[4] = keypad.links[1];
  keypad.links[4].flags = 0x02;  // a removed link
  keypad.linkCount = 5;
  const std::vector<Case> cases = {
      {"no such device", 3, 1},     {"negative slot", -1, 1},      {"link past the count", h.keypad, 5},
      {"negative link", h.keypad, -1}, {"partner unknown", h.keypad, 3}, {"removed link", h.keypad, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(CreateReturnLink(*h.n.ctx, c.slot, c.linkIndex));
    EXPECT_EQ(h.n.ctx->linkOps.state.jobCount, 0);
  }
  EXPECT_FALSE(RemoveLink(*h.n.ctx, 3, 0));
  EXPECT_FALSE(RemoveLink(*h.n.ctx, h.keypad, 5));
  EXPECT_FALSE(RemoveLink(*h.n.ctx, h.keypad, -1));
  EXPECT_EQ(h.n.ctx->linkOps.state.jobCount, 0);
}

TEST(RemoveLink, WritesTheRecordBackAsRemoved) {
  SimHouse h;
  ASSERT_NE(h.Report(1).find("[30.00.02] Group 3, NO return link"), std::string::npos);
  ASSERT_TRUE(RemoveLink(*h.n.ctx, h.keypad, 1));
  ASSERT_TRUE(h.n.RunToEnd());
  const sim::LinkEntry gone = h.n.Sim(kSimKeypad).LinkAt(1);
  EXPECT_FALSE(gone.InUse()) << Show(gone);
  EXPECT_EQ(Show(gone), Show(Entry(0x22, 3, kSimDimmer, 0, 0)));
  EXPECT_EQ(Show(h.n.Sim(kSimKeypad).LinkAt(2)), Show(Entry(0xE2, 7, kSimRelay, 7, 0)));
  // The keypad no longer claims the dimmer, so nothing is missing there.
  EXPECT_EQ(h.Report(1).find("[30.00.02] Group 3"), std::string::npos) << h.Report(1);
}

// --- The automatic repair against the simulated house, in virtual time ------------

const InsteonId kLateDimmer = InsteonId::From(0x40, 0x00, 0x01);  // i2, slot 0
const InsteonId kLateKeypad = InsteonId::From(0x40, 0x00, 0x02);  // i2cs, slot 1
const InsteonId kAreaDimmer = InsteonId::From(0x40, 0x00, 0x03);  // in the discovery area
const InsteonId kGoodRelay = InsteonId::From(0x40, 0x00, 0x04);   // holds its modem link

// Three devices the modem controls but which lost their responder record for
// the modem's group; their tables were read and hold one other link each.
class RepairHouse {
 public:
  RepairHouse() {
    n.AddSimDevice(kLateDimmer, 0x01, 0x20, sim::kEngineI2);
    n.AddSimDevice(kLateKeypad, 0x01, 0x1C, sim::kEngineI2cs);
    n.AddSimDevice(kAreaDimmer, 0x01, 0x20, sim::kEngineI2);
    n.AddSimDevice(kGoodRelay, 0x02, 0x09, sim::kEngineI2);
    n.Start();
    n.Sim(kGoodRelay).SetLinkAt(0, Entry(0xA2, 1, testing::kSimModemId, 0xFF, 0x00));
    // The keypad still reports its button 2 to the modem, so it answers the modem.
    n.Sim(kLateKeypad).SetLinkAt(0, Entry(0xE2, 2, testing::kSimModemId, 0x02, 0x00));
    for (const InsteonId& id : {kLateDimmer, kLateKeypad, kAreaDimmer, kGoodRelay}) {
      n.Sim(id).AddLink(Entry(0xA2, 9, kSimKeypad, 0x80, 0x1C));
      n.net->Modem().links.push_back(Entry(0xE2, id == kAreaDimmer ? 251 : 1, id, 0, 0));
    }
    n.AddRecord(kLateDimmer, 1, kEngineI2);
    n.AddRecord(kLateKeypad, 1, kEngineI2cs);
    n.AddRecord(kAreaDimmer, 251, kEngineI2);
    n.AddRecord(kGoodRelay, 1, kEngineI2);
    for (uint32_t i = 0; i < n.ctx->db.count; ++i) n.ctx->db.records[i].timeLinksRead = testing::kLinkStart - 60;
    n.ctx->options.runFlags = kRunSetUp | kRunLinkWatchRepair;
  }

  // One engine step: receive, then the first of the send rings, the modem
  // queue, a link job or (the polling's turn, with everything quiet) the repair;
  // the housekeeping every step.
  void Step() {
    Context& c = *n.ctx;
    if (c.framer.PumpReceive(c)) c.tick.lastReceiveTime = c.clock.Now();
    PerSecondHousekeeping(c);
    if (c.tick.halfMinuteCounter == 0 && lastHalfMinute_ != 0) ++window;
    lastHalfMinute_ = c.tick.halfMinuteCounter;
    SelectNextLinkJob(c);
    if (ServeRings(c)) {
      c.queues.modem.pause = 10;
    } else if (!c.queues.modem.Empty()) {
      ServeModemQueue(c);
    } else if (LinkJobStarted(c)) {
      RunLinkJobStep(c);
    } else if (I1WriteInProgress(c)) {
      RunI1Write(c, c.linkOps.state.jobs[c.linkOps.state.current]);
    } else if (n.Quiet() && !LinkOperationRunning(c)) {
      const size_t before = c.log.Lines(LogChannel::GeneralActivity).size();
      AutoRepair(c);
      const LogRows& lines = c.log.Lines(LogChannel::GeneralActivity);
      for (size_t i = before; i < lines.size(); ++i) {
        if (lines[i].text.find("LINK WATCH") == std::string::npos) continue;
        repairs.push_back({lines[i].text.substr(lines[i].text.find("LINK WATCH")), window,
                           c.clock.Now() - c.tick.lastReceiveTime});
      }
    }
    n.clock.AdvanceMillis(testing::kLinkTickMillis);
    n.net->RunUntilNow();
  }
  void RunSeconds(int seconds) {
    for (int i = 0; i < seconds * 1000 / testing::kLinkTickMillis; ++i) Step();
  }
  bool HoldsModemLink(const InsteonId& id) { return n.Sim(id).FindLink(false, 1, testing::kSimModemId) >= 0; }

  struct Repair {
    std::string line;
    int window;
    int64_t quietSeconds;
  };
  testing::LinkNet n;
  std::vector<Repair> repairs;
  int window = 0;

 private:
  uint32_t lastHalfMinute_ = 0;
};

TEST(AutoRepairAgainstTheHouse, OneDevicePerWindowFirstInSlotOrderAndTheDevicesHoldTheLink) {
  RepairHouse h;
  h.RunSeconds(200);
  ASSERT_EQ(h.repairs.size(), 2u);
  EXPECT_EQ(h.repairs[0].line, "LINK WATCH - Fix link for PLM Group 1 not found in [40.00.01].");
  EXPECT_EQ(h.repairs[1].line, "LINK WATCH - Fix link for PLM Group 1 not found in [40.00.02].");
  EXPECT_GE(h.repairs[0].window, 1) << "the first window after start counts as used";
  EXPECT_GT(h.repairs[1].window, h.repairs[0].window);
  // The simulated devices now hold their responder records for the modem's group.
  EXPECT_TRUE(h.HoldsModemLink(kLateDimmer));
  EXPECT_TRUE(h.HoldsModemLink(kLateKeypad));
  EXPECT_FALSE(h.HoldsModemLink(kAreaDimmer)) << "the discovery area is never repaired";
  EXPECT_EQ(h.n.Sim(kAreaDimmer).FindLink(false, 251, testing::kSimModemId), -1);
  EXPECT_EQ(h.n.ctx->linkOps.state.writesConfirmed, 2u);
  // The database took what the devices confirmed: the report of the first
  // category finds the modem link where the repair wrote it.
  EXPECT_GE(h.n.ctx->db.FindLinkInDevice(kLateKeypad, 1, testing::kSimModemId), 0);
}

TEST(AutoRepairAgainstTheHouse, NoRepairWhileBytesArrivedInTheLastTenSeconds) {
  RepairHouse h;
  // The relay is switched at the wall every 8 seconds for two minutes.
  for (int i = 0; i < 15; ++i) {
    ASSERT_TRUE(h.n.net->Press(kGoodRelay, 1, 0x11));
    h.RunSeconds(8);
  }
  EXPECT_TRUE(h.repairs.empty());
  h.RunSeconds(120);
  ASSERT_EQ(h.repairs.size(), 2u);
  for (const RepairHouse::Repair& r : h.repairs) EXPECT_GE(r.quietSeconds, kRepairQuietSeconds) << r.line;
  EXPECT_TRUE(h.HoldsModemLink(kLateDimmer));
}

}  // namespace
}  // namespace quorvel

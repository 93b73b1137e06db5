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

#include "device/device_database.h"
#include "engine/context.h"
#include "engine/link_operations.h"
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

// --- Create Link and Remove Link against the simulated house --------------------

const InsteonId kSimKeypad = InsteonId::From(0x30, 0x00, 0x01);  // i2cs keypad
const InsteonId kSimDimmer = InsteonId::From(0x30, 0x00, 0x02);  // i2 dimmer
const InsteonId kSimRelay = InsteonId::From(0x30, 0x00, 0x03);   // i1 appliance module

sim::LinkEntry Entry(uint8_t flags, uint8_t group, const InsteonId& id, uint8_t d1, uint8_t d2) {
  sim::LinkEntry e;
  e.flags = flags;
  e.group = group;
  e.id = id;
  e.data[0] = d1;
  e.data[1] = d2;
  return e;
}

std::string Show(const sim::LinkEntry& e) {
  char text[48];
  std::snprintf(text, sizeof text, "%02X %d %02X.%02X.%02X %02X %02X %02X", e.flags, e.group, e.id.b[0], e.id.b[1],
                e.id.b[2], e.data[0], e.data[1], e.data[2]);
  return text;
}

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

}  // namespace
}  // namespace quorvel

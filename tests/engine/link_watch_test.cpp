// Link Watch: the report of every category on a small house whose link tables
// have the usual holes (a keypad's link to a dimmer without its responder
// record, a partner never read, a device never heard from), and the repairs.
#include "engine/link_watch.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "device/device_database.h"

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

}  // namespace
}  // namespace quorvel

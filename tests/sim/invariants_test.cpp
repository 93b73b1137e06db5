// The invariant checks that fuzz targets and the long simulation rely on: a
// sound program passes, and each kind of damage is caught and named.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <set>
#include <string>

#include "sim/house_database.h"
#include "sim/house_file.h"
#include "sim/invariants.h"
#include "support/test_rig.h"

namespace quorvel::sim {
namespace {

struct Damage {
  const char* name;
  std::function<void(Context&)> apply;
  const char* named;  // a part of the description
  bool cheap;         // caught by the check without the record scan too

  friend void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }
};

class InvariantsCatch : public ::testing::TestWithParam<Damage> {};

TEST_P(InvariantsCatch, TheDamage) {
  testing::TestRig rig;
  House house;
  std::string error;
  ASSERT_TRUE(LoadHouseFile(std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt", house, error));
  FillDatabase(house, rig->db, rig.clock.Now());
  ASSERT_EQ(BrokenInvariant(*rig), "");

  GetParam().apply(*rig);
  const std::string broken = BrokenInvariant(*rig);
  EXPECT_NE(broken.find(GetParam().named), std::string::npos) << broken;
  EXPECT_EQ(BrokenInvariant(*rig, false).empty(), !GetParam().cheap) << BrokenInvariant(*rig, false);
}

INSTANTIATE_TEST_SUITE_P(
    Each, InvariantsCatch,
    ::testing::Values(
        Damage{"count", [](Context& c) { c.db.count = kMaxDevices + 1; }, "db count 480", true},
        Damage{"reserve", [](Context& c) { c.loaded.reserveCount = 34; }, "loaded reserveCount 34", true},
        Damage{"linkCount", [](Context& c) { c.db.records[3].linkCount = 34; }, "db record slot 3 linkCount 34", false},
        Damage{"linkCountBeyondCount", [](Context& c) { c.db.records[480].linkCount = 200; }, "slot 480 linkCount", false},
        Damage{"name", [](Context& c) { std::memset(c.db.reserveTable[2].name, 'x', kNameWidth); },
               "db reserve slot 2 name unterminated", false},
        Damage{"ringIndex", [](Context& c) { c.queues.plainRing.tail = kRingSlots; }, "plain ring index", true},
        Damage{"holdCount", [](Context& c) { c.queues.hold.slots[5].flags = 0x0F; }, "hold queue counts 0 but 1", true},
        Damage{"modemEntry",
               [](Context& c) {
                 c.queues.modem.tail = 1;
                 c.queues.modem.entries[0].length = 13;
               },
               "modem queue entry 0 length 13", true},
        Damage{"events", [](Context& c) { c.events.eventCount = 400; }, "eventCount 400", true},
        Damage{"group", [](Context& c) { std::memset(c.groups.groups[9].label, 'g', kGroupLabelWidth); },
               "group 9 label", false},
        Damage{"latitude", [](Context& c) { std::memset(c.options.latitude, '4', kCoordinateWidth); }, "latitude",
               false}),
    [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

TEST(HouseDatabase, HoldsWhatAFullReadOfTheHouseLearns) {
  testing::TestRig rig;
  House house;
  std::string error;
  ASSERT_TRUE(LoadHouseFile(std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt", house, error));
  DeviceDatabase& db = rig->db;
  FillDatabase(house, db, 1000);

  // One record per (group, id) of the modem's table, and one discovered record
  // for each device that only other devices' links name; the device named only
  // by a removed link of the stairs switch is not added.
  std::set<std::pair<uint8_t, uint32_t>> keys;
  std::set<uint32_t> linkedToModem;
  for (const LinkEntry& e : house.modem.links) {
    keys.insert({e.group, e.id.Value()});
    linkedToModem.insert(e.id.Value());
  }
  size_t discovered = 0;
  for (const SimDevice& d : house.devices) discovered += linkedToModem.count(d.id.Value()) == 0;
  ASSERT_EQ(discovered, 1u) << "the pantry light";
  EXPECT_EQ(db.count, keys.size() + discovered);
  EXPECT_LT(db.FindDevice(InsteonId::From(0x2a, 0x0f, 0x33)), 0);
  EXPECT_NE(db.dbFlags & kDbMerged, 0);
  for (const SimDevice& d : house.devices) {
    const int slot = db.FindDevice(d.id);
    ASSERT_GE(slot, 0) << d.name;
    const DeviceRecord& r = db.records[slot];
    if (linkedToModem.count(d.id.Value()) == 0) {
      // Found in links only: a record not in use, waiting for discovery.
      EXPECT_EQ(r.linkFlags, 0) << d.name;
      EXPECT_EQ(r.group, 0) << d.name;
      continue;
    }
    EXPECT_EQ(r.category, d.category) << d.name;
    EXPECT_EQ(r.engineVersion, d.engine) << d.name;
    EXPECT_EQ(std::string(r.name), d.name);
    const std::vector<LinkEntry> links = d.Links();
    int inUse = 0;
    for (int k = 0; k < r.LinkLimit(); ++k) {
      if (!r.links[k].InUse()) continue;
      ASSERT_LT(static_cast<size_t>(inUse), links.size()) << d.name;
      EXPECT_EQ(r.links[k].id, links[inUse].id) << d.name << " link " << k;
      EXPECT_EQ(r.links[k].group, links[inUse].group) << d.name << " link " << k;
      ++inUse;
    }
    EXPECT_EQ(static_cast<size_t>(inUse), links.size()) << d.name;
  }
}

}  // namespace
}  // namespace quorvel::sim

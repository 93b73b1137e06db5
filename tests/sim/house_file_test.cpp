// The house file: the shipped example loads as a real house, and bad lines
// are refused with their line number.
#include "sim/house_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace quorvel::sim {
namespace {

TEST(HouseFile, TheExampleHouseIsAWholeNetwork) {
  House house;
  std::string error;
  ASSERT_TRUE(LoadHouseFile(std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt", house, error))
      << error;
  EXPECT_GE(house.devices.size(), 14u);
  std::set<int> categories;
  std::set<int> engines;
  int sleepers = 0;
  for (const SimDevice& d : house.devices) {
    categories.insert(d.category);
    engines.insert(d.engine);
    sleepers += d.sleeper ? 1 : 0;
    EXPECT_FALSE(d.name.empty());
  }
  // Dimmers and keypads, relays, an I/O module, sensors and a remote.
  EXPECT_EQ(categories, (std::set<int>{0x00, 0x01, 0x02, 0x07, 0x10}));
  EXPECT_EQ(engines, (std::set<int>{kEngineI1, kEngineI2, kEngineI2cs}));
  EXPECT_GE(sleepers, 3);

  // Every controller record a device holds for another device, and whether the
  // other side holds the responder record that returns it.
  int crossLinks = 0;
  int missing = 0;
  for (const SimDevice& c : house.devices) {
    for (const LinkEntry& e : c.Links()) {
      if (!e.Controller() || e.id == house.modem.id) continue;
      ++crossLinks;
      const SimDevice* r = nullptr;
      for (const SimDevice& d : house.devices) {
        if (d.id == e.id) r = &d;
      }
      ASSERT_NE(r, nullptr) << IdText(e.id);
      if (r->FindLink(false, e.group, c.id) < 0) ++missing;
    }
  }
  EXPECT_GE(crossLinks, 8);
  EXPECT_GE(missing, 2) << "some return links are missing on purpose";
  EXPECT_LT(missing, crossLinks);

  // The modem's own table, and a device whose responder record for it is missing.
  EXPECT_GE(house.modem.links.size(), 20u);
  const SimDevice& porch = *std::find_if(house.devices.begin(), house.devices.end(),
                                         [](const SimDevice& d) { return d.name == "Porch Light"; });
  EXPECT_GE(house.modem.Find(1, porch.id, kControllerSide), 0);
  EXPECT_LT(porch.FindLink(false, 1, house.modem.id), 0);
}

TEST(HouseFile, ReadsEveryAttribute) {
  const char* text = R"(seed 99
repeats 2
fault busy 5
fault drop 0.5
fault garble 50
modem 11.22.33 category 03 subcategory 0b firmware 0x72 config 40
link controller 0 44.55.66 01 02 03   # a comment
device 44.55.66 "Stairs, upper" category 01 subcategory 1c firmware 41 engine i1
level 200 level2 7 opflags 0a opflags2 0b delta 3c hops 3 slow 250 awake 12 sleeper deaf
link responder 0 11.22.33 ff 1c 01
link removed 4 77.88.99
link controller 5 77.88.99 03 00 05
)";
  House house;
  std::string error;
  ASSERT_TRUE(ParseHouse(text, house, error)) << error;
  EXPECT_EQ(house.faults.seed, 99u);
  EXPECT_EQ(house.repeats, 2);
  EXPECT_DOUBLE_EQ(house.faults.busyNak, 0.05);
  EXPECT_DOUBLE_EQ(house.faults.dropByte, 0.005);
  EXPECT_DOUBLE_EQ(house.faults.garbleByte, 0.5);
  EXPECT_EQ(house.modem.id, InsteonId::From(0x11, 0x22, 0x33));
  EXPECT_EQ(house.modem.subcategory, 0x0b);
  EXPECT_EQ(house.modem.firmware, 0x72);
  EXPECT_EQ(house.modem.config, 0x40);
  ASSERT_EQ(house.modem.links.size(), 1u);
  EXPECT_EQ(house.modem.links[0].flags, 0xE2);
  ASSERT_EQ(house.devices.size(), 1u);
  const SimDevice& d = house.devices[0];
  EXPECT_EQ(d.name, "Stairs, upper");
  EXPECT_EQ(d.engine, kEngineI1);
  EXPECT_EQ(d.level, 200);
  EXPECT_EQ(d.level2, 7);
  EXPECT_EQ(d.opFlags, 0x0a);
  EXPECT_EQ(d.opFlags2, 0x0b);
  EXPECT_EQ(d.aldbDelta, 0x3c);
  EXPECT_EQ(d.hops, 3);
  EXPECT_EQ(d.slowMillis, 250);
  EXPECT_EQ(d.awakeSeconds, 12);
  EXPECT_TRUE(d.sleeper);
  EXPECT_TRUE(d.deaf);
  // The removed record stays in the table between the live ones.
  EXPECT_EQ(d.LinkAt(1).flags, 0x02);
  EXPECT_EQ(d.LinkAt(2).flags, 0xE2);
  EXPECT_EQ(d.Links().size(), 2u);
  EXPECT_EQ(d.Peek(0x0FF8), 0xA2);
  EXPECT_EQ(d.Peek(0x0FE8), 0xE2);
}

TEST(HouseFile, RefusesBadLinesNamingThem) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"modem 11.22.33\nlevel 5", "line 2: the modem has no 'level'"},
      {"device zz.22.33", "line 1: device wants an id"},
      {"device 11.22.33 level 256", "line 1: bad value '256' for 'level'"},
      {"device 11.22.33 engine i3", "line 1: bad value 'i3' for 'engine'"},
      {"device 11.22.33 category", "line 1: 'category' wants a value"},
      {"device 11.22.33 colour red", "line 1: unknown attribute 'colour'"},
      {"link controller 1 11.22.33 00 00 00", "line 1: a link before any modem or device"},
      {"\n\ndevice 11.22.33\nlink sideways 1 44.55.66 00 00 00", "line 4: a link is controller, responder or removed"},
      {"device 11.22.33\nlink responder 300 44.55.66 00 00 00", "line 2: a link's group is 0..255"},
      {"device 11.22.33\nlink responder 1 44.55.66 00 1g 00", "line 2: a link's data bytes are hexadecimal 00..ff"},
      {"device 11.22.33 \"unfinished", "line 1: a quoted text has no end"},
      {"fault thunder 5", "line 1: unknown fault 'thunder' (busy, drop, garble)"},
      {"fault drop 150", "line 1: a fault's percentage is 0..100"},
      {"level 3", "line 1: 'level' before any modem or device"},
      {"device 11.22.33\ndevice 11.22.33", "device 11.22.33 is named twice"},
      {"modem 11.22.33\ndevice 11.22.33", "device 11.22.33 has the modem's id"},
      {"modem 11.22.33\nlink controller 1 44.55.66\nlink controller 1 44.55.66", "line 3: the modem holds this link twice"},
  };
  for (const Case& c : cases) {
    House house;
    std::string error;
    EXPECT_FALSE(ParseHouse(c.text, house, error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
  House house;
  std::string error;
  EXPECT_FALSE(LoadHouseFile("/nonexistent/house.txt", house, error));
  EXPECT_EQ(error, "cannot read /nonexistent/house.txt");
}

}  // namespace
}  // namespace quorvel::sim

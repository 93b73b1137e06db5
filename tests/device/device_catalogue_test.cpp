#include "device/device_catalogue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace quorvel {
namespace {

DeviceRecord Kind(uint8_t category, uint8_t subcategory, bool inUse) {
  DeviceRecord r{};
  r.linkFlags = inUse ? 0xE2 : 0x62;  // other bits set, so only bit 7 decides
  r.category = category;
  r.subcategory = subcategory;
  return r;
}

TEST(DeviceCatalogue, ProductNames) {
  struct Case {
    uint8_t category, subcategory;
    std::string name;
  };
  const Case cases[] = {
      {0x00, 0x00, ""},  // not learned
      {0x00, 0x03, ""},  // category 0 starts at 4
      {0x00, 0x04, "ControlLinc"},
      {0x00, 0x07, ""},
      {0x00, 0x12, "RemoteLinc 2 8B"},
      {0x00, 0x13, ""},
      {0x00, 0x14, ""},
      {0x01, 0x00, "LampLinc"},
      {0x01, 0x0B, "0x0b"},
      {0x01, 0x1C, "KeypadLinc Dimmer8"},
      {0x01, 0x30, "SwitchLinc dimmer"},
      {0x01, 0x31, ""},
      {0x02, 0x04, ""},  // category 2 starts at 5
      {0x02, 0x05, "KeypadLinc Relay"},
      {0x02, 0x0C, "c"},
      {0x02, 0x23, "Wall Switch"},
      {0x02, 0x24, ""},
      {0x03, 0x00, ""},
      {0x03, 0x06, "IRLinc Reciever"},
      {0x03, 0x15, "PLM 2413U"},
      {0x03, 0x21, "2448A7H"},
      {0x03, 0x22, ""},
      {0x04, 0x00, "EZRain"},
      {0x04, 0x01, ""},
      {0x05, 0x04, "Thermosatat"},
      {0x05, 0x09, "Thermostat"},
      {0x07, 0x00, "I/OLinc"},
      {0x08, 0x03, "3"},
      {0x09, 0x07, "iMeter #2423A1"},
      {0x0A, 0x00, ""},
      {0x0D, 0x00, ""},
      {0x0E, 0x00, "Drape Control"},
      {0x0F, 0x06, "MorningLinc"},
      {0x10, 0x02, "TriggerLinc"},
      {0x10, 0x03, ""},
      {0x11, 0x00, ""},
      {0x15, 0x00, ""},
      {0x16, 0x00, ""},
      {0xFF, 0xFF, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProductName(c.category, c.subcategory), c.name)
        << std::hex << "cat " << int{c.category} << " sub " << int{c.subcategory};
  }
}

TEST(DeviceCatalogue, PictureNames) {
  struct Case {
    uint8_t category, subcategory;
    std::string picture;
  };
  const Case cases[] = {
      {0x00, 0x00, "default.bmp"},       {0x00, 0x04, "controllinc.bmp"},
      {0x00, 0x05, "remotelinc.bmp"},    {0x00, 0x0F, "default.bmp"},
      {0x00, 0x10, "remotelinc-2.bmp"},  {0x00, 0x13, "remotelinc-2.bmp"},
      {0x00, 0x14, "default.bmp"},       {0x01, 0x19, "2476d.bmp"},
      {0x01, 0x1A, "2475d.bmp"},         {0x01, 0x05, "keypadlinc.bmp"},
      {0x01, 0x20, "2476dt.bmp"},        {0x01, 0x1C, "2486dwh8.bmp"},
      {0x01, 0x1B, "2486dwh6.bmp"},      {0x01, 0x1F, "2466sw.bmp"},
      {0x01, 0x00, "default.bmp"},       {0x02, 0x05, "2486dwh8.bmp"},
      {0x02, 0x21, "2473swh.bmp"},       {0x02, 0x09, "2456s3.bmp"},
      {0x02, 0x1A, "2466sw.bmp"},        {0x02, 0x10, "2475d.bmp"},
      {0x02, 0x14, "247s2.bmp"},         {0x02, 0x23, "2476dt.bmp"},
      {0x03, 0x99, "2413u.bmp"},         {0x03, 0x00, "2413u.bmp"},
      {0x07, 0x00, "2450.bmp"},          {0x07, 0x01, "default.bmp"},
      {0x09, 0x00, "2450.bmp"},          {0x0E, 0x00, "2450.bmp"},
      {0x0F, 0x00, "2450.bmp"},          {0x08, 0x00, "default.bmp"},
      {0x10, 0x01, "motion-sensor.bmp"}, {0x10, 0x02, "2421.bmp"},
      {0x11, 0x00, "default.bmp"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PictureName(c.category, c.subcategory), c.picture)
        << std::hex << "cat " << int{c.category} << " sub " << int{c.subcategory};
    // Stored into a record whose tile is large, the name still reads back whole and
    // the flag byte stays set.
    DeviceRecord r{};
    r.picture[kPictureNameWidth] = 1;
    LearnIdentity(r, c.category, c.subcategory, 0, 1);
    EXPECT_EQ(PictureText(r), c.picture);
    EXPECT_EQ(r.picture[kPictureNameWidth], 1);
  }
}

TEST(DeviceCatalogue, KindPredicates) {
  struct Case {
    uint8_t category, subcategory;
    bool inUse;
    bool wireless, remote, motion, trigger, keypad;
  };
  const Case cases[] = {
      // category sub inUse   wireless remote motion trigger keypad
      {0x00, 0x05, true, true, true, false, false, false},
      {0x00, 0x05, false, true, false, false, false, false},  // remotes want the record in use
      {0x00, 0x09, true, true, false, false, false, false},   // a SignalLinc counts as wireless
      {0x00, 0x0B, false, true, false, false, false, false},
      {0x00, 0x0E, true, true, true, false, false, false},
      {0x00, 0x10, true, true, true, false, false, false},
      {0x00, 0x11, true, true, true, false, false, false},
      {0x00, 0x12, true, true, true, false, false, false},
      {0x00, 0x13, true, false, false, false, false, false},
      {0x00, 0x04, true, false, false, false, false, false},
      {0x10, 0x01, true, true, false, true, false, false},
      {0x10, 0x01, false, true, false, false, false, false},
      {0x10, 0x02, true, true, false, false, true, false},
      {0x10, 0x02, false, true, false, false, false, false},
      {0x10, 0x03, true, false, false, false, false, false},
      {0x01, 0x05, false, false, false, false, false, true},  // keypads do not need the in-use bit
      {0x01, 0x09, true, false, false, false, false, true},
      {0x01, 0x0C, true, false, false, false, false, true},
      {0x01, 0x1B, true, false, false, false, false, true},
      {0x01, 0x1C, true, false, false, false, false, true},
      {0x01, 0x19, true, false, false, false, false, false},
      {0x02, 0x0F, true, false, false, false, false, true},
      {0x02, 0x05, true, false, false, false, false, false},
      {0x05, 0x01, true, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    const DeviceRecord r = Kind(c.category, c.subcategory, c.inUse);
    SCOPED_TRACE(::testing::Message() << std::hex << "cat " << int{c.category} << " sub "
                                      << int{c.subcategory} << " inUse " << c.inUse);
    EXPECT_EQ(IsWirelessDevice(r), c.wireless);
    EXPECT_EQ(IsWirelessKind(c.category, c.subcategory), c.wireless);
    EXPECT_EQ(IsRemoteLinc(r), c.remote);
    EXPECT_EQ(IsMotionSensor(r), c.motion);
    EXPECT_EQ(IsTriggerLinc(r), c.trigger);
    EXPECT_EQ(IsKeypadLinc(r), c.keypad);
  }
}

TEST(DeviceCatalogue, ControllerGroupCountMarksControllers) {
  struct Case {
    bool inUse;
    uint8_t category, subcategory;
    uint8_t listedBefore;
    int groups;
    uint8_t listedAfter;
  };
  const Case cases[] = {
      {true, 0x00, 0x04, 0, 5, 1},
      {true, 0x00, 0x0E, 0, 6, 1},
      {true, 0x00, 0x0A, 0, 12, 1},
      {true, 0x00, 0x10, 0, 4, 1},
      {true, 0x00, 0x11, 0, 2, 1},
      {true, 0x00, 0x13, 0, 8, 1},
      {true, 0x00, 0x06, 1, 0, 0},  // known category, unlisted kind: taken off the list
      {true, 0x01, 0x19, 0, 1, 1},
      {true, 0x01, 0x30, 0, 1, 1},
      {true, 0x01, 0x09, 0, 8, 1},
      {true, 0x01, 0x1B, 0, 6, 1},
      {true, 0x01, 0x1A, 0, 0, 1},  // no groups, but listed
      {true, 0x01, 0x31, 1, 0, 0},
      {true, 0x02, 0x25, 0, 8, 1},
      {true, 0x02, 0x29, 0, 1, 1},
      {true, 0x02, 0x1E, 0, 6, 1},
      {true, 0x02, 0x09, 1, 0, 0},
      {true, 0x03, 0x99, 0, 255, 1},
      {true, 0x05, 0x42, 0, 1, 1},
      {true, 0x07, 0x00, 0, 1, 1},
      {true, 0x0F, 0x06, 0, 1, 1},
      {true, 0x10, 0x01, 0, 2, 1},
      {true, 0x10, 0x08, 0, 1, 1},
      {true, 0x10, 0x03, 1, 0, 0},
      // Kinds it does not judge keep the user's choice and report it.
      {true, 0x04, 0x00, 1, 1, 1},
      {true, 0x06, 0x00, 0, 0, 0},
      {true, 0x08, 0x00, 1, 1, 1},
      {true, 0x0E, 0x00, 0, 0, 0},
      {true, 0x11, 0x00, 1, 1, 1},
      {false, 0x01, 0x19, 0, 0, 0},  // not in use: nothing changes
      {false, 0x01, 0x19, 1, 1, 1},
      {false, 0x01, 0x31, 1, 1, 1},
  };
  for (const Case& c : cases) {
    DeviceRecord r = Kind(c.category, c.subcategory, c.inUse);
    r.showInControllerList = c.listedBefore;
    SCOPED_TRACE(::testing::Message() << std::hex << "cat " << int{c.category} << " sub "
                                      << int{c.subcategory} << " inUse " << c.inUse);
    EXPECT_EQ(ControllerGroupCount(r), c.groups);
    EXPECT_EQ(r.showInControllerList, c.listedAfter);
  }
}

TEST(DeviceCatalogue, RampFirmwareAndLevelTexts) {
  const std::pair<int, std::string> ramps[] = {
      {0, "540 sec"}, {11, "90 sec"}, {24, "8 sec"}, {28, "0.5 sec"}, {31, "0.1 sec"},
      {32, "SWITCH"}, {33, "NA"},     {-1, "NA"},    {255, "NA"},
  };
  for (const auto& [index, text] : ramps) EXPECT_EQ(RampRateName(index), text) << index;

  const std::pair<uint8_t, std::string> firmware[] = {
      {0x41, "4.1"}, {0x0F, "0.f"}, {0x00, "0.0"}, {0xA0, "a.0"}, {0xFF, "f.f"},
  };
  for (const auto& [value, text] : firmware) EXPECT_EQ(FirmwareText(value), text) << int{value};

  const std::pair<uint8_t, int> levels[] = {
      {0x00, 0}, {0x01, 0}, {0x03, 1}, {0x80, 50}, {0xFE, 99}, {0xFF, 100},
  };
  for (const auto& [level, percent] : levels) EXPECT_EQ(LevelPercent(level), percent) << int{level};
}

TEST(DeviceCatalogue, LearnIdentityWritesKindAndPicture) {
  struct Case {
    uint8_t oldCategory, oldSubcategory;
    const char* oldPicture;
    uint8_t largeFlag;
    uint8_t category, subcategory, firmware;
    uint8_t learned;
    std::string picture;
  };
  const Case cases[] = {
      {0x00, 0x00, "", 0, 0x01, 0x20, 0x41, 1, "2476dt.bmp"},
      {0x00, 0x00, "", 1, 0x00, 0x12, 0x42, 1, "remotelinc-2.bmp"},  // fills all 16 name bytes
      {0x00, 0x12, "remotelinc-2.bmp", 1, 0x07, 0x00, 0x10, 0, "2450.bmp"},
      {0x01, 0x00, "default.bmp", 0, 0x0A, 0x00, 0x01, 0, "default.bmp"},
      {0x00, 0x00, "", 1, 0x10, 0x01, 0x43, 1, "motion-sensor.bmp"},  // longer than the 16 bytes
  };
  for (const Case& c : cases) {
    DeviceRecord r = Kind(c.oldCategory, c.oldSubcategory, true);
    std::memcpy(r.picture, c.oldPicture, std::strlen(c.oldPicture));
    r.picture[kPictureNameWidth] = static_cast<char>(c.largeFlag);
    r.noResponse = 1;
    r.timeLastContact = 5;
    LearnIdentity(r, c.category, c.subcategory, c.firmware, 1234567);
    SCOPED_TRACE(c.picture);
    EXPECT_EQ(r.category, c.category);
    EXPECT_EQ(r.subcategory, c.subcategory);
    EXPECT_EQ(r.firmware, c.firmware);
    EXPECT_EQ(r.categoryLearned, c.learned);
    EXPECT_EQ(r.noResponse, 0);
    EXPECT_EQ(r.timeLastContact, 1234567);
    EXPECT_EQ(PictureText(r), c.picture);
    EXPECT_EQ(static_cast<uint8_t>(r.picture[kPictureNameWidth]), c.largeFlag)
        << "the large-tile flag belongs to the group view";
  }
}

TEST(DeviceCatalogue, PictureTextOfDamagedRecords) {
  struct Case {
    std::string bytes;  // all 17 bytes of the field, the last one the large-tile flag
    uint8_t category, subcategory;
    std::string text;
  };
  const Case cases[] = {
      {std::string("2476d.bmp\0\0\0\0\0\0\0\x01", 17), 0x01, 0x19, "2476d.bmp"},
      {"remotelinc-2.bmp\x01", 0x00, 0x12, "remotelinc-2.bmp"},
      {"xxxxxxxxxxxxxxxxx", 0x01, 0x19, "xxxxxxxxxxxxxxxx"},  // unterminated: cut at 16
      {"motion-sensor.bm\x01", 0x10, 0x01, "motion-sensor.bmp"},
      {"motion-sensor.bm\x01", 0x01, 0x19, "motion-sensor.bm"},  // completed only for its own kind
      {std::string("..\\win.ini\0\0\0\0\0\0\0", 17), 0x01, 0x19, "default.bmp"},
      {std::string("a/b.bmp\0\0\0\0\0\0\0\0\0\0", 17), 0x01, 0x19, "default.bmp"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(c.bytes.size(), kPictureWidth);
    DeviceRecord r = Kind(c.category, c.subcategory, true);
    std::memcpy(r.picture, c.bytes.data(), kPictureWidth);
    r.reserved7[0] = 'X';  // what follows the field must never be read as part of it
    EXPECT_EQ(PictureText(r), c.text);
  }
}

TEST(DeviceCatalogue, NameFromCatalogueOnlyWhenEmpty) {
  DeviceRecord keypad = Kind(0x01, 0x1C, true);
  EXPECT_TRUE(NameFromCatalogueIfEmpty(keypad));
  EXPECT_STREQ(keypad.name, "KeypadLinc Dimmer8");

  DeviceRecord named = Kind(0x01, 0x1C, true);
  std::strcpy(named.name, "Hall");
  EXPECT_FALSE(NameFromCatalogueIfEmpty(named));
  EXPECT_STREQ(named.name, "Hall");

  DeviceRecord unknown = Kind(0x00, 0x00, true);
  EXPECT_FALSE(NameFromCatalogueIfEmpty(unknown));
  EXPECT_STREQ(unknown.name, "");
}

}  // namespace
}  // namespace quorvel

#include "automation/x10_codes.h"

#include <gtest/gtest.h>

#include <string>

#include "automation/x10_widget.h"

namespace quorvel {
namespace {

TEST(X10Codes, EveryLetterAndUnitRoundTrips) {
  for (int i = 0; i < 16; ++i) {
    SCOPED_TRACE(i);
    const uint8_t house = HouseCodeFromLetterIndex(i);
    const uint8_t unit = UnitCodeFromNumberIndex(i);
    ASSERT_LT(house, 16);
    ASSERT_LT(unit, 16);
    EXPECT_EQ(HouseLetter(house), 'A' + i);
    EXPECT_EQ(UnitNumber(unit), i + 1);
    EXPECT_EQ(FormatX10Address(house, unit), std::string(1, static_cast<char>('A' + i)) + std::to_string(i + 1));
  }
}

TEST(X10Codes, KnownCodes) {
  struct Case {
    int letterIndex, unitIndex;
    uint8_t house, unit;
    const char* text;
  };
  // The X10 standard's order: A and unit 1 are code 6, M and unit 13 code 0.
  const Case cases[] = {
      {0, 0, 6, 6, "A1"},   {12, 12, 0, 0, "M13"}, {9, 10, 15, 3, "J11"}, {2, 6, 2, 5, "C7"},
      {1, 11, 14, 11, "B12"}, {15, 15, 12, 12, "P16"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(HouseCodeFromLetterIndex(c.letterIndex), c.house);
    EXPECT_EQ(UnitCodeFromNumberIndex(c.unitIndex), c.unit);
    EXPECT_EQ(FormatX10Address(c.house, c.unit), c.text);
  }
}

TEST(X10Codes, OutOfRangeInputs) {
  // A list with no selection hands over -1: it must not read before the table.
  for (int i : {-1, -2, -1000, 16, 17, 255, 100000}) {
    SCOPED_TRACE(i);
    EXPECT_EQ(HouseCodeFromLetterIndex(i), 6);
    EXPECT_EQ(UnitCodeFromNumberIndex(i), 6);
  }
  for (unsigned code : {16u, 65u, 255u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(HouseLetter(code), '\0');
    EXPECT_EQ(UnitNumber(code), 0);
    EXPECT_EQ(FormatX10Address(code, 6), "");
  }
  EXPECT_EQ(FormatX10Address(6, 16), "A0");
}

TEST(X10Widget, FromTypedAddress) {
  struct Case {
    const char* typed;
    uint8_t house, unit;
    const char* text;
  };
  const Case cases[] = {
      {"J11", 15, 3, "J11"}, {"a1", 6, 6, "A1"},    {"p16", 12, 12, "P16"}, {"C7", 2, 5, "C7"},
      // Outside A..P the house byte stays 65, which no table maps: no text.
      {"Q5", 65, 1, ""},     {"", 65, 0, ""},       {"5", 65, 0, ""},
      // A unit outside 1..16, or missing, gives code 0 (unit 13).
      {"A17", 6, 0, "A13"},  {"A0", 6, 0, "A13"},   {"A", 6, 0, "A13"},     {"Ax", 6, 0, "A13"},
      // Only two digits count.
      {"B123", 14, 11, "B12"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    const WidgetRecord w = MakeX10Widget(c.typed);
    EXPECT_EQ(w.widgetType, kWidgetX10Address);
    EXPECT_EQ(w.x10House, c.house);
    EXPECT_EQ(w.x10Unit, c.unit);
    EXPECT_STREQ(w.addressText, c.text);
    for (uint8_t b : w.reserved) EXPECT_EQ(b, 0);
  }
}

TEST(X10Widget, OnlyAWholeAddressIsTakenFromTheUser) {
  struct Case {
    const char* typed;
    bool address;
  };
  const Case cases[] = {
      {"A1", true},   {"j11", true},  {"P16", true}, {"C07", true},
      {"Q5", false},  {"A0", false},  {"A17", false}, {"A", false},   {"", false},
      {"5", false},   {"Ax", false},  {"A1x", false}, {"B123", false}, {" A1", false}, {"A-1", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    EXPECT_EQ(IsX10Address(c.typed), c.address);
  }
}

}  // namespace
}  // namespace quorvel

#include "plm/traffic_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Standard(uint8_t flags, uint8_t cmd1, uint8_t cmd2) {
  return {0x02, 0x50, 0x1A, 0x2B, 0x3C, 0x11, 0x22, 0x33, flags, cmd1, cmd2};
}
Bytes Echo(uint8_t cmd1, uint8_t cmd2) { return {0x02, 0x62, 0x1A, 0x2B, 0x3C, 0x0F, cmd1, cmd2, 0x06}; }
// A link record read out of a device: record address 0F FF, then flags, group,
// linked device 44.55.66 and data bytes d1..d3.
Bytes LinkRecord(uint8_t d1, uint8_t d2, uint8_t d3) {
  return {0x02, 0x51, 0x1A, 0x2B, 0x3C, 0x11, 0x22, 0x33, 0x11, 0x2F, 0x00, 0x00,
          0x01, 0x0F, 0xFF, 0x00, 0xA2, 0x01, 0x44, 0x55, 0x66, d1,   d2,   d3,   0x00};
}
// X10 frames: house A is code 6; units 1..7 are codes 6, 14, 2, 10, 1, 9, 5.
Bytes X10Address(uint8_t raw) { return {0x02, 0x52, raw, 0x00}; }
Bytes X10Function(uint8_t raw) { return {0x02, 0x52, raw, 0x80}; }

const std::string kFromTo = " From 1a.2b.3c      To 11.22.33  ";

struct Case {
  const char* name;
  std::vector<Bytes> frames;  // rendered in order on fresh memory; the last one's text is checked
  std::string text;
};

const Case kCases[] = {
    {"ON at full level", {Standard(0x00, 0x11, 0xFF)}, " From 1a.2b.3c      To 11.22.33   On 100%"},
    {"ON at half level", {Standard(0x20, 0x11, 0x80)}, kFromTo + " On 50%"},
    {"ON at level 0", {Standard(0x20, 0x11, 0x00)}, kFromTo + " On 0%"},
    {"OFF", {Standard(0x00, 0x13, 0x00)}, kFromTo + "Off "},
    {"brighten", {Standard(0x00, 0x15, 0x00)}, kFromTo + "Bri "},
    {"dim", {Standard(0x00, 0x17, 0x00)}, kFromTo + "Dim "},
    {"linking mode", {Standard(0x00, 0x09, 0x01)}, kFromTo + "Enter Linking Mode"},
    {"engine version", {Standard(0x00, 0x0D, 0x00)}, kFromTo + "Request IEV"},
    {"identity", {Standard(0x00, 0x10, 0x00)}, kFromTo + "Request Catagory"},
    {"get flags", {Standard(0x00, 0x1F, 0x00)}, kFromTo + "Get OP Flags"},
    {"set flags", {Standard(0x00, 0x20, 0x00)}, kFromTo + "Set OP Flags"},
    {"unnamed command", {Standard(0x00, 0x19, 0x00)}, kFromTo},
    {"standard link read names no command", {Standard(0x00, 0x2F, 0x00)}, kFromTo},
    {"extended message", {{0x02, 0x51, 0x1A, 0x2B, 0x3C, 0x11, 0x22, 0x33, 0x10, 0x2E, 0x00, 0x01, 0, 0, 0, 0, 0, 0,
                           0, 0, 0, 0, 0, 0, 0}},
     kFromTo},
    // The longest line there is: every part at its longest name.
    {"link record",
     {LinkRecord(0x09, 0x09, 0x09)},
     kFromTo + " 0f.ff.00  Read Device Links 44.55.66  Enter Linking ModeEnter Linking ModeEnter Linking Mode"},
    {"link record, data as commands", {LinkRecord(0x11, 0x0D, 0x00)}, kFromTo +
     " 0f.ff.00  Read Device Links 44.55.66   On 0%Request IEV"},
    {"send echo", {Echo(0x1F, 0x00)}, " 1a.2b.3c  Get OP Flags"},
    {"send echo names command 2 too", {Echo(0x13, 0x11)}, " 1a.2b.3c  Off  On 0%"},
    {"send echo of a status request", {Echo(0x19, 0x00)}, " 1a.2b.3c   Status 0% Status 0%"},
    {"status reply shows the level", {Echo(0x19, 0x00), Standard(0x20, 0x00, 0x80)}, kFromTo + " Status 50%"},
    {"status rendering covers every command",
     {Echo(0x19, 0x00), Standard(0x20, 0x13, 0xFF)},
     kFromTo + " Status 100%"},
    {"a new echo ends the status rendering",
     {Echo(0x19, 0x00), Echo(0x11, 0xFF), Standard(0x20, 0x11, 0xFF)},
     kFromTo + " On 100%"},
    {"X10 address alone", {X10Address(0x66)}, ""},
    {"X10 one address", {X10Address(0x66), X10Function(0x62)}, "A1,   On  "},
    {"X10 two addresses newest first", {X10Address(0x66), X10Address(0x6E), X10Function(0x62)}, "A2, 1,   On  "},
    {"X10 seven addresses keep the first six",
     {X10Address(0x66), X10Address(0x6E), X10Address(0x62), X10Address(0x6A), X10Address(0x61), X10Address(0x69),
      X10Address(0x65), X10Function(0x63)},
     "A6, 5, 4, 3, 2, 1,   Off  "},
    {"X10 function empties the stack", {X10Address(0x66), X10Function(0x62), X10Function(0x63)}, "A  Off  "},
    {"X10 house code 15", {X10Function(0xF2)}, "J  On  "},
    {"X10 house code 0 and unit code 0", {X10Address(0x00), X10Function(0x05)}, "M13,   Bright  "},
    {"X10 odd spelling", {X10Function(0x6E)}, "A  Satus Off  "},
    {"X10 unnamed function", {X10Function(0x6A)}, "A    "},
    {"X10 send echo", {{0x02, 0x63, 0x66, 0x00, 0x06}, {0x02, 0x63, 0x60, 0x80, 0x06}}, "A1,   All Units Off  "},
    {"X10 other flag", {X10Address(0x66), {0x02, 0x52, 0x62, 0x40}}, ""},
    {"X10 other flag keeps the stack", {X10Address(0x66), {0x02, 0x52, 0x62, 0x40}, X10Function(0x62)}, "A1,   On  "},
    {"modem link record has no line", {{0x02, 0x57, 0xE2, 0x01, 0x1A, 0x2B, 0x3C, 0x01, 0x02, 0x03}}, ""},
    {"identity reply has no line", {{0x02, 0x60, 0x11, 0x22, 0x33, 0x03, 0x15, 0x9B, 0x06}}, ""},
};

TEST(TrafficText, RendersFramesAsThePartsOfALine) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    TrafficText traffic;
    TrafficLine line;
    for (const Bytes& frame : c.frames) line = traffic.RenderTrafficText(1300000000, frame.size() - 1, frame.data());
    EXPECT_EQ(std::string(line.view()), c.text);
    EXPECT_EQ(std::string(line.c_str()), c.text) << "the text is terminated";
    EXPECT_LE(line.size(), kTrafficTextMax);
  }
}

TEST(TrafficText, LongestLineFitsTheBound) {
  TrafficText traffic;
  const Bytes frame = LinkRecord(0x09, 0x09, 0x09);
  EXPECT_EQ(traffic.RenderTrafficText(0, frame.size() - 1, frame.data()).size(), 126u);
}

TEST(TrafficText, FrameTooShortForItsCodeRendersNothingAndKeepsMemory) {
  TrafficText traffic;
  const Bytes statusEcho = Echo(0x19, 0x00);
  traffic.RenderTrafficText(0, statusEcho.size() - 1, statusEcho.data());
  const Bytes address = X10Address(0x66);
  traffic.RenderTrafficText(0, address.size() - 1, address.data());
  ASSERT_EQ(traffic.X10UnitCount(), 1);

  struct Short {
    Bytes frame;
    size_t lastIndex;
  };
  const Short shorts[] = {
      {Standard(0x00, 0x11, 0xFF), 9},
      {Echo(0x11, 0x00), 6},
      {X10Address(0x6E), 2},
      {LinkRecord(0x09, 0x09, 0x09), 1},
  };
  for (const Short& s : shorts) {
    EXPECT_TRUE(traffic.RenderTrafficText(0, s.lastIndex, s.frame.data()).empty());
  }
  EXPECT_TRUE(traffic.RenderTrafficText(0, 10, nullptr).empty());
  EXPECT_EQ(traffic.LastSentCmd1(), 0x19);
  EXPECT_EQ(traffic.X10UnitCount(), 1);

  // A link record cut short of its record part still names its addresses.
  const Bytes record = LinkRecord(0x09, 0x09, 0x09);
  EXPECT_EQ(std::string(traffic.RenderTrafficText(0, 20, record.data()).view()), kFromTo);
}

TEST(TrafficText, CommandTextAndTheStatusReplacement) {
  struct CommandCase {
    uint8_t cmd1;
    uint8_t cmd2;
    std::string plain;
  };
  const CommandCase cases[] = {
      {0x11, 0xFF, " On 100%"}, {0x11, 0x01, " On 0%"},  {0x11, 0xFE, " On 99%"},
      {0x13, 0x42, "Off "},     {0x2F, 0x00, "Read Device Links"}, {0x00, 0x00, ""},
      {0x19, 0x80, ""},         {0xFF, 0xFF, ""},
  };
  TrafficText traffic;
  for (const CommandCase& c : cases) {
    EXPECT_EQ(std::string(traffic.CommandText(c.cmd1, c.cmd2).view()), c.plain);
  }
  const Bytes echo = {0x02, 0x62, 0xAA, 0xBB, 0xCC, 0x0F, 0x19, 0x00, 0x06};
  traffic.RenderTrafficText(0, echo.size() - 1, echo.data());
  EXPECT_EQ(traffic.LastSentId(), InsteonId::From(0xAA, 0xBB, 0xCC));
  for (const CommandCase& c : cases) {
    EXPECT_EQ(std::string(traffic.CommandText(c.cmd1, c.cmd2).view()),
              " Status " + std::to_string(c.cmd2 * 100 / 255) + "%");
  }
}

TEST(TrafficLine, CutsAtTheBound) {
  TrafficLine line;
  const std::string long1(100, 'a');
  line.Append(long1);
  line.AppendAddress(reinterpret_cast<const uint8_t*>("\x1a\x2b\x3c"));
  line.Append(long1);
  line.AppendDecimal(4294967295u);
  EXPECT_EQ(line.size(), kTrafficTextMax);
  EXPECT_EQ(std::string(line.c_str()).size(), kTrafficTextMax);
  EXPECT_EQ(std::string(line.view().substr(100, 11)), " 1a.2b.3c  ");
}

}  // namespace
}  // namespace quorvel

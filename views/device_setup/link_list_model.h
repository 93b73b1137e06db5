#pragma once
// The device setup window's list of the selected device's links: whom the
// device controls or answers, in which group, and the on level and ramp rate it
// keeps for each link it answers. Read-only here; the rows carry their link
// slots so that editing can build on them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

struct Context;

inline constexpr int kLinkListColumns = 5;
// Column headings and their share of the list's width (w / share).
inline constexpr const char* kLinkListHeadings[kLinkListColumns] = {"Check/Del   |      Link", "Group", "On Level",
                                                                     "On Rate", "Enter/Save"};
inline constexpr int kLinkListWidthShares[kLinkListColumns] = {3, 10, 10, 8, 6};

struct LinkRow {
  int slot = -1;  // the link's slot in the device's `links`
  std::string cells[kLinkListColumns];
};

struct DeviceLinks {
  std::vector<LinkRow> rows;
  // The group of the device's link to the modem, for the group number list;
  // empty when no row was listed.
  std::optional<uint8_t> modemGroup;
};

// The rows of the record in `deviceSlot`: its in-use links whose other end is
// the modem or a device of the table, in slot order. Nothing for a slot outside
// the table.
DeviceLinks FillDeviceLinks(const Context& ctx, int deviceSlot);

// A link's on level as the list shows it: below 2.55 gives 0, otherwise
// level / 2.55 rounded (255 is 100, 128 is 50, 3 is 1).
int LinkLevelPercent(uint8_t level);
// A ramp code in seconds: 0 is 540, 31 is 0.1; codes above 31 show as 0.5.
double RampSeconds(uint8_t code);
// "%0.1f sec" below a second, "%1.0f sec" otherwise.
std::string RampSecondsText(uint8_t code);
// A percentage as a link's on level: limited to 0..100, then percent x 2.55
// rounded (75 is 191, 50 is 128).
uint8_t PercentToLevel(int percent);
// Whole seconds as a ramp code: 540, 480, ... 4, 2 are codes 0..27; any other
// number (0 included) is 28.
uint8_t SecondsToRampCode(int seconds);
// The code of a ramp text as this list writes it ("540 sec" is 0, "2 sec" 27,
// "0.5 sec" 28 ... "0.1 sec" 31), or -1 for any other text.
int RampCodeOfText(std::string_view text);

}  // namespace quorvel

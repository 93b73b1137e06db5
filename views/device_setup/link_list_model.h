#pragma once
// The device setup window's list of the selected device's links: whom the
// device controls or answers, in which group, and the on level and ramp rate it
// keeps for each link it answers. Read-only here; the rows carry their link
// slots so that editing can build on them.
#include <cstdint>
#include <optional>
#include <string>
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

}  // namespace quorvel

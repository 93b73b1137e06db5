#pragma once
// Link Watch: Insteon links are one-sided records, written separately in the
// controller and the responder, and either can be missing. This checks the link
// tables read from the devices for links whose partner record is missing,
// reports them by device category, makes or removes links on request, and
// repairs a device's missing link to the modem on its own, one at a time.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_record.h"
#include "platform/clock.h"

namespace quorvel {

struct Context;
class DeviceDatabase;

inline constexpr int kReportCategories = 10;
inline constexpr int kReportNotResponding = 9;

// The category list of the Link Watch dialog, in its order.
inline constexpr std::array<std::string_view, kReportCategories> kReportCategoryNames = {
    "All Responding Devices", "Contains Link With No Return Link", "Version 3 Devices",
    "Version 2 Devices",      "Version 1 Devices",                 "Wireless Devices",
    "Dimmable Devices",       "Switch Devices",                    "Controller Devices",
    "Not Responding"};
// The root of the last category is titled differently from its list entry.
inline constexpr std::string_view kNoResponseRoot = "No Response Devices";
inline constexpr std::string_view kZeroLinksOrUnread = "0 LINKS or UNREAD";
// A link line holding this lets the dialog offer "Create Link".
inline constexpr std::string_view kNoReturnMark = "NO return";

// A device counts as never heard from when its last contact is before this year.
inline constexpr int kHeardFromYear = 2010;

// Seconds the line and the device tree must have been quiet before a repair.
inline constexpr int64_t kRepairQuietSeconds = 10;

struct ReportColour {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const ReportColour&, const ReportColour&) = default;
};
inline constexpr ReportColour kReportRed{255, 0, 0};
inline constexpr ReportColour kReportDarkRed{155, 0, 0};

enum class ReportLineKind : uint8_t {
  Root,
  Device,         // "[id] name"
  ReturnLink,     // the partner holds the return link
  NoReturnLink,   // the partner lacks it
  PartnerUnread,  // the partner's link table is empty or was never read
};

// One item of the report tree. Lines are kept in tree order: a line's children
// follow it, so a view adds them as it meets them.
struct ReportLine {
  std::string text;
  ReportLineKind kind = ReportLineKind::Root;
  int parent = -1;  // index of the parent line; -1 for the root
  int depth = 0;    // 0 root, 1 device, 2 link line
  bool expanded = false;
  // Device lines: the device's key. Link lines: the key of the device holding
  // the link and the link's slot in that device, so a selected line names the
  // link that "Create Link" and "Remove Link" act on.
  DeviceKey key = 0;
  int linkIndex = -1;
};

struct LinkReport {
  int category = -1;
  std::vector<ReportLine> lines;  // lines[0] is the root
  // The colour of the tree's connecting lines; the colour set last holds for
  // the whole tree. Unset leaves the tree's own colour.
  std::optional<ReportColour> lineColour;
};

// Index of the first in-use link among the record's first linkCount (at most
// 32) links with this group and id, or -1. Unlike FindLinkInDevice it looks in
// this one record only.
int FindLinkIndex(const DeviceRecord& record, const InsteonId& id, uint8_t group);

// Builds the report of a category (0..9) into `out`, replacing what it held.
// Non-const because asking a device's controller groups also decides whether it
// is listed as a controller. False, with an empty report, for an unknown category.
bool BuildReport(DeviceDatabase& db, const Clock& clock, int category, LinkReport& out);
bool BuildReport(Context& ctx, int category, LinkReport& out);

// The report as indented text, two spaces per level, one line each.
std::string ReportText(const LinkReport& report);

// Level written into a responder record made by "Create Link".
inline constexpr uint8_t kReturnLinkLevel = 0xFE;

// The dialog's "Create Link": prepares the link jobs that write the partner's
// record missing for link `linkIndex` of the device in `slot`. The link's own
// role says which side controls. False, with nothing prepared, when the slot,
// the link or the partner is not there, or a link operation is under way.
bool CreateReturnLink(Context& ctx, int slot, int linkIndex);
// The dialog's "Remove Link": writes link `linkIndex` of the device in `slot`
// back to the device as removed. False when the slot or the link is not there,
// or a link operation is under way.
bool RemoveLink(Context& ctx, int slot, int linkIndex);

// The automatic repair of a device's missing link to the modem, run by the
// polling while the repair option is on: at most one device per 31-second
// window, each device once until CheckFlags clears its repair count. True when
// it ended the polling step early because the line or the device tree was
// busy in the last 10 seconds.
bool AutoRepair(Context& ctx);
// The devices the automatic repair would link to the modem now, whether or not
// the option is on.
int RepairsWaiting(const Context& ctx);
// Sets the engine's hook to AutoRepair.
void WireLinkWatch(Context& ctx);

}  // namespace quorvel

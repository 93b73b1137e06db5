#pragma once
// What the control panels of the Controller Setup tab show and do, without Qt:
// which panel a controller gets (by category and subcategory), the responders
// listed under each of its button groups, where the picture and the group
// rectangles go, and the requests that read a button's settings.
//
// The keypad, remote, motion sensor and I/O module kinds have panels of their
// own with settings; until they exist those kinds show the common frame with
// their button groups (PanelGroupCount), so responders can be linked to them.
#include <cstdint>
#include <string>
#include <vector>

#include "device/device_record.h"
#include "device/insteon_id.h"

namespace quorvel {

struct Context;

// The panel kind, as the Controller Setup window keeps it.
enum class PanelKind : uint8_t {
  kControlLinc = 0,
  kRemoteLinc = 1,
  kKeypadLinc = 2,
  kMotionSensor = 3,
  kTriggerLinc = 4,
  kToggleLinc = 5,
  kDefault = 6,
  kNetworkBridge = 7,
  kIOLinc = 8,
  kSwitchLinc = 9,
};
inline constexpr int kPanelKinds = 10;

// Button groups a panel holds lists for.
inline constexpr int kMaxPanelGroups = 8;
// Responders listed per group.
inline constexpr int kMaxGroupEntries = 31;

struct PanelInfo {
  const char* className;   // "CWndCtrlDefault"
  const char* windowText;  // "Default"
  int controlId;
};
const PanelInfo& PanelInfoOf(PanelKind kind);

// Buttons of a keypad record: 8 or 6 for the keypad kinds in use, else 0.
int KeypadButtonCount(const DeviceRecord& r);
// The panel for a controller, by its category and subcategory.
PanelKind ChooseControllerPanel(const DeviceRecord& r);

// Button groups the panel draws and takes drops on, 1..8.
int PanelGroupCount(PanelKind kind, const DeviceRecord& r);
// The picture file the panel draws.
std::string PanelPicture(PanelKind kind, const DeviceRecord& r);

// What a click on a group rectangle sends after listing the group.
enum class ClickRequest : uint8_t {
  kIgnored,         // the panel takes no clicks
  kNone,            // the group is selected, nothing is sent
  kButtonSettings,  // RequestButtonSettings for the group (button 1 on an I/O module)
  kKeypadRead,      // the keypad's own read of the button
};
ClickRequest RequestAfterClick(PanelKind kind);

// One responder under a group: its record's group and its id.
struct PanelEntry {
  uint8_t group = 0;
  InsteonId id{};
};
struct PanelGroupList {
  uint8_t group = 0;
  uint8_t mark = 0;  // set: its lines are drawn in the brighter green
  std::vector<PanelEntry> entries;  // at most kMaxGroupEntries
};
struct PanelGroups {
  bool found = false;  // the controller is in the table
  InsteonId controller{};
  std::vector<PanelGroupList> lists;  // lists[g - 1] for group g
};

// The responders whose own link tables hold a responder record of the
// controller in `slot` for each of its groups 1..groupCount, one line per
// device, at most 31 per group. Nothing is listed for a kind with no button
// groups; links naming a group the panel does not have are passed over.
PanelGroups LoadGroups(Context& ctx, int slot, int groupCount);
// Adds a responder to a group's list (a drop), unless it is there or the list is full.
void AppendToGroup(PanelGroups& groups, int group, const PanelEntry& entry);

// "[ %02x.%02x.%02x ]   %s": the controller's address and product name.
std::string PanelCaption(const DeviceRecord& r);
// "Group %d", " - Motion"/" - Dark" on a motion sensor, the button letter of
// an 8-button remote.
std::string GroupTitle(const DeviceRecord& r, int group);
// A responder's line in a group box.
std::string EntryText(const PanelEntry& e);

// Rectangles by their outline's pixels, edges included.
struct PanelRect {
  int left = 0, top = 0, right = -1, bottom = -1;
  // Strictly inside: a point on the outline is outside.
  bool StrictlyContains(int x, int y) const { return x > left && x < right && y > top && y < bottom; }
  int Width() const { return right - left + 1; }
  int Height() const { return bottom - top + 1; }
};
inline constexpr int kCaptionHeight = 36;
// The picture area of the simple panels, below the caption at the left.
inline constexpr int kPictureAreaWidth = 225;
inline constexpr int kPictureAreaHeight = 245;

struct PanelLayout {
  PanelRect picture;
  std::vector<PanelRect> groups;  // groups[g - 1] for group g
};
// Picture at the top left below the caption, the group rectangles to its
// right: side by side up to five, in two rows beyond.
PanelLayout LayoutPanel(int groupCount, int width, int height);
// The groups whose rectangle strictly contains the point, ascending.
std::vector<int> GroupsAt(const PanelLayout& layout, int x, int y);

// Asks the device for the settings of button b (0x2E 0x00, D1 = b); an I/O
// module is asked for its operating flags as well (0x1F 0x00).
void RequestButtonSettings(Context& ctx, const DeviceRecord& r, uint8_t button);
// "Set Options" for every kind: 0x2E 0x00 with D1 = button, D2 = 0x05 and D3
// the stored D6 of the device's settings reply.
void WriteButtonOptions(Context& ctx, const DeviceRecord& r, uint8_t button);
// "Read Options": the settings request, and for an I/O module one more 0x1F.
void ReadButtonOptions(Context& ctx, const DeviceRecord& r, uint8_t button);
// A settings reply was stored for the device (its extData is not all zero).
bool SettingsKnown(const DeviceRecord& r);

}  // namespace quorvel

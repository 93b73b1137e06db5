#pragma once
// What the device tree shows, without Qt: the modem at the root, one node per
// computer group with the devices linked to the modem in it, the devices not
// linked, and the tree's commands (selection, label edits, expanding, the
// context menu, drag and drop, the link report). The pane's QTreeWidget fills
// itself from the items RebuildTree leaves.
//
// Every item carries a key: a DeviceKey for a device, the group key (0xFE in
// the top byte) for a group node, the modem's key (0xFF in the top byte) for
// the root and its setup and help lines, 0 for "Unlinked" and "Discovered".
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_record.h"
#include "platform/clock.h"
#include "views/common/menu_entry.h"

namespace quorvel {

struct Context;
struct GroupTable;

enum class TreeItemKind : uint8_t {
  kPlmRoot,         // "[1e.65.a2]  PLM 2413U      (click/setup)", or "PLM Not Found"
  kPlmSetup,        // "Add New Device  /  PLM SETUP"
  kHelpLine,        // the lines shown while the table is empty
  kGroup,           // "[ 3 ] -- Kitchen  --"
  kDevice,          // a record linked to the modem, under its group
  kUnlinkedNode,    // "Unlinked": records whose modem link was removed here
  kDiscoveredNode,  // "Discovered": records the modem does not hold (yet)
  kUnlinkedDevice,
  kDiscoveredDevice,
};

// Text colours of device items, as 0xRRGGBB.
inline constexpr uint32_t kColorBlack = 0x000000;
inline constexpr uint32_t kColorOn = 0x11AA11;
inline constexpr uint32_t kColorMotion = 0x11DD11;
inline constexpr uint32_t kColorTriggered = 0x22DD22;
inline constexpr uint32_t kColorOff = 0xBB0000;

// Image list indices.
inline constexpr int kImageNotFound = 0;
inline constexpr int kImageGeneric = 5;
inline constexpr int kImageGroup = 8;
inline constexpr int kImageUnlinked = 10;
inline constexpr int kTreeImageCount = 11;

// Longest labels the tree's in-place edits take, in bytes.
inline constexpr size_t kGroupLabelEditMax = 62;
inline constexpr size_t kDeviceNameEditMax = 31;

inline constexpr const char* kPlmNotFoundText = "PLM Not Found";
inline constexpr const char* kPlmSetupText = "Add New Device  /  PLM SETUP";
inline constexpr const char* kUnlinkedText = "Unlinked";
inline constexpr const char* kDiscoveredText = "Discovered";

struct TreeItem {
  std::string text;
  uint32_t key = 0;
  TreeItemKind kind = TreeItemKind::kHelpLine;
  uint8_t group = 0;  // a group node's number; a device item's record group
  int image = kImageGeneric;
  uint32_t color = kColorBlack;
  bool expanded = false;
  bool selected = false;  // the setup window's current key
  std::vector<TreeItem> children;
};

struct DeviceTreeModel {
  // Top-level items: the root, then "Unlinked" and "Discovered" when present.
  std::vector<TreeItem> items;
  // While either is set the items are in use by the view: rebuilds wait.
  bool labelEditing = false;
  bool dragging = false;
  bool rebuiltOnce = false;
  Time lastRebuildSecond = 0;
  uint64_t rebuilds = 0;
};

// Rebuilds the items from the table and the group table. While a label is
// being edited or a device dragged, or within the second of the last rebuild
// or the one after it, it raises the tick's pending flag and returns false.
bool RebuildTree(Context& ctx, DeviceTreeModel& model);

// "[ %02x.%02x.%02x ]   %s" and its marks for a device that is on, a sensor's
// states and so on. An unnamed device of a known kind gets its product name
// stored as its name.
std::string DeviceItemText(DeviceRecord& r);
int DeviceItemImage(const DeviceRecord& r);
// Green while on (a sensor: while triggered), dark red while off; controller
// kinds black while off. Asks the catalogue whether the kind is a controller,
// which also decides whether it is listed as one.
uint32_t DeviceItemColor(DeviceRecord& r);
// "[ %d ] -- %s  --", with the discovery and all-devices groups named as such.
std::string GroupItemText(const GroupTable& groups, uint8_t group);

// Rewrites the text and colour of the items carrying `key`; the number of items.
int RefreshDeviceItem(Context& ctx, DeviceTreeModel& model, uint32_t key);

// The first item carrying `key`, or null.
const TreeItem* FindTreeItem(const DeviceTreeModel& model, uint32_t key);

// A new item selected: it becomes the setup window's current key and, once the
// stored details are merged, the event editors' too. A device whose engine or
// identity is unknown is asked for it.
void SelectTreeItem(Context& ctx, uint32_t key);

// Expanding or collapsing a group node.
void SetTreeItemExpanded(Context& ctx, uint32_t key, bool expanded);

// In-place label edits. Only group nodes other than 251 and 255, and device
// items, take one.
bool LabelEditable(TreeItemKind kind, uint8_t group);
// The text the editor starts with: the group's label or the device's name.
std::string EditableLabel(const Context& ctx, uint32_t key);
enum class LabelEdit : uint8_t { kStored, kTooLong, kGone };
// Stores an edited label, as single-byte text. A text longer than the field
// takes (62 bytes for a group, 31 for a name) is refused and changes nothing.
// On success `itemText` is the item's new text.
LabelEdit CommitLabel(Context& ctx, uint32_t key, std::string_view latin1, std::string& itemText);
std::string_view LabelLimitText(uint32_t key);

// The context menu of an item: a device's commands and information lines, and
// the two tips every item ends with.
Menu TreeContextMenu(Context& ctx, uint32_t key);
// The menu's commands that need no box: "Show in Controller Setup List", the
// get requests, On (at `onLevel`) and Off. False for any other command.
bool RunTreeCommand(Context& ctx, uint32_t key, int command, uint8_t onLevel);
// The box "Controller to PLM" shows when the device's link to the modem is not
// in its table as read.
inline constexpr const char* kAldbUpdateTitle = "ALDB Update Requires";
inline constexpr const char* kAldbUpdateText =
    "This function will change a link for the PLM as controller. Link to edit not found. Device ALDB needs to be "
    "current. Select Properties-Refresh Link List.";

// The group a device dragged from `draggedKey` goes into when dropped on an
// item of this kind, key and group; -1 when the drop is refused (the modem's
// items, groups above 251, the dragged item itself, items outside the groups).
int DropTargetGroup(TreeItemKind kind, uint32_t targetKey, uint8_t targetGroup, uint32_t draggedKey);

// Writes the tree and every device's links into the Link Report channel.
void WriteLinkReport(Context& ctx, const DeviceTreeModel& model);

}  // namespace quorvel

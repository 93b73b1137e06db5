#pragma once
// Putting devices into computer groups and taking them out again: the commands
// the device tree and the device setup window share, and the link windows after
// them. Each one looks its device up again by key when it runs, changes nothing
// while a link job is busy (LinkOperationRunning), and says what happened; the
// windows show the boxes that go with each result.
#include <cstdint>

#include "device/device_record.h"
#include "device/insteon_id.h"

namespace quorvel {

struct Context;

enum class GroupLinkResult : uint8_t {
  kDone,        // the modem's side is queued and the device's write prepared (or not needed)
  kAdded,       // a new id joined the table; the engine identifies it and reads its links
  kBusy,        // a link job is busy: nothing changed
  kGone,        // the device is no longer in the table: nothing changed
  kBadId,       // 00.00.00 or the modem's own id: nothing changed
  kTableFull,   // the device table holds all it can: nothing changed
  kNoFreeSlot,  // the device's link table is full: nothing changed
  kRefused,     // not a group this device can be moved into: nothing changed
  kNoLink,      // the device's link to the modem is not in its table as read
};

// Texts of these commands.
inline constexpr const char* kJoinedGroupText = "Link %02X.%02X.%02X to Computer Group %d.";
inline constexpr const char* kMovedToGroupText = "Link %02X.%02X.%02X to Computer Group. %d";
inline constexpr const char* kDeviceTableFullText = "Device table full";

// "Add New Device" / "Join/Create Computer Group": an id the table does not
// know becomes a new record (linkFlags 0) for the engine to identify; a known
// device gets a modem record and its own responder record for `group`, and
// leaves the discovery area 251 if it was there. The new record's key becomes
// the tree's selection.
GroupLinkResult AddOrJoinDevice(Context& ctx, const InsteonId& id, uint8_t group);

// A device dropped on a computer group in the tree: the modem's record moves
// from the device's group to `group`, and the device's responder record for
// the old group is rewritten in place for the new one.
GroupLinkResult MoveDeviceToGroup(Context& ctx, DeviceKey key, uint8_t group);

// Unlinks a device from its computer group: links naming it are marked removed,
// its responder records for the group are written removed, the modem's record
// is deleted, the record shows as unlinked (0x02) and its held commands go.
GroupLinkResult UnlinkFromGroup(Context& ctx, DeviceKey key);

// "Controller to PLM" / "Responder to PLM": flips bit 6 of linkFlags and writes
// the device's link to the modem's group with it, keeping its on level and ramp
// rate. kNoLink (nothing changed) when that link is not in the mirror.
GroupLinkResult ToggleControllerToPlm(Context& ctx, DeviceKey key);

// Groups the tree and the setup window put devices into: 0..251, as the group
// list offers them; 252..255 appear only when the modem already holds them.
inline bool JoinableGroup(int group) { return group >= 0 && group <= 251; }

}  // namespace quorvel

#include "engine/group_links.h"

#include <cstdio>
#include <cstring>

#include "device/group_table.h"
#include "engine/context.h"
#include "engine/link_operations.h"
#include "engine/network_engine.h"
#include "plm/send_queues.h"

namespace quorvel {

namespace {

// The device's own record for the modem's group can be written: it is there to
// be rewritten, or a slot is free for a new one.
bool DeviceCanTakeModemLink(const Context& ctx, const DeviceRecord& r, uint8_t oldGroup, uint8_t newGroup) {
  const InsteonId& plm = ctx.db.plm.plmId;
  return ctx.db.FindLinkInDevice(r.id, oldGroup, plm) >= 0 || ctx.db.FindLinkInDevice(r.id, newGroup, plm) >= 0 ||
         FindFreeLinkSlot(r) >= 0;
}

void LogNoFreeSlot(Context& ctx, const InsteonId& id) {
  ctx.log.LogActivityFormatted("No free link slot in %02X.%02X.%02X", id.b[0], id.b[1], id.b[2]);
}

// The line of a group change, in General Activity and in the wait window.
void Announce(Context& ctx, const char* format, const InsteonId& id, uint8_t group) {
  char text[80];
  std::snprintf(text, sizeof text, format, id.b[0], id.b[1], id.b[2], group);
  ctx.log.LogActivity(text);
  ShowWaitWindow(ctx, text);
}

}  // namespace

GroupLinkResult AddOrJoinDevice(Context& ctx, const InsteonId& id, uint8_t group) {
  DeviceDatabase& db = ctx.db;
  if (LinkOperationRunning(ctx)) return GroupLinkResult::kBusy;
  if (id.IsZero() || id == db.plm.plmId) return GroupLinkResult::kBadId;
  if (db.count >= kMaxDevices) {
    ctx.log.LogActivity(kDeviceTableFullText);
    return GroupLinkResult::kTableFull;
  }
  const int known = db.FindDevice(id);
  if (known >= 0 && !JoinableGroup(group)) return GroupLinkResult::kRefused;
  if (known >= 0 && !DeviceCanTakeModemLink(ctx, db[known], group, group)) {
    LogNoFreeSlot(ctx, id);
    return GroupLinkResult::kNoFreeSlot;
  }

  const int slot = static_cast<int>(db.count);
  DeviceRecord& added = db[slot];
  std::memset(&added, 0, sizeof added);
  if (known < 0) {
    // The engine asks the new device who it is and reads its links.
    added.id = id;
    added.linkFlags = 0;
    ++db.count;
    return GroupLinkResult::kAdded;
  }

  DeviceRecord& r = db[known];
  const bool fromDiscovery = r.group == kDiscoveryGroup;
  // The uncounted slot carries the device's details until the modem's answer to
  // the add request appends a record there, which keeps what the slot holds.
  std::memcpy(&added, &r, sizeof added);
  added.group = group;
  // Only the modem's record leaves the discovery area: the device keeps its
  // responder record for 251 until a write is prepared for it.
  if (fromDiscovery) DeletePlmRecordForDevice(ctx, r);
  if (db.FindLinkInDevice(id, group, db.plm.plmId) < 0) added.groupLinkMissing = 1;
  AddPlmLinkForDevice(ctx, added);
  FindPlmLink(ctx, group, id);
  // The copy is not counted yet: the device's own write is prepared from its
  // record, which holds the same links.
  const bool held = db.FindLinkInDevice(id, group, db.plm.plmId) >= 0;
  const bool prepared = LinkDeviceToPlmGroup(ctx, known, group);
  if (prepared || held) Announce(ctx, kJoinedGroupText, id, group);
  RaiseSaveCounter(ctx.engine.autoSaveCounter);
  ctx.tick.treeSelection = MakeDeviceKey(group, id);
  if (fromDiscovery) r.linkFlags = kRemovedRecordFlags;
  return GroupLinkResult::kDone;
}

GroupLinkResult MoveDeviceToGroup(Context& ctx, DeviceKey key, uint8_t group) {
  DeviceDatabase& db = ctx.db;
  if (LinkOperationRunning(ctx)) return GroupLinkResult::kBusy;
  const int slot = db.FindDeviceByKey(key);
  if (slot < 0) return GroupLinkResult::kGone;
  DeviceRecord& r = db[slot];
  const uint8_t from = r.group;
  // A device already in the group has nothing to move; one not in use is not
  // a member of any group the modem holds.
  bool member = false;
  ForEachRecordOf(db, r.id, [&](int, DeviceRecord& other) { member = member || (other.InUse() && other.group == group); });
  if (!JoinableGroup(group) || !r.InUse() || from == group || member) return GroupLinkResult::kRefused;
  if (!DeviceCanTakeModemLink(ctx, r, from, group)) {
    LogNoFreeSlot(ctx, r.id);
    return GroupLinkResult::kNoFreeSlot;
  }
  r.groupLinkMissing = db.FindLinkInDevice(r.id, group, db.plm.plmId) < 0 ? 1 : 0;
  // The device's record for the old group stays in the mirror, so the move
  // rewrites that very record for the new group instead of adding another.
  DeletePlmRecordForDevice(ctx, r);
  r.group = group;
  AddPlmLinkForDevice(ctx, r);
  FindPlmLink(ctx, group, r.id);
  LinkDeviceToComputerGroup(ctx, slot, from, group);
  Announce(ctx, kMovedToGroupText, r.id, group);
  ctx.tick.treeSelection = MakeDeviceKey(group, r.id);
  return GroupLinkResult::kDone;
}

GroupLinkResult UnlinkFromGroup(Context& ctx, DeviceKey key) {
  DeviceDatabase& db = ctx.db;
  if (LinkOperationRunning(ctx)) return GroupLinkResult::kBusy;
  const int slot = db.FindDeviceByKey(key);
  if (slot < 0) return GroupLinkResult::kGone;
  DeviceRecord& r = db[slot];
  const InsteonId id = r.id;
  db.MarkLinksToDeviceRemoved(slot);
  RemovePlmLinkForDevice(ctx, r);
  r.linkFlags = kRemovedRecordFlags;
  RemoveHeldFor(ctx, id);
  return GroupLinkResult::kDone;
}

GroupLinkResult ToggleControllerToPlm(Context& ctx, DeviceKey key) {
  DeviceDatabase& db = ctx.db;
  if (LinkOperationRunning(ctx)) return GroupLinkResult::kBusy;
  const int slot = db.FindDeviceByKey(key);
  if (slot < 0) return GroupLinkResult::kGone;
  DeviceRecord& r = db[slot];
  int holder = -1;
  const int link = db.FindLinkInDevice(r.id, r.group, db.plm.plmId, &holder);
  if (link < 0 || holder < 0) return GroupLinkResult::kNoLink;
  // The flag changes only together with the write that carries it, and the
  // link keeps its on level and ramp rate.
  r.linkFlags ^= kPlmIsController;
  const LinkRecord& l = db[holder].links[link];
  UpdateLink(ctx, holder, link, r.group, l.data[0], l.data[1], r.linkFlags);
  return GroupLinkResult::kDone;
}

}  // namespace quorvel

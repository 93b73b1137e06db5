#include "engine/device_polling.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "device/device_catalogue.h"
#include "device/device_database.h"
#include "engine/context.h"
#include "engine/link_operations.h"
#include "engine/network_engine.h"
#include "plm/link_reader.h"
#include "plm/send_queues.h"

namespace quorvel {

namespace {

constexpr uint8_t kIdentityRequest = 0x10;
constexpr uint8_t kEngineVersionRequest = 0x0D;
constexpr uint8_t kStatusRequest = 0x19;
// The pickers look at every slot but the one that is never used.
constexpr int kPickerSlots = kDeviceSlots - 1;
// Engine steps waited while the send rings still work.
constexpr int kWaitWhileRingsBusy = 10;
constexpr int kWaitWhileReading = 100;
// The placement of a discovered device tries for its engine version this often.
constexpr int kPlacementVersionTries = 3;

constexpr const char* kDiscoveryWaitText = "Device discovery placed to Area 251  %02x.%02x.%02x\n\nPlease wait...";
constexpr const char* kDiscoveryText = "Device discovery placed to Area 251  %02x.%02x.%02x";
constexpr const char* kPreparingLinksText = "Preparing to read links from %02x.%02x.%02x";
constexpr const char* kAldbRequestText = "ALDB Request : %02x.%02x.%02x";
constexpr const char* kHeldWirelessText = " - Held for wireless device.";
constexpr const char* kCategoryRequestText = "Catagory Request : %02x.%02x.%02x";
constexpr const char* kVersionRequestText = "IEV Request : %02x.%02x.%02x";
constexpr const char* kStatusRequestText = "Status Request : %02x.%02x.%02x";
constexpr const char* kStatusDiscovery = "Device discovery...";
constexpr const char* kStatusReadingLinks = "Reading responder links...";
constexpr const char* kStatusCategory = "Reading device catagory...";
constexpr const char* kStatusVersion = "Reading Insteon Version...";
constexpr const char* kStatusStatus = "Reading device status...";

std::string Format(const char* format, ...) {
  char text[160];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

std::string WithId(const char* format, const InsteonId& id) { return Format(format, id.b[0], id.b[1], id.b[2]); }

bool EngineKnown(const DeviceRecord& r) {
  return r.engineVersion >= kEngineI1 && r.engineVersion <= kEngineI2cs;
}

// The identity is known, or it has not been asked for yet: the device is not
// one whose identity request went unanswered.
bool NotGivenUp(const DeviceRecord& r) { return r.IdentityKnown() || r.categoryTries == 0; }

// The scan the three request pickers share: the first slot that wants the
// request, then the 180-second rule on that one record only.
template <typename Wants, typename LastAsked>
int PickRequest(Context& ctx, uint8_t cmd1, Wants wants, LastAsked lastAsked) {
  DeviceDatabase& db = ctx.db;
  for (int i = 0; i < kPickerSlots; ++i) {
    const DeviceRecord& r = db.records[i];
    if (!r.InUse() || !wants(r)) continue;
    if (ctx.queues.hold.Find(r.id, cmd1) >= 0) continue;
    if (ctx.clock.Now() - lastAsked(r) <= kRequestSpacingSeconds) return -1;
    return i;
  }
  return -1;
}

// A repeated read of a device that sleeps goes out only when it wakes.
void LogHeldRead(Context& ctx, const DeviceRecord& r) {
  ctx.log.LogActivity(WithId(kAldbRequestText, r.id));
  ctx.log.LogActivity(kHeldWirelessText);
}

// The picks work on slots up to 479 whatever the count is: a stale record past
// the count is asked for only if the send side knows the device.
DeviceRecord* Picked(Context& ctx, int slot) {
  if (slot < 0 || slot >= kPickerSlots) return nullptr;
  return &ctx.db.records[slot];
}

int SaveCounters(const NetworkEngine& e) { return e.autoSaveCounter + e.discoveriesSinceSave + e.linkReadsSinceSave; }

}  // namespace

int PickCategoryRequest(Context& ctx) {
  return PickRequest(
      ctx, kIdentityRequest, [](const DeviceRecord& r) { return !r.IdentityKnown() && r.categoryTries == 0; },
      [](const DeviceRecord& r) { return r.timeCategoryRequest; });
}

int PickVersionRequest(Context& ctx) {
  return PickRequest(
      ctx, kEngineVersionRequest,
      [](const DeviceRecord& r) { return NotGivenUp(r) && !EngineKnown(r) && r.versionTries == 0; },
      [](const DeviceRecord& r) { return r.timeVersionRequest; });
}

int PickStatusRequest(Context& ctx) {
  DeviceDatabase& db = ctx.db;
  const int n = static_cast<int>(db.count < kMaxDevices ? db.count : kMaxDevices);
  for (int i = 0; i < n; ++i) {
    DeviceRecord& r = db.records[i];
    if ((r.workFlags & kWorkStatusWanted) != 0) {
      r.workFlags &= static_cast<uint8_t>(~kWorkStatusWanted);
      return i;
    }
  }
  return PickRequest(
      ctx, kStatusRequest, [](const DeviceRecord& r) { return NotGivenUp(r) && r.get_statusTries == 0; },
      [](const DeviceRecord& r) { return r.timeStatusRequest; });
}

int PickLinkRead(Context& ctx) {
  DeviceDatabase& db = ctx.db;
  PollState& p = ctx.engine.poll;
  const int n = static_cast<int>(db.count < kMaxDevices ? db.count : kMaxDevices);
  for (int i = 0; i < n; ++i) {
    DeviceRecord& r = db.records[i];
    if ((r.workFlags & kWorkLinksReread) != 0) {
      r.workFlags &= static_cast<uint8_t>(~kWorkLinksReread);
      return i;
    }
  }
  for (int i = 0; i < kPickerSlots; ++i) {
    DeviceRecord& r = db.records[i];
    if (r.aldbReadState == kReadUserRequested) {
      r.aldbReadState = 3;
      p.lastUserLinkPick = i;
      if (r.linksUpdated == 0) return i;
      continue;
    }
    if (r.aldbReadState == kReadGivenUp || r.aldbReadState > kReadUserRequested) continue;
    if (NotGivenUp(r) && r.aldbReadState > 0) {
      ++r.aldbReadState;
      // Links stored and not yet shown hold the read back; the pick still counts.
      if (r.linksUpdated == 0) return i;
    }
  }
  return -1;
}

int FindFreeSlot(const Context& ctx) {
  const DeviceDatabase& db = ctx.db;
  const int n = static_cast<int>(db.count < kMaxDevices ? db.count : kMaxDevices);
  for (int i = 0; i < n; ++i) {
    if (db.records[i].linkFlags == 0) return i;
  }
  return -1;
}

namespace {
// A tries counter that wrapped to 0 would have the device asked as if never asked.
void CountTry(uint8_t& tries) {
  if (tries < 0xFF) ++tries;
}
}  // namespace

void SendCategoryRequest(Context& ctx, DeviceRecord& record) {
  record.timeCategoryRequest = ctx.clock.Now();
  SendStandard(ctx, record.id, kIdentityRequest, 0x00);
  CountTry(record.categoryTries);
}

void SendVersionRequest(Context& ctx, DeviceRecord& record) {
  if (FindPending(ctx, record.id, kEngineVersionRequest, 0x00) >= 0) return;
  record.timeVersionRequest = ctx.clock.Now();
  SendStandard(ctx, record.id, kEngineVersionRequest, 0x00);
  CountTry(record.versionTries);
}

void SendStatusRequest(Context& ctx, DeviceRecord& record) {
  if (!EngineKnown(record)) {
    ++record.get_statusTries;
    record.versionTries = 0;
    SendVersionRequest(ctx, record);
    return;
  }
  record.timeStatusRequest = ctx.clock.Now();
  ++record.get_statusTries;
  const InsteonId id = record.id;
  const uint8_t category = record.category;
  const uint8_t subcategory = record.subcategory;
  if ((category == 0x03 || category == 0x07 || category == 0x0A) && subcategory == 0x00) {
    // Two status values and both operating flags bytes.
    SendStandard(ctx, id, kStatusRequest, 0x01);
    SendStandard(ctx, id, 0x1F, 0x00);
    SendStandard(ctx, id, 0x1F, 0x02);
    SendStandard(ctx, id, kStatusRequest, 0x00);
  } else if (category == 0x09 && subcategory == 0x07) {
    SendStandard(ctx, id, 0x82, 0x00);  // the energy meter's own reading
  } else {
    SendStandard(ctx, id, kStatusRequest, 0x00);
  }
}

void SendLedMask(Context& ctx, DeviceRecord& record) {
  record.ledDirty = 0;
  uint8_t data[kExtendedDataBytes] = {};
  data[0] = 0x00;
  data[1] = 0x09;
  data[2] = record.groupStates;
  SendExtended(ctx, record.id, 0x2E, 0x00, data);
}

int PlaceInDiscoveryArea(Context& ctx, DeviceRecord& record) {
  if (!record.IdentityKnown() && record.categoryTries == 0) {
    if (FindPending(ctx, record.id, kIdentityRequest, 0x00) < 0) SendCategoryRequest(ctx, record);
    return -1;
  }
  if (record.IdentityKnown() && record.versionTries < kPlacementVersionTries && !EngineKnown(record)) {
    SendVersionRequest(ctx, record);
    return -1;
  }
  if (!ctx.queues.replyRing.Empty()) return -1;

  record.categoryTries = 0;
  record.versionTries = 0;
  record.categoryLearned = 0;
  record.group = kDiscoveryGroup;
  if (record.linkFlags == 0) record.linkFlags = 0xA2;
  // The modem takes the device as a responder of the discovery group, then
  // reports the record it made.
  const uint8_t add[10] = {0x6F,        0x41,        record.linkFlags, kDiscoveryGroup,    record.id.b[0],
                           record.id.b[1], record.id.b[2], record.category, record.subcategory, record.firmware};
  EnqueueModemCommand(ctx, add, sizeof add);
  const uint8_t getForSender[1] = {0x6C};
  EnqueueModemCommand(ctx, getForSender, 1);
  record.workFlags |= kWorkStatusWanted;
  record.get_statusTries = 0;
  return kDiscoveryGroup;
}

void Poll(Context& ctx) {
  DeviceDatabase& db = ctx.db;
  NetworkEngine& e = ctx.engine;
  PollState& p = e.poll;
  SendQueues& q = ctx.queues;
  const LinkReader& reader = ctx.linkReader;

  if (db.count == 0) return;
  if (reader.Busy()) {
    e.engineWait = kWaitWhileReading;
    return;
  }
  if (!q.modem.Empty()) return;
  if (!q.replyRing.Empty() || !q.plainRing.Empty()) {
    e.engineWait = kWaitWhileRingsBusy;
    return;
  }
  if (e.engineState < 8) return;
  if (LinkJobStarted(ctx) || I1WriteInProgress(ctx)) return;

  CloseWaitWindow(ctx);
  e.engineWait = kWaitAfterStatus;
  if (!q.modem.Empty()) return;

  // Traffic the user caused goes first: nothing is asked while the line is busy.
  const Time now = ctx.clock.Now();
  if (now - ctx.tick.lastReceiveTime <= kPollQuietSeconds) {
    p.pollDivider = 0;
    return;
  }

  // Work asked for by the replies and the views.
  const int n = static_cast<int>(db.count < kMaxDevices + 1 ? db.count : kMaxDevices + 1);
  for (int i = 0; i < n; ++i) {
    DeviceRecord& r = db.records[i];
    if ((r.workFlags & kWorkStatusWanted) != 0) {
      r.workFlags &= static_cast<uint8_t>(~kWorkStatusWanted);
      SendStatusRequest(ctx, r);
      return;
    }
    if ((r.workFlags & kWorkLinksReread) != 0) {
      r.workFlags &= static_cast<uint8_t>(~kWorkLinksReread);
      StartLinkRead(ctx, r);
      return;
    }
    if (r.ledDirty != 0) {
      SendLedMask(ctx, r);
      return;
    }
  }

  // Devices seen only in other devices' links join the modem's discovery group.
  p.discoveryPick = FindFreeSlot(ctx);
  if (p.discoveryPick >= 0 && (ctx.options.runFlags & kRunDiscovery) != 0) {
    DeviceRecord& r = db.records[p.discoveryPick];
    ShowWaitWindow(ctx, WithId(kDiscoveryWaitText, r.id));
    q.replyRing.maxTries = 1;
    if (PlaceInDiscoveryArea(ctx, r) != kDiscoveryGroup) return;
    ctx.log.LogActivity(WithId(kDiscoveryText, r.id));
    ctx.log.LogActivity(WithId(kPreparingLinksText, r.id));
    e.statusText = kStatusDiscovery;
    if (r.InUse()) r.aldbReadState = kReadWanted;
    RaiseSaveCounter(e.discoveriesSinceSave);
    e.engineWait = kWaitAfterLinkRead;
    return;
  }

  CloseWaitWindow(ctx);
  if (!reader.Busy() && p.statusPick == -1) {
    p.linkPick = PickLinkRead(ctx);
    if (DeviceRecord* r = Picked(ctx, p.linkPick)) {
      if (StartLinkRead(ctx, *r) == 1 && r->aldbReadState > 2) {
        if (IsWirelessDevice(*r)) LogHeldRead(ctx, *r);
        e.statusText = kStatusReadingLinks;
        e.engineWait = kWaitAfterLinkRead;
        return;
      }
    }
  }

  if (++p.pollDivider > 3) {
    p.pollDivider = 0;
    p.categoryPick = PickCategoryRequest(ctx);
    if (DeviceRecord* r = Picked(ctx, p.categoryPick)) {
      SendCategoryRequest(ctx, *r);
      ctx.log.LogActivity(WithId(kCategoryRequestText, r->id));
      e.statusText = kStatusCategory;
      e.engineWait = kWaitAfterIdentity;
      return;
    }
    p.versionPick = PickVersionRequest(ctx);
    if (DeviceRecord* r = Picked(ctx, p.versionPick)) {
      SendVersionRequest(ctx, *r);
      r->timeVersionRequest = now;
      ctx.log.LogActivity(WithId(kVersionRequestText, r->id));
      e.statusText = kStatusVersion;
      e.engineWait = kWaitAfterIdentity;
      return;
    }

    if (!reader.Busy()) {
      p.statusPick = PickStatusRequest(ctx);
      DeviceRecord* r = Picked(ctx, p.statusPick);
      if (r != nullptr && r->get_statusTries == 0) {
        SendStatusRequest(ctx, *r);
        ctx.log.LogActivity(WithId(kStatusRequestText, r->id));
        e.statusText = kStatusStatus;
        e.engineWait = kWaitAfterStatus;
        return;
      }
    }

    if (!reader.Busy() && p.statusPick == -1) {
      p.linkPick = PickLinkRead(ctx);
      if (DeviceRecord* r = Picked(ctx, p.linkPick)) {
        if (StartLinkRead(ctx, *r) == 1 && r->aldbReadState > 2) {
          if (r->category == 0x0A || (r->category == 0 && r->subcategory == 5)) LogHeldRead(ctx, *r);
          e.statusText = kStatusReadingLinks;
          RaiseSaveCounter(e.linkReadsSinceSave);
          e.engineWait = kWaitAfterLinkRead;
          return;
        }
      }
    }
    if (!q.modem.Empty()) return;
    // Enough learned and nothing left to ask: the data is saved once the line
    // and the device tree are quiet, and until then the step ends here.
    const bool nothingPicked = p.versionPick == -1 && p.linkPick == -1 && p.categoryPick == -1;
    if (nothingPicked && SaveCounters(e) > kAutoSaveThreshold) {
      const bool endHere = AutoSaveStep(ctx);
      if (endHere && SaveCounters(e) != 0) return;
    }
  }

  const bool endedEarly = e.autoRepair ? e.autoRepair(ctx) : false;
  if (!endedEarly) e.statusText = kStatusIdle;
}

}  // namespace quorvel

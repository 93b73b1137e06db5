#include "plm/incoming_messages.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "automation/logic_events.h"
#include "device/device_catalogue.h"
#include "engine/context.h"
#include "engine/device_polling.h"
#include "plm/link_reader.h"
#include "platform/bytes.h"
#include "plm/send_queues.h"

namespace quorvel {

namespace {

constexpr uint8_t kWorkPass = kWorkOnOffPass;

// Frame lengths the handlers read up to.
constexpr size_t kStandardLength = 11;
constexpr size_t kExtendedLength = 25;

bool IsOn(uint8_t cmd1) { return cmd1 == 0x11 || cmd1 == 0x12; }
bool IsOff(uint8_t cmd1) { return cmd1 == 0x13 || cmd1 == 0x14; }
bool EngineKnown(uint8_t v) { return v >= kEngineI1 && v <= kEngineI2cs; }

// The bit of group g in the 8-bit groupStates: groups 1..8 (0 counts as 1).
// Any other group number, from the wire or from link data, has no bit.
int GroupBit(int g) {
  if (g == 0) return 0;
  if (g >= 1 && g <= 8) return g - 1;
  return -1;
}

struct Line {
  char text[200];
};

__attribute__((format(printf, 1, 2))) Line Format(const char* format, ...) {
  Line line;
  va_list args;
  va_start(args, format);
  std::vsnprintf(line.text, sizeof line.text, format, args);
  va_end(args);
  return line;
}

void LogOnOff(Context& ctx, bool on, const Line& line) {
  if (on) {
    ctx.log.LogActivityOn(line.text);
    ctx.log.LogOnEvent(line.text);
  } else {
    ctx.log.LogActivityOff(line.text);
    ctx.log.LogOffEvent(line.text);
  }
}

void Trace(Context& ctx, const Line& line) {
  if (ctx.db.traceHook) ctx.db.traceHook(line.text);
}

// A record's name for "%.*s": bounded by its field even in a damaged record.
struct Name {
  explicit Name(const DeviceRecord& r) : text(FixedText(r.name)) {}
  int size() const { return static_cast<int>(text.size()); }
  const char* data() const { return text.data(); }
  std::string_view text;
};

void DeviceChanged(Context& ctx, const DeviceRecord& r) {
  ctx.notifier.DeviceChanged(MakeDeviceKey(r.group, r.id));
}

void ClearPassMarks(Context& ctx) {
  const uint32_t n = ctx.db.count < kMaxDevices + 1 ? ctx.db.count : kMaxDevices + 1;
  for (uint32_t i = 0; i < n; ++i) ctx.db.records[i].workFlags &= static_cast<uint8_t>(~kWorkPass);
}

void MarkPass(Context& ctx, const InsteonId& id) {
  ForEachRecordOf(ctx.db, id, [](int, DeviceRecord& r) { r.workFlags |= kWorkPass; });
}

void RequestIdentityIfUnknown(Context& ctx, DeviceRecord& r) {
  if (r.IdentityKnown() || FindPending(ctx, r.id, 0x10, 0x00) >= 0) return;
  SendCategoryRequest(ctx, r);
}

// Extended settings request (0x2E) of a motion sensor or a keypad, D1 = what.
void RequestSettings(Context& ctx, const InsteonId& id, uint8_t what) {
  uint8_t data[kExtendedDataBytes] = {};
  data[0] = what;
  SendExtended(ctx, id, 0x2E, 0x00, data);
}

// --- Device replies ------------------------------------------------------------

void EngineVersionReply(Context& ctx, const InsteonId& from, uint8_t version) {
  const Time now = ctx.clock.Now();
  // The settings land in the device's first record whichever record asks, so
  // a keypad with records in several groups is asked once, not once for each.
  bool settingsAsked = false;
  ForEachRecordOf(ctx.db, from, [&](int, DeviceRecord& r) {
    r.timeLastContact = now;
    r.noResponse = 0;
    if (version <= 2) r.engineVersion = static_cast<uint8_t>(version + 1);
    if (!settingsAsked && ((r.category == 0x10 && r.subcategory == 0x01) || (r.InUse() && IsKeypadLinc(r)))) {
      RequestSettings(ctx, from, 1);
      settingsAsked = true;
    }
    DeviceChanged(ctx, r);
    RequestIdentityIfUnknown(ctx, r);
  });
}

void StatusReply(Context& ctx, const InsteonId& from, uint8_t revision, uint8_t value, uint8_t variant) {
  const Time now = ctx.clock.Now();
  bool marked = false;
  ForEachRecordOf(ctx.db, from, [&](int, DeviceRecord& r) {
    if (r.aldbDelta != revision) {
      r.aldbDelta = revision;
      // One mark per device: its links are read again once.
      if (!marked) r.workFlags |= kWorkLinksReread;
      marked = true;
    }
    r.timeStatusReply = now;
    r.timeLastContact = now;
    if (r.linkCount == 0 && r.aldbReadState != kReadUserRequested) r.aldbReadState = kReadWanted;
    if (variant == 0)
      r.level = value;
    else if (variant == 1)
      r.level2 = value;
    DeviceChanged(ctx, r);
  });
}

void OperatingFlagsReply(Context& ctx, const InsteonId& from, uint8_t variant, uint8_t value) {
  if (ctx.db.FindDevice(from) < 0) return;
  const Time now = ctx.clock.Now();
  ForEachRecordOf(ctx.db, from, [&](int, DeviceRecord& r) {
    if (variant == 0)
      r.opFlags = value;
    else if (variant == 2)
      r.opFlags2 = value;
    r.timeLastContact = now;
    r.noResponse = 0;
  });
  ctx.notifier.Refresh(ViewRefresh::DeviceSetup);
}

// A SET-button broadcast: the device tells its kind in the to-address.
void IdentityBroadcast(Context& ctx, const InsteonId& from, uint8_t category, uint8_t subcategory, uint8_t firmware) {
  const Time now = ctx.clock.Now();
  int lastChanged = -1;
  ForEachRecordOf(ctx.db, from, [&](int slot, DeviceRecord& r) {
    if (r.category != category && r.subcategory != subcategory) lastChanged = slot;
    LearnIdentity(r, category, subcategory, firmware, now);
    DeviceChanged(ctx, r);
    NameFromCatalogueIfEmpty(r);
    const Line line =
        Format("[%02x %02x %02x] %.*s  Catagory %x.%x", from.b[0], from.b[1], from.b[2], Name(r).size(), Name(r).data(),
               category, subcategory);
    ctx.log.LogActivity(line.text);
    Trace(ctx, line);
    // A device outside the mains-powered kinds (a controller or a sensor, which
    // may sleep again soon) is asked for its engine now, while it is awake; the
    // polling asks the others. A second press while that request waits asks
    // nothing more.
    if (category != 0x01 && category != 0x02 && category != 0x03) SendVersionRequest(ctx, r);
  });
  if (lastChanged < 0) return;
  // Whether it is listed as a controller follows from its kind.
  ctx.refresh.controllerListRefresh = true;
  const DeviceRecord& r = ctx.db[lastChanged];
  const uint8_t find[10] = {0x6F, 0x00, 0x00, r.group, r.id.b[0], r.id.b[1], r.id.b[2], 0x00, 0x00, 0x00};
  EnqueueModemCommand(ctx, find, sizeof find);
}

// The in-use keypads of the table, in slot order, found once per message: a
// responder's LED update looks its links up among them instead of scanning
// every record for every link.
struct Keypads {
  int slots[kMaxDevices];
  int count = -1;  // not gathered yet

  void Gather(const DeviceDatabase& db) {
    if (count >= 0) return;
    count = 0;
    const uint32_t n = db.count < kMaxDevices ? db.count : kMaxDevices;
    for (uint32_t i = 0; i < n; ++i)
      if (db.records[i].InUse() && IsKeypadLinc(db.records[i])) slots[count++] = static_cast<int>(i);
  }
  int Find(const DeviceDatabase& db, const InsteonId& id) const {
    for (int k = 0; k < count; ++k)
      if (db.records[slots[k]].id == id) return slots[k];
    return -1;
  }
};

// A keypad that shares a responder shows that responder's state on its button.
void UpdateKeypadLeds(Context& ctx, Keypads& keypads, const DeviceRecord& responder, uint8_t cmd1) {
  DeviceDatabase& db = ctx.db;
  keypads.Gather(db);
  for (int j = 0; j < responder.LinkLimit(); ++j) {
    const LinkRecord& link = responder.links[j];
    if (!link.InUse()) continue;
    const int found = keypads.Find(db, link.id);
    if (found < 0) continue;
    DeviceRecord* keypad = &db.records[found];
    const int bit = GroupBit(link.group);
    if (bit < 0) continue;
    const uint8_t mask = static_cast<uint8_t>(1u << bit);
    if (IsOn(cmd1)) {
      keypad->groupStates |= mask;
      keypad->ledDirty = 1;
    } else if (IsOff(cmd1)) {
      bool anyOn = false;
      for (int k = 0; k < keypad->LinkLimit() && !anyOn; ++k) {
        const LinkRecord& kl = keypad->links[k];
        if (!kl.InUse()) continue;
        const int s = db.FindDeviceInGroup(link.group, kl.id);
        anyOn = s >= 0 && db[s].level != 0;
      }
      if (!anyOn) {
        keypad->groupStates &= static_cast<uint8_t>(~mask);
        keypad->ledDirty = 1;
      }
    }
  }
}

void GroupBroadcast(Context& ctx, const InsteonId& from, uint8_t g, uint8_t cmd1) {
  DeviceDatabase& db = ctx.db;
  const int slot = db.FindDevice(from);
  if (slot < 0) {
    ctx.log.LogActivityOn(Format("[%02x %02x %02x] Group %d - Device not PLM Link!", from.b[0], from.b[1], from.b[2], g).text);
    return;
  }
  DeviceRecord& c = db[slot];
  c.timeLastContact = ctx.clock.Now();
  c.noResponse = 0;
  if (!c.IdentityKnown()) c.categoryTries = 0;
  if (!EngineKnown(c.engineVersion)) c.versionTries = 0;
  if (c.linkCount == 0) c.aldbReadState = kReadWanted;
  if (IsMotionSensor(c) && (g == 2 || g == 3)) RequestSettings(ctx, from, g);  // dusk/dawn, low battery
  NameFromCatalogueIfEmpty(c);
  if (IsOn(cmd1) || IsOff(cmd1)) {
    const bool on = IsOn(cmd1);
    c.level = on ? 255 : 0;
    LogOnOff(ctx, on,
             Format("[%02x %02x %02x]  %.*s  Group %d %s", from.b[0], from.b[1], from.b[2], Name(c).size(), Name(c).data(), g,
                    on ? "On" : "Off"));
  }

  // The responders of this button follow it.
  Keypads keypads;
  const uint32_t n = db.count < kMaxDevices ? db.count : kMaxDevices;
  for (uint32_t i = 0; i < n; ++i) {
    DeviceRecord& r = db.records[i];
    for (int j = 0; j < r.LinkLimit(); ++j) {
      const LinkRecord& link = r.links[j];
      if (!link.InUse() || !(link.id == from) || link.group != g) continue;
      NameFromCatalogueIfEmpty(r);
      if (IsOff(cmd1)) r.level = 0;
      if (IsOn(cmd1)) r.level = (r.InUse() && r.category == 0x01) ? link.data[0] : 255;
      if ((r.workFlags & kWorkPass) == 0 && FindHeldFor(ctx, from) < 0) UpdateKeypadLeds(ctx, keypads, r, cmd1);
      MarkPass(ctx, r.id);
      if (IsOn(cmd1) || IsOff(cmd1)) {
        const bool on = IsOn(cmd1);
        LogOnOff(ctx, on,
                 Format(on ? "On  [%02x %02x %02x]  %.*s" : "Off [%02x %02x %02x]  %.*s", r.id.b[0], r.id.b[1], r.id.b[2],
                        Name(r).size(), Name(r).data()));
      }
      DeviceChanged(ctx, r);
    }
  }
  ClearPassMarks(ctx);
}

void OnOffMessage(Context& ctx, const InsteonId& from, uint8_t cmd1, uint8_t cmd2) {
  const Time now = ctx.clock.Now();
  bool shown = false;
  MarkPass(ctx, from);
  ForEachRecordOf(ctx.db, from, [&](int, DeviceRecord& r) {
    if (IsOff(cmd1))
      r.level = 0;
    else if (IsOn(cmd1))
      r.level = (r.InUse() && r.category == 0x01) ? cmd2 : 255;
    else
      r.level = cmd2;
    if (cmd1 == 0x11) r.timeLastOn = now;
    if (cmd1 == 0x13) r.timeLastOff = now;
    r.timeLastContact = now;
    DeviceChanged(ctx, r);
    if (ControllerGroupCount(r) == 0) {
      NameFromCatalogueIfEmpty(r);
      const bool on = IsOn(cmd1);
      const Line line = Format(on ? " [%02x %02x %02x]  %.*s  ON" : " [%02x %02x %02x]  %.*s  OFF", from.b[0], from.b[1],
                               from.b[2], Name(r).size(), Name(r).data());
      if (on) {
        ctx.log.LogActivityOn(line.text);
        Trace(ctx, line);
        ctx.log.LogOnEvent(line.text);
      } else {
        ctx.log.LogActivityOff(line.text);
        Trace(ctx, line);
        ctx.log.LogOffEvent(line.text);
      }
      shown = true;
    }
    RequestIdentityIfUnknown(ctx, r);
  });
  if (shown) {
    ctx.notifier.Refresh(ViewRefresh::DeviceSetup);
    ctx.notifier.Refresh(ViewRefresh::GroupView);
  }
  ClearPassMarks(ctx);
}

// A controller's buttons: which of its groups are on.
void ControllerGroups(Context& ctx, const InsteonId& from, uint8_t g, uint8_t cmd1) {
  const int bit = GroupBit(g);
  ForEachRecordOf(ctx.db, from, [&](int, DeviceRecord& r) {
    if (ControllerGroupCount(r) == 0) return;
    if (IsOn(cmd1)) {
      // A TriggerLinc keeps the group number itself.
      if (r.InUse() && r.category == 0x10 && r.subcategory == 0x02) {
        r.groupStates = g;
        return;
      }
      if (bit >= 0) r.groupStates |= static_cast<uint8_t>(1u << bit);
    } else if (bit >= 0) {
      r.groupStates &= static_cast<uint8_t>(~(1u << bit));
    }
    char list[40] = {};
    size_t used = 0;
    for (int b = 0; b < 8; ++b) {
      if ((r.groupStates & (1u << b)) == 0) continue;
      used += static_cast<size_t>(
          std::snprintf(list + used, sizeof list - used, b == 0 ? "%d" : ", %d", b + 1));
    }
    const bool any = used > 0;
    LogOnOff(ctx, any,
             Format("[%02x %02x %02x]  %.*s  Groups %s are %s", from.b[0], from.b[1], from.b[2], Name(r).size(),
                    Name(r).data(), list, any ? "On" : "Off"));
  });
}

// A group command the modem could not deliver: the devices of that group are
// asked to link back to the modem.
void RepairGroupLink(Context& ctx, uint8_t group) {
  DeviceDatabase& db = ctx.db;
  const uint32_t n = db.count < kMaxDevices ? db.count : kMaxDevices;
  for (uint32_t i = 0; i < n; ++i) {
    const DeviceRecord& r = db.records[i];
    if (r.group != group || !r.InUse() || r.engineVersion <= kEngineI1) continue;
    const InsteonId id = r.id;
    const uint8_t engine = r.engineVersion;
    WriteStartLinkingDiscovery(ctx);
    if (engine == kEngineI2cs) {
      uint8_t data[kExtendedDataBytes] = {};
      data[0] = 0xFB;
      SendExtended(ctx, id, 0x2E, 0x00, data);
    } else if (engine == kEngineI2)
      SendStandard(ctx, id, 0x09, 0xFB);
    return;
  }
}

// The device's settings arrived: they answer its settings requests (D2 0)
// that went out, even when their acknowledgement was lost on the way.
void CompleteSettingsRequests(Context& ctx, const InsteonId& from) {
  RingSlots& ring = ctx.queues.replyRing;
  for (uint8_t i = ring.head; i != ring.tail; i = RingSlots::Next(i)) {
    RingEntry& e = ring.slots[i];
    const bool request = (e.flags & kFlagExtendedBit) != 0 && e.cmd1 == 0x2E && e.data[1] == 0x00;
    if (request && e.tries > 0 && e.status != kEntryDone && e.id == from) e.status = kEntryDone;
  }
}

void ReleaseHeldFor(Context& ctx, const InsteonId& from) {
  SendQueues& q = ctx.queues;
  bool changed = false;
  for (int i = 0; i < kHoldSlots; ++i) {
    const RingEntry& h = q.hold.slots[i];
    if (!HoldQueue::InUse(h) || !(h.id == from)) continue;
    const int slot = ctx.db.FindDevice(from);
    if (slot >= 0 && ctx.db[slot].engineVersion < kEngineI2 && h.cmd1 == 0x2F) {
      // An i1 device cannot answer an extended link-table read.
      q.hold.Free(i);
      ForEachRecordOf(ctx.db, from, [](int, DeviceRecord& r) { r.versionTries = 0; });
    } else {
      // What the reply ring cannot take now waits for the device's next message.
      if (q.replyRing.Full()) break;
      q.replyRing.holdoff = 5;
      ReleaseHeld(ctx, i);
    }
    changed = true;
  }
  if (changed) RebuildQueuedList(ctx);
}

}  // namespace

void WriteStartLinkingDiscovery(Context& ctx) {
  static constexpr uint8_t kStart[4] = {0x02, 0x64, 0x01, 0xFB};
  ctx.link.WriteMessage(ctx, kStart, sizeof kStart);
}

void IncomingState::RememberReply(uint8_t flags, uint8_t cmd1, uint8_t cmd2) {
  lastcmd1 = cmd1;
  lastReplyFlags = flags;
  lastReplyCmd2 = cmd2;
}

void IncomingState::HandleFrame(Context& ctx, const uint8_t* frame, size_t length) {
  if (frame == nullptr || length < 3) return;
  ++framesHandled;
  switch (frame[1]) {
    case 0x50:
      if (length >= kStandardLength) OnStandard(ctx, frame, length);
      break;
    case 0x51:
      if (length >= kExtendedLength) OnExtended(ctx, frame, length);
      break;
    case 0x53:
      if (length >= 10) {
        LinkingCompletedMessage m;
        m.linkCode = frame[2];
        m.group = frame[3];
        m.id = InsteonId::FromBytes(frame + 4);
        m.category = frame[7];
        m.subcategory = frame[8];
        m.firmware = frame[9];
        ctx.db.AppendFromLinkingCompleted(m);
      }
      break;
    case 0x57:
      if (length >= 10) {
        plmRecordArrived = 1;
        PlmLinkMessage m;
        m.flags = frame[2];
        m.group = frame[3];
        m.id = InsteonId::FromBytes(frame + 4);
        std::memcpy(m.data, frame + 7, 3);
        ctx.db.AppendFromPlmLink(m);
      }
      break;
    default:
      if (frame[1] >= 0x60) OnModemReply(ctx, frame, length);
      break;
  }
}

void IncomingState::OnModemReply(Context& ctx, const uint8_t* f, size_t n) {
  const uint8_t code = f[1];
  switch (code) {
    case 0x60:
      if (n >= 9 && f[8] == kModemAck) {
        CompleteModemCommand(ctx, code);
        PlmInfo& plm = ctx.db.plm;
        plm.plmId = InsteonId::FromBytes(f + 2);
        plm.plmCategory = f[5];
        plm.plmSubcategory = f[6];
        plm.plmFirmware = f[7];
        plm.plmFound = 1;
        ctx.refresh.plmAnswered = true;
        ctx.refresh.deviceListShownReset = true;
        ctx.link.OnModemIdentity(ctx);
      }
      break;
    case 0x61:
      if (n >= 6) {
        if (f[5] == kModemAck)
          CompleteModemCommand(ctx, code);
        else if (f[5] == kModemNak)
          RepairGroupLink(ctx, f[2]);  // the command stays open for its retry
      }
      break;
    case 0x62:
      if (n >= 9) lastcmd1 = f[6];
      break;
    case 0x64:
    case 0x65:
      CompleteModemCommand(ctx, code);
      break;
    case 0x69:
    case 0x6A:
      CompleteModemCommand(ctx, code);
      ++plmReadAckCount;
      plmRecordArrived = 0;
      if (f[2] == kModemNak) {
        ++plmReadNakCount;
        plmReadAckCount = 0;
        if (code == 0x6A) {
          plmTableEnd = 1;
          ctx.refresh.eventsViewRefresh = true;
        }
      }
      break;
    case 0x6B:
      if (n >= 4) {
        CompleteModemCommand(ctx, code);
        ctx.db.plm.plmConfigAcked = 1;
      }
      break;
    case 0x6F:
      if (n >= 12 && f[11] == kModemAck) {
        CompleteModemCommand(ctx, code);
        ctx.refresh.deviceListShownReset = true;
      }
      break;
    case 0x73:
      if (n >= 6) {
        CompleteModemCommand(ctx, code);
        ctx.db.plm.plmConfigFlags = f[2];
      }
      break;
    default:
      break;
  }
}

void IncomingState::MatchWaiting(Context& ctx, bool replyRing, const InsteonId& from, uint8_t flags, uint8_t cmd1,
                                 uint8_t cmd2) {
  RetryRing& ring = replyRing ? static_cast<RetryRing&>(ctx.queues.replyRing) : ctx.queues.plainRing;
  const uint8_t type = flags & 0xE0;
  for (uint8_t i = ring.head; i != ring.tail; i = RingSlots::Next(i)) {
    RingEntry& e = ring.slots[i];
    if (e.tries == 0 || e.status == kEntryDone || !(e.id == from)) continue;
    if (e.cmd1 == 0x19) {
      // Only the device's direct acknowledgement carries its status; a broadcast
      // or clean-up that happens to arrive meanwhile is not the answer.
      if (type != kTypeAck) continue;
      e.status = kEntryDone;
      const uint8_t variant = e.cmd2;
      RememberReply(flags, cmd1, cmd2);
      StatusReply(ctx, from, cmd1, cmd2, variant);
      continue;
    }
    if (e.cmd1 != cmd1) continue;
    e.status = kEntryDone;
    const uint8_t requested = e.cmd2;
    RememberReply(flags, cmd1, cmd2);
    if (cmd1 == 0x0D) {
      if (!replyRing) {
        // Nothing later may match this request again.
        e.flags = 0;
        e.id = InsteonId{};
        e.cmd1 = 0;
      }
      EngineVersionReply(ctx, from, cmd2);
    } else if (cmd1 == 0x1F) {
      // Operating flags requests travel in the plain ring; their answer counts there too.
      OperatingFlagsReply(ctx, from, requested, cmd2);
    }
  }
}

void IncomingState::OnStandard(Context& ctx, const uint8_t* f, size_t n) {
  const InsteonId from = InsteonId::FromBytes(f + 2);
  const uint8_t flags = f[8];
  const uint8_t cmd1 = f[9];
  const uint8_t cmd2 = f[10];
  const uint8_t type = flags & 0xE0;
  lastMessageType = type;
  DeviceDatabase& db = ctx.db;

  if (type == kTypeCleanupAck && db.FindDevice(from) < 0) return;

  if (type == kTypeNak && cmd2 == 0xFF) {
    // The device no longer holds the modem in its link table.
    const int slot = db.FindDevice(from);
    if (slot < 0) return;
    db[slot].linkFlags = kLinkRemovedBySystem;
    WriteStartLinkingDiscovery(ctx);
    uint8_t data[kExtendedDataBytes] = {};
    data[13] = 0xFC;
    SendExtended(ctx, from, 0x09, 0xFB, data);
  }

  if (type == kTypeBroadcast && (cmd1 == 0x01 || cmd1 == 0x02)) {
    IdentityBroadcast(ctx, from, f[5], f[6], f[7]);
    if (db.FindDevice(from) >= 0) ctx.refresh.deviceTreeRefresh = true;
  }

  if (type == kTypeGroupBroadcast) GroupBroadcast(ctx, from, f[7], cmd1);

  if (cmd1 >= 0x11 && cmd1 <= 0x14) {
    OnOffMessage(ctx, from, cmd1, cmd2);
    const int kind = flags >> 5;
    if (kind == 6) ControllerGroups(ctx, from, f[7], cmd1);
    if ((kind == 2 || kind == 3) && (cmd1 == 0x11 || cmd1 == 0x13)) {
      LogOnOff(ctx, cmd1 == 0x11,
               Format("[%02x %02x %02x] of [%02x %02x %02x] group %d %s", from.b[0], from.b[1], from.b[2], f[5], f[6],
                      f[7], cmd2, "..."));
    }
  }

  if (!ctx.engine.plmTableReading && (cmd1 == 0x11 || cmd1 == 0x13)) {
    uint8_t group = 1;
    if (type == kTypeGroupBroadcast)
      group = f[7];
    else if (type == kTypeCleanup || type == kTypeCleanupAck)
      group = cmd2;
    MatchLogicEvents(ctx, cmd1, from, group);
  }

  if (ctx.linkReader.Busy() && cmd1 == 0x2B) OnPeekReply(ctx, f, n);
  if (cmd1 == 0x2B) OnLinkJobPeekReply(ctx, f, n);

  MatchWaiting(ctx, /*replyRing=*/true, from, flags, cmd1, cmd2);
  MatchWaiting(ctx, /*replyRing=*/false, from, flags, cmd1, cmd2);
  ReleaseHeldFor(ctx, from);
}

void IncomingState::OnExtended(Context& ctx, const uint8_t* f, size_t n) {
  const InsteonId from = InsteonId::FromBytes(f + 2);
  const uint8_t flags = f[8];
  const uint8_t cmd1 = f[9];
  const uint8_t cmd2 = f[10];
  const uint8_t* data = f + 11;
  lastMessageType = flags & 0xE0;
  DeviceDatabase& db = ctx.db;

  if (cmd1 == 0x2F) {
    if (cmd2 == 0x00) OnExtendedLinkRecord(ctx, f, n);
    if (cmd2 == 0x00) OnLinkJobExtendedReply(ctx, f, n);
    // The record stream answers the read request and whatever else went out
    // to this device. A message still waiting to go out (a write queued once the
    // read was acknowledged, the user's ON) is answered by nothing yet: marking
    // it done would drop it unsent. The stream carries no status, so a waiting
    // status request learns no level from it.
    RingSlots& ring = ctx.queues.replyRing;
    for (uint8_t i = ring.head; i != ring.tail; i = RingSlots::Next(i)) {
      RingEntry& e = ring.slots[i];
      if (e.id == from && e.tries > 0) e.status = kEntryDone;
    }
    RememberReply(flags, cmd1, cmd2);
  }

  if (cmd1 == 0x2E) {
    CompleteSettingsRequests(ctx, from);
    const int slot = db.FindDevice(from);
    if (slot >= 0) {
      DeviceRecord& r = db[slot];
      r.timeLastContact = ctx.clock.Now();
      r.noResponse = 0;
      std::memcpy(r.extData, data, sizeof r.extData);
      ctx.notifier.Refresh(ViewRefresh::DeviceSetup);
    }
  }

  if (cmd1 == 0x82 && db.FindDevice(from) >= 0) {
    const Time now = ctx.clock.Now();
    ForEachRecordOf(db, from, [&](int, DeviceRecord& r) {
      r.timeLastContact = now;
      r.noResponse = 0;
      std::memcpy(r.extData, data, sizeof r.extData);
    });
  }
}

}  // namespace quorvel

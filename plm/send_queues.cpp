#include "plm/send_queues.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "automation/event_action.h"
#include "automation/event_record.h"
#include "device/device_catalogue.h"
#include "engine/context.h"

namespace quorvel {

namespace {

constexpr int kWaitLimit = 50;         // ticks a sent message waits for its answer
constexpr int kDelayedWaitLimit = 90;  // the same for the delayed ring
constexpr int kBusyMax = 10;
constexpr int kMaxTriesLimit = 2;
constexpr int kDelayedSpacing = 7;     // the delayed ring sends at most every 8th tick
constexpr int kModemWaitLimit = 40;    // ticks between the two tries of a modem command
constexpr int kModemPauseAfterRing = 10;
constexpr uint8_t kRetryReply = 5;

constexpr uint8_t kCmdX10 = 0x63;

// Modem commands that read or configure the modem: while one is queued the
// modem is busy answering it and nothing else is queued.
bool IsReadOrConfigCommand(uint8_t code) {
  return code == 0x60 || code == 0x69 || code == 0x6A || code == 0x6B || code == 0x73;
}

bool IsExtended(uint8_t flags) { return (flags & kFlagExtendedBit) != 0; }

// Powered kinds answer when they can; an unanswered command to one is given up,
// while anything else may be asleep and gets its command held.
bool IsPoweredKind(const DeviceRecord& r) {
  if (r.category >= 1 && r.category <= 9) return true;
  if (r.category != 0) return false;
  switch (r.subcategory) {
    case 4: case 6: case 8: case 9: case 10: case 11: case 12:
      return true;
    default:
      return false;
  }
}

void LogQueueFull(Context& ctx, const char* queue, const InsteonId& id, uint8_t cmd1, uint8_t cmd2) {
  ctx.log.LogActivityFormatted("%s full, command not queued - %02x.%02x.%02x cmd1=%x, cmd2=%x", queue, id.b[0], id.b[1],
               id.b[2], cmd1, cmd2);
}

void LogModemCommandRefused(Context& ctx, const char* why, const uint8_t* bytes, size_t n) {
  char hex[3 * kModemCommandMax + 1] = {};
  size_t used = 0;
  for (size_t i = 0; i < n && i < kModemCommandMax; ++i)
    used += static_cast<size_t>(std::snprintf(hex + used, sizeof hex - used, " %02X", bytes[i]));
  ctx.log.LogActivityFormatted("%s, PLM command not queued -%s", why, hex);
}

Time Now(const Context& ctx) { return ctx.clock.Now(); }

// --- Ring insertion -------------------------------------------------------------

RingEntry* InsertOrRefuse(Context& ctx, RingSlots& ring, const InsteonId& id, uint8_t cmd1, uint8_t cmd2) {
  RingEntry* e = ring.Insert(Now(ctx));
  if (e == nullptr) LogQueueFull(ctx, "Send queue", id, cmd1, cmd2);
  return e;
}

void Fill(RingEntry& e, uint8_t flags, const InsteonId& id, uint8_t cmd1, uint8_t cmd2, uint8_t retryClass) {
  e.flags = flags;
  e.id = id;
  e.cmd1 = cmd1;
  e.cmd2 = cmd2;
  e.retryClass = retryClass;
}

// An extended message goes straight into the delayed ring or the reply ring,
// never into the plain ring.
bool InsertExtended(Context& ctx, const ActionRecord& action) {
  const EventRecord& a = action.event;
  const bool delayed = a.delayMinutes != 0 || (a.delaySeconds != 0 && a.isLogicEvent == 1);
  RingSlots& ring = delayed ? static_cast<RingSlots&>(ctx.queues.delayedRing) : ctx.queues.replyRing;
  RingEntry* e = InsertOrRefuse(ctx, ring, a.targetId, a.cmd1, a.cmd2);
  if (e == nullptr) return false;
  Fill(*e, a.msgFlags, a.targetId, a.cmd1, a.cmd2, a.retryClass);
  std::memcpy(e->data, action.extData, kExtendedDataBytes);
  if (delayed) {
    e->delayMinutes = a.delayMinutes;
    e->delaySeconds = a.delaySeconds;
  } else {
    e->pending = 1;
  }
  return true;
}

// --- Holding for wireless devices ----------------------------------------------------

void LogWakeHint(Context& ctx, const DeviceRecord& r, bool byKind) {
  const InsteonId& id = r.id;
  const bool trigger = byKind ? (r.category == 0x10 && r.subcategory == 0x02) : IsTriggerLinc(r);
  const bool motion = byKind ? (r.category == 0x10 && r.subcategory == 0x01) : IsMotionSensor(r);
  if (trigger) {
    ctx.log.LogActivityFormatted("For TriggerLinc - %02x.%02x.%02x ;  Open or Close sensor contact.", id.b[0], id.b[1], id.b[2]);
  } else if (IsRemoteLinc(r)) {
    ctx.log.LogActivityFormatted("For RemoteLinc - %02x.%02x.%02x ;  Press DIM button for 1 second.", id.b[0], id.b[1], id.b[2]);
  } else if (motion) {
    ctx.log.LogActivityFormatted("For Motion Sensor - %02x.%02x.%02x ;  Press SET button, or Create Motion, or Light Change.",
                 id.b[0], id.b[1], id.b[2]);
  }
}

// Holds a message for a sleeping device until it is heard from.
void HoldForWireless(Context& ctx, const DeviceRecord& r, const RingEntry& message, bool skipDuplicateCheck,
                     bool hintByKind) {
  HoldQueue& hold = ctx.queues.hold;
  if (!skipDuplicateCheck && hold.Find(message.id, message.cmd1) >= 0) return;
  if (hold.Hold(message) < 0) {
    LogQueueFull(ctx, "Wireless hold queue", message.id, message.cmd1, message.cmd2);
    return;
  }
  RebuildQueuedList(ctx);
  ctx.log.LogActivityFormatted("Wireless Device, Command qued for activity - %02x.%02x.%02x cmd1=%x, cmd2=%x", message.id.b[0],
               message.id.b[1], message.id.b[2], message.cmd1, message.cmd2);
  LogWakeHint(ctx, r, hintByKind);
}

// --- Serving ---------------------------------------------------------------------

void WriteEntry(Context& ctx, const RingEntry& e) {
  uint8_t msg[8 + kExtendedDataBytes];
  size_t n = 0;
  msg[n++] = 0x02;
  msg[n++] = 0x62;
  e.id.CopyTo(msg + n);
  n += 3;
  msg[n++] = e.flags;
  msg[n++] = e.cmd1;
  msg[n++] = e.cmd2;
  // The modem reads 14 more bytes whenever the extended bit is set, so they
  // always go with it.
  if (IsExtended(e.flags)) {
    std::memcpy(msg + n, e.data, kExtendedDataBytes);
    n += kExtendedDataBytes;
  }
  if (ctx.link.WriteMessage(ctx, msg, n)) {
    if (e.tries > 0) ++ctx.queues.counts.retries;
    ctx.framer.ExpectAnswerFrom(e.id);
  }
  const TrafficLine name = ctx.framer.traffic.CommandText(e.cmd1, e.cmd2);
  if (!name.empty())
    ctx.log.LogActivityFormatted("Sent %02x.%02x.%02x  %s", e.id.b[0], e.id.b[1], e.id.b[2], name.c_str());
}

// The minute rule: a ring whose last send lies in another minute counts one
// more tick of waiting.
bool MinuteChanged(Context& ctx, RingSlots& ring) {
  const LocalTime now = ctx.clock.LocalNow();
  const LocalTime sent = ctx.clock.Local(ring.LastSendTime());
  return !sent.valid || now.minute != sent.minute;
}

void AdaptMaxTries(RetryRing& ring) {
  if (ring.busy == 0) {
    ring.maxTries = 1;
    return;
  }
  --ring.busy;
  ring.maxTries = ring.busy == 0 ? 1 : std::min(ring.maxTries + 1, kMaxTriesLimit);
}

void StepRetryRing(Context& ctx, RetryRing& ring) {
  if (ring.holdoff > 0) {
    --ring.holdoff;
    return;
  }
  RingEntry& e = ring.Head();
  if (e.status == kEntryDone) {
    e.pending = 0;
    ring.Advance();
    ring.holdoff = ring.holdoffAfterDone;
    AdaptMaxTries(ring);
    return;
  }
  if (MinuteChanged(ctx, ring)) {
    ++e.wait;
    if (e.wait > kWaitLimit) {  // given up without a word
      ++ctx.queues.counts.giveUps;
      e.status = kEntryDone;
      e.pending = 0;
      ring.Advance();
      return;
    }
  }
  if (e.tries > ring.maxTries) {
    ++ctx.queues.counts.giveUps;
    NoResponse(ctx, e);
    RebuildQueuedList(ctx);
    e.status = kEntryDone;
    e.pending = 0;  // no longer waiting: the same request may be asked again
    ring.Advance();
    ring.holdoff = ring.holdoffAfterDone;
    return;
  }
  if (e.tries > 0 && e.wait < kWaitLimit) {
    ++e.wait;
    ring.busy = std::min(ring.busy + 1, kBusyMax);
    return;
  }
  WriteEntry(ctx, e);
  ring.holdoff += ring.busy;
  ++e.tries;
  e.status = 0;
  e.wait = 0;
  ring.LastSendTime() = Now(ctx);
}

// True when the ring took the tick. A head still waiting out its delay leaves
// the tick to the plain ring and the modem: a logic event's wait of minutes
// must not hold up everything else that is sent meanwhile.
bool StepDelayedRing(Context& ctx, DelayedRing& ring) {
  RingEntry& e = ring.Head();
  const int64_t delay = int64_t{e.delayMinutes} * 60 + e.delaySeconds;
  if (Now(ctx) - e.timeQueued < delay) return false;
  const int before = ring.spacing;
  if (ring.spacing <= kDelayedSpacing) ++ring.spacing;
  if (before < kDelayedSpacing) return true;
  if (e.status == kEntryDone) {
    e.pending = 0;
    ring.Advance();
    return true;
  }
  if (MinuteChanged(ctx, ring)) {
    ++e.wait;
    if (e.wait > kWaitLimit) {
      e.status = kEntryDone;
      ring.Advance();
      return true;
    }
  }
  if (e.tries > 0 && e.wait < kDelayedWaitLimit) {
    ++e.wait;
    return true;
  }
  WriteEntry(ctx, e);
  ++e.tries;
  e.status = kEntryDone;  // sent for good
  e.wait = 0;
  ring.LastSendTime() = Now(ctx);
  ring.spacing = 0;
  ring.Advance();
  return true;
}

void StepModemQueue(Context& ctx) {
  PlmCommandQueue& q = ctx.queues.modem;
  if (q.head >= kModemQueueSlots) q.head = 0;
  PlmCommand& c = q.Head();
  if (c.status == kEntryDone || c.tries > PlmCommandQueue::kMaxTries) {
    if (c.status != kEntryDone) ++ctx.queues.counts.giveUps;
    c.status = kEntryDone;  // answered, or given up without a word after its tries
    q.head = PlmCommandQueue::Next(q.head);
    q.pause = 0;
    return;
  }
  if (c.tries > 0 && c.wait < kModemWaitLimit) {
    ++c.wait;
    return;
  }
  uint8_t msg[1 + kModemCommandMax];
  msg[0] = 0x02;
  const size_t n = std::min<size_t>(c.length, kModemCommandMax);
  std::memcpy(msg + 1, c.bytes, n);
  ctx.link.WriteMessage(ctx, msg, n + 1);
  ++c.tries;
  c.status = 0;
  c.wait = 0;
  q.pause = 0;
}

}  // namespace

// --- Storage ---------------------------------------------------------------------

RingEntry* RingSlots::Insert(Time now) {
  if (Full()) return nullptr;
  RingEntry& e = slots[tail];
  e = RingEntry{};
  e.timeQueued = now;
  tail = Next(tail);
  return &e;
}

void RingSlots::Clear() {
  std::memset(slots, 0, sizeof slots);
  head = 0;
  tail = 0;
}

int HoldQueue::FirstFree() const {
  for (int i = 0; i < kHoldSlots; ++i)
    if (!InUse(slots[i])) return i;
  return -1;
}

int HoldQueue::Find(const InsteonId& id, uint8_t cmd1) const {
  for (int i = 0; i < kHoldSlots; ++i)
    if (InUse(slots[i]) && slots[i].id == id && slots[i].cmd1 == cmd1) return i;
  return -1;
}

int HoldQueue::FindFor(const InsteonId& id) const {
  for (int i = 0; i < kHoldSlots; ++i)
    if (InUse(slots[i]) && slots[i].id == id) return i;
  return -1;
}

int HoldQueue::Hold(const RingEntry& entry) {
  const int slot = FirstFree();
  if (slot < 0) return -1;
  slots[slot] = entry;
  // The flags byte marks the slot in use; a message built with flags 0 is held
  // as the plain standard message it is.
  if (slots[slot].flags == 0) slots[slot].flags = kFlagsStandard;
  ++heldCount;
  return slot;
}

void HoldQueue::Free(int slot) {
  if (slot < 0 || slot >= kHoldSlots || !InUse(slots[slot])) return;
  slots[slot] = RingEntry{};
  if (heldCount > 0) --heldCount;
}

void HoldQueue::Clear() {
  std::memset(slots, 0, sizeof slots);
  heldCount = 0;
}

void PlmCommandQueue::Clear() {
  std::memset(entries, 0, sizeof entries);
  head = 0;
  tail = 0;
}

void SendQueues::ClearRingsAndHeld() {
  replyRing.Clear();
  plainRing.Clear();
  delayedRing.Clear();
  hold.Clear();
}

// --- Sending ---------------------------------------------------------------------

uint8_t ExtendedChecksum(uint8_t cmd1, uint8_t cmd2, const uint8_t data[kExtendedDataBytes]) {
  unsigned sum = cmd1 + cmd2;
  for (size_t i = 0; i < kExtendedDataBytes - 1; ++i) sum += data[i];
  return static_cast<uint8_t>(-sum & 0xFF);
}

void SendStandard(Context& ctx, const InsteonId& id, uint8_t cmd1, uint8_t cmd2) {
  const int slot = ctx.db.FindDevice(id);
  if (slot < 0) return;
  const DeviceRecord& r = ctx.db[slot];
  if (IsWirelessDevice(r)) {
    RingEntry held{};
    Fill(held, kFlagsStandard, id, cmd1, cmd2, 0);
    held.timeQueued = Now(ctx);
    HoldForWireless(ctx, r, held, /*skipDuplicateCheck=*/false, /*hintByKind=*/false);
    return;
  }
  EventRecord action{};
  action.targetKind = 0;
  action.msgFlags = kFlagsStandard;
  action.targetId = id;
  action.cmd1 = cmd1;
  action.cmd2 = cmd2;
  switch (cmd1) {
    case 0x09: case 0x11: case 0x13: case 0x19: case 0x2F:
      action.retryClass = kRetryReply;
      break;
    case 0x2E:
      action.delaySeconds = 1;
      action.isLogicEvent = 1;
      break;
    default:
      break;
  }
  ExecuteEventAction(ctx, action);
}

void SendExtended(Context& ctx, const InsteonId& id, uint8_t cmd1, uint8_t cmd2, const uint8_t* data) {
  const int slot = ctx.db.FindDevice(id);
  if (slot < 0) return;
  const DeviceRecord& r = ctx.db[slot];
  uint8_t d[kExtendedDataBytes] = {};
  if (data != nullptr) std::memcpy(d, data, kExtendedDataBytes);
  // Worked out before the hold decision, so a held message carries it too.
  if (r.engineVersion == kEngineI2cs && (cmd1 == 0x09 || cmd1 == 0x2E || cmd1 == 0x2F))
    d[kExtendedDataBytes - 1] = ExtendedChecksum(cmd1, cmd2, d);

  if (IsWirelessDevice(r)) {
    RingEntry held{};
    Fill(held, kFlagsExtended, id, cmd1, cmd2, 0);
    std::memcpy(held.data, d, kExtendedDataBytes);
    held.timeQueued = Now(ctx);
    // Several settings writes (0x2E) to one sensor are all kept.
    HoldForWireless(ctx, r, held, /*skipDuplicateCheck=*/cmd1 == 0x2E, /*hintByKind=*/true);
    return;
  }
  ActionRecord action{};
  action.event.targetKind = 0;
  action.event.msgFlags = kFlagsExtended;
  action.event.targetId = id;
  action.event.cmd1 = cmd1;
  action.event.cmd2 = cmd2;
  std::memcpy(action.extData, d, kExtendedDataBytes);
  if (cmd1 == 0x11 || cmd1 == 0x13 || cmd1 == 0x2F) {
    action.event.retryClass = kRetryReply;
  } else if (cmd1 == 0x2E && d[1] == 0x09) {
    action.event.delaySeconds = 3;
    action.event.isLogicEvent = 1;
  }
  InsertExtended(ctx, action);
}

bool RouteAction(Context& ctx, const EventRecord& a) {
  const uint8_t m = a.delayMinutes;
  const uint8_t s = a.delaySeconds;
  SendQueues& q = ctx.queues;
  // A time event's own delay is applied by its schedule, never here.
  const bool delayed = (m != 0 || s != 0) && a.isTimeEvent == 0 && (m != 0 || a.isLogicEvent == 1);
  RingSlots* ring = &q.plainRing;
  if (delayed)
    ring = &q.delayedRing;
  else if (a.retryClass > 0)
    ring = &q.replyRing;
  RingEntry* e = InsertOrRefuse(ctx, *ring, a.targetId, a.cmd1, a.cmd2);
  if (e == nullptr) return false;
  Fill(*e, a.msgFlags, a.targetId, a.cmd1, a.cmd2, a.retryClass);
  if (delayed) {
    e->delayMinutes = m;
    e->delaySeconds = s;
  } else if (ring == &q.replyRing) {
    e->pending = 1;
  }
  return true;
}

bool EnqueueModemCommand(Context& ctx, const uint8_t* bytes, size_t n) {
  if (bytes == nullptr || n == 0) return false;
  PlmCommandQueue& q = ctx.queues.modem;
  if (bytes[0] == kCmdX10) q.pause = 1;
  for (uint8_t i = q.head; i != q.tail; i = PlmCommandQueue::Next(i)) {
    if (IsReadOrConfigCommand(q.entries[i].bytes[0])) {
      // The engine queues its own read and configuration steps again; anything
      // else the user asked for is reported as not sent.
      if (!IsReadOrConfigCommand(bytes[0])) LogModemCommandRefused(ctx, "PLM busy", bytes, n);
      return false;
    }
  }
  if (n > kModemCommandMax) {
    LogModemCommandRefused(ctx, "Too long", bytes, n);
    return false;
  }
  if (q.Full()) {
    LogModemCommandRefused(ctx, "PLM command queue full", bytes, n);
    return false;
  }
  PlmCommand& c = q.entries[q.tail];
  c = PlmCommand{};
  c.length = static_cast<uint8_t>(n);
  std::memcpy(c.bytes, bytes, n);
  q.tail = PlmCommandQueue::Next(q.tail);
  return true;
}

void SendGroupCommand(Context& ctx, uint8_t group, uint8_t cmd1) {
  const uint8_t bytes[4] = {0x61, group, cmd1, 0x00};
  // The line tells the user the group was switched, so it is written only when
  // the command was really queued.
  if (!EnqueueModemCommand(ctx, bytes, sizeof bytes)) return;
  const char* word = cmd1 == 0x11 ? "On" : cmd1 == 0x13 ? "Off" : "";
  ctx.log.LogActivityFormatted("Computer Group %d %s", group, word);
}

void SendX10(Context& ctx, uint8_t house, uint8_t unit, uint8_t function) {
  if (function != kX10On && function != kX10Off) return;
  const uint8_t h = house & 0x0F;
  const uint8_t address[3] = {kCmdX10, static_cast<uint8_t>(h << 4 | (unit & 0x0F)), 0x00};
  const uint8_t action[3] = {kCmdX10, static_cast<uint8_t>(h << 4 | function), 0x80};
  // Without its address the function would switch whatever unit was addressed last.
  if (!EnqueueModemCommand(ctx, address, sizeof address)) return;
  EnqueueModemCommand(ctx, action, sizeof action);
}

// --- Serving ---------------------------------------------------------------------

bool ServeRings(Context& ctx) {
  SendQueues& q = ctx.queues;
  bool stepped = false;
  if (!q.replyRing.Empty()) {
    StepRetryRing(ctx, q.replyRing);
    stepped = true;
  } else if (!q.delayedRing.Empty() && StepDelayedRing(ctx, q.delayedRing)) {
    stepped = true;
  } else if (!q.plainRing.Empty()) {
    StepRetryRing(ctx, q.plainRing);
    stepped = true;
  }
  if (stepped) q.modem.pause = kModemPauseAfterRing;
  return stepped;
}

void ServeModemQueue(Context& ctx) {
  PlmCommandQueue& q = ctx.queues.modem;
  if (q.Empty()) return;
  if (q.pause > 0) {
    --q.pause;
    return;
  }
  StepModemQueue(ctx);
}

bool TransmitStep(Context& ctx, bool tableRead) {
  if (!tableRead && ServeRings(ctx)) return true;
  ServeModemQueue(ctx);
  return false;
}

// --- Replies and held commands --------------------------------------------------

void NoResponse(Context& ctx, const RingEntry& entry) {
  const int slot = ctx.db.FindDevice(entry.id);
  if (slot < 0) return;
  DeviceRecord& r = ctx.db[slot];
  r.noResponse = 1;
  if (IsPoweredKind(r)) return;
  HoldQueue& hold = ctx.queues.hold;
  if (hold.Find(entry.id, entry.cmd1) >= 0) return;
  if (hold.Hold(entry) < 0) {
    LogQueueFull(ctx, "Wireless hold queue", entry.id, entry.cmd1, entry.cmd2);
    return;
  }
  char line[120];
  std::snprintf(line, sizeof line, "No Response - %02x.%02x.%02x. Command %02x %02x qued for activity.", entry.id.b[0],
                entry.id.b[1], entry.id.b[2], entry.cmd1, entry.cmd2);
  ctx.log.LogActivity(line);
  if (ctx.queues.logHook) ctx.queues.logHook(line);
}

void ReleaseHeld(Context& ctx, int slot) {
  HoldQueue& hold = ctx.queues.hold;
  if (slot < 0 || slot >= kHoldSlots || hold.heldCount == 0 || !HoldQueue::InUse(hold.slots[slot])) return;
  const RingEntry& h = hold.slots[slot];
  ActionRecord action{};
  action.event.targetKind = 0;
  action.event.retryClass = kRetryReply;
  action.event.targetId = h.id;
  action.event.cmd1 = h.cmd1;
  action.event.cmd2 = h.cmd2;
  bool queued;
  if (IsExtended(h.flags)) {
    action.event.msgFlags = kFlagsExtended;
    std::memcpy(action.extData, h.data, kExtendedDataBytes);
    queued = InsertExtended(ctx, action);
  } else {
    action.event.msgFlags = h.flags;
    queued = RouteAction(ctx, action.event);
  }
  // A full reply ring refused it: it stays held for the device's next message.
  if (queued) hold.Free(slot);
}

int FindHeldFor(const Context& ctx, const InsteonId& id) { return ctx.queues.hold.FindFor(id); }

void RemoveHeldFor(Context& ctx, const InsteonId& id) {
  HoldQueue& hold = ctx.queues.hold;
  bool removed = false;
  for (int i = 0; i < kHoldSlots; ++i) {
    if (HoldQueue::InUse(hold.slots[i]) && hold.slots[i].id == id) {
      hold.Free(i);
      removed = true;
    }
  }
  if (removed) RebuildQueuedList(ctx);
}

int FindPending(const Context& ctx, const InsteonId& id, uint8_t cmd1, uint8_t cmd2) {
  const SendQueues& q = ctx.queues;
  auto matches = [&](const RingEntry& e) { return e.id == id && e.cmd1 == cmd1 && e.cmd2 == cmd2; };
  for (uint8_t i = q.replyRing.head; i != q.replyRing.tail; i = RingSlots::Next(i)) {
    const RingEntry& e = q.replyRing.slots[i];
    if (e.pending == 1 && e.status != kEntryDone && matches(e)) return i;
  }
  // Identity and engine-version requests travel in the plain ring; they wait
  // for their answer there just the same.
  for (uint8_t i = q.plainRing.head; i != q.plainRing.tail; i = RingSlots::Next(i)) {
    const RingEntry& e = q.plainRing.slots[i];
    if (e.status != kEntryDone && matches(e)) return i;
  }
  return -1;
}

bool CompleteModemCommand(Context& ctx, uint8_t code) {
  PlmCommandQueue& q = ctx.queues.modem;
  if (q.Empty()) return false;
  PlmCommand& c = q.Head();
  // A reply to a command written straight to the port (the identity request of
  // the search) must not mark a queued command that was never sent.
  if (c.tries == 0 || c.length == 0 || c.bytes[0] != code) return false;
  c.status = kEntryDone;
  return true;
}

void RebuildQueuedList(Context& ctx) {
  const HoldQueue& hold = ctx.queues.hold;
  ctx.log.ClearQueued();
  if (hold.heldCount == 0) return;
  for (int i = 0; i < kHoldSlots; ++i) {
    const RingEntry& e = hold.slots[i];
    if (!HoldQueue::InUse(e)) continue;
    char line[96];
    std::snprintf(line, sizeof line, "Held - %02X  %02X.%02X.%02X   %02X %02X  Tries:%d", e.flags, e.id.b[0], e.id.b[1],
                  e.id.b[2], e.cmd1, e.cmd2, e.tries);
    ctx.log.AddQueuedLine(line, e.id, ctx.db);
  }
}

uint8_t CommandCodeFromName(std::string_view text) {
  struct Row {
    std::string_view name;
    uint8_t cmd1;
  };
  auto has = [&](std::string_view name) { return text.find(name) != std::string_view::npos; };
  static constexpr Row kBefore[] = {
      {"Product Data Request", 0x03},
      {"ID-REQ 0x010", 0x10},
      {"IEV 0x0d", 0x0D},
  };
  for (const Row& row : kBefore)
    if (has(row.name)) return row.cmd1;
  if (text.size() == 2 && has("ON")) return 0x11;
  if (text.size() == 3 && has("OFF")) return 0x13;
  // UNJOIN and UNLINC contain JOIN and LINC, so they are tried first.
  static constexpr Row kAfter[] = {
      {"ALL ON", 0xFF},         {"ALL OFF", 0xFE},      {"BRIGHT", 0x15},     {"DIM", 0x16},
      {"STATUS", 0x19},         {"UNJOIN GROUP", 0x02}, {"JOIN GROUP", 0x01}, {"UNLINC MODE", 0x0A},
      {"LINC MODE", 0x09},      {"SD Read ALDB", 0x2B}, {"ED Read ALDB", 0x2F}, {"SD-PDR", 0x10},
  };
  for (const Row& row : kAfter)
    if (has(row.name)) return row.cmd1;
  return 0xFF;
}

}  // namespace quorvel

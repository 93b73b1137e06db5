#include "sim/invariants.h"


#include "engine/context.h"

namespace quorvel::sim {

namespace {

// A plain loop rather than memchr: most fields end at their first byte, and the
// checks run after every step of a fuzz input, where each memchr is intercepted.
bool Terminated(const char* field, size_t width) {
  for (size_t i = 0; i < width; ++i) {
    if (field[i] == '\0') return true;
  }
  return false;
}

// Index of the first record that breaks a bound, or -1; cheap, as it runs after every tick.
int FirstBrokenRecord(const DeviceRecord* records, int n) {
  for (int i = 0; i < n; ++i) {
    if (records[i].linkCount > kLinksPerDevice || !Terminated(records[i].name, kNameWidth)) return i;
  }
  return -1;
}

std::string Describe(const DeviceRecord& r, const std::string& where) {
  if (r.linkCount > kLinksPerDevice) return where + " linkCount " + std::to_string(r.linkCount);
  return where + " name unterminated";
}

std::string CheckTable(const DeviceDatabase& db, const char* which, bool records) {
  const std::string name(which);
  if (db.count > kMaxDevices) return name + " count " + std::to_string(db.count) + " above " + std::to_string(kMaxDevices);
  if (db.reserveCount > static_cast<uint32_t>(kReserveSlots))
    return name + " reserveCount " + std::to_string(db.reserveCount);
  if (!records) return {};
  int slot = FirstBrokenRecord(db.records, kDeviceSlots);
  if (slot >= 0) return Describe(db.records[slot], name + " record slot " + std::to_string(slot));
  slot = FirstBrokenRecord(db.reserveTable, kReserveSlots);
  if (slot >= 0) return Describe(db.reserveTable[slot], name + " reserve slot " + std::to_string(slot));
  return {};
}

std::string CheckRing(const RingSlots& ring, const char* which) {
  if (ring.head >= kRingSlots || ring.tail >= kRingSlots)
    return std::string(which) + " ring index out of range: head " + std::to_string(ring.head) + " tail " +
           std::to_string(ring.tail);
  return {};
}

std::string CheckQueues(const SendQueues& q) {
  for (const auto& [ring, name] : {std::pair<const RingSlots*, const char*>{&q.replyRing, "reply"},
                                   {&q.plainRing, "plain"}, {&q.delayedRing, "delayed"}}) {
    std::string broken = CheckRing(*ring, name);
    if (!broken.empty()) return broken;
  }
  int inUse = 0;
  for (const RingEntry& e : q.hold.slots) inUse += HoldQueue::InUse(e) ? 1 : 0;
  if (inUse != q.hold.heldCount)
    return "hold queue counts " + std::to_string(q.hold.heldCount) + " but " + std::to_string(inUse) + " slots are in use";
  const PlmCommandQueue& m = q.modem;
  if (m.head >= kModemQueueSlots || m.tail >= kModemQueueSlots)
    return "modem queue index out of range: head " + std::to_string(m.head) + " tail " + std::to_string(m.tail);
  for (uint8_t i = m.head; i != m.tail; i = PlmCommandQueue::Next(i)) {
    if (m.entries[i].length < 1 || m.entries[i].length > kModemCommandMax)
      return "modem queue entry " + std::to_string(i) + " length " + std::to_string(m.entries[i].length);
  }
  return {};
}

}  // namespace

std::string BrokenInvariant(const Context& ctx, bool full) {
  std::string broken = CheckTable(ctx.db, "db", full);
  if (broken.empty()) broken = CheckTable(ctx.loaded, "loaded", full);
  if (broken.empty()) broken = CheckQueues(ctx.queues);
  if (!broken.empty()) return broken;

  if (ctx.events.eventCount > static_cast<uint32_t>(kUsableEventSlots))
    return "eventCount " + std::to_string(ctx.events.eventCount);
  if (ctx.framer.PendingCount() >= kLongestFrame)
    return "framer holds " + std::to_string(ctx.framer.PendingCount()) + " bytes of a partial frame";
  if (!full) return {};
  for (int g = 0; g < kGroupCount; ++g) {
    if (!Terminated(ctx.groups.groups[g].label, kGroupLabelWidth))
      return "group " + std::to_string(g) + " label unterminated";
  }
  for (const auto& [key, w] : ctx.widgets.widgets) {
    if (!Terminated(w.addressText, kWidgetAddressWidth)) return "widget " + std::to_string(key) + " text unterminated";
  }
  if (!Terminated(ctx.options.latitude, kCoordinateWidth)) return "latitude unterminated";
  if (!Terminated(ctx.options.longitude, kCoordinateWidth)) return "longitude unterminated";
  for (LogChannel channel : {LogChannel::GeneralActivity, LogChannel::InsteonTraffic, LogChannel::OnLog,
                             LogChannel::LinkReport}) {
    // The limit keeps 1000 entries and one notice of what it removed.
    if (ctx.log.Lines(channel).size() > static_cast<size_t>(kChannelEntryLimit) + 1)
      return "log channel " + std::to_string(static_cast<int>(channel)) + " holds " +
             std::to_string(ctx.log.Lines(channel).size()) + " rows";
  }
  return {};
}

}  // namespace quorvel::sim

#include "device/device_database.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/bytes.h"

namespace quorvel {

namespace {
// Counted slots as a safe scan bound: a count from a damaged file never reaches
// past the table.
uint32_t Scanned(uint32_t count) { return count < kMaxDevices ? count : kMaxDevices; }

// The slot an append writes: slot `count`, which is slot 479 once the table is full.
uint32_t AppendSlot(uint32_t count) { return count < kMaxDevices ? count : kMaxDevices; }
}  // namespace

DeviceDatabase::DeviceDatabase() {
  std::memset(records, 0, sizeof records);
  std::memset(reserveTable, 0, sizeof reserveTable);
  Reset();
}

void DeviceDatabase::Reset() {
  count = 0;
  reserveCount = 0;
  plm.plmFound = 0;  // the modem's id stays known until it answers again
  plm.plmConfigFlags = 0;
  plm.plmConfigAcked = 0;
  engineOneShot = 0;
  engineStepFlag = 0;
  checkFlagsHourCode = 3;
  dbFlags = 0;
  traceHook = nullptr;
}

void DeviceDatabase::ClearAll() {
  std::memset(records, 0, sizeof records);
  std::memset(reserveTable, 0, sizeof reserveTable);
  count = 0;
  reserveCount = 0;
}

int DeviceDatabase::FindDevice(const InsteonId& id) const {
  const uint32_t n = Scanned(count);
  for (uint32_t i = 0; i < n; ++i)
    if (records[i].id == id) return static_cast<int>(i);
  return -1;
}

int DeviceDatabase::FindDeviceInGroup(uint8_t group, const InsteonId& id) const {
  const uint32_t n = Scanned(count);
  for (uint32_t i = 0; i < n; ++i)
    if (records[i].group == group && records[i].id == id) return static_cast<int>(i);
  return -1;
}

int DeviceDatabase::FindDeviceByKey(DeviceKey key) const {
  return FindDeviceInGroup(KeyGroup(key), KeyId(key));
}

bool DeviceDatabase::InReserveTable(const InsteonId& id) const {
  const uint32_t n = reserveCount < kReserveSlots ? reserveCount : kReserveSlots;
  for (uint32_t i = 0; i < n; ++i)
    if (reserveTable[i].id == id) return true;
  return false;
}

int DeviceDatabase::FindLinkInDevice(const InsteonId& device, uint8_t group, const InsteonId& linked,
                                     int* recordSlot) const {
  const uint32_t n = Scanned(count);
  for (uint32_t i = 0; i < n; ++i) {
    const DeviceRecord& r = records[i];
    if (!r.InUse() || !(r.id == device)) continue;
    const int links = r.LinkLimit();
    for (int k = 0; k < links; ++k) {
      const LinkRecord& link = r.links[k];
      if (link.InUse() && link.group == group && link.id == linked) {
        if (recordSlot != nullptr) *recordSlot = static_cast<int>(i);
        return k;
      }
    }
  }
  return -1;
}

void DeviceDatabase::MarkLinksToDeviceRemoved(int slot) {
  if (slot < 0 || slot >= kDeviceSlots) return;
  const InsteonId gone = records[slot].id;
  const uint32_t n = Scanned(count);
  for (uint32_t i = 0; i < n; ++i) {
    DeviceRecord& r = records[i];
    const int links = r.LinkLimit();
    for (int k = 0; k < links; ++k) {
      if (r.links[k].InUse() && r.links[k].id == gone) r.links[k].flags = kLinkRemovedBySystem;
    }
  }
}

void DeviceDatabase::CountAppended() {
  if (count < kMaxDevices) ++count;
}

void DeviceDatabase::AppendFromPlmLink(const PlmLinkMessage& m) {
  if (FindDeviceInGroup(m.group, m.id) >= 0) return;
  // The modem keeps a linked device's identity in the link's data bytes, but only
  // the first record of a device takes it: a further group of a known device keeps
  // what its slot held until the merge or a reply fills it.
  const bool firstOfDevice = FindDevice(m.id) < 0;
  DeviceRecord& r = records[AppendSlot(count)];
  r.linkFlags = m.flags;
  r.group = m.group;
  r.id = m.id;
  if (firstOfDevice) {
    r.linkCount = 0;
    r.category = m.data[0];
    r.subcategory = m.data[1];
    r.firmware = m.data[2];
  }
  CountAppended();
}

void DeviceDatabase::AppendFromLinkingCompleted(const LinkingCompletedMessage& m) {
  // linkFlags stays as the slot held it: the add-device path of the setup window
  // has already marked the slot.
  DeviceRecord& r = records[AppendSlot(count)];
  r.linkCode = m.linkCode;
  r.group = m.group;
  r.id = m.id;
  r.category = m.category;
  r.subcategory = m.subcategory;
  r.firmware = m.firmware;
  r.level = 0;
  r.aldbDelta = 0;
  r.linkCount = 0;
  CountAppended();
}

void DeviceDatabase::AppendDiscovered(const InsteonId& id) {
  DeviceRecord& r = records[AppendSlot(count)];
  std::memset(&r, 0, sizeof r);
  r.id = id;
  CountAppended();
}

bool DeviceDatabase::StoreDeviceLink(int slotIndex, const uint8_t raw[10], const InsteonId& device,
                                     Time now, IdentityRequests* requests, const Diagnostics* diagnostics) {
  // The slot comes from the reader's count of records; a device with a longer
  // table than we hold must not write past `links`.
  if (slotIndex < 0 || slotIndex >= kLinksPerDevice) return false;
  const InsteonId linked = InsteonId::FromBytes(raw + 2);
  const bool linkInUse = (raw[0] & kRecordInUse) != 0;
  bool stored = false;
  const uint32_t n = Scanned(count);
  for (uint32_t i = 0; i < n; ++i) {
    DeviceRecord& r = records[i];
    if (!r.InUse() || !(r.id == device)) continue;
    stored = true;
    r.timeLinksRead = now;
    r.timeLastContact = now;
    LinkRecord& link = r.links[slotIndex];
    link.flags = raw[0];
    link.group = raw[1];
    link.id = linked;
    std::memcpy(link.data, raw + 5, sizeof link.data);
    link.address = uint32_t{raw[8]} * 256 + raw[9];
    if (raw[0] != 0) r.linkCount = static_cast<uint8_t>(slotIndex + 1);
    r.workFlags &= static_cast<uint8_t>(~kWorkLinksReread);
    r.aldbReadState = kReadNone;
    r.linksUpdated = 2;

    if (linkInUse && FindDevice(linked) < 0 && !(linked == plm.plmId)) {
      char line[48];
      std::snprintf(line, sizeof line, "\nDiscovery count %d, %02x.%02x.%02x", static_cast<int>(count),
                    linked.b[0], linked.b[1], linked.b[2]);
      if (diagnostics != nullptr) diagnostics->Write(line);
      AppendDiscovered(linked);
    }

    if (!r.IdentityKnown() && requests != nullptr && !requests->IdentityRequestPending(device)) {
      r.timeCategoryRequest = now;
      requests->SendIdentityRequest(device);
      ++r.categoryTries;
    }
  }
  return stored;
}

void DeviceDatabase::MergeStored(const DeviceDatabase& loaded) {
  // `count` is read again on every pass: devices discovered in links are merged too.
  for (uint32_t i = 0; i < Scanned(count); ++i) {
    DeviceRecord& r = records[i];
    const int j = loaded.FindDeviceInGroup(r.group, r.id);
    if (j < 0) continue;
    // The modem's flags are the truth about the link; everything else is what we learned.
    const uint8_t liveFlags = r.linkFlags;
    std::memcpy(&r, &loaded.records[j], sizeof r);
    r.linkFlags = liveFlags;
    if (r.linkCount > kLinksPerDevice) r.linkCount = kLinksPerDevice;
    TerminateFixedText(r.name, kNameWidth);

    r.versionTries = 0;
    r.categoryTries = 0;
    if (r.engineVersion < kEngineI1 || r.engineVersion > kEngineI2cs) {
      r.engineVersion = kEngineUnknown;
      r.versionTries = 0;
    }
    if (r.category == 0x00 || r.category == 0x03 || r.category == 0x10) r.level = 0;
    if (!r.IdentityKnown()) r.get_statusTries = 0;
    if (r.linkCount == 0) {
      r.get_statusTries = 0;
      r.aldbReadState = kReadWanted;
    }
    r.workFlags &= static_cast<uint8_t>(~kWorkOnOffPass);
    r.groupStates = 0;

    const int links = r.LinkLimit();
    for (int k = 0; k < links; ++k) {
      const LinkRecord& link = r.links[k];
      if (!link.InUse()) continue;
      if (FindDevice(link.id) >= 0 || link.id == plm.plmId || InReserveTable(link.id)) continue;
      AppendDiscovered(link.id);
    }
  }
  dbFlags |= kDbMerged;
}

std::string DeviceDatabase::RepairLoaded() {
  std::string repaired;
  auto note = [&repaired](const std::string& what) {
    if (!repaired.empty()) repaired += "; ";
    repaired += what;
  };
  if (count > kMaxDevices) {
    note("count " + std::to_string(count) + " limited to " + std::to_string(kMaxDevices));
    count = kMaxDevices;
  }
  if (reserveCount > static_cast<uint32_t>(kReserveSlots)) {
    note("reserveCount " + std::to_string(reserveCount) + " limited to " + std::to_string(kReserveSlots));
    reserveCount = kReserveSlots;
  }

  // Every slot, counted or not: the pickers look at slots beyond the count too.
  int linkCounts = 0, names = 0, firstLinkCount = -1, firstName = -1;
  auto repairRecord = [&](DeviceRecord& r, int slot) {
    if (r.linkCount > kLinksPerDevice) {
      r.linkCount = kLinksPerDevice;
      if (linkCounts++ == 0) firstLinkCount = slot;
    }
    if (TerminateFixedText(r.name, kNameWidth)) {
      if (names++ == 0) firstName = slot;
    }
    // `picture` needs nothing here: a full 16-character name is normal, and it is
    // only ever read through PictureText, which stops before byte 812.
  };
  for (int i = 0; i < kDeviceSlots; ++i) repairRecord(records[i], i);
  if (linkCounts > 0)
    note("linkCount limited to " + std::to_string(kLinksPerDevice) + " in " + std::to_string(linkCounts) +
         " records, first slot " + std::to_string(firstLinkCount));
  if (names > 0)
    note("name terminated in " + std::to_string(names) + " records, first slot " + std::to_string(firstName));

  linkCounts = names = 0;
  for (int i = 0; i < kReserveSlots; ++i) repairRecord(reserveTable[i], i);
  if (linkCounts > 0)
    note("reserve table linkCount limited to " + std::to_string(kLinksPerDevice) + " in " +
         std::to_string(linkCounts) + " records, first slot " + std::to_string(firstLinkCount));
  if (names > 0)
    note("reserve table name terminated in " + std::to_string(names) + " records, first slot " +
         std::to_string(firstName));
  return repaired;
}

}  // namespace quorvel

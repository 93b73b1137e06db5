#pragma once
// The system's memory of the network: one record per link the modem holds,
// rebuilt from the modem at every read of its link table and merged with what
// the data file kept.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "device/device_record.h"
#include "platform/diagnostics.h"
#include "platform/clock.h"

namespace quorvel {

inline constexpr int kDeviceSlots = 481;     // slot 480 is never used
inline constexpr uint32_t kMaxDevices = 479;  // count never exceeds this
inline constexpr int kReserveSlots = 33;

// dbFlags bits.
inline constexpr uint8_t kDbMerged = 0x02;  // stored details merged: the data file may be saved

struct PlmInfo {
  InsteonId plmId{};
  uint8_t plmCategory = 0;
  uint8_t plmSubcategory = 0;
  uint8_t plmFirmware = 0;
  uint8_t plmFound = 0;
  uint8_t plmConfigFlags = 0;  // the modem's configuration byte (0x73 reply)
  uint8_t plmConfigAcked = 0;  // 1 once the modem acknowledged Set IM Configuration
};

// What storing a device's link may ask of the send side: is an identification
// request already waiting for this device, and send one.
class IdentityRequests {
 public:
  virtual ~IdentityRequests() = default;
  virtual bool IdentityRequestPending(const InsteonId& id) = 0;
  virtual void SendIdentityRequest(const InsteonId& id) = 0;
};

// The modem's link-record reply (0x57) fields.
struct PlmLinkMessage {
  uint8_t flags = 0;
  uint8_t group = 0;
  InsteonId id{};
  uint8_t data[3] = {0, 0, 0};
};

// The ALL-Linking Completed (0x53) fields.
struct LinkingCompletedMessage {
  uint8_t linkCode = 0;
  uint8_t group = 0;
  InsteonId id{};
  uint8_t category = 0;
  uint8_t subcategory = 0;
  uint8_t firmware = 0;
};

// The persisted image: records, count, reserve table, reserve count.
inline constexpr size_t kDataFileSize = kDeviceSlots * sizeof(DeviceRecord) + 4 +
                                        kReserveSlots * sizeof(DeviceRecord) + 4;
static_assert(kDataFileSize == 509896);

class DeviceDatabase {
 public:
  DeviceDatabase();

  // Zeroes the counts and flags as construction does, without touching the records:
  // the modem must answer and be configured again. Its id stays known.
  void Reset();
  // Factory reset of the modem: every byte of both tables zero, both counts 0.
  void ClearAll();

  // Look-ups over slots 0..count-1; the first match or -1.
  int FindDevice(const InsteonId& id) const;
  int FindDeviceInGroup(uint8_t group, const InsteonId& id) const;
  int FindDeviceByKey(DeviceKey key) const;
  // Index of the first in-use link (group, linked) among the links of the device's
  // in-use records, in slot order; the record's slot goes to *recordSlot if given.
  int FindLinkInDevice(const InsteonId& device, uint8_t group, const InsteonId& linked,
                       int* recordSlot = nullptr) const;
  bool InReserveTable(const InsteonId& id) const;

  // Every in-use link, in every counted record, that names the device in `slot`
  // gets flags 0x02: removed by the system.
  void MarkLinksToDeviceRemoved(int slot);

  // Appends write slot `count` (slot 479 once full, where they stay uncounted and
  // are overwritten by the next append) and clear nothing they do not set, unless
  // said otherwise.
  // A modem link record; a (group, id) already in the table changes nothing.
  void AppendFromPlmLink(const PlmLinkMessage& m);
  // A device just linked by the modem; linkFlags is left as the slot held it.
  void AppendFromLinkingCompleted(const LinkingCompletedMessage& m);
  // A device seen only in another device's links: a zeroed record, group 0.
  void AppendDiscovered(const InsteonId& id);

  // Stores one raw 10-byte link record read out of a device at link slot
  // `slotIndex` into every in-use record of that device. Slots outside 0..32 are
  // ignored. A linked device not yet in the table is appended as discovered, and
  // an unidentified device is asked for its identity through `requests` (may be
  // null) unless a request is already waiting; the discovery is told to
  // `diagnostics` (null: nowhere). Returns true when at least one record took
  // the link; the caller then raises the link-stored flags of the engine and the tick.
  bool StoreDeviceLink(int slotIndex, const uint8_t raw[10], const InsteonId& device, Time now,
                       IdentityRequests* requests, const Diagnostics* diagnostics = nullptr);

  // Merges the loaded copy's stored details into the live table and opens the
  // saving gate (kDbMerged). The caller raises the data-ready and tables-merged
  // flags and computes the sun times if they are not yet known.
  void MergeStored(const DeviceDatabase& loaded);

  // Limits counts and link counts that came from a file to what the tables hold,
  // and terminates names. Returns a description of what was repaired ("count 900
  // limited to 479; ..."), or empty when the image was sound.
  std::string RepairLoaded();

  uint32_t Count() const { return count; }
  DeviceRecord& operator[](int slot) { return records[slot]; }
  const DeviceRecord& operator[](int slot) const { return records[slot]; }

  // Persisted image.
  DeviceRecord records[kDeviceSlots];
  uint32_t count = 0;
  DeviceRecord reserveTable[kReserveSlots];
  uint32_t reserveCount = 0;

  // Not persisted.
  DeviceRecord header{};
  PlmInfo plm;
  uint8_t engineOneShot = 0;
  uint8_t engineStepFlag = 0;
  uint8_t checkFlagsHourCode = 3;
  uint8_t dbFlags = 0;
  std::function<void(std::string_view)> traceHook;

 private:
  void CountAppended();
};

// In-use records of a device: calls fn(slot, record) for each counted record whose id matches.
template <typename Fn>
void ForEachRecordOf(DeviceDatabase& db, const InsteonId& id, Fn fn) {
  const uint32_t n = db.count < kMaxDevices + 1 ? db.count : kMaxDevices + 1;
  for (uint32_t i = 0; i < n; ++i) {
    if (db.records[i].id == id) fn(static_cast<int>(i), db.records[i]);
  }
}

}  // namespace quorvel

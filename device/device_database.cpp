#include "device/device_database.h"

#include <cstring>

#include "platform/bytes.h"

namespace quorvel {

namespace {
// Counted slots as a safe scan bound: a count from a damaged file never reaches
// past the table.
uint32_t Scanned(uint32_t count) { return count < kMaxDevices ? count : kMaxDevices; }
}  // namespace

DeviceDatabase::DeviceDatabase() {
  std::memset(records, 0, sizeof records);
  std::memset(reserveTable, 0, sizeof reserveTable);
  Reset();
}

void DeviceDatabase::Reset() {
  count = 0;
  reserveCount = 0;
  plm = PlmInfo{};
  engineOneShot = 0;
  engineStepFlag = 0;
  checkFlagsHourCode = 3;
  dbFlags = 0;
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

}  // namespace quorvel

#pragma once
// The simulated modem's own state: its identity, its configuration byte and its
// link table, which Get First/Next, Manage ALL-Link Record and linking change.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/insteon_id.h"
#include "sim/sim_device.h"

namespace quorvel::sim {

// Configuration bits of Set IM Configuration.
inline constexpr uint8_t kConfigMonitorMode = 0x40;  // pass up traffic between other devices

// The 2413U holds about a thousand link records.
inline constexpr size_t kModemLinkCapacity = 1000;

struct SimModem {
  InsteonId id = InsteonId::From(0x1e, 0x65, 0xa2);
  uint8_t category = 0x03;
  uint8_t subcategory = 0x15;
  uint8_t firmware = 0x9e;
  uint8_t config = 0x00;

  std::vector<LinkEntry> links;  // in-use records only, in table order
  size_t readCursor = 0;         // the next record Get Next returns
  size_t findCursor = 0;         // the next record a find-next looks at

  // Start ALL-Linking, while it lasts.
  bool linking = false;
  uint8_t linkingCode = 0;
  uint8_t linkingGroup = 0;
  int64_t linkingUntilMillis = 0;

  bool MonitorMode() const { return (config & kConfigMonitorMode) != 0; }
  // Index of the first record at or after `from` with this group and id, and
  // the given side unless any side is allowed; -1 if none.
  int Find(uint8_t group, const InsteonId& other, int side, size_t from = 0) const;
  bool HasLinkWith(const InsteonId& other) const;
  bool ControlsGroup(uint8_t group) const;
  // Adds a record unless one of the same side, group and id exists. True if added.
  bool Add(const LinkEntry& e);
  void Reset();
};

// Side arguments of SimModem::Find.
inline constexpr int kAnySide = -1;
inline constexpr int kResponderSide = 0;
inline constexpr int kControllerSide = 1;

}  // namespace quorvel::sim

#pragma once
// The device table the program holds once it has read this house completely:
// one record per modem link, each with its device's identity, level and link
// table. Fuzz targets start from it, so the handlers meet records to touch, and
// the long simulation compares what the program learned against it.
#include "device/device_database.h"
#include "platform/clock.h"
#include "sim/sim_network.h"

namespace quorvel::sim {

// Fills `db` (cleared first) from the modem's link table and the devices; a
// device that is not in the house keeps its record's identity from the modem's
// link data. Leaves the saving gate open, as after a merge.
void FillDatabase(const House& house, DeviceDatabase& db, Time now);

// The raw 10-byte link record the program stores for a device's link slot.
void RawLinkRecord(const LinkEntry& e, int slot, uint8_t raw[10]);

}  // namespace quorvel::sim

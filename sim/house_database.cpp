#include "sim/house_database.h"

#include "platform/bytes.h"

namespace quorvel::sim {

void RawLinkRecord(const LinkEntry& e, int slot, uint8_t raw[10]) {
  raw[0] = e.flags;
  raw[1] = e.group;
  e.id.CopyTo(raw + 2);
  raw[5] = e.data[0];
  raw[6] = e.data[1];
  raw[7] = e.data[2];
  const uint16_t address = static_cast<uint16_t>(SlotAddress(slot) - 7);
  raw[8] = static_cast<uint8_t>(address >> 8);
  raw[9] = static_cast<uint8_t>(address);
}

void FillDatabase(const House& house, DeviceDatabase& db, Time now) {
  db.ClearAll();
  db.Reset();
  db.plm.plmId = house.modem.id;
  db.plm.plmCategory = house.modem.category;
  db.plm.plmSubcategory = house.modem.subcategory;
  db.plm.plmFirmware = house.modem.firmware;
  db.plm.plmFound = 1;
  for (const LinkEntry& e : house.modem.links) {
    PlmLinkMessage m;
    m.flags = e.flags;
    m.group = e.group;
    m.id = e.id;
    for (int i = 0; i < 3; ++i) m.data[i] = e.data[i];
    db.AppendFromPlmLink(m);
  }
  for (const SimDevice& d : house.devices) {
    for (uint32_t i = 0; i < db.count; ++i) {
      DeviceRecord& r = db.records[i];
      if (!(r.id == d.id)) continue;
      r.category = d.category;
      r.subcategory = d.subcategory;
      r.firmware = d.firmware;
      r.engineVersion = d.engine;
      r.categoryLearned = 1;
      r.level = d.level;
      r.level2 = d.level2;
      r.opFlags = d.opFlags;
      r.opFlags2 = d.opFlags2;
      r.aldbDelta = d.aldbDelta;
      r.timeLastContact = now;
      r.timeStatusReply = now;
      CopyFixedText(r.name, d.name);
    }
    for (int slot = 0; slot < kLinksPerDevice; ++slot) {
      const LinkEntry e = d.LinkAt(slot);
      if ((e.flags & (kLinkInUse | kLinkUsedBefore)) == 0) break;
      uint8_t raw[10];
      RawLinkRecord(e, slot, raw);
      db.StoreDeviceLink(slot, raw, d.id, now, nullptr);
    }
  }
  db.dbFlags |= kDbMerged;
}

}  // namespace quorvel::sim

#include "views/device_setup/link_list_model.h"

#include <cstdio>

#include "device/device_catalogue.h"
#include "engine/context.h"

namespace quorvel {

namespace {

// Seconds of ramp codes 0..31.
constexpr double kRampSeconds[32] = {540, 480, 420, 360, 300, 270, 240, 210, 180, 150, 120, 90, 60, 47, 43, 38,
                                     34,  32,  30,  28,  26,  23,  21,  19,  8,   6,   4,   2,  0.5, 0.3, 0.2, 0.1};

}  // namespace

int LinkLevelPercent(uint8_t level) {
  if (level < 2.55) return 0;
  return static_cast<int>(level / 2.55 + 0.5);
}

double RampSeconds(uint8_t code) { return code < 32 ? kRampSeconds[code] : 0.5; }

std::string RampSecondsText(uint8_t code) {
  const double s = RampSeconds(code);
  char text[24];
  std::snprintf(text, sizeof text, s < 1 ? "%0.1f sec" : "%1.0f sec", s);
  return text;
}

uint8_t PercentToLevel(int percent) {
  // More than 100 % would overflow the byte: 255 % became 138.
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  // percent x 2.55 + 0.5 in whole numbers: in floating point 50 % came out 127.
  return static_cast<uint8_t>((percent * 255 + 50) / 100);
}

uint8_t SecondsToRampCode(int seconds) {
  for (uint8_t code = 0; code < 28; ++code)
    if (kRampSeconds[code] == seconds) return code;
  return 28;
}

int RampCodeOfText(std::string_view text) {
  // The texts below a second map to their own codes: reading them as whole
  // seconds would make every one of them 0.5 sec.
  for (uint8_t code = 0; code < 32; ++code)
    if (RampSecondsText(code) == text) return code;
  return -1;
}

DeviceLinks FillDeviceLinks(const Context& ctx, int deviceSlot) {
  DeviceLinks out;
  const DeviceDatabase& db = ctx.db;
  if (deviceSlot < 0 || deviceSlot >= kDeviceSlots || static_cast<uint32_t>(deviceSlot) >= db.count) return out;
  const DeviceRecord& d = db[deviceSlot];
  const InsteonId& plm = db.plm.plmId;
  const bool relay = d.category == 2;
  const int n = d.LinkLimit();
  for (int k = 0; k < n; ++k) {
    const LinkRecord& l = d.links[k];
    if (!l.InUse()) continue;
    const bool toModem = l.id == plm;
    const int other = toModem ? -1 : db.FindDevice(l.id);
    if (!toModem && other < 0) continue;
    out.modemGroup = d.group;
    LinkRow row;
    row.slot = k;
    const bool controls = (l.flags & kLinkController) != 0;
    char cell[96];
    const std::string otherName =
        toModem ? std::string("PLM / Computer") : std::string(ProductName(db[other].category, db[other].subcategory));
    std::snprintf(cell, sizeof cell, " %s   %02x.%02x.%02x   %s", controls ? "Controls" : "Responds to", l.id.b[0],
                  l.id.b[1], l.id.b[2], otherName.c_str());
    row.cells[0] = cell;
    row.cells[1] = std::to_string(l.group);
    if (controls) {
      row.cells[2] = "---";
      row.cells[3] = "---";
    } else {
      row.cells[2] = std::to_string(relay ? 100 : LinkLevelPercent(l.data[0])) + "%";
      row.cells[3] = relay && d.InUse() ? std::string("SWITCH") : RampSecondsText(l.data[1]);
    }
    out.rows.push_back(std::move(row));
  }
  return out;
}

}  // namespace quorvel

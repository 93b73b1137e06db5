#include "sim/sim_modem.h"

namespace quorvel::sim {

int SimModem::Find(uint8_t group, const InsteonId& other, int side, size_t from) const {
  for (size_t i = from; i < links.size(); ++i) {
    const LinkEntry& e = links[i];
    if (e.group != group || !(e.id == other)) continue;
    if (side != kAnySide && e.Controller() != (side == kControllerSide)) continue;
    return static_cast<int>(i);
  }
  return -1;
}

bool SimModem::HasLinkWith(const InsteonId& other) const {
  for (const LinkEntry& e : links) {
    if (e.id == other) return true;
  }
  return false;
}

bool SimModem::ControlsGroup(uint8_t group) const {
  for (const LinkEntry& e : links) {
    if (e.Controller() && e.group == group) return true;
  }
  return false;
}

bool SimModem::Add(const LinkEntry& e) {
  if (links.size() >= kModemLinkCapacity) return false;
  if (Find(e.group, e.id, e.Controller() ? kControllerSide : kResponderSide) >= 0) return false;
  LinkEntry stored = e;
  stored.flags = static_cast<uint8_t>(stored.flags | kLinkInUse | kLinkUsedBefore);
  links.push_back(stored);
  return true;
}

void SimModem::Reset() {
  links.clear();
  config = 0;
  readCursor = 0;
  findCursor = 0;
  linking = false;
}

}  // namespace quorvel::sim

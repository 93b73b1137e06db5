#include "sim/sim_device.h"

#include <cstring>

namespace quorvel::sim {

namespace {

int SlotStart(int slot) { return SlotAddress(slot) - 7; }

}  // namespace

LinkEntry SimDevice::LinkAt(int slot) const {
  LinkEntry e;
  if (slot < 0 || slot >= kLinkSlots) return e;
  const uint8_t* p = memory_ + SlotStart(slot);
  e.flags = p[0];
  e.group = p[1];
  e.id = InsteonId::FromBytes(p + 2);
  std::memcpy(e.data, p + 5, 3);
  return e;
}

void SimDevice::SetLinkAt(int slot, const LinkEntry& e) {
  if (slot < 0 || slot >= kLinkSlots) return;
  uint8_t* p = memory_ + SlotStart(slot);
  p[0] = e.flags;
  p[1] = e.group;
  e.id.CopyTo(p + 2);
  std::memcpy(p + 5, e.data, 3);
  TableChanged();
}

int SimDevice::AddLink(const LinkEntry& e) {
  for (int slot = 0; slot < kLinkSlots; ++slot) {
    if (!LinkAt(slot).InUse()) {
      SetLinkAt(slot, e);
      return slot;
    }
  }
  return -1;
}

std::vector<LinkEntry> SimDevice::Links() const {
  std::vector<LinkEntry> out;
  for (int slot = 0; slot < kLinkSlots; ++slot) {
    const LinkEntry e = LinkAt(slot);
    if ((e.flags & kLinkUsedBefore) == 0 && !e.InUse()) break;  // the end of the table
    if (e.InUse()) out.push_back(e);
  }
  return out;
}

int SimDevice::FindLink(bool controller, uint8_t group, const InsteonId& other) const {
  for (int slot = 0; slot < kLinkSlots; ++slot) {
    const LinkEntry e = LinkAt(slot);
    if ((e.flags & kLinkUsedBefore) == 0 && !e.InUse()) break;
    if (e.InUse() && e.Controller() == controller && e.group == group && e.id == other) return slot;
  }
  return -1;
}

bool SimDevice::HasLinkWith(const InsteonId& other) const {
  for (const LinkEntry& e : Links()) {
    if (e.id == other) return true;
  }
  return false;
}

int SimDevice::RemoveLinks(uint8_t group, const InsteonId& other) {
  int removed = 0;
  for (int slot = 0; slot < kLinkSlots; ++slot) {
    LinkEntry e = LinkAt(slot);
    if ((e.flags & kLinkUsedBefore) == 0 && !e.InUse()) break;
    if (e.InUse() && e.group == group && e.id == other) {
      e.flags = static_cast<uint8_t>(e.flags & ~kLinkInUse);
      SetLinkAt(slot, e);
      ++removed;
    }
  }
  return removed;
}

uint8_t SimDevice::Peek(uint16_t address) const { return address < kLinkMemorySize ? memory_[address] : 0; }

void SimDevice::Poke(uint16_t address, uint8_t value) {
  if (address >= kLinkMemorySize) return;
  memory_[address] = value;
  TableChanged();
}

AirMessage SimDevice::AnswerTo(const AirMessage& m, uint8_t type, uint8_t cmd1, uint8_t cmd2) const {
  AirMessage a;
  a.from = id;
  a.to = m.from;
  a.type = type;
  a.cmd1 = cmd1;
  a.cmd2 = cmd2;
  return a;
}

// i2cs devices put the checksum into every extended message they send.
void SimDevice::SealExtended(AirMessage& m) const {
  m.extended = true;
  m.data[13] = engine == kEngineI2cs ? ExtendedChecksum(m.cmd1, m.cmd2, m.data) : 0;
}

bool SimDevice::LoseAnswer(uint16_t first, uint16_t last) {
  for (auto it = loseAnswers.lower_bound(first); it != loseAnswers.end() && it->first <= last; ++it) {
    if (it->second > 0) {
      --it->second;
      return true;
    }
  }
  return false;
}

void SimDevice::ReadRecords(const AirMessage& m, DirectOutcome& out, int firstDelay) {
  // D3/D4 name the first record (0x0000: from the top), D5 how many (0: all).
  const uint16_t asked = static_cast<uint16_t>(m.data[2] << 8 | m.data[3]);
  int slot = asked == 0 ? 0 : (kLinkTop - asked) / 8;
  if (asked > kLinkTop) return;
  const int wanted = m.data[4];
  int sent = 0;
  int delay = firstDelay;
  for (; slot < kLinkSlots; ++slot) {
    const LinkEntry e = LinkAt(slot);
    AirMessage r = AnswerTo(m, kTypeDirect, 0x2F, 0x00);
    r.data[0] = 0x00;
    r.data[1] = 0x01;  // a record
    const uint16_t address = SlotAddress(slot);
    r.data[2] = static_cast<uint8_t>(address >> 8);
    r.data[3] = static_cast<uint8_t>(address);
    r.data[5] = e.flags;
    r.data[6] = e.group;
    e.id.CopyTo(r.data + 7);
    std::memcpy(r.data + 10, e.data, 3);
    SealExtended(r);
    if (!LoseAnswer(static_cast<uint16_t>(address - 7), address)) {
      out.replies.push_back(Reply{delay, r});
      if (repeatRecords) out.replies.push_back(Reply{delay + kRecordIntervalMillis / 4, r});
    }
    delay += kRecordIntervalMillis;
    ++sent;
    if (wanted != 0 && sent >= wanted) break;
    // The record never used marks the end; it is sent as the last one.
    if ((e.flags & kLinkUsedBefore) == 0 && !e.InUse()) break;
  }
}

DirectOutcome SimDevice::HandleDirect(const AirMessage& m, int64_t /*nowMillis*/, const InsteonId& modem) {
  DirectOutcome out;
  const int turn = kDeviceTurnaroundMillis + slowMillis;
  auto ack = [&](uint8_t cmd1, uint8_t cmd2) { out.replies.push_back(Reply{turn, AnswerTo(m, kTypeAck, cmd1, cmd2)}); };
  auto nak = [&](uint8_t reason) { out.replies.push_back(Reply{turn, AnswerTo(m, kTypeNak, m.cmd1, reason)}); };

  // An i1 engine cannot decode extended messages at all.
  if (m.extended && engine == kEngineI1) return out;
  if (engine == kEngineI2cs) {
    if (m.extended && m.data[13] != ExtendedChecksum(m.cmd1, m.cmd2, m.data)) {
      nak(kNakBadChecksum);
      return out;
    }
    // i2cs devices answer only controllers they are linked with; entering
    // linking mode is how they get linked.
    if (m.cmd1 != 0x09 && m.from == modem && !HasLinkWith(modem)) {
      nak(kNakNotLinked);
      return out;
    }
  }

  if (m.extended) {
    switch (m.cmd1) {
      case 0x09:
        ack(0x09, m.cmd2);
        out.enterLinking = true;
        out.linkingGroup = m.cmd2;
        return out;
      case 0x2E:
        ack(0x2E, 0x00);
        if (m.data[1] == 0x00) {  // a request for the settings of button D1
          AirMessage r = AnswerTo(m, kTypeDirect, 0x2E, 0x00);
          std::memcpy(r.data, settings, 13);
          r.data[0] = m.data[0];
          r.data[1] = 0x01;
          SealExtended(r);
          out.replies.push_back(Reply{turn + kStandardAirMillis + kRecordIntervalMillis, r});
        }
        return out;
      case 0x2F:
        if (m.data[1] == 0x00) {
          ack(0x2F, 0x00);
          ReadRecords(m, out, turn + kStandardAirMillis + kRecordIntervalMillis);
        } else if (m.data[1] == 0x02) {
          // Write: D3/D4 name the record's last byte, D6..D13 are its 8 bytes.
          const int top = m.data[2] << 8 | m.data[3];
          if (top < 7 || top > kLinkTop) {
            nak(0xFE);
            return out;
          }
          if (!writeProtected) {
            for (int i = 0; i < 8; ++i) memory_[top - 7 + i] = m.data[5 + i];
            TableChanged();
          }
          ack(0x2F, 0x00);
        } else {
          ack(0x2F, 0x00);
        }
        return out;
      default:
        return out;  // commands a device does not know get no answer
    }
  }

  switch (m.cmd1) {
    case 0x09:
      ack(0x09, m.cmd2);
      out.enterLinking = true;
      out.linkingGroup = m.cmd2;
      break;
    case 0x0A:
    case 0x0F:
    case 0x17:
    case 0x18:
    case 0x20:
      ack(m.cmd1, m.cmd2);
      break;
    case 0x0D:
      ack(0x0D, static_cast<uint8_t>(engine >= 1 && engine <= 3 ? engine - 1 : 0));
      break;
    case 0x10: {
      ack(0x10, 0x00);
      // The identity follows as a SET-button broadcast carrying the kind.
      AirMessage b;
      b.from = id;
      b.to = InsteonId::From(category, subcategory, firmware);
      b.type = kTypeBroadcast;
      b.cmd1 = 0x01;
      b.cmd2 = 0x00;
      out.replies.push_back(Reply{turn + kStandardAirMillis + 2 * kDeviceTurnaroundMillis, b});
      break;
    }
    case 0x11:
      level = IsDimmer() ? m.cmd2 : 0xFF;
      ack(0x11, level);
      break;
    case 0x12:
      level = 0xFF;
      ack(0x12, level);
      break;
    case 0x13:
    case 0x14:
      level = 0;
      ack(m.cmd1, 0x00);
      break;
    case 0x15:
      if (IsDimmer()) level = static_cast<uint8_t>(level > 0xFF - 8 ? 0xFF : level + 8);
      ack(0x15, level);
      break;
    case 0x16:
      if (IsDimmer()) level = static_cast<uint8_t>(level < 8 ? 0 : level - 8);
      ack(0x16, level);
      break;
    case 0x19:
      ack(aldbDelta, m.cmd2 == 0x01 ? level2 : level);
      break;
    case 0x1F:
      ack(0x1F, m.cmd2 == 0x02 ? opFlags2 : opFlags);
      break;
    case 0x28:
      addressMsb_ = m.cmd2;
      ack(0x28, m.cmd2);
      break;
    case 0x2B: {
      addressLsb_ = m.cmd2;
      const auto address = static_cast<uint16_t>(addressMsb_ << 8 | addressLsb_);
      if (!LoseAnswer(address, address)) ack(0x2B, Peek(address));
      break;
    }
    case 0x29:
      if (!writeProtected) Poke(static_cast<uint16_t>(addressMsb_ << 8 | addressLsb_), m.cmd2);
      ack(0x29, m.cmd2);
      break;
    default:
      break;  // commands a device does not know get no answer
  }
  return out;
}

bool SimDevice::FollowGroupCommand(const InsteonId& controller, uint8_t group, uint8_t cmd1) {
  const int slot = FindLink(false, group, controller);
  if (slot < 0) return false;
  if (!HasLoad()) return true;
  const LinkEntry e = LinkAt(slot);
  switch (cmd1) {
    case 0x11:
      level = IsDimmer() ? e.data[0] : 0xFF;
      break;
    case 0x12:
      level = 0xFF;
      break;
    case 0x13:
    case 0x14:
      level = 0;
      break;
    default:
      break;
  }
  return true;
}

void SimDevice::PressOwnButton(uint8_t group, uint8_t cmd1) {
  if (group != 1 || !HasLoad()) return;
  if (cmd1 == 0x11 || cmd1 == 0x12) level = 0xFF;
  if (cmd1 == 0x13 || cmd1 == 0x14) level = 0;
}

}  // namespace quorvel::sim

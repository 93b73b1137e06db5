#pragma once
// Facts of the modem's serial protocol and of Insteon messages that the
// simulated modem and devices share: message types, flags, the i2cs checksum,
// the modem command lengths.
#include <cstddef>
#include <cstdint>

#include "device/insteon_id.h"

namespace quorvel::sim {

inline constexpr uint8_t kStart = 0x02;
inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kNak = 0x15;

// Message types: the top three bits of the flags byte.
inline constexpr uint8_t kTypeDirect = 0x00;
inline constexpr uint8_t kTypeAck = 0x20;
inline constexpr uint8_t kTypeCleanup = 0x40;
inline constexpr uint8_t kTypeCleanupAck = 0x60;
inline constexpr uint8_t kTypeBroadcast = 0x80;
inline constexpr uint8_t kTypeNak = 0xA0;
inline constexpr uint8_t kTypeGroupBroadcast = 0xC0;
inline constexpr uint8_t kTypeCleanupNak = 0xE0;
inline constexpr uint8_t kExtendedBit = 0x10;

// NAK reasons a device gives in command 2.
inline constexpr uint8_t kNakNotLinked = 0xFF;   // the sender is not in its link table
inline constexpr uint8_t kNakBadChecksum = 0xFD;  // an i2cs device refused the checksum

// Engine versions as the device database keeps them.
inline constexpr uint8_t kEngineI1 = 1;
inline constexpr uint8_t kEngineI2 = 2;
inline constexpr uint8_t kEngineI2cs = 3;

// Flags of a message as the modem hears it: type, extended bit, hops left and
// maximum hops. Every device sends with 3 maximum hops.
inline uint8_t HeardFlags(uint8_t type, bool extended, int hopsTaken) {
  const int left = hopsTaken < 0 ? 3 : hopsTaken > 3 ? 0 : 3 - hopsTaken;
  return static_cast<uint8_t>(type | (extended ? kExtendedBit : 0) | left << 2 | 3);
}

// The i2cs checksum of an extended message: two's complement of the low byte
// of cmd1 + cmd2 + D1..D13.
inline uint8_t ExtendedChecksum(uint8_t cmd1, uint8_t cmd2, const uint8_t* d13) {
  unsigned sum = cmd1 + cmd2;
  for (int i = 0; i < 13; ++i) sum += d13[i];
  return static_cast<uint8_t>(-static_cast<int>(sum & 0xFF) & 0xFF);
}

// One message on the network.
struct AirMessage {
  InsteonId from{};
  InsteonId to{};
  uint8_t type = kTypeDirect;  // one of the kType values
  bool extended = false;
  uint8_t cmd1 = 0;
  uint8_t cmd2 = 0;
  uint8_t data[14] = {};
  int hops = 1;  // hops taken to reach the listener
  // Repeats the sender allowed (the flags' low two bits): a device further
  // away than this never hears the message.
  int maxHops = 3;
};

// Length of a host command to the modem, start byte included; 0 for a code the
// modem does not know. The 0x62 length depends on its flags byte.
inline size_t HostCommandLength(uint8_t code, uint8_t flagsOf62) {
  switch (code) {
    case 0x60: case 0x65: case 0x67: case 0x69: case 0x6A: case 0x6C: case 0x6D: case 0x6E:
    case 0x72: case 0x73:
      return 2;
    case 0x68: case 0x6B: case 0x70:
      return 3;
    case 0x63: case 0x64: case 0x71:
      return 4;
    case 0x61: case 0x66:
      return 5;
    case 0x62:
      return (flagsOf62 & kExtendedBit) != 0 ? 22 : 8;
    case 0x6F:
      return 11;
    default:
      return 0;
  }
}

}  // namespace quorvel::sim

namespace quorvel::sim {

// Time a message takes on the power line and radio, and what devices take to
// act: close to what a real network shows.
inline constexpr int kStandardAirMillis = 50;
inline constexpr int kExtendedAirMillis = 110;
inline constexpr int kDeviceTurnaroundMillis = 10;
inline constexpr int kRecordIntervalMillis = 200;  // between the records of an extended read

inline int AirMillis(const AirMessage& m) { return m.extended ? kExtendedAirMillis : kStandardAirMillis; }

}  // namespace quorvel::sim

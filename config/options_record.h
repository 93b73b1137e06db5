#pragma once
// The user's settings, stored byte for byte as the options file.
#include <cstddef>
#include <cstdint>

namespace quorvel {

// runFlags bits.
inline constexpr uint8_t kRunDiscovery = 0x02;
inline constexpr uint8_t kRunLinkWatchRepair = 0x04;
inline constexpr uint8_t kRunTimerEvents = 0x08;
inline constexpr uint8_t kRunLogicEvents = 0x10;
inline constexpr uint8_t kRunSetUp = 0x80;

inline constexpr uint32_t kInitMarker = 1955;
inline constexpr size_t kCoordinateWidth = 10;

struct OptionsRecord {
  uint8_t reserved0[24];
  uint8_t runFlags;
  uint8_t reserved1[627];
  char latitude[kCoordinateWidth];
  char longitude[kCoordinateWidth];
  int32_t timeZone;
  uint8_t reserved2[24];
  int8_t lastWeekday;
  int8_t lastMonth;
  uint8_t reserved3[418];
  uint32_t treeState;
  uint8_t userDisconnect;
  uint8_t reserved1125;  // the first-start defaults set it to 1
  uint8_t reserved4[2];
  int32_t comPort;
  int8_t timeZoneIndex;
  uint8_t forcePort;
  uint8_t reserved5[2];
  uint32_t forcedPortNumber;
  uint8_t reserved6[24];
  uint32_t initMarker;
  float energyPrice;
  uint8_t reserved7[4];
};
static_assert(sizeof(OptionsRecord) == 1176);
static_assert(offsetof(OptionsRecord, runFlags) == 24);
static_assert(offsetof(OptionsRecord, latitude) == 652);
static_assert(offsetof(OptionsRecord, longitude) == 662);
static_assert(offsetof(OptionsRecord, timeZone) == 672);
static_assert(offsetof(OptionsRecord, lastWeekday) == 700);
static_assert(offsetof(OptionsRecord, lastMonth) == 701);
static_assert(offsetof(OptionsRecord, treeState) == 1120);
static_assert(offsetof(OptionsRecord, userDisconnect) == 1124);
static_assert(offsetof(OptionsRecord, reserved1125) == 1125);
static_assert(offsetof(OptionsRecord, comPort) == 1128);
static_assert(offsetof(OptionsRecord, timeZoneIndex) == 1132);
static_assert(offsetof(OptionsRecord, forcePort) == 1133);
static_assert(offsetof(OptionsRecord, forcedPortNumber) == 1136);
static_assert(offsetof(OptionsRecord, initMarker) == 1164);
static_assert(offsetof(OptionsRecord, energyPrice) == 1168);
static_assert(sizeof(float) == 4);

}  // namespace quorvel

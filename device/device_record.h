#pragma once
// The stored device record and its link slots. These structs are written to the
// data file byte for byte, so their layout is a file format: every field is pinned.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "device/insteon_id.h"

namespace quorvel {

// linkFlags / LinkRecord::flags bits.
inline constexpr uint8_t kRecordInUse = 0x80;
inline constexpr uint8_t kPlmIsController = 0x40;  // linkFlags: the device is the responder
inline constexpr uint8_t kLinkController = 0x40;   // LinkRecord::flags: the device controls
inline constexpr uint8_t kLinkUsedBefore = 0x02;
inline constexpr uint8_t kLinkRemovedBySystem = 0x02;  // this value alone

inline constexpr int kLinksPerDevice = 33;

// One slot of a device's own link table, as read out of the device.
struct LinkRecord {
  uint8_t flags;
  uint8_t reserved0[3];
  uint32_t address;  // record address in the device's link memory, e.g. 0x0FFF
  uint8_t group;
  InsteonId id;  // the other device
  uint8_t data[3];   // responder: on-level, ramp rate, button
  uint8_t reserved1;

  bool InUse() const { return (flags & kRecordInUse) != 0; }
};
static_assert(sizeof(LinkRecord) == 16);
static_assert(offsetof(LinkRecord, flags) == 0);
static_assert(offsetof(LinkRecord, address) == 4);
static_assert(offsetof(LinkRecord, group) == 8);
static_assert(offsetof(LinkRecord, id) == 9);
static_assert(offsetof(LinkRecord, data) == 12);

// workFlags bits.
inline constexpr uint8_t kWorkStatusWanted = 0x01;
inline constexpr uint8_t kWorkLinksReread = 0x02;
inline constexpr uint8_t kWorkOnOffPass = 0x04;

// aldbReadState values.
inline constexpr uint8_t kReadNone = 0;
inline constexpr uint8_t kReadWanted = 1;
inline constexpr uint8_t kReadGivenUp = 4;  // anything above 3
inline constexpr uint8_t kReadUserRequested = 5;

// engineVersion values.
inline constexpr uint8_t kEngineUnknown = 0;
inline constexpr uint8_t kEngineI1 = 1;
inline constexpr uint8_t kEngineI2 = 2;
inline constexpr uint8_t kEngineI2cs = 3;

inline constexpr size_t kNameWidth = 33;
inline constexpr size_t kPictureWidth = 17;
// The picture name proper ends before byte 812, which doubles as the tile's large flag.
inline constexpr size_t kPictureNameWidth = 16;

// One record per link the modem holds, keyed by (group, id), enriched with what
// the device told us about itself.
struct DeviceRecord {
  uint8_t linkFlags;
  uint8_t group;
  InsteonId id;
  uint8_t reserved0[3];
  uint8_t level;
  uint8_t aldbDelta;
  uint8_t aldbReadState;
  uint8_t groupLinkMissing;
  LinkRecord links[kLinksPerDevice];
  uint8_t linkCount;
  char name[kNameWidth];
  uint8_t noResponse;
  uint8_t category;
  uint8_t subcategory;
  uint8_t engineVersion;
  uint8_t firmware;
  uint8_t linkCode;
  uint8_t reserved1[6];
  uint8_t categoryTries;
  uint8_t versionTries;
  uint8_t get_statusTries;
  uint8_t categoryLearned;
  uint8_t reserved2[2];
  int64_t timeCategoryRequest;
  int64_t timeVersionRequest;
  int64_t timeStatusRequest;
  int64_t timeLinksRead;
  int64_t timeStatusReply;
  int64_t timeLastContact;
  int64_t timeLastOn;
  int64_t timeLastOff;
  uint8_t reserved3[16];
  uint32_t minutesOnToday;
  uint32_t minutesOnWeek;
  uint32_t minutesOnMonth;
  uint8_t reserved4[12];
  uint8_t groupStates;
  uint8_t linksUpdated;
  uint8_t showInControllerList;
  uint8_t plmLinkRepairs;
  uint8_t reserved700;  // cleared by CheckFlags
  uint8_t level2;
  uint8_t opFlags;
  uint8_t opFlags2;
  uint8_t panelBits;
  uint8_t workFlags;
  uint8_t ledDirty;
  uint8_t reserved5;
  int32_t tileRect[4];   // left, top, right, bottom
  int32_t tileRect2[4];  // carried beside tileRect, changed by nothing
  uint8_t reserved6[56];
  char picture[kPictureWidth];  // byte 16 (offset 812) is the tile's large flag
  uint8_t reserved7[8];
  uint8_t extData[14];
  uint8_t reserved8[157];

  bool InUse() const { return (linkFlags & kRecordInUse) != 0; }
  bool IdentityKnown() const { return category != 0 || subcategory != 0; }
  // linkCount as a safe bound for loops over links: never above the slots that exist.
  int LinkLimit() const { return linkCount < kLinksPerDevice ? linkCount : kLinksPerDevice; }
};

static_assert(sizeof(DeviceRecord) == 992);
static_assert(offsetof(DeviceRecord, linkFlags) == 0);
static_assert(offsetof(DeviceRecord, group) == 1);
static_assert(offsetof(DeviceRecord, id) == 2);
static_assert(offsetof(DeviceRecord, level) == 8);
static_assert(offsetof(DeviceRecord, aldbDelta) == 9);
static_assert(offsetof(DeviceRecord, aldbReadState) == 10);
static_assert(offsetof(DeviceRecord, groupLinkMissing) == 11);
static_assert(offsetof(DeviceRecord, links) == 12);
static_assert(offsetof(DeviceRecord, linkCount) == 540);
static_assert(offsetof(DeviceRecord, name) == 541);
static_assert(offsetof(DeviceRecord, noResponse) == 574);
static_assert(offsetof(DeviceRecord, category) == 575);
static_assert(offsetof(DeviceRecord, subcategory) == 576);
static_assert(offsetof(DeviceRecord, engineVersion) == 577);
static_assert(offsetof(DeviceRecord, firmware) == 578);
static_assert(offsetof(DeviceRecord, linkCode) == 579);
static_assert(offsetof(DeviceRecord, categoryTries) == 586);
static_assert(offsetof(DeviceRecord, versionTries) == 587);
static_assert(offsetof(DeviceRecord, get_statusTries) == 588);
static_assert(offsetof(DeviceRecord, categoryLearned) == 589);
static_assert(offsetof(DeviceRecord, timeCategoryRequest) == 592);
static_assert(offsetof(DeviceRecord, timeVersionRequest) == 600);
static_assert(offsetof(DeviceRecord, timeStatusRequest) == 608);
static_assert(offsetof(DeviceRecord, timeLinksRead) == 616);
static_assert(offsetof(DeviceRecord, timeStatusReply) == 624);
static_assert(offsetof(DeviceRecord, timeLastContact) == 632);
static_assert(offsetof(DeviceRecord, timeLastOn) == 640);
static_assert(offsetof(DeviceRecord, timeLastOff) == 648);
static_assert(offsetof(DeviceRecord, minutesOnToday) == 672);
static_assert(offsetof(DeviceRecord, minutesOnWeek) == 676);
static_assert(offsetof(DeviceRecord, minutesOnMonth) == 680);
static_assert(offsetof(DeviceRecord, groupStates) == 696);
static_assert(offsetof(DeviceRecord, linksUpdated) == 697);
static_assert(offsetof(DeviceRecord, showInControllerList) == 698);
static_assert(offsetof(DeviceRecord, plmLinkRepairs) == 699);
static_assert(offsetof(DeviceRecord, reserved700) == 700);
static_assert(offsetof(DeviceRecord, level2) == 701);
static_assert(offsetof(DeviceRecord, opFlags) == 702);
static_assert(offsetof(DeviceRecord, opFlags2) == 703);
static_assert(offsetof(DeviceRecord, panelBits) == 704);
static_assert(offsetof(DeviceRecord, workFlags) == 705);
static_assert(offsetof(DeviceRecord, ledDirty) == 706);
static_assert(offsetof(DeviceRecord, tileRect) == 708);
static_assert(offsetof(DeviceRecord, tileRect2) == 724);
static_assert(offsetof(DeviceRecord, picture) == 796);
static_assert(offsetof(DeviceRecord, extData) == 821);

// The device's picture file name. Only bytes 796..811 are read, so byte 812 (the
// large-tile flag) never joins it; a catalogue picture longer than those 16
// bytes ("motion-sensor.bmp") is stored cut and given back whole.
std::string_view PictureText(const DeviceRecord& r);

// Group number (bits 24..31) and id (bits 0..23) packed as tree items and tiles carry them.
using DeviceKey = uint32_t;
inline DeviceKey MakeDeviceKey(uint8_t group, const InsteonId& id) {
  return uint32_t{group} << 24 | id.Value();
}
inline uint8_t KeyGroup(DeviceKey key) { return static_cast<uint8_t>(key >> 24); }
inline InsteonId KeyId(DeviceKey key) { return InsteonId::FromValue(key & 0xFFFFFFu); }

}  // namespace quorvel

namespace quorvel {
static_assert(std::is_trivially_copyable_v<DeviceRecord> && std::is_trivial_v<DeviceRecord>);
}  // namespace quorvel

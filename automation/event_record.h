#pragma once
// The event record shared by time events and logic events. The send queues take
// the same record as the action they route. Stored byte for byte in the events file.
#include <cstddef>
#include <cstdint>

#include "device/insteon_id.h"

namespace quorvel {

struct EventRecord {
  uint8_t targetKind;  // 0 Insteon device or computer group, 1 X10 address
  uint8_t reserved0[3];
  uint32_t lastFired;  // low 32 bits of the time of the last execution; 0 never
  uint8_t isTimeEvent;
  uint8_t isLogicEvent;
  uint8_t hour;
  uint8_t minute;
  uint8_t reserved1[2];
  uint8_t days;  // bit 0 Sunday .. bit 6 Saturday
  uint8_t msgFlags;
  InsteonId targetId;
  uint8_t cmd1;
  uint8_t cmd2;
  InsteonId initiatorId;
  InsteonId operatorId;
  uint8_t initiatorCmd1;
  uint8_t initiatorCmd2;
  uint8_t operatorCmd1;
  uint8_t operatorCmd2;
  uint8_t group;
  uint8_t reserved2;
  uint8_t isGroup;
  uint8_t reserved3[118];
  uint8_t x10House;
  uint8_t x10Unit;
  uint8_t x10Function;  // 2 On, 3 Off
  uint8_t timeBase;     // 0 clock, 1 sunrise, 2 sunset
  int8_t offsetMode;    // 0 at, 1 before, 2 after
  uint8_t delayMinutes;
  uint8_t inUse;
  uint8_t reserved4;
  uint8_t retryClass;
  uint8_t initiatorGroup;
  uint8_t delaySeconds;
  uint8_t reserved5[21];
};
static_assert(sizeof(EventRecord) == 184);
static_assert(offsetof(EventRecord, targetKind) == 0);
static_assert(offsetof(EventRecord, lastFired) == 4);
static_assert(offsetof(EventRecord, isTimeEvent) == 8);
static_assert(offsetof(EventRecord, isLogicEvent) == 9);
static_assert(offsetof(EventRecord, hour) == 10);
static_assert(offsetof(EventRecord, minute) == 11);
static_assert(offsetof(EventRecord, days) == 14);
static_assert(offsetof(EventRecord, msgFlags) == 15);
static_assert(offsetof(EventRecord, targetId) == 16);
static_assert(offsetof(EventRecord, cmd1) == 19);
static_assert(offsetof(EventRecord, cmd2) == 20);
static_assert(offsetof(EventRecord, initiatorId) == 21);
static_assert(offsetof(EventRecord, operatorId) == 24);
static_assert(offsetof(EventRecord, initiatorCmd1) == 27);
static_assert(offsetof(EventRecord, initiatorCmd2) == 28);
static_assert(offsetof(EventRecord, operatorCmd1) == 29);
static_assert(offsetof(EventRecord, operatorCmd2) == 30);
static_assert(offsetof(EventRecord, group) == 31);
static_assert(offsetof(EventRecord, isGroup) == 33);
static_assert(offsetof(EventRecord, x10House) == 152);
static_assert(offsetof(EventRecord, x10Unit) == 153);
static_assert(offsetof(EventRecord, x10Function) == 154);
static_assert(offsetof(EventRecord, timeBase) == 155);
static_assert(offsetof(EventRecord, offsetMode) == 156);
static_assert(offsetof(EventRecord, delayMinutes) == 157);
static_assert(offsetof(EventRecord, inUse) == 158);
static_assert(offsetof(EventRecord, retryClass) == 160);
static_assert(offsetof(EventRecord, initiatorGroup) == 161);
static_assert(offsetof(EventRecord, delaySeconds) == 162);

// An action as the send queues receive it: the record, plus the 14 data bytes of
// an extended send at offsets 184..197 of a 200-byte action.
struct ActionRecord {
  EventRecord event;
  uint8_t extData[14];
  uint8_t reserved[2];
};
static_assert(sizeof(ActionRecord) == 200);
static_assert(offsetof(ActionRecord, extData) == 184);

inline constexpr int kEventSlots = 402;
inline constexpr int kUsableEventSlots = 399;

struct EventTable {
  uint32_t reserved0 = 0;
  uint32_t eventCount = 0;
  EventRecord records[kEventSlots]{};
};
static_assert(sizeof(EventTable) == 73976);
static_assert(offsetof(EventTable, eventCount) == 4);
static_assert(offsetof(EventTable, records) == 8);

}  // namespace quorvel

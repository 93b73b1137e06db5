#pragma once
// Reading a device's own link table into its records. i2 and i2cs devices stream
// their records as extended replies to one 0x2F request; i1 devices (and one old
// modem kind) are read a byte at a time with Set Address MSB (0x28) and Peek (0x2B).
#include <cstddef>
#include <cstdint>

#include "device/insteon_id.h"

namespace quorvel {

struct Context;
struct DeviceRecord;

// Step calls a peeked record may take before the read is abandoned.
inline constexpr int kPeekRecordTimeout = 30;
// Records the mirror can hold; a read never stores past the last one.
inline constexpr int kReadableLinks = 33;

struct LinkReader {
  // Peek read.
  uint8_t startRequest = 0;  // 1: send the address of the next record at the next step
  uint8_t active = 0;        // 1 while a peek read runs; the engine gives it the whole step
  uint8_t readstate = 0;     // peeks issued for the current record, 0..8
  uint8_t peekReplyArrived = 0;
  InsteonId target{};
  uint8_t addressMsb = 0x0F;
  uint8_t addressLsb = 0xF8;
  uint8_t moreRecords = 0;
  int byteIndex = 0;
  int recordsRead = 0;
  int timeoutCounter = 0;
  uint8_t buffer[10] = {};

  // Extended read.
  InsteonId extendedTarget{};
  bool extendedOpen = false;    // a stream from extendedTarget is expected
  int lastExtendedAddress = -1;  // full address of the last record stored, -1 for none

  // For the run summary.
  uint32_t recordsStored = 0;  // link records stored over the whole run
  uint32_t readsStarted = 0;
  uint32_t timeouts = 0;

  bool Busy() const { return active != 0; }
};

// Starts reading a device's link table: 1 if a read was started or sent, -1 if
// not (a read request is still pending, or the engine version must be asked first).
int StartLinkRead(Context& ctx, DeviceRecord& record);

// One step of the peek read; the engine calls it while the reader is busy.
void ReadDeviceRecord(Context& ctx);

// A standard reply with cmd1 0x2B while a peek read is active: frame is the whole
// 0x50 frame (11 bytes), the peeked byte at position 10.
void OnPeekReply(Context& ctx, const uint8_t* frame, size_t length);

// An extended reply with cmd1 0x2F, cmd2 0x00: frame is the whole 0x51 frame (25 bytes).
void OnExtendedLinkRecord(Context& ctx, const uint8_t* frame, size_t length);

}  // namespace quorvel

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
// A peeked record whose bytes stopped coming is read again this many times
// before the read is given up, once the device has answered at all.
inline constexpr int kPeekRecordRetries = 2;
// Reader steps without a new record before an extended stream counts as stopped.
inline constexpr int kExtendedQuietSteps = 30;
// Records asked for again, in all, when an extended stream lost some.
inline constexpr int kExtendedRetries = 5;

struct LinkReader {
  // Peek read.
  uint8_t startRequest = 0;  // 1: send the address of the next record at the next step
  uint8_t active = 0;        // 1 while a peek read runs
  uint8_t readstate = 0;     // peeks issued for the current record, 0..8
  uint8_t peekReplyArrived = 0;
  InsteonId target{};
  uint8_t addressMsb = 0x0F;
  uint8_t addressLsb = 0xF8;
  uint8_t moreRecords = 0;
  int byteIndex = 0;    // next byte of the current record, 0..7
  int recordsRead = 0;  // records stored in this read: the link slot of the next one
  int timeoutCounter = 0;
  int recordRetries = 0;  // times the current record was started again
  uint8_t buffer[10] = {};

  // Extended read. Records are stored at the slot their address names, from
  // whichever device sends them; the read being watched is the one StartLinkRead
  // asked for, so that records lost on the way can be asked for again.
  InsteonId extendedTarget{};
  bool extendedOpen = false;     // a stream from extendedTarget is being watched
  InsteonId lastExtendedSender{};
  int lastExtendedAddress = -1;  // full address of the last record stored, -1 for none
  uint64_t extendedSeen = 0;     // bit per link slot stored in the watched read
  int extendedEndSlot = -1;      // slot of the never-used record that ends the table
  int extendedHighestSeen = -1;
  int extendedQuietSteps = 0;
  int extendedRetries = 0;

  // Devices whose table gave at least one record in this run: an empty table
  // that was read is told apart from one never read (a link write must not
  // guess at a slot of a table it never saw).
  static constexpr int kTablesReadMax = 512;
  uint32_t tablesRead[kTablesReadMax] = {};
  int tablesReadCount = 0;
  bool TableReadThisRun(const InsteonId& id) const;
  void NoteTableRead(const InsteonId& id);

  // For the run summary.
  uint32_t recordsStored = 0;  // link records stored over the whole run
  uint32_t readsStarted = 0;
  uint32_t timeouts = 0;

  // While true the engine gives every step to ReadDeviceRecord and does nothing
  // else: a peek read runs, or an extended stream is being watched.
  bool Busy() const { return active != 0 || startRequest != 0 || extendedOpen; }
};

// Starts reading a device's link table: 1 if a read was started or sent, -1 if
// not (a read request is still pending, another read is running, or the engine
// version must be asked first).
int StartLinkRead(Context& ctx, DeviceRecord& record);

// One step of the reader; the engine calls it while the reader is busy.
void ReadDeviceRecord(Context& ctx);

// A standard reply with cmd1 0x2B while a peek read is active: frame is the whole
// 0x50 frame (11 bytes), the peeked byte at position 10.
void OnPeekReply(Context& ctx, const uint8_t* frame, size_t length);

// An extended reply with cmd1 0x2F, cmd2 0x00: frame is the whole 0x51 frame (25 bytes).
void OnExtendedLinkRecord(Context& ctx, const uint8_t* frame, size_t length);

// Link slot of the record at a device's link-memory address: the table grows
// down from the top of its 4 KB block, 8 bytes a record, and either the first
// or the last byte of a record names it. -1 beyond the slots the mirror holds.
int LinkSlotForAddress(uint16_t address);

}  // namespace quorvel

#pragma once
// Everything the system sends to the modem waits here: Insteon messages to one
// device in three rings (replies expected, plain, held back by a delay),
// commands for sleeping wireless devices in the hold queue until the device is
// heard from, and the modem's own commands in the modem command queue. One of
// them is served per tick by TransmitStep; nothing is allocated.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "device/insteon_id.h"
#include "platform/clock.h"

namespace quorvel {

struct Context;
struct EventRecord;

inline constexpr int kRingSlots = 64;  // one slot always stays free: a ring holds 63
inline constexpr int kHoldSlots = 128;
inline constexpr int kModemQueueSlots = 12;  // one slot always stays free: the queue holds 11
inline constexpr size_t kModemCommandMax = 12;
inline constexpr size_t kExtendedDataBytes = 14;

inline constexpr uint8_t kEntryDone = 6;
inline constexpr uint8_t kFlagsStandard = 0x0F;  // direct, max hops 3, hops left 3
inline constexpr uint8_t kFlagsExtended = 0x1F;
inline constexpr uint8_t kFlagExtendedBit = 0x10;

// One message of a send ring or of the hold queue.
struct RingEntry {
  uint8_t flags;  // message flags as sent; in the hold queue non-zero also marks the slot in use
  InsteonId id;
  uint8_t cmd1;
  uint8_t cmd2;
  uint8_t data[kExtendedDataBytes];  // D1..D14 of an extended message
  uint8_t tries;                     // times sent
  uint8_t status;                    // kEntryDone once answered, given up or sent for good
  uint8_t wait;                      // ticks waited since the last send
  uint8_t retryClass;
  uint8_t delayMinutes;  // delayed ring only
  uint8_t delaySeconds;  // delayed ring only
  uint8_t pending;       // reply ring: 1 until answered or given up
  uint8_t reserved[5];
  int64_t timeQueued;
  int64_t lastSendTime;  // only meaningful in the slot at a ring's tail, see RingSlots
};
static_assert(sizeof(RingEntry) == 48);
static_assert(offsetof(RingEntry, flags) == 0);
static_assert(offsetof(RingEntry, id) == 1);
static_assert(offsetof(RingEntry, cmd1) == 4);
static_assert(offsetof(RingEntry, cmd2) == 5);
static_assert(offsetof(RingEntry, data) == 6);
static_assert(offsetof(RingEntry, tries) == 20);
static_assert(offsetof(RingEntry, status) == 21);
static_assert(offsetof(RingEntry, wait) == 22);
static_assert(offsetof(RingEntry, retryClass) == 23);
static_assert(offsetof(RingEntry, delayMinutes) == 24);
static_assert(offsetof(RingEntry, delaySeconds) == 25);
static_assert(offsetof(RingEntry, pending) == 26);
static_assert(offsetof(RingEntry, timeQueued) == 32);
static_assert(offsetof(RingEntry, lastSendTime) == 40);

// 64 slots served first in, first out; empty when head equals tail. Served
// entries are not erased, the head just moves past them.
struct RingSlots {
  RingEntry slots[kRingSlots]{};
  uint8_t head = 0;
  uint8_t tail = 0;

  static uint8_t Next(uint8_t i) { return static_cast<uint8_t>((i + 1) % kRingSlots); }
  bool Empty() const { return head == tail; }
  bool Full() const { return Next(tail) == head; }
  int Size() const { return (tail - head + kRingSlots) % kRingSlots; }
  RingEntry& Head() { return slots[head]; }
  void Advance() { head = Next(head); }
  // The ring's last-send time is kept in the slot at its tail, which the next
  // insertion zeroes: the minute rule then compares against 0 or an older send.
  // The retry timing the devices are used to follows from this, so it stays.
  int64_t& LastSendTime() { return slots[tail].lastSendTime; }
  // Zeroes the tail slot, stamps it and advances the tail; nullptr when full.
  RingEntry* Insert(Time now);
  void Clear();
};

// The two rings that retry: holdoff ticks to skip, a busy measure of recent
// waiting (0..10), and maxTries (1 or 2) adapted from it.
struct RetryRing : RingSlots {
  explicit RetryRing(int holdoffAfterDone) : holdoffAfterDone(holdoffAfterDone), holdoff(holdoffAfterDone) {}
  int holdoffAfterDone;
  int holdoff;
  int busy = 0;
  int maxTries = 1;
};

// Messages that expect a reply and are retried; FindPending looks here.
struct ReplyRing : RetryRing {
  ReplyRing() : RetryRing(2) {}
};
// Other standard messages, also retried.
struct PlainRing : RetryRing {
  PlainRing() : RetryRing(4) {}
};
// Messages held back by a delay, sent once, at least 8 ticks apart.
struct DelayedRing : RingSlots {
  int spacing = 0;
};

// Commands for wireless devices that sleep, and for devices that did not answer.
struct HoldQueue {
  RingEntry slots[kHoldSlots]{};
  uint8_t heldCount = 0;  // always the number of slots in use

  static bool InUse(const RingEntry& e) { return e.flags != 0; }
  int FirstFree() const;
  int Find(const InsteonId& id, uint8_t cmd1) const;
  int FindFor(const InsteonId& id) const;
  // Stores a copy in the first free slot; -1 (nothing changed) when all are in use.
  int Hold(const RingEntry& entry);
  void Free(int slot);
  void Clear();
};

// One modem command, without its leading 0x02.
struct PlmCommand {
  uint8_t length;  // 1..12
  uint8_t bytes[16];
  uint8_t tries;
  uint8_t status;
  uint8_t wait;
};
static_assert(sizeof(PlmCommand) == 20);
static_assert(offsetof(PlmCommand, length) == 0);
static_assert(offsetof(PlmCommand, bytes) == 1);
static_assert(offsetof(PlmCommand, tries) == 17);
static_assert(offsetof(PlmCommand, status) == 18);
static_assert(offsetof(PlmCommand, wait) == 19);

struct PlmCommandQueue {
  PlmCommand entries[kModemQueueSlots]{};
  uint8_t head = 0;
  uint8_t tail = 0;
  int pause = 0;  // ticks before the queue may be served
  static constexpr int kMaxTries = 1;

  static uint8_t Next(uint8_t i) { return static_cast<uint8_t>((i + 1) % kModemQueueSlots); }
  bool Empty() const { return head == tail; }
  bool Full() const { return Next(tail) == head; }
  int Size() const { return (tail - head + kModemQueueSlots) % kModemQueueSlots; }
  PlmCommand& Head() { return entries[head]; }
  void Clear();
};

// What went over the line, for the run summary. The link counts every message
// it wrote whole, whoever wrote it (the queues, the search, a repair's Start
// ALL-Linking); a message the port refused is not counted.
struct TrafficCounts {
  uint32_t insteonSent = 0;  // Insteon messages (0x62) written, retries included
  uint32_t retries = 0;      // sends of a message after its first
  uint32_t modemCommandsSent = 0;  // every other modem command written
  uint32_t giveUps = 0;  // messages and modem commands dropped unanswered after their tries
};

class SendQueues {
 public:
  TrafficCounts counts;
  ReplyRing replyRing;
  PlainRing plainRing;
  DelayedRing delayedRing;
  HoldQueue hold;
  PlmCommandQueue modem;
  // Receives the "No Response" lines as well, when set. The engine's start-up step removes it.
  std::function<void(std::string_view)> logHook;

  // The engine's start-up step: empty the rings and the hold queue, reset the ring indices.
  void ClearRingsAndHeld();
  // The database reset empties the modem command queue.
  void ClearModemQueue() { modem.Clear(); }
};

// --- Sending -----------------------------------------------------------------

// A standard message to a device of the database; held instead when the device
// is wireless. Unknown devices get nothing.
void SendStandard(Context& ctx, const InsteonId& id, uint8_t cmd1, uint8_t cmd2);
// An extended message to a device of the database; data holds D1..D14 or is
// null (all zero). D14 becomes the checksum for an i2cs device where it needs one.
void SendExtended(Context& ctx, const InsteonId& id, uint8_t cmd1, uint8_t cmd2, const uint8_t* data);
// Puts the message of an action (targetKind 0) into the delayed, reply or plain
// ring. False when the ring was full and the action was refused with a log line.
bool RouteAction(Context& ctx, const EventRecord& action);
// Appends a modem command (bytes without the leading 0x02). False when it was
// dropped: longer than 12 bytes, a modem read or configuration command still
// queued, or the queue full (the last two with a log line).
bool EnqueueModemCommand(Context& ctx, const uint8_t* bytes, size_t n);
// A group command of the modem as controller of `group`, and its activity line.
void SendGroupCommand(Context& ctx, uint8_t group, uint8_t cmd1);
inline constexpr uint8_t kX10On = 2;
inline constexpr uint8_t kX10Off = 3;
// X10 address then function, each a modem command. house and unit are 4-bit codes.
void SendX10(Context& ctx, uint8_t house, uint8_t unit, uint8_t function);

// The i2cs checksum of an extended message: the two's complement of the low byte
// of cmd1 + cmd2 + D1..D13.
uint8_t ExtendedChecksum(uint8_t cmd1, uint8_t cmd2, const uint8_t data[kExtendedDataBytes]);

// --- Serving, once per engine step --------------------------------------------

// Serves one queue. While the modem's link table is being read the rings are
// not served. True when a ring took this tick.
bool TransmitStep(Context& ctx, bool tableRead);
// The ring part: steps the first ring with work of the reply, delayed and plain
// rings. True when a ring took the tick (the modem queue then pauses 10 ticks).
bool ServeRings(Context& ctx);
// The modem-queue part: counts the pause down or steps the queue.
void ServeModemQueue(Context& ctx);

// --- Replies and held commands --------------------------------------------------

// An entry that ran out of tries: marks the device unanswering and, unless it is
// a powered kind, holds the command until the device is heard from.
void NoResponse(Context& ctx, const RingEntry& entry);
// Moves the held command of a hold slot into the reply ring. It stays held when
// the ring is full.
void ReleaseHeld(Context& ctx, int slot);
int FindHeldFor(const Context& ctx, const InsteonId& id);
void RemoveHeldFor(Context& ctx, const InsteonId& id);
// A request (id, cmd1, cmd2) still waiting for its answer in the reply ring or
// the plain ring: its slot index in that ring, or -1.
int FindPending(const Context& ctx, const InsteonId& id, uint8_t cmd1, uint8_t cmd2);
// Marks the modem command at the head of the queue done when a reply for it
// arrives: only a command that was sent and whose code is `code`.
bool CompleteModemCommand(Context& ctx, uint8_t code);
// Lists the held commands in the Qued for Activity tab.
void RebuildQueuedList(Context& ctx);

// Command 1 for a command name of the event editors; 0xFF for unknown names.
uint8_t CommandCodeFromName(std::string_view text);

}  // namespace quorvel

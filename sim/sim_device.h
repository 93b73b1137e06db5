#pragma once
// A simulated Insteon device: its identity and engine, its load level, and its
// own link table, held as the device holds it: 8-byte records stored downwards
// from address 0x0FFF, which peeks, pokes and extended reads and writes all
// reach.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "device/insteon_id.h"
#include "sim/sim_protocol.h"

namespace quorvel::sim {

inline constexpr int kLinkMemorySize = 0x1000;
inline constexpr uint16_t kLinkTop = 0x0FFF;  // address of the last byte of record 0
inline constexpr int kLinkSlots = 256;        // records the device's memory can hold

// Record flags.
inline constexpr uint8_t kLinkInUse = 0x80;
inline constexpr uint8_t kLinkController = 0x40;
inline constexpr uint8_t kLinkUsedBefore = 0x02;

struct LinkEntry {
  uint8_t flags = 0;
  uint8_t group = 0;
  InsteonId id{};
  uint8_t data[3] = {};

  bool InUse() const { return (flags & kLinkInUse) != 0; }
  bool Controller() const { return (flags & kLinkController) != 0; }
};

// Address of the last byte of record `slot`, as extended reads name it; the
// record's first byte (its flags) is 7 below, where peeks start.
inline uint16_t SlotAddress(int slot) { return static_cast<uint16_t>(kLinkTop - 8 * slot); }

// A message the device sends back, some milliseconds after it heard one.
struct Reply {
  int delayMillis = 0;
  AirMessage message;
};

// What a direct message made the device do.
struct DirectOutcome {
  std::vector<Reply> replies;
  bool enterLinking = false;  // 0x09: the device acts as if its SET button were held
  uint8_t linkingGroup = 0;
};

class SimDevice {
 public:
  SimDevice() = default;
  SimDevice(InsteonId id, uint8_t category, uint8_t subcategory, uint8_t firmware, uint8_t engine)
      : id(id), category(category), subcategory(subcategory), firmware(firmware), engine(engine) {}

  InsteonId id{};
  std::string name;
  uint8_t category = 0;
  uint8_t subcategory = 0;
  uint8_t firmware = 0;
  uint8_t engine = kEngineI2;
  uint8_t level = 0;   // the load, 0..255
  uint8_t level2 = 0;  // a second status value (an I/O module's sensor)
  uint8_t opFlags = 0;
  uint8_t opFlags2 = 0;
  uint8_t aldbDelta = 0;  // the link table's revision, raised by every change
  uint8_t settings[14] = {};  // what an extended settings request (0x2E) returns

  // Battery devices sleep and hear nothing until woken.
  bool sleeper = false;
  int awakeSeconds = 30;  // how long a wake-up keeps it listening
  int64_t awakeUntilMillis = 0;
  // Faults.
  bool deaf = false;   // hears nothing, answers nothing
  int slowMillis = 0;  // added to every answer
  int hops = 1;        // hops its messages take to reach the modem
  bool writeProtected = false;  // acknowledges link writes and pokes, keeps its memory as it was
  // Answers lost on the way, by link-memory address: the next answers to a peek
  // of that byte, or the next extended records holding it, never arrive.
  std::map<uint16_t, int> loseAnswers;
  bool repeatRecords = false;  // every extended record arrives twice, as a repeat of the network

  bool IsDimmer() const { return category == 0x01; }
  bool HasLoad() const { return category == 0x01 || category == 0x02 || category == 0x07; }
  bool Awake(int64_t nowMillis) const { return !sleeper || nowMillis < awakeUntilMillis; }

  // The link table.
  LinkEntry LinkAt(int slot) const;
  void SetLinkAt(int slot, const LinkEntry& entry);
  // Writes into the first record not in use; the slot, or -1 when full.
  int AddLink(const LinkEntry& entry);
  // In-use records up to the first record never used, with their slots.
  std::vector<LinkEntry> Links() const;
  int FindLink(bool controller, uint8_t group, const InsteonId& other) const;
  bool HasLinkWith(const InsteonId& other) const;
  // Removes (marks not in use) every record naming `other` in `group`.
  int RemoveLinks(uint8_t group, const InsteonId& other);
  uint8_t Peek(uint16_t address) const;
  void Poke(uint16_t address, uint8_t value);

  // A direct message addressed to this device, heard at nowMillis; `modem` is
  // the modem's id (an i2cs device refuses it when not linked to it).
  DirectOutcome HandleDirect(const AirMessage& m, int64_t nowMillis, const InsteonId& modem);
  // A group command from `controller`: the device follows it when it holds a
  // responder record for that controller and group. True when it did.
  bool FollowGroupCommand(const InsteonId& controller, uint8_t group, uint8_t cmd1);
  // The device's own load when its button for `group` is pressed.
  void PressOwnButton(uint8_t group, uint8_t cmd1);

 private:
  AirMessage AnswerTo(const AirMessage& m, uint8_t type, uint8_t cmd1, uint8_t cmd2) const;
  void SealExtended(AirMessage& m) const;
  void ReadRecords(const AirMessage& m, DirectOutcome& out, int firstDelay);
  // True (and one loss used up) when an answer about [first, last] is to be lost.
  bool LoseAnswer(uint16_t first, uint16_t last);
  void TableChanged() { ++aldbDelta; }

  uint8_t memory_[kLinkMemorySize] = {};
  uint8_t addressMsb_ = 0x0F;
  uint8_t addressLsb_ = 0xF8;
};

}  // namespace quorvel::sim

#pragma once
// Link operations: creating, changing and removing link records. The modem's
// side is changed at once with Manage All-Link Record (0x6F); a device's side is
// written as a link job that the engine carries out one piece per step, and each
// write is read back from the device before the database takes it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/insteon_id.h"

namespace quorvel {

struct Context;
struct DeviceRecord;

// Flags of the records this system writes.
inline constexpr uint8_t kControllerRecordFlags = 0xE2;
inline constexpr uint8_t kResponderRecordFlags = 0xA2;
inline constexpr uint8_t kRemovedRecordFlags = 0x02;

// Link slots a new record may take; slot 32 is only ever read.
inline constexpr int kWritableLinkSlots = 32;

// Engine steps a job waits after each piece of its work.
inline constexpr int kStepsAfterExtendedWrite = 18;
inline constexpr int kStepsAfterI1Piece = 5;
inline constexpr int kStepsAfterEngineQuery = 500;
// Steps a read-back may take before it counts as unanswered.
inline constexpr int kReadBackTimeoutSteps = 40;
// Backlog of writes waiting behind the two job slots (one per link slot).
inline constexpr int kLinkJobBacklog = 33;

// What became of a prepared write, asked by the ticket its job carries.
enum class LinkWriteOutcome : uint8_t {
  kPending,    // in the job slots or the backlog, not finished
  kConfirmed,  // the device showed the record back (or already held it)
  kFailed,     // not taken, given up, or dropped when the jobs were reset
};
// Finished writes whose outcome stays known; a window asks soon after each step.
inline constexpr int kLinkOutcomesKept = 16;

// Where a job is in its life.
enum class LinkJobPhase : uint8_t {
  kIdle = 0,
  kCheckSlot,  // a new record: the slot is read first, in case the database's view is old
  kWrite,      // bytes remain to be written
  kReadBack,  // written; waiting for the device to show the record back
};

struct LinkJob {
  uint8_t engine = 0;  // engineVersion of the target when prepared; 1..3, else unknown
  uint8_t i1State = 0;  // 1 while an i1 write (peek/poke) is in progress
  uint8_t i1Count = 0;  // bytes poked in the current i1 write
  bool i1AddressSent = false;
  bool i1PokesSent = false;
  uint8_t displayGroup = 0;
  InsteonId target{};
  uint8_t addressHigh = 0;
  uint8_t addressLow = 0;
  uint8_t record[8] = {};  // flags, group, other device's id, data 1..3
  uint8_t remaining = 0;   // bytes still to write: 8 when prepared, 0 when written or idle
  uint8_t pokeIndex = 0;   // next record byte of an i1 write

  // Progress of the job beyond the bytes themselves.
  LinkJobPhase phase = LinkJobPhase::kIdle;
  bool begun = false;        // the engine has acted on it
  bool engineAsked = false;  // identification and engine version were requested
  uint8_t writeTries = 0;    // writes sent (the second is the one retry)
  int readBackWait = 0;      // steps since the read-back request went out
  bool readBackSent = false;
  // What the read-back returned (i1: collected byte by byte).
  uint8_t readBack[8] = {};
  uint8_t readBackBytes = 0;
  bool readBackArrived = false;
  // A device whose table is mirrored: the link slot the record goes to (-1 none).
  int linkSlot = -1;
  // The target's link table was never read when the job was prepared: a slot
  // that does not answer its check is not written blind.
  bool tableUnread = false;
  // Names this write for the window that asked for it (0: none).
  uint32_t ticket = 0;

  bool Started() const { return phase != LinkJobPhase::kIdle && i1State == 0; }
  bool Idle() const { return phase == LinkJobPhase::kIdle && i1State == 0; }
};

// The link-job state. The database reset clears it (ResetLinkJobs).
struct LinkJobs {
  LinkJob jobs[2];
  uint8_t jobCount = 0;  // prepared and not yet finished
  uint8_t current = 0;   // 0 or 1
  int stepDelay = 0;     // steps to skip; large enough for the 500-step engine wait
  bool stepRunning = false;
  // Further writes of one operation, run one after another once the slots are idle.
  LinkJob backlog[kLinkJobBacklog];
  int backlogCount = 0;
  // Results over the run, for reports.
  uint32_t writesConfirmed = 0;
  uint32_t writesFailed = 0;
  // The last finished writes, by ticket: a ring, oldest overwritten first.
  struct Outcome {
    uint32_t ticket = 0;
    bool confirmed = false;
  };
  Outcome outcomes[kLinkOutcomesKept];
  int nextOutcome = 0;
};

struct LinkOperations {
  LinkJobs state;
  // Set by the link-table editor when it updates a link; stays set for the run.
  // It switches the progress text to "Unlinking... "/"Updating Link Information... ".
  bool linkEditDisplay = false;
  // The last ticket given to a job. Kept outside `state`, so a reset of the
  // jobs never hands an old ticket to a new write.
  uint32_t lastTicket = 0;
};

// --- Engine hooks ---------------------------------------------------------------

// The current job is started: the engine shows its progress text and runs RunLinkJobStep.
bool LinkJobStarted(const Context& ctx);
// An i1 write of the current job is in progress: the engine runs RunI1Write.
bool I1WriteInProgress(const Context& ctx);
// A link operation is under way (any job not yet finished): new ones are refused.
bool LinkOperationRunning(const Context& ctx);
// For the commands of the windows: while a link operation runs, shows the box
// captioned "Please wait for current operation to finish." and returns true.
bool RefuseWhileLinking(Context& ctx);
// Step 4 of the engine: with jobs counted, index 0 current and job 0 idle, job 1
// becomes current; with both idle, the next backlog write is loaded.
void SelectNextLinkJob(Context& ctx);
// The text of the wait window and status bar for the current job.
std::string LinkJobProgressText(const Context& ctx);
// Clears the job slots and the backlog (the database reset does this).
void ResetLinkJobs(Context& ctx);

// Tickets of the jobs a preparer just put into the slots (job 0 first), so a
// window can follow what becomes of its change.
std::vector<uint32_t> PreparedTickets(const Context& ctx);
LinkWriteOutcome LinkJobOutcome(const Context& ctx, uint32_t ticket);

// One piece of the current job.
void RunLinkJobStep(Context& ctx);
// One piece of an i1 write of `job` (set address, then peek/poke pairs).
void RunI1Write(Context& ctx, LinkJob& job);

// Replies the incoming handling passes on: an extended 0x2F record reply (the
// whole 0x51 frame) and a standard 0x2B peek reply (the whole 0x50 frame).
void OnLinkJobExtendedReply(Context& ctx, const uint8_t* frame, size_t length);
void OnLinkJobPeekReply(Context& ctx, const uint8_t* frame, size_t length);

// --- Preparers ------------------------------------------------------------------
// Each refuses (returns false, "Please wait for current operation to finish."
// in General Activity) while a link operation runs; otherwise overwrites the job
// slots and leaves job index 0 current.

// First slot 0..31 whose flags bit 7 is clear, or -1.
int FindFreeLinkSlot(const DeviceRecord& r);
// The device's link table is known: a record of it holds links, or its table
// gave a record in this run (an empty table that was read counts).
bool LinkTableKnown(const Context& ctx, const InsteonId& id);

bool LinkDeviceToPlmGroup(Context& ctx, int deviceSlot, uint8_t group);
bool LinkDeviceToComputerGroup(Context& ctx, int deviceSlot, uint8_t oldGroup, uint8_t newGroup);
bool LinkControllerResponder(Context& ctx, int controllerSlot, uint8_t group, int responderSlot, uint8_t level);
bool RemoveLinkPair(Context& ctx, int linkA, uint8_t group, int deviceB, int deviceC, int linkD);
bool UpdateLink(Context& ctx, int deviceSlot, int linkSlot, uint8_t group, uint8_t data1, uint8_t data2,
                uint8_t flags);
bool UpdateSecondLink(Context& ctx, int deviceSlot, int linkSlot, uint8_t group, uint8_t data1, uint8_t data2,
                      uint8_t flags);

// Modem side, queued as modem commands.
void AddPlmLinkForDevice(Context& ctx, DeviceRecord& record);
void RemovePlmLinkForDevice(Context& ctx, DeviceRecord& record);
// The modem's half of that alone: delete its record for the device's group
// (0x6F 0x80) and read the next record back (0x6C). The device keeps its own
// records, as when a move into another group rewrites them in place.
void DeletePlmRecordForDevice(Context& ctx, const DeviceRecord& record);
void FindPlmLink(Context& ctx, uint8_t group, const InsteonId& id);

inline constexpr const char* kWaitForOperationText = "Please wait for current operation to finish.";

}  // namespace quorvel

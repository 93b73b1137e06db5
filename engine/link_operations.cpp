// Link jobs: preparing them, writing each record into the device one piece per
// engine step, and reading it back before the database takes it.
#include "engine/link_operations.h"

#include <cstdio>
#include <cstring>

#include "automation/event_action.h"
#include "automation/event_record.h"
#include "device/device_catalogue.h"
#include "engine/context.h"
#include "plm/send_queues.h"

namespace quorvel {

namespace {

// Steps a read-back of a wireless device may wait: it hears nothing until the
// user wakes it, and the write and the read are held until then.
constexpr int kWirelessReadBackTimeoutSteps = 750;
constexpr uint8_t kRetryReplyClass = 5;
constexpr uint8_t kLinkEditedBit = 0x20;

LinkJob& CurrentJob(Context& ctx) { return ctx.linkOps.state.jobs[ctx.linkOps.state.current & 1]; }
const LinkJob& CurrentJob(const Context& ctx) { return ctx.linkOps.state.jobs[ctx.linkOps.state.current & 1]; }

bool ValidDeviceSlot(const Context& ctx, int slot) {
  return slot >= 0 && slot < kDeviceSlots && static_cast<uint32_t>(slot) < ctx.db.count;
}

bool ValidLinkSlot(int slot) { return slot >= 0 && slot < kLinksPerDevice; }

// The low address byte of link slot k: the record's last byte for extended
// writes, its first byte for i1 pokes.
uint8_t SlotAddressLow(int k, bool i1) {
  const int low = 0xFF - 8 * k - (i1 ? 7 : 0);
  return static_cast<uint8_t>(low);
}

// Data 1 and 2 of a responder record that links a device to the modem.
void PlmResponderData(const DeviceRecord& r, uint8_t& d1, uint8_t& d2) {
  if (r.category == 2) {
    d1 = 0xFF;
    d2 = 0x00;
  } else {
    d1 = 0xFE;
    d2 = 0x1C;
  }
}

LinkJob NewJob(const DeviceRecord& target, uint8_t displayGroup, int linkSlot, uint8_t high, uint8_t low,
               const uint8_t record[8]) {
  LinkJob job;
  job.engine = target.engineVersion;
  job.displayGroup = displayGroup;
  job.target = target.id;
  job.addressHigh = high;
  job.addressLow = low;
  std::memcpy(job.record, record, 8);
  job.remaining = 8;
  job.phase = LinkJobPhase::kWrite;
  job.linkSlot = linkSlot;
  return job;
}

// A job writing a new record into free slot k of the device. The slot is read
// before it is written: a table the database never read, or read long ago,
// must not lose a record to a slot that only looked free.
LinkJob NewSlotJob(const DeviceRecord& target, uint8_t displayGroup, int k, const uint8_t record[8]) {
  LinkJob job = NewJob(target, displayGroup, k, 0x0F, SlotAddressLow(k, target.engineVersion == kEngineI1), record);
  job.phase = LinkJobPhase::kCheckSlot;
  return job;
}

// The same for a preparer that knows the run: a table never read is marked,
// so that its slot check decides alone whether the record may go there.
LinkJob NewSlotJob(const Context& ctx, const DeviceRecord& target, uint8_t displayGroup, int k,
                   const uint8_t record[8]) {
  LinkJob job = NewSlotJob(target, displayGroup, k, record);
  job.tableUnread = !LinkTableKnown(ctx, target.id);
  return job;
}

// A job rewriting records in place (removals, updates) needs no check.

// A job rewriting an existing link of the device at its stored address. An
// address that cannot be a record of the link memory (never read, or damaged)
// is replaced by the slot's own address, so nothing is written elsewhere.
LinkJob StoredAddressJob(const DeviceRecord& target, uint8_t displayGroup, int k, const uint8_t record[8]) {
  const uint32_t a = target.links[k].address;
  const bool usable = a >= 0x0100 && a <= 0x0FFF && ((a & 7) == 7 || (a & 7) == 0);
  if (!usable) return NewSlotJob(target, displayGroup, k, record);
  return NewJob(target, displayGroup, k, static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a), record);
}

void LogTableFull(Context& ctx, const InsteonId& id) {
  ctx.log.LogActivityFormatted("No free link slot in %02X.%02X.%02X", id.b[0], id.b[1], id.b[2]);
}

// Preparers overwrite the job slots; one that ran over a write in progress
// would leave half a record in the device.
bool RefuseIfRunning(Context& ctx) {
  if (!LinkOperationRunning(ctx)) return false;
  ctx.log.LogActivity(kWaitForOperationText);
  return true;
}

// Every prepared write gets a ticket of its own.
void Stamp(Context& ctx, LinkJob& job) {
  uint32_t& last = ctx.linkOps.lastTicket;
  if (++last == 0) last = 1;
  job.ticket = last;
}

void SetJobs(Context& ctx, const LinkJob* job0, const LinkJob* job1) {
  LinkJobs& s = ctx.linkOps.state;
  s.jobs[0] = job0 != nullptr ? *job0 : LinkJob{};
  s.jobs[1] = job1 != nullptr ? *job1 : LinkJob{};
  if (job0 != nullptr) Stamp(ctx, s.jobs[0]);
  if (job1 != nullptr) Stamp(ctx, s.jobs[1]);
  s.jobCount = static_cast<uint8_t>((job0 != nullptr) + (job1 != nullptr));
  s.current = 0;
  s.stepDelay = 0;
}

bool UsesI1Writer(const LinkJob& job, const DeviceRecord* r) {
  return job.engine == kEngineI1 || (r != nullptr && r->category == 3 && r->subcategory == 5);
}

const char* WirelessSuffix(const DeviceRecord* r) {
  if (r == nullptr || !IsWirelessDevice(*r)) return "";
  return IsRemoteLinc(*r) ? ", press dim button" : ", activate wireless device";
}

void LogWriteLine(Context& ctx, const LinkJob& job, const DeviceRecord* r) {
  const InsteonId other = InsteonId::FromBytes(job.record + 2);
  ctx.log.LogActivityFormatted("%s %02X.%02X.%02X with %02X.%02X.%02X group %d%s",
      (job.record[0] & kRecordInUse) != 0 ? "Linking" : "UnLinking", job.target.b[0], job.target.b[1],
      job.target.b[2], other.b[0], other.b[1], other.b[2], job.record[1], WirelessSuffix(r));
}

// Sends a standard message as an action record, without the device look-up and
// the holding of a plain send: a device whose engine is unknown may not be in
// the table's view of things yet.
void SendDirect(Context& ctx, const InsteonId& id, uint8_t cmd1) {
  EventRecord action{};
  action.targetKind = 0;
  action.msgFlags = kFlagsStandard;
  action.targetId = id;
  action.cmd1 = cmd1;
  action.cmd2 = 0;
  action.retryClass = kRetryReplyClass;
  ExecuteEventAction(ctx, action);
}

// An i1 record starts at a multiple of 8; a job may hold either end of it.
bool AlignI1Start(LinkJob& job) {
  if ((job.addressLow & 7) == 7) job.addressLow = static_cast<uint8_t>(job.addressLow - 7);
  return (job.addressLow & 7) == 0;
}

int JobLinkSlot(const LinkJob& job) {
  if (ValidLinkSlot(job.linkSlot)) return job.linkSlot;
  if (job.addressHigh != 0x0F) return -1;
  const int k = (0xFF - (job.addressLow | 7)) / 8;
  return ValidLinkSlot(k) ? k : -1;
}

uint16_t JobAddress(const LinkJob& job) { return static_cast<uint16_t>(job.addressHigh << 8 | job.addressLow); }

void SendExtendedWrite(Context& ctx, LinkJob& job) {
  uint8_t d[kExtendedDataBytes] = {};
  d[0] = 0x00;
  d[1] = 0x02;
  d[2] = job.addressHigh;
  d[3] = static_cast<uint8_t>(job.addressLow | 7);
  d[4] = 0x08;
  std::memcpy(d + 5, job.record, 8);
  d[13] = 0x00;
  SendExtended(ctx, job.target, 0x2F, 0x00, d);
}

void SendExtendedRead(Context& ctx, const LinkJob& job) {
  uint8_t d[kExtendedDataBytes] = {};
  d[0] = 0x00;
  d[1] = 0x00;
  d[2] = job.addressHigh;
  d[3] = static_cast<uint8_t>(job.addressLow | 7);
  d[4] = 0x01;  // this one record
  SendExtended(ctx, job.target, 0x2F, 0x00, d);
}

void ForgetReadBack(LinkJob& job) {
  job.readBackSent = false;
  job.readBackWait = 0;
  std::memset(job.readBack, 0, sizeof job.readBack);
  job.readBackBytes = 0;
  job.readBackArrived = false;
}

// What the device showed back becomes the database's view of that link slot, in
// every in-use record of the device. The link count only ever grows here: a
// cleared slot reads as not in use, and the links after it stay visible.
void StoreConfirmed(Context& ctx, const LinkJob& job, const uint8_t record[8], bool i1Address) {
  const int k = JobLinkSlot(job);
  if (k < 0) return;
  const uint32_t address = i1Address ? JobAddress(job) : static_cast<uint32_t>(JobAddress(job) | 7);
  ForEachRecordOf(ctx.db, job.target, [&](int, DeviceRecord& r) {
    if (!r.InUse()) return;
    LinkRecord& link = r.links[k];
    link.flags = record[0];
    link.group = record[1];
    link.id = InsteonId::FromBytes(record + 2);
    std::memcpy(link.data, record + 5, 3);
    link.address = address;
    if (record[0] != 0 && r.linkCount < k + 1) r.linkCount = static_cast<uint8_t>(k + 1);
    r.linksUpdated = 2;
  });
  ctx.engine.linkStored = true;
}

void FinishJob(Context& ctx, LinkJob& job, bool confirmed) {
  LinkJobs& s = ctx.linkOps.state;
  if (job.ticket != 0) {
    s.outcomes[s.nextOutcome] = {job.ticket, confirmed};
    s.nextOutcome = (s.nextOutcome + 1) % kLinkOutcomesKept;
  }
  const LinkJobPhase none = LinkJobPhase::kIdle;
  job.phase = none;
  job.remaining = 0;
  job.i1State = 0;
  job.i1Count = 0;
  job.i1AddressSent = false;
  job.i1PokesSent = false;
  if (s.jobCount > 0) --s.jobCount;
}

// The read-back is in (or will not come): take the record, write it once more,
// or report that the device did not take it.
void ConcludeReadBack(Context& ctx, LinkJob& job, bool i1, bool complete) {
  LinkJobs& s = ctx.linkOps.state;
  if (complete && std::memcmp(job.readBack, job.record, 8) == 0) {
    StoreConfirmed(ctx, job, job.record, i1);
    ++s.writesConfirmed;
    FinishJob(ctx, job, true);
    return;
  }
  if (job.writeTries < 2) {
    // One more write of the same record.
    job.phase = LinkJobPhase::kWrite;
    job.remaining = 8;
    job.pokeIndex = 0;
    ForgetReadBack(job);
    return;
  }
  ++s.writesFailed;
  if (complete) {
    // The device answered with something else: that is what it holds.
    StoreConfirmed(ctx, job, job.readBack, i1);
    ctx.log.LogActivityFormatted("Link write to %02X.%02X.%02X at %04X did not take: the device holds %02X %02X %02X.%02X.%02X there",
        job.target.b[0], job.target.b[1], job.target.b[2], JobAddress(job) | (i1 ? 0 : 7), job.readBack[0],
        job.readBack[1], job.readBack[2], job.readBack[3], job.readBack[4]);
  } else {
    ctx.log.LogActivityFormatted("Link write to %02X.%02X.%02X at %04X did not take: no answer to the read-back", job.target.b[0],
        job.target.b[1], job.target.b[2], JobAddress(job) | (i1 ? 0 : 7));
  }
  FinishJob(ctx, job, false);
}

void ConcludeSlotCheck(Context& ctx, LinkJob& job, bool i1, bool complete);

void Conclude(Context& ctx, LinkJob& job, bool i1, bool complete) {
  if (job.phase == LinkJobPhase::kCheckSlot)
    ConcludeSlotCheck(ctx, job, i1, complete);
  else
    ConcludeReadBack(ctx, job, i1, complete);
}

void StepReadBack(Context& ctx, LinkJob& job, const DeviceRecord* r, bool i1) {
  if (!job.readBackSent) {
    ForgetReadBack(job);
    if (i1 && !AlignI1Start(job)) {
      ctx.log.LogActivityFormatted("Link write to %02X.%02X.%02X skipped: %04X is not the start of a link record", job.target.b[0],
          job.target.b[1], job.target.b[2], JobAddress(job));
      ++ctx.linkOps.state.writesFailed;
      FinishJob(ctx, job, false);
      return;
    }
    job.readBackSent = true;
    if (i1) {
      SendStandard(ctx, job.target, 0x28, job.addressHigh);
      SendStandard(ctx, job.target, 0x2B, job.addressLow);
    } else {
      SendExtendedRead(ctx, job);
    }
    return;
  }
  if (i1) {
    if (job.readBackBytes >= 8) {
      Conclude(ctx, job, true, true);
      return;
    }
    if (job.readBackArrived) {
      // The previous byte came in; peek the next one.
      job.readBackArrived = false;
      job.readBackWait = 0;
      SendStandard(ctx, job.target, 0x2B, static_cast<uint8_t>(job.addressLow + job.readBackBytes));
      return;
    }
  } else if (job.readBackArrived) {
    Conclude(ctx, job, false, true);
    return;
  }
  const int limit = r != nullptr && IsWirelessDevice(*r) ? kWirelessReadBackTimeoutSteps : kReadBackTimeoutSteps;
  if (++job.readBackWait > limit) Conclude(ctx, job, i1, false);
}

// The next slot after `checked` that the device's mirror shows free, read from a
// record in use (the one the check just taught); a record taken out of its
// group (0x02) keeps an old mirror. Searching on from the slot just found in use
// means the check always moves on, so it ends.
int NextFreeLinkSlot(const Context& ctx, const InsteonId& id, int checked) {
  const DeviceDatabase& db = ctx.db;
  int slot = -1;
  const uint32_t n = db.count < kMaxDevices + 1 ? db.count : kMaxDevices + 1;
  for (uint32_t i = 0; i < n && slot < 0; ++i) {
    if (db.records[i].id == id && db.records[i].InUse()) slot = static_cast<int>(i);
  }
  if (slot < 0) slot = db.FindDevice(id);
  if (slot < 0) return -1;
  for (int k = checked + 1; k < kWritableLinkSlots; ++k) {
    if (!db[slot].links[k].InUse()) return k;
  }
  return -1;
}

// The slot a new record was meant for, as the device showed it. In use: the
// database learns that record and the job moves to the next free slot, or ends
// when the device already holds the very record.
void ConcludeSlotCheck(Context& ctx, LinkJob& job, bool i1, bool complete) {
  LinkJobs& s = ctx.linkOps.state;
  if (!complete && job.tableUnread) {
    // Nothing is known of this table: the slot may hold the device's first
    // link, which a blind write would overwrite.
    ctx.log.LogActivityFormatted("Link write to %02X.%02X.%02X skipped: its link table could not be read",
                                 job.target.b[0], job.target.b[1], job.target.b[2]);
    ++s.writesFailed;
    FinishJob(ctx, job, false);
    return;
  }
  if (!complete || (job.readBack[0] & kRecordInUse) == 0) {
    // Free, or no answer from a table read before: the write and its read-back decide.
    job.phase = LinkJobPhase::kWrite;
    ForgetReadBack(job);
    return;
  }
  StoreConfirmed(ctx, job, job.readBack, i1);
  if (std::memcmp(job.readBack, job.record, 8) == 0) {
    ++s.writesConfirmed;
    FinishJob(ctx, job, true);
    return;
  }
  const int k = NextFreeLinkSlot(ctx, job.target, JobLinkSlot(job));
  if (k < 0) {
    LogTableFull(ctx, job.target);
    ++s.writesFailed;
    FinishJob(ctx, job, false);
    return;
  }
  job.linkSlot = k;
  job.addressHigh = 0x0F;
  job.addressLow = SlotAddressLow(k, false);
  ForgetReadBack(job);
}

void MarkStatusWanted(Context& ctx, const InsteonId& id) {
  ForEachRecordOf(ctx.db, id, [](int, DeviceRecord& r) { r.workFlags |= kWorkStatusWanted; });
}

bool AwaitsRecord(const LinkJob& job) {
  const bool reading = job.phase == LinkJobPhase::kReadBack || job.phase == LinkJobPhase::kCheckSlot;
  return reading && job.readBackSent && !job.readBackArrived;
}

}  // namespace

// --- Engine hooks ---------------------------------------------------------------

bool LinkJobStarted(const Context& ctx) { return CurrentJob(ctx).Started(); }

bool I1WriteInProgress(const Context& ctx) { return CurrentJob(ctx).i1State != 0; }

bool LinkOperationRunning(const Context& ctx) {
  const LinkJobs& s = ctx.linkOps.state;
  return !s.jobs[0].Idle() || !s.jobs[1].Idle() || s.backlogCount > 0;
}

bool RefuseWhileLinking(Context& ctx) {
  if (!LinkOperationRunning(ctx)) return false;
  ctx.notifier.ShowMessage(kWaitForOperationText, "");
  return true;
}

void SelectNextLinkJob(Context& ctx) {
  LinkJobs& s = ctx.linkOps.state;
  if (s.jobCount != 0 && s.current == 0 && s.jobs[0].Idle()) s.current = 1;
  if (s.jobs[0].Idle() && s.jobs[1].Idle() && s.backlogCount > 0) {
    s.jobs[0] = s.backlog[0];
    for (int i = 1; i < s.backlogCount; ++i) s.backlog[i - 1] = s.backlog[i];
    --s.backlogCount;
    s.backlog[s.backlogCount] = LinkJob{};
    s.jobs[1] = LinkJob{};
    s.current = 0;
    s.jobCount = 1;
  }
}

std::string LinkJobProgressText(const Context& ctx) {
  const LinkJob& job = CurrentJob(ctx);
  char text[160];
  if (!ctx.linkOps.linkEditDisplay) {
    std::snprintf(text, sizeof text, "Linking Inteon Device... \n%02x.%02x.%02x, Group %d", job.target.b[0],
                  job.target.b[1], job.target.b[2], job.displayGroup);
  } else {
    std::snprintf(text, sizeof text, "%s\nInteon Device  %02x.%02x.%02x, Group %d",
                  job.record[0] == 0x22 ? "Unlinking... " : "Updating Link Information... ", job.target.b[0],
                  job.target.b[1], job.target.b[2], job.displayGroup);
  }
  return std::string(text) + " \n\n\t Please wait...";
}

void ResetLinkJobs(Context& ctx) { ctx.linkOps.state = LinkJobs{}; }

std::vector<uint32_t> PreparedTickets(const Context& ctx) {
  std::vector<uint32_t> out;
  for (const LinkJob& job : ctx.linkOps.state.jobs)
    if (!job.Idle() && job.ticket != 0) out.push_back(job.ticket);
  return out;
}

LinkWriteOutcome LinkJobOutcome(const Context& ctx, uint32_t ticket) {
  const LinkJobs& s = ctx.linkOps.state;
  if (ticket == 0) return LinkWriteOutcome::kFailed;
  for (const LinkJob& job : s.jobs)
    if (job.ticket == ticket && !job.Idle()) return LinkWriteOutcome::kPending;
  for (int i = 0; i < s.backlogCount && i < kLinkJobBacklog; ++i)
    if (s.backlog[i].ticket == ticket) return LinkWriteOutcome::kPending;
  for (const LinkJobs::Outcome& o : s.outcomes)
    if (o.ticket == ticket) return o.confirmed ? LinkWriteOutcome::kConfirmed : LinkWriteOutcome::kFailed;
  // Neither waiting nor finished: the jobs were reset under it.
  return LinkWriteOutcome::kFailed;
}

// --- Executor -------------------------------------------------------------------

void RunLinkJobStep(Context& ctx) {
  LinkJobs& s = ctx.linkOps.state;
  if (s.stepDelay > 0) {
    --s.stepDelay;
    return;
  }
  if (s.stepRunning) return;
  s.stepRunning = true;
  LinkJob& job = CurrentJob(ctx);
  if (!job.Started()) {
    s.stepRunning = false;
    return;
  }
  job.begun = true;
  int slot = ctx.db.FindDevice(job.target);
  const DeviceRecord* r = slot >= 0 ? &ctx.db[slot] : nullptr;

  if (job.engine < kEngineI1 || job.engine > kEngineI2cs) {
    if (!job.engineAsked) {
      job.engineAsked = true;
      SendDirect(ctx, job.target, 0x10);
      SendDirect(ctx, job.target, 0x0D);
      s.stepDelay = kStepsAfterEngineQuery;
      s.stepRunning = false;
      return;
    }
    job.engine = r != nullptr ? r->engineVersion : kEngineUnknown;
    if (job.engine < kEngineI1 || job.engine > kEngineI2cs) {
      ctx.log.LogActivityFormatted("Link write to %02X.%02X.%02X skipped: its Insteon engine is not known", job.target.b[0],
          job.target.b[1], job.target.b[2]);
      ++s.writesFailed;
      FinishJob(ctx, job, false);
      s.stepRunning = false;
      return;
    }
  }

  const bool i1 = UsesI1Writer(job, r);
  if (job.phase == LinkJobPhase::kReadBack || job.phase == LinkJobPhase::kCheckSlot) {
    StepReadBack(ctx, job, r, i1);
    s.stepRunning = false;
    return;
  }

  // Writing.
  if (job.remaining == 0) {
    // The i1 pokes are all out; read the record back.
    job.phase = LinkJobPhase::kReadBack;
    ForgetReadBack(job);
    s.stepRunning = false;
    return;
  }
  MarkStatusWanted(ctx, job.target);
  if (i1) {
    if (job.i1State == 0 && job.i1Count == 0) {
      if (!AlignI1Start(job)) {
        ctx.log.LogActivityFormatted("Link write to %02X.%02X.%02X skipped: %04X is not the start of a link record", job.target.b[0],
            job.target.b[1], job.target.b[2], JobAddress(job));
        ++s.writesFailed;
        FinishJob(ctx, job, false);
        s.stepRunning = false;
        return;
      }
      ++job.writeTries;
      LogWriteLine(ctx, job, r);
    }
    RunI1Write(ctx, job);
    s.stepDelay = kStepsAfterI1Piece;
  } else {
    ++job.writeTries;
    SendExtendedWrite(ctx, job);
    LogWriteLine(ctx, job, r);
    ForEachRecordOf(ctx.db, job.target, [](int, DeviceRecord& d) {
      d.timeStatusRequest = 0;
      d.get_statusTries = 0;
    });
    job.remaining = 0;
    job.phase = LinkJobPhase::kReadBack;
    ForgetReadBack(job);
    s.stepDelay = kStepsAfterExtendedWrite;
  }
  s.stepRunning = false;
}

void RunI1Write(Context& ctx, LinkJob& job) {
  if (job.i1State == 0) {
    if (!AlignI1Start(job)) return;
    SendStandard(ctx, job.target, 0x28, job.addressHigh);
    job.i1State = 1;
    job.i1AddressSent = true;
    job.pokeIndex = 0;
    return;
  }
  if (job.i1AddressSent && !job.i1PokesSent && job.i1Count == 0) {
    job.i1PokesSent = true;
    return;
  }
  if (job.i1Count == 0) {
    if (job.remaining == 0 || job.remaining > 8) return;
    // The start is aligned, so the 8 bytes never run past the low byte.
    uint8_t low = job.addressLow;
    while (job.remaining > 0 && job.pokeIndex < 8) {
      SendStandard(ctx, job.target, 0x2B, low);
      SendStandard(ctx, job.target, 0x29, job.record[job.pokeIndex]);
      ++low;
      ++job.pokeIndex;
      ++job.i1Count;
      --job.remaining;
    }
    return;
  }
  job.i1Count = 0;
  job.i1State = 0;
  job.i1AddressSent = false;
  job.i1PokesSent = false;
}

void OnLinkJobExtendedReply(Context& ctx, const uint8_t* frame, size_t length) {
  if (frame == nullptr || length < 25) return;
  LinkJob& job = CurrentJob(ctx);
  if (!AwaitsRecord(job)) return;
  if (!(InsteonId::FromBytes(frame + 2) == job.target)) return;
  const uint8_t* d = frame + 11;
  if (d[1] != 0x01 || d[2] != job.addressHigh || d[3] != (job.addressLow | 7)) return;
  std::memcpy(job.readBack, d + 5, 8);
  job.readBackBytes = 8;
  job.readBackArrived = true;
}

void OnLinkJobPeekReply(Context& ctx, const uint8_t* frame, size_t length) {
  if (frame == nullptr || length < 11) return;
  LinkJob& job = CurrentJob(ctx);
  if (!AwaitsRecord(job)) return;
  if (job.readBackBytes >= 8) return;
  if ((frame[8] & 0xE0) != 0x20) return;  // only the device's acknowledgement carries the byte
  if (!(InsteonId::FromBytes(frame + 2) == job.target)) return;
  job.readBack[job.readBackBytes++] = frame[10];
  job.readBackArrived = true;
}

// --- Preparers ------------------------------------------------------------------

bool LinkTableKnown(const Context& ctx, const InsteonId& id) {
  if (ctx.linkReader.TableReadThisRun(id)) return true;
  bool known = false;
  const uint32_t n = ctx.db.count < kMaxDevices + 1 ? ctx.db.count : kMaxDevices + 1;
  for (uint32_t i = 0; i < n && !known; ++i) {
    const DeviceRecord& r = ctx.db.records[i];
    known = r.InUse() && r.id == id && r.linkCount > 0;
  }
  return known;
}

int FindFreeLinkSlot(const DeviceRecord& r) {
  for (int k = 0; k < kWritableLinkSlots; ++k) {
    if (!r.links[k].InUse()) return k;
  }
  return -1;
}

bool LinkDeviceToPlmGroup(Context& ctx, int deviceSlot, uint8_t group) {
  if (!ValidDeviceSlot(ctx, deviceSlot) || RefuseIfRunning(ctx)) return false;
  const DeviceRecord& r = ctx.db[deviceSlot];
  const InsteonId& plm = ctx.db.plm.plmId;
  if (ctx.db.FindLinkInDevice(r.id, group, plm) >= 0) {
    ctx.log.LogActivity("PLM Group exists in Responder");
    return false;
  }
  const int k = FindFreeLinkSlot(r);
  if (k < 0) {
    LogTableFull(ctx, r.id);
    return false;
  }
  uint8_t record[8] = {kResponderRecordFlags, group, plm.b[0], plm.b[1], plm.b[2], 0, 0, 0};
  PlmResponderData(r, record[5], record[6]);
  const LinkJob job = NewSlotJob(ctx, r, group, k, record);
  SetJobs(ctx, &job, nullptr);
  ctx.log.LogActivityFormatted("Link %02X.%02X.%02X to PLM %02X.%02X.%02X group %d", r.id.b[0], r.id.b[1], r.id.b[2], plm.b[0], plm.b[1],
      plm.b[2], group);
  return true;
}

bool LinkDeviceToComputerGroup(Context& ctx, int deviceSlot, uint8_t oldGroup, uint8_t newGroup) {
  if (!ValidDeviceSlot(ctx, deviceSlot) || RefuseIfRunning(ctx)) return false;
  const DeviceRecord& r = ctx.db[deviceSlot];
  const InsteonId& plm = ctx.db.plm.plmId;
  // The used part of the table ends at the first record never used.
  int n = 0;
  for (int k = 0; k < kWritableLinkSlots; ++k) {
    if ((r.links[k].flags & kLinkUsedBefore) == 0) {
      n = k;
      break;
    }
  }
  auto findPlmLink = [&](uint8_t g) {
    for (int k = 0; k <= n; ++k) {
      const LinkRecord& l = r.links[k];
      if (l.InUse() && l.group == g && l.id == plm) return k;
    }
    return -1;
  };
  int k = findPlmLink(oldGroup);
  uint8_t display = oldGroup;
  if (k < 0) {
    k = findPlmLink(newGroup);
    display = newGroup;
  }
  const bool rewrite = k >= 0;
  if (k < 0) {
    for (int j = 0; j <= n; ++j) {
      if (!r.links[j].InUse()) {
        k = j;
        break;
      }
    }
  }
  if (k < 0) {
    LogTableFull(ctx, r.id);
    return false;
  }
  uint8_t record[8] = {kResponderRecordFlags, newGroup, plm.b[0], plm.b[1], plm.b[2], 0, 0, 0};
  PlmResponderData(r, record[5], record[6]);
  LinkJob job = NewSlotJob(ctx, r, display, k, record);
  // The device's own link to the modem is turned into the new group in place.
  if (rewrite) job.phase = LinkJobPhase::kWrite;
  SetJobs(ctx, &job, nullptr);
  ctx.log.LogActivityFormatted("Link %02X.%02X.%02X to Computer Group %d", r.id.b[0], r.id.b[1], r.id.b[2], newGroup);
  return true;
}

bool LinkControllerResponder(Context& ctx, int controllerSlot, uint8_t group, int responderSlot, uint8_t level) {
  if (!ValidDeviceSlot(ctx, controllerSlot) || !ValidDeviceSlot(ctx, responderSlot) || RefuseIfRunning(ctx))
    return false;
  const DeviceRecord& c = ctx.db[controllerSlot];
  const DeviceRecord& rs = ctx.db[responderSlot];
  LinkJob job0;
  LinkJob job1;
  bool have0 = false;
  bool have1 = false;

  if (ctx.db.FindLinkInDevice(c.id, group, rs.id) >= 0) {
    ctx.log.LogActivityFormatted("Link for %02X.%02X.%02X group %d in Controller %02X.%02X.%02X exists.", rs.id.b[0], rs.id.b[1],
        rs.id.b[2], group, c.id.b[0], c.id.b[1], c.id.b[2]);
  } else if (const int k = FindFreeLinkSlot(c); k < 0) {
    LogTableFull(ctx, c.id);
  } else {
    const uint8_t record[8] = {kControllerRecordFlags, group, rs.id.b[0], rs.id.b[1], rs.id.b[2], group, 0, 0};
    job0 = NewSlotJob(ctx, c, group, k, record);
    have0 = true;
  }

  if (ctx.db.FindLinkInDevice(rs.id, group, c.id) < 0) {
    const int k = FindFreeLinkSlot(rs);
    if (k < 0) {
      LogTableFull(ctx, rs.id);
    } else {
      uint8_t record[8] = {kResponderRecordFlags, group, c.id.b[0], c.id.b[1], c.id.b[2], level, 0x1C, 0};
      if (rs.category == 2) {
        record[5] = 0xFF;
        record[6] = 0x00;
      }
      job1 = NewSlotJob(ctx, rs, group, k, record);
      have1 = true;
    }
  }
  if (!have0 && !have1) return false;
  SetJobs(ctx, have0 ? &job0 : nullptr, have1 ? &job1 : nullptr);
  return true;
}

bool RemoveLinkPair(Context& ctx, int linkA, uint8_t group, int deviceB, int deviceC, int linkD) {
  if (linkA == -1 || deviceC == -1) return false;
  if (!ValidLinkSlot(linkA) || !ValidDeviceSlot(ctx, deviceB) || !ValidDeviceSlot(ctx, deviceC)) return false;
  if (linkD != -1 && !ValidLinkSlot(linkD)) return false;
  if (RefuseIfRunning(ctx)) return false;
  const DeviceRecord& b = ctx.db[deviceB];
  const DeviceRecord& c = ctx.db[deviceC];
  const uint8_t recordB[8] = {kRemovedRecordFlags, group, c.id.b[0], c.id.b[1], c.id.b[2], group, 0, 0};
  const LinkJob job0 = StoredAddressJob(b, group, linkA, recordB);
  if (linkD == -1) {
    SetJobs(ctx, &job0, nullptr);
    return true;
  }
  const uint8_t recordC[8] = {kRemovedRecordFlags, group, b.id.b[0], b.id.b[1], b.id.b[2], 0, 0, 0};
  const LinkJob job1 = StoredAddressJob(c, group, linkD, recordC);
  SetJobs(ctx, &job0, &job1);
  return true;
}

namespace {

// The record an update writes: the link's own id and data 3, the new group and
// data 1..2, and the flags marked as edited by the system.
LinkJob UpdateJob(const DeviceRecord& r, int k, uint8_t group, uint8_t d1, uint8_t d2, uint8_t flags) {
  const LinkRecord& l = r.links[k];
  const uint8_t record[8] = {static_cast<uint8_t>(flags | kLinkEditedBit), group, l.id.b[0], l.id.b[1], l.id.b[2],
                             d1, d2, l.data[2]};
  return StoredAddressJob(r, group, k, record);
}

}  // namespace

bool UpdateLink(Context& ctx, int deviceSlot, int linkSlot, uint8_t group, uint8_t data1, uint8_t data2,
                uint8_t flags) {
  if (!ValidDeviceSlot(ctx, deviceSlot) || !ValidLinkSlot(linkSlot) || RefuseIfRunning(ctx)) return false;
  const LinkJob job = UpdateJob(ctx.db[deviceSlot], linkSlot, group, data1, data2, flags);
  SetJobs(ctx, &job, nullptr);
  return true;
}

bool UpdateSecondLink(Context& ctx, int deviceSlot, int linkSlot, uint8_t group, uint8_t data1, uint8_t data2,
                      uint8_t flags) {
  if (!ValidDeviceSlot(ctx, deviceSlot) || !ValidLinkSlot(linkSlot)) return false;
  LinkJobs& s = ctx.linkOps.state;
  // It joins the update just prepared; anything already under way is refused.
  const LinkJob& first = s.jobs[0];
  const bool firstUntouched = !first.begun;
  if (s.current != 0 || !s.jobs[1].Idle() || s.backlogCount > 0 || (!first.Idle() && !firstUntouched)) {
    ctx.log.LogActivity(kWaitForOperationText);
    return false;
  }
  s.jobs[1] = UpdateJob(ctx.db[deviceSlot], linkSlot, group, data1, data2, flags);
  Stamp(ctx, s.jobs[1]);
  s.jobCount = 2;
  return true;
}

void AddPlmLinkForDevice(Context& ctx, DeviceRecord& record) {
  record.categoryLearned = 0;
  if (record.linkFlags == 0) record.linkFlags = kResponderRecordFlags;
  const uint8_t add[10] = {0x6F,          0x41,        record.linkFlags,     record.group,
                           record.id.b[0], record.id.b[1], record.id.b[2],   record.category,
                           record.subcategory, record.firmware};
  EnqueueModemCommand(ctx, add, sizeof add);
  const uint8_t get = 0x6C;
  EnqueueModemCommand(ctx, &get, 1);
  record.get_statusTries = 0;
}

void RemovePlmLinkForDevice(Context& ctx, DeviceRecord& record) {
  const InsteonId& plm = ctx.db.plm.plmId;
  LinkJobs& s = ctx.linkOps.state;
  // Every removal is written, one after another: behind whatever runs, or the
  // first into the job slots and the rest into the backlog. The database keeps
  // each link until the device shows it removed.
  const int n = record.LinkLimit() < kWritableLinkSlots ? record.LinkLimit() : kWritableLinkSlots;
  bool first = !LinkOperationRunning(ctx);
  for (int k = 0; k < n; ++k) {
    const LinkRecord& l = record.links[k];
    if (!l.InUse() || l.group != record.group || !(l.id == plm)) continue;
    const LinkJob job = UpdateJob(record, k, 0, 0, 0, kRemovedRecordFlags);
    if (first) {
      SetJobs(ctx, &job, nullptr);
      first = false;
    } else if (s.backlogCount < kLinkJobBacklog) {
      s.backlog[s.backlogCount] = job;
      Stamp(ctx, s.backlog[s.backlogCount++]);
    } else {
      ctx.log.LogActivityFormatted("Link removal in %02X.%02X.%02X dropped: too many writes waiting", record.id.b[0], record.id.b[1],
          record.id.b[2]);
    }
  }
  DeletePlmRecordForDevice(ctx, record);
}

void DeletePlmRecordForDevice(Context& ctx, const DeviceRecord& record) {
  const uint8_t del[10] = {0x6F, 0x80, record.linkFlags, record.group, record.id.b[0], record.id.b[1],
                           record.id.b[2], 0, 0, 0};
  EnqueueModemCommand(ctx, del, sizeof del);
  const uint8_t get = 0x6C;
  EnqueueModemCommand(ctx, &get, 1);
}

void FindPlmLink(Context& ctx, uint8_t group, const InsteonId& id) {
  // The modem waits for all ten bytes of a Manage All-Link Record; a shorter one
  // would never complete.
  const uint8_t find[10] = {0x6F, 0x00, 0x00, group, id.b[0], id.b[1], id.b[2], 0, 0, 0};
  EnqueueModemCommand(ctx, find, sizeof find);
}

}  // namespace quorvel

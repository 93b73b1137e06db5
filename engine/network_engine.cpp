#include "engine/network_engine.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "automation/sun_times.h"
#include "engine/context.h"
#include "engine/device_polling.h"
#include "engine/link_operations.h"
#include "engine/main_tick.h"
#include "plm/link_reader.h"
#include "plm/send_queues.h"

namespace quorvel {

namespace {

// Steps between two advances of the wait window's bar.
constexpr int kWaitBarSteps = 12;
// The wait window closes itself after this many idle seconds.
constexpr int kWaitWindowIdleLimit = 30;
// Steps between identity requests while the modem is unknown: every sixth step.
constexpr int kImInfoRepeat = 5;
// The modem's configuration: pass up the traffic between other devices too.
constexpr uint8_t kMonitorMode = 0x40;

constexpr int64_t kStatusRequestAge = 43200;
constexpr int64_t kContactAge = 3600;
constexpr int64_t kStatusReplyAge = 10800;

// Where a start-up state sends the rest of the step.
enum class Next { EndStep, Wait, Poll };

// Seconds from t to now. Times come from the data file as well, so a garbage
// value must not overflow the subtraction.
int64_t SecondsSince(Time now, Time t) {
  int64_t d = 0;
  if (__builtin_sub_overflow(now, t, &d)) return t < 0 ? std::numeric_limits<int64_t>::max()
                                                        : std::numeric_limits<int64_t>::min();
  return d;
}


void Announce(Context& ctx, const std::string& text) {
  ctx.log.LogActivity(text);
  ctx.engine.statusText = text;
}

void QueueModemCommand(Context& ctx, std::initializer_list<uint8_t> bytes) {
  EnqueueModemCommand(ctx, bytes.begin(), bytes.size());
}

void ProgressWindowStep(Context& ctx) {
  NetworkEngine& e = ctx.engine;
  WaitWindow& w = e.wait;
  if (w.idleSeconds > kWaitWindowIdleLimit) {
    if (w.open) CloseWaitWindow(ctx);
    return;
  }
  if (++e.progressStepDivider < kWaitBarSteps) return;
  e.progressStepDivider = 0;
  if (!w.open) return;
  w.bar = (w.bar + 1) % 100;
  if (w.cancelPressed) CloseWaitWindow(ctx);
}

void FirstRun(Context& ctx) {
  NetworkEngine& e = ctx.engine;
  e.firstRun = false;
  ctx.queues.ClearRingsAndHeld();
  ctx.queues.logHook = nullptr;
  ctx.db.count = 0;
  RefreshSunTimes(ctx);
  ctx.diagnostics.Write("\ncheckFirstRun");
  const LocalTime now = ctx.clock.LocalNow();
  if (now.valid) {
    ctx.options.lastWeekday = static_cast<int8_t>(now.weekday);
    ctx.options.lastMonth = static_cast<int8_t>(now.month);
  }
  e.autoSaveCounter = 0;
}

// Forgets the modem: it must answer and be configured again before anything
// else is read from it.
void ResetForIdentity(Context& ctx) {
  ctx.db.Reset();
  ctx.queues.ClearModemQueue();
  ResetLinkJobs(ctx);
}

void SendImInfoRequest(Context& ctx) {
  NetworkEngine& e = ctx.engine;
  e.imInfoCountdown = kImInfoRepeat;
  e.minutesSincePlmRead = 0;
  ctx.log.LogActivity(kGetPlmInfoText);
  ResetForIdentity(ctx);
  e.engineState = 0;
  const uint8_t request[2] = {0x02, 0x60};
  ctx.link.WriteMessage(ctx, request, sizeof request);
}

// The modem has no more records to report: it refused a Get First/Next since
// this read began and has acknowledged none since.
bool PlmReadFinished(const Context& ctx) {
  return ctx.incoming.plmReadAckCount == 0 && ctx.incoming.plmReadNakCount != ctx.engine.readNakMark;
}

void StartPlmRead(Context& ctx) {
  NetworkEngine& e = ctx.engine;
  e.plmTableReading = true;
  Announce(ctx, kReadingPlmLinksText);
  if (!e.progressShown) {
    e.progressShown = true;
    e.progressDone = 0;
    const uint32_t total = std::min(ctx.loaded.count, kMaxDevices);
    ctx.notifier.ProgressBegin(kReadingPlmLinksText, static_cast<int>(total));
  }
  ctx.db.count = 0;
  // The table is being rebuilt from the modem: until the stored details are
  // merged again, saving it would write a partial table over the good file.
  ctx.db.dbFlags &= static_cast<uint8_t>(~kDbMerged);
  ctx.incoming.plmReadAckCount = 0;
  ctx.incoming.plmRecordArrived = 0;
  ctx.incoming.plmTableEnd = 0;
  e.readNakMark = ctx.incoming.plmReadNakCount;
  e.lastTableCount = 0;
  QueueModemCommand(ctx, {0x69});
  e.secondTicks = 0;
}

void EndProgressBar(Context& ctx) {
  NetworkEngine& e = ctx.engine;
  if (!e.progressShown) return;
  e.progressShown = false;
  ctx.notifier.ProgressEnd();
}

Next ReadingPlmTable(Context& ctx) {
  NetworkEngine& e = ctx.engine;
  if (PlmReadFinished(ctx)) {
    e.plmTableReading = false;
    const bool hadBar = e.progressShown;
    EndProgressBar(ctx);
    ++e.plmTableReads;
    e.engineState = 6;
    return hadBar ? Next::Wait : Next::Poll;
  }
  if (ctx.db.count != e.lastTableCount) {
    e.lastTableCount = ctx.db.count;
    e.secondTicks = 0;
  }
  if (ctx.incoming.plmRecordArrived) {
    QueueModemCommand(ctx, {0x6A});
    if (e.progressShown) ctx.notifier.ProgressStep(++e.progressDone, kReadingPlmLinksText);
  }
  if (e.secondTicks > kPlmReadStallSeconds) {
    // The modem went quiet without ending its table: configure it and read again.
    e.engineState = 0;
    e.plmTableReading = false;
  }
  return Next::Wait;
}

void MergeStoredDetails(Context& ctx) {
  char line[96];
  std::snprintf(line, sizeof line, kLoadingDeviceDataText, static_cast<int>(ctx.db.count));
  Announce(ctx, line);
  ctx.db.MergeStored(ctx.loaded);
  ctx.refresh.dataReady = true;
  ctx.refresh.tablesMerged = true;
  if (!ctx.sun.computed) RefreshSunTimes(ctx);
}

Next StartUpState(Context& ctx) {
  NetworkEngine& e = ctx.engine;
  const int state = e.engineState;
  if (state >= 2 && state <= 7 && e.engineWait > 0) {
    --e.engineWait;
    return Next::EndStep;
  }
  switch (state) {
    case 0:
      e.discoveriesSinceSave = 0;
      e.linkReadsSinceSave = 0;
      if (ctx.db.plm.plmFound == 0) return Next::Wait;
      e.plmTableReading = false;
      e.engineState = 1;
      return Next::Wait;
    case 1:
      if (ctx.db.plm.plmConfigAcked) {
        e.engineWait = 1;
        e.engineState = 2;
        return Next::EndStep;
      }
      QueueModemCommand(ctx, {0x6B, kMonitorMode});
      e.secondTicks = 0;
      return Next::Wait;
    case 2:
      QueueModemCommand(ctx, {0x73});
      e.engineState = 3;
      return Next::Poll;
    case 3:
      e.engineState = 4;
      return Next::Poll;
    case 4:
      StartPlmRead(ctx);
      e.engineState = 5;
      return Next::Wait;
    case 5:
      return ReadingPlmTable(ctx);
    case 6:
      e.engineState = 7;
      return Next::Poll;
    case 7:
      MergeStoredDetails(ctx);
      e.engineState = 8;
      return Next::Wait;
    case 8:
      CheckFlags(ctx);
      e.engineState = kEngineSteady;
      return Next::Wait;
    default:
      return Next::Wait;
  }
}

}  // namespace

void RaiseSaveCounter(int8_t& counter, int by) {
  const int raised = std::clamp(counter + by, 0, 127);
  counter = static_cast<int8_t>(raised);
}

void ShowWaitWindow(Context& ctx, const std::string& text) {
  WaitWindow& w = ctx.engine.wait;
  if (w.open) return;
  w.open = true;
  w.text = text;
  w.idleSeconds = 0;
  w.bar = 0;
  w.cancelPressed = false;
}

void CloseWaitWindow(Context& ctx) {
  WaitWindow& w = ctx.engine.wait;
  w.open = false;
  w.cancelPressed = false;
}

void EngineStep(Context& ctx) {
  NetworkEngine& e = ctx.engine;
  ++e.steps;
  const Time now = ctx.clock.Now();

  ProgressWindowStep(ctx);
  // Before anything can end the step: an edit must reach the disk within
  // seconds on a line that is never quiet, too.
  if (e.saveChanges) e.saveChanges(ctx);

  if (SecondsSince(now, e.minuteMark) > 60) {
    ++e.minutesSincePlmRead;
    e.minuteMark = now;
    char line[64];
    std::snprintf(line, sizeof line, "\ntime_lastPLMreadALDB %d minutes", e.minutesSincePlmRead);
    ctx.diagnostics.Write(line);
  }

  if (now != e.lastWallSecond) {
    e.lastWallSecond = now;
    ++e.secondTicks;
  }

  SelectNextLinkJob(ctx);

  if (e.firstRun) FirstRun(ctx);

  if (!e.plmTableReading) {
    PerSecondHousekeeping(ctx);
    if (ServeRings(ctx)) return;
    const int before = e.imInfoCountdown;
    if (e.imInfoCountdown > 0) --e.imInfoCountdown;
    if (before <= 0 && ctx.db.plm.plmFound == 0) {
      SendImInfoRequest(ctx);
      return;
    }
  }

  Next next = Next::Wait;
  if (!ctx.queues.modem.Empty()) {
    ServeModemQueue(ctx);
  } else if (LinkJobStarted(ctx) && !I1WriteInProgress(ctx)) {
    const std::string text = LinkJobProgressText(ctx);
    ShowWaitWindow(ctx, text);
    e.statusText = text;
    RunLinkJobStep(ctx);
    return;
  } else if (ctx.linkReader.Busy()) {
    ReadDeviceRecord(ctx);
    e.engineWait = 2;
    return;
  } else if (I1WriteInProgress(ctx)) {
    LinkJobs& jobs = ctx.linkOps.state;
    RunI1Write(ctx, jobs.jobs[jobs.current & 1]);
    e.engineWait = 2;
    return;
  } else {
    next = StartUpState(ctx);
  }

  if (next == Next::EndStep) return;
  if (next == Next::Wait && e.engineWait > 0) {
    --e.engineWait;
    return;
  }
  Poll(ctx);
}

void CheckFlags(Context& ctx) {
  const LocalTime local = ctx.clock.LocalNow();
  if (!local.valid || local.hour != (ctx.db.checkFlagsHourCode >> 4)) return;
  const Time now = ctx.clock.Now();
  DeviceDatabase& db = ctx.db;
  const uint32_t n = std::min<uint32_t>(db.count, kDeviceSlots - 1);
  for (uint32_t i = 0; i < n; ++i) {
    DeviceRecord& r = db.records[i];
    const bool inUse = r.InUse();
    if (inUse && SecondsSince(now, r.timeStatusRequest) > kStatusRequestAge &&
        SecondsSince(now, r.timeLastContact) > kContactAge)
      r.get_statusTries = 0;
    if (inUse && !r.IdentityKnown() && r.categoryTries > 1) r.categoryTries = 0;
    if (inUse && (r.engineVersion < kEngineI1 || r.engineVersion > kEngineI2cs) && r.versionTries > 1)
      r.versionTries = 0;
    if (inUse && r.linkCount == 0 && SecondsSince(now, r.timeLastContact) >= kContactAge) {
      r.aldbDelta = 0;
      r.aldbReadState = kReadWanted;
      r.get_statusTries = 0;
      ctx.log.LogActivityFormatted(kCheckFlagsAldbText, r.group, r.id.b[0], r.id.b[1], r.id.b[2]);
    }
    const int64_t sinceReply = SecondsSince(now, r.timeStatusReply);
    if (r.category != 0x00 && r.category != 0x03 && r.category != 0x10) {
      if (!inUse) continue;
      if (sinceReply >= kStatusReplyAge) {
        r.get_statusTries = 0;
        ctx.log.LogActivityFormatted(kCheckFlagsStatusText, r.id.b[0], r.id.b[1], r.id.b[2],
                     static_cast<long long>(sinceReply));
      }
    }
    if (inUse && sinceReply >= kStatusReplyAge) {
      r.plmLinkRepairs = 0;
      r.reserved700 = 0;
    }
  }
}

bool AutoSaveStep(Context& ctx) {
  NetworkEngine& e = ctx.engine;
  const int changes = e.autoSaveCounter + e.discoveriesSinceSave + e.linkReadsSinceSave;
  if (changes <= kAutoSaveThreshold) return false;
  const Time now = ctx.clock.Now();
  if (SecondsSince(now, ctx.tick.lastReceiveTime) < kAutoSaveQuietSeconds ||
      SecondsSince(now, e.lastTreeClick) < kAutoSaveQuietSeconds)
    return true;
  Announce(ctx, kSavingText);
  if (e.saveCommand) e.saveCommand(ctx);
  e.autoSaveCounter = 0;
  e.discoveriesSinceSave = 0;
  e.linkReadsSinceSave = 0;
  // The save reloaded the files: read the modem's table again and merge what was saved.
  e.engineState = 0;
  return true;
}

void WireEngine(Context& ctx) {
  ctx.tick.engineStep = [](Context& c) { EngineStep(c); };
  ctx.tick.checkFlags = [](Context& c) { CheckFlags(c); };
}

}  // namespace quorvel

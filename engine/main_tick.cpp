#include "engine/main_tick.h"

#include <algorithm>

#include "automation/sun_times.h"
#include "automation/time_events.h"
#include "engine/context.h"

namespace quorvel {

namespace {

// The on-time count walks at most this many slots, whatever a damaged count says.
constexpr uint32_t kOnTimeSlots = 480;

// Clears a guard however the guarded step leaves.
class GuardScope {
 public:
  explicit GuardScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~GuardScope() { flag_ = false; }
  GuardScope(const GuardScope&) = delete;
  GuardScope& operator=(const GuardScope&) = delete;

 private:
  bool& flag_;
};

void RebuildDeviceTree(Context& ctx) {
  // The rebuild raises the pending flag again when it has to skip.
  ctx.tick.treeRefreshPending = false;
  ctx.notifier.Refresh(ViewRefresh::DeviceTree);
}

void RunRefreshes(Context& ctx, bool received) {
  MainTick& t = ctx.tick;
  RefreshFlags& r = ctx.refresh;
  DeviceDatabase& db = ctx.db;

  if (r.deviceListShownReset) {
    // The modem's identity or a link changed: the next quiet tick rebuilds the tree.
    r.deviceListShownReset = false;
    t.lastSeenCount = 0;
  }

  if (db.count == 0 && r.plmAnswered && r.tablesMerged) {
    // An empty network: the modem itself is what the setup window shows.
    t.treeSelection = db.plm.plmFound != 0 ? MakeDeviceKey(0xFF, db.plm.plmId) : 0;
    ctx.notifier.Refresh(ViewRefresh::DeviceSetup);
    r.plmAnswered = false;
  }
  if (db.count != 0 && r.tablesMerged) {
    RebuildDeviceTree(ctx);
    ctx.notifier.Refresh(ViewRefresh::ControllerList);
    ctx.notifier.Refresh(ViewRefresh::TablesMerged);
    r.tablesMerged = false;
    r.controllerListRefresh = false;
  }
  // A rebuild while bytes arrive would be stale again at once; wait for a quiet tick.
  if (!received && db.count != t.lastSeenCount) {
    t.lastSeenCount = db.count;
    RebuildDeviceTree(ctx);
  }

  const int selected = db.FindDeviceInGroup(KeyGroup(t.treeSelection), KeyId(t.treeSelection));
  if (t.treeSelection != 0 && selected >= 0 && db.records[selected].linksUpdated == 2) {
    db.records[selected].linksUpdated = 0;
    t.linkListRows = db.records[selected].LinkLimit();
    ctx.notifier.Refresh(ViewRefresh::DeviceSetup);
  }

  if (r.linkStored) {
    r.linkStored = false;
    if (t.linkWatchAnalysis) t.linkWatchAnalysis(ctx);
  }
  if (r.deviceTreeRefresh) {
    r.deviceTreeRefresh = false;
    RebuildDeviceTree(ctx);
  }
  if (t.treeRefreshPending) RebuildDeviceTree(ctx);
  if (r.eventsViewRefresh && ctx.sun.computed) {
    ctx.notifier.Refresh(ViewRefresh::TimeEvents);
    r.eventsViewRefresh = false;
  }
  if (t.dragTracking) t.dragTracking(ctx);
}

}  // namespace

void RunMainTick(Context& ctx) {
  MainTick& t = ctx.tick;
  if (t.tickGuard) return;
  GuardScope tickScope(t.tickGuard);

  PortSearch(ctx);

  bool received = false;
  if (!t.receiveGuard) {
    GuardScope scope(t.receiveGuard);
    received = ctx.framer.PumpReceive(ctx);
  }
  if (received) t.lastReceiveTime = ctx.clock.Now();

  if (!t.engineGuard) {
    GuardScope scope(t.engineGuard);
    if (t.engineStep) t.engineStep(ctx);
  }

  RunRefreshes(ctx, received);
}

void PerSecondHousekeeping(Context& ctx) {
  MainTick& t = ctx.tick;
  const LocalTime now = ctx.clock.LocalNow();
  const int16_t second = static_cast<int16_t>(now.second);
  if (second == t.lastSecond) return;
  t.lastSecond = second;
  if (ctx.engine.wait.idleSeconds < 1000000) ++ctx.engine.wait.idleSeconds;

  if (++t.eventCounter > 10) {
    t.eventCounter = 0;
    ScanTimeEvents(ctx);
  }

  if (t.halfMinuteCounter < 30) {
    ++t.halfMinuteCounter;
    return;
  }
  t.halfMinuteCounter = 0;
  t.repairWindow = RepairWindow{false, false};

  if (++t.dayCheckCounter > 10) {
    t.dayCheckCounter = 0;
    DayChangeCheck(ctx);
  }
  if (++t.hourCounter > 119) {
    t.hourCounter = 0;
    if (t.checkFlags) t.checkFlags(ctx);
  }
  if (t.hourCounter % 2 == 1) CountOnTime(ctx);
}

void CountOnTime(Context& ctx) {
  SunTimes& s = ctx.sun;
  const uint32_t n = std::min(ctx.db.count, kOnTimeSlots);
  for (uint32_t i = 0; i < n; ++i) {
    DeviceRecord& d = ctx.db.records[i];
    if (d.level != 0) ++d.minutesOnToday;
    if (s.dayRoll) {
      // The new week starts from zero and takes the day that just ended.
      if (s.weekReset) d.minutesOnWeek = 0;
      d.minutesOnWeek += d.minutesOnToday;
      d.minutesOnMonth += d.minutesOnToday;
      d.minutesOnToday = 0;
    }
    if (s.monthReset) d.minutesOnMonth = 0;
  }
  s.dayRoll = false;
  s.weekReset = false;
  s.monthReset = false;
}

}  // namespace quorvel

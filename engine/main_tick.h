#pragma once
// The 160 ms tick: everything the program does on its own runs from here, in a
// fixed order: the modem search, the receive pump, one engine step, and the
// view refreshes the other parts asked for. The per-second housekeeping (time
// event scan, new-day check, CheckFlags, on-time minutes) lives here too; the
// engine step runs it.
#include <cstdint>
#include <functional>

#include "device/device_record.h"
#include "platform/clock.h"

namespace quorvel {

struct Context;

// Period of the tick.
inline constexpr int kTickMillis = 160;

// The automatic Link Watch repair's 31-second window. The repair owns what the
// flags mean; the housekeeping lowers both at the start of each window.
struct RepairWindow {
  // A repair was made in this window. Raised at start, so the first window
  // after start-up makes none.
  bool repairMade = true;
  bool firstPassRun = false;
};

struct MainTick {
  // Re-entry guards: a step that pumps messages (a modal box, a progress
  // window) can bring the timer back into the tick; nothing runs twice.
  bool tickGuard = false;
  bool receiveGuard = false;
  bool engineGuard = false;
  Time lastReceiveTime = 0;     // the last tick that received any byte
  uint32_t lastSeenCount = 10;  // device count at the last tree rebuild
  bool treeRefreshPending = false;  // the tree rebuild skipped (too soon) and wants another

  // The device tree's selection, which the device setup window shows, and the
  // row count of the setup window's link list.
  DeviceKey treeSelection = 0;
  int linkListRows = 0;
  // The tree's selection as the event editors take it: passed on only once the
  // stored details are merged, so an editor never names a record of the
  // half-read table.
  DeviceKey editorSelection = 0;

  // Per-second housekeeping.
  int16_t lastSecond = 0;
  int16_t eventCounter = 0;
  uint32_t halfMinuteCounter = 0;
  int dayCheckCounter = 0;
  int hourCounter = 0;
  RepairWindow repairWindow;

  // Steps owned by other parts. An empty hook does nothing, so a program (or a
  // test) that has not wired a part runs the rest without it.
  std::function<void(Context&)> engineStep;  // one step of the network engine
  std::function<void(Context&)> checkFlags;  // the periodic consistency check
  // Set while the Link Watch dialog is open: reruns its analysis after a link
  // was stored.
  std::function<void(Context&)> linkWatchAnalysis;
  // Set while a drag is in progress in the device tree: drop highlight and
  // scrolling by the cursor's position.
  std::function<void(Context&)> dragTracking;
};

// One tick. Does nothing when called from inside a tick.
void RunMainTick(Context& ctx);

// Once per engine step while the modem's link table is not being read; acts
// only when the wall clock's second has changed.
void PerSecondHousekeeping(Context& ctx);

// The on-time minutes of every device, with the day, week and month rolls the
// new-day check asked for; the housekeeping runs it every 62 seconds.
void CountOnTime(Context& ctx);

}  // namespace quorvel

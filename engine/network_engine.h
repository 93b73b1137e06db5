#pragma once
// The operation engine: one step per tick. It paces all transmission, keeps the
// modem's identity current, drives the link jobs and the device link reader,
// walks the start-up sequence (configure the modem, read its link table, merge
// the stored details) and then hands the idle steps to the device polling.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/device_polling.h"
#include "platform/clock.h"

namespace quorvel {

struct Context;

// engineState: 0..8 walk the start-up sequence; this and above is steady running.
inline constexpr int kEngineSteady = 9;

// Seconds without a new modem link record before the table read starts over.
inline constexpr int kPlmReadStallSeconds = 5;
// Auto-save needs this much quiet on the line and in the device tree.
inline constexpr int64_t kAutoSaveQuietSeconds = 120;
// The change counters behind auto-save; a sum above this saves.
inline constexpr int kAutoSaveThreshold = 5;

// The small modal window that shows long work ("Please wait..."). The program's
// window draws it from this model.
struct WaitWindow {
  bool open = false;
  int idleSeconds = 30;  // seconds since it opened; the housekeeping counts them
  std::string text;
  int bar = 0;
  bool cancelPressed = false;
};

// Opens the wait window; opening it while it is open changes nothing, not even its text.
void ShowWaitWindow(Context& ctx, const std::string& text);
void CloseWaitWindow(Context& ctx);

struct NetworkEngine {
  int engineState = 0;
  int engineWait = 0;
  int imInfoCountdown = 1;  // steps until the next identity request while the modem is unknown
  Time minuteMark = 0;
  int minutesSincePlmRead = 0;
  int secondTicks = 0;  // wall-clock seconds counted by the steps; reset when progress is seen
  Time lastWallSecond = 0;
  uint32_t lastTableCount = 0;
  bool plmTableReading = false;
  bool progressShown = false;
  int progressStepDivider = 0;
  int progressDone = 0;
  // The modem's refusals counted before the current read of its table began: the
  // read is complete only once the modem itself refused a Get First/Next.
  int readNakMark = 0;
  // The first pane of the status bar.
  std::string statusText;
  // Steps run, and how often the modem's table was read to its end, for reports.
  uint64_t steps = 0;
  uint32_t plmTableReads = 0;
  // Auto-save change counters; they saturate, so a long busy spell cannot wrap them.
  int8_t discoveriesSinceSave = 0;
  int8_t linkReadsSinceSave = 0;
  int8_t autoSaveCounter = 0;
  bool firstRun = true;
  // Raised whenever a device link record is stored.
  bool linkStored = false;
  // Time of the last mouse click in the device tree; auto-save waits for quiet there too.
  Time lastTreeClick = 0;

  WaitWindow wait;
  PollState poll;

  // The document's save command (saves every file and loads them again). Empty
  // until the configuration files are wired in: auto-save then saves nothing.
  std::function<void(Context&)> saveCommand;
  // The saves of the user's edits and of learned data, checked at every step
  // whatever the traffic (they re-read nothing). Empty until the configuration
  // files are wired in.
  std::function<void(Context&)> saveChanges;
  // The automatic Link Watch repair; returns true when it ended the step early
  // because the line was not quiet. Empty until Link Watch is wired in.
  std::function<bool(Context&)> autoRepair;
};

// Adds to a change counter, holding it at 127.
void RaiseSaveCounter(int8_t& counter, int by = 1);

// One engine step; the main tick calls it once per tick.
void EngineStep(Context& ctx);
// The auto-save, run by the polling when it found nothing to do and the modem
// queue is empty. True when the polling step must end here (saved, or changes
// are waiting for the line and the device tree to be quiet).
bool AutoSaveStep(Context& ctx);
// The periodic consistency check: clears give-up counters after hours so that
// devices are asked again.
void CheckFlags(Context& ctx);
// Sets the main tick's hooks to the engine step and CheckFlags.
void WireEngine(Context& ctx);

// Texts of the engine.
inline constexpr const char* kReadingPlmLinksText = "Reading PLM device Links.";
inline constexpr const char* kLoadingDeviceDataText = "Loading Device Data., %d device links from PLM";
inline constexpr const char* kGetPlmInfoText = "GetPLMInfo";
inline constexpr const char* kSavingText = "Saving plm_aldb, events";
inline constexpr const char* kCheckFlagsAldbText = "CheckFlags - reseting ALDB read for Group %d, %02x.%02x.%02x";
inline constexpr const char* kCheckFlagsStatusText = "CheckFlags - reseting get_statusTries for %02x.%02x.%02x dif = (%lld)";

}  // namespace quorvel

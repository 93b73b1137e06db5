#include "config/auto_save.h"

#include "config/config_files.h"
#include "engine/context.h"

namespace quorvel {

bool AutoSaveWanted(int8_t autoSaveCounter, int8_t discoveriesSinceSave, int8_t linkReadsSinceSave) {
  return int{autoSaveCounter} + int{discoveriesSinceSave} + int{linkReadsSinceSave} > kAutoSaveThreshold;
}

bool AutoSaveQuiet(Time now, Time lastReceived, Time lastDeviceListClick) {
  return now - lastReceived >= kAutoSaveQuietSeconds && now - lastDeviceListClick >= kAutoSaveQuietSeconds;
}

void AutoSave(Context& ctx) {
  ctx.log.LogActivity("Saving plm_aldb, events");
  if (ctx.engine.saveCommand) {
    ctx.engine.saveCommand(ctx);
  } else {
    SaveCommand(ctx);
  }
}

void WireConfigFiles(Context& ctx) {
  ctx.engine.saveCommand = [](Context& c) { SaveCommand(c); };
}

}  // namespace quorvel

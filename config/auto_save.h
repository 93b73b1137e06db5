#pragma once
// Saving on its own when the network is quiet. The three change counters are
// the network engine's (NetworkEngine: autoSaveCounter, discoveriesSinceSave,
// linkReadsSinceSave, raised with RaiseSaveCounter); the engine's polling asks
// these when it finds nothing to do and the modem command queue is empty.
#include <cstdint>

#include "platform/clock.h"

namespace quorvel {

struct Context;

// Enough has changed since the last save: the three counters add up to more than 5.
bool AutoSaveWanted(int8_t autoSaveCounter, int8_t discoveriesSinceSave, int8_t linkReadsSinceSave);
// Nothing came from the modem and the user did not click the device list for
// 120 seconds (whole seconds; 0 = never).
bool AutoSaveQuiet(Time now, Time lastReceived, Time lastDeviceListClick);

// Logs "Saving plm_aldb, events" and runs the save command. The engine then
// clears its three counters and returns to state 0, so the modem's table is
// read and the stored details merged again.
void AutoSave(Context& ctx);

// Hands the engine its save command (NetworkEngine::saveCommand = SaveCommand).
void WireConfigFiles(Context& ctx);

}  // namespace quorvel

#pragma once
// One screen on what a run learned about the network and what it cost on the
// line: for a headless run's end and for the benchmarks.
#include <string>

namespace quorvel {

struct Context;

// Counts over the devices of the table (one per id, whatever its records).
struct NetworkCensus {
  int devices = 0;          // distinct ids in the table
  int linkedToModem = 0;    // of them, with a record in use (the modem holds a link)
  int kindKnown = 0;        // category and subcategory learned
  int firmwareKnown = 0;    // firmware learned (not 0)
  int engineKnown = 0;      // engine version learned
  int engineI1 = 0, engineI2 = 0, engineI2cs = 0;
  int identified = 0;       // kind and engine version both learned: what polling asks first
  int linkTablesRead = 0;   // link table read out of the device
  int linksStored = 0;      // in-use links mirrored, over all devices
  int discoveryMembers = 0; // records in the discovery group 251
  // Devices with a record in use that are not wireless, have not stopped
  // answering, and still lack their kind, their engine version or their link table.
  int poweredOutstanding = 0;
  // Records of devices named only in link tables, not yet placed in group 251.
  int awaitingDiscovery = 0;
};

NetworkCensus TakeCensus(const Context& ctx);

// True when there is nothing left to learn or send: every powered device linked
// to the modem is identified and its link table read, with discovery on every
// device found in links is placed, with the Link Watch repair on no device waits
// for its link to the modem, the engine is in steady running, and the queues,
// the link jobs and the link reader are idle.
bool NetworkSettled(const Context& ctx);

std::string RunSummary(const Context& ctx);

// What the engine is doing and how far it has come, in one line for the status
// bar, from the engine's own state and the census above: "Reading device
// catagory... - 7 of 17 devices identified, 4 link tables read".
std::string ProgressText(const Context& ctx);

inline constexpr const char* kProgressDisconnected = "Not connected: Connect in Tools > Options searches for the modem";
inline constexpr const char* kProgressSearching = "Searching for the modem";
inline constexpr const char* kProgressAsking = "Searching for the modem: waiting for an answer on %s";
inline constexpr const char* kProgressSettingUp = "Setting up the modem";
inline constexpr const char* kProgressReadingModem = "Reading the modem's link table: %u links";
inline constexpr const char* kProgressLoading = "Loading the stored device data";
inline constexpr const char* kProgressLearning = "Learning the house";
// The last %s is "s" for any count of link tables but one.
inline constexpr const char* kProgressCounts = "%d of %d devices identified, %d link table%s read";
inline constexpr const char* kProgressNoDevices = "no devices linked to the modem yet";

}  // namespace quorvel

#pragma once
// A seeded plan of everything that goes wrong in a long simulated run: bursts
// of busy refusals, a noisy line, devices that lose power and come back,
// sleepers that wake, people pressing buttons, the modem's adapter pulled out
// and put back, a crash or a full disk during a save, the clock jumping, and
// daylight saving starting or ending. The same seed gives the same plan, so a
// failing run can be replayed from its seed alone.
#include <cstdint>
#include <string>
#include <vector>

#include "device/insteon_id.h"
#include "sim/sim_network.h"
#include "sim/sim_port.h"

namespace quorvel::sim {

enum class FaultKind : uint8_t {
  NakBurst,        // `millis` of busy refusals at `chance`
  NoisyLine,       // `millis` of dropped and changed bytes at `chance`
  LineClear,       // the end of a burst or of noise: the house's own faults again
  DeviceDies,      // `device` hears and answers nothing
  DeviceReturns,   // `device` is back
  SleeperWakes,    // the SET button of sleeping `device`
  Press,           // `device` sends ON or OFF (`value` is cmd1) for `group`
  Unplug,          // the modem's adapter is pulled out
  PlugIn,          // and put back
  CrashAtSave,     // the machine goes down at write step `value` of the next save
  DiskFull,        // the disk holds only `value` bytes more during the next save
  ClockJump,       // the wall clock jumps by `value` seconds (either way)
  DaylightSaving,  // local time moves an hour forward (`value` 1) or back (0)
};

struct FaultEvent {
  int64_t atMillis = 0;  // from the start of the run
  FaultKind kind = FaultKind::LineClear;
  InsteonId device{};
  uint8_t group = 1;
  int64_t value = 0;
  int64_t millis = 0;
  double chance = 0;
};

struct FaultPlanOptions {
  uint64_t seed = 1;
  int64_t runMillis = 0;
  // Faults stop this long before the end, so the program can show it recovers.
  int64_t quietMillis = 0;
  // Mean time between two faults.
  int64_t meanGapMillis = 10 * 60 * 1000;
};

// The plan for a house, sorted by time. Only the house's own devices are named;
// presses come from devices with links, wake-ups from sleepers.
std::vector<FaultEvent> MakeFaultPlan(const House& house, const FaultPlanOptions& options);

// Acts out the events that concern the network and the port (bursts, noise,
// devices, presses, the adapter). False for the others, which the caller's
// program side handles (files and clock).
bool ApplyToNetwork(const FaultEvent& event, SimNetwork& network, SimPort& port, const Faults& houseFaults);

// "12:03:45.120 NakBurst 2a.10.04 ..." for a failing run's report.
std::string DescribeFault(const FaultEvent& event);

}  // namespace quorvel::sim

#include "sim/fault_schedule.h"

#include <algorithm>
#include <cstdio>

#include "sim/sim_random.h"

namespace quorvel::sim {

namespace {

const char* KindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::NakBurst: return "NakBurst";
    case FaultKind::NoisyLine: return "NoisyLine";
    case FaultKind::LineClear: return "LineClear";
    case FaultKind::DeviceDies: return "DeviceDies";
    case FaultKind::DeviceReturns: return "DeviceReturns";
    case FaultKind::SleeperWakes: return "SleeperWakes";
    case FaultKind::Press: return "Press";
    case FaultKind::Unplug: return "Unplug";
    case FaultKind::PlugIn: return "PlugIn";
    case FaultKind::CrashAtSave: return "CrashAtSave";
    case FaultKind::DiskFull: return "DiskFull";
    case FaultKind::ClockJump: return "ClockJump";
    case FaultKind::DaylightSaving: return "DaylightSaving";
  }
  return "?";
}

int64_t Between(SimRandom& r, int64_t lo, int64_t hi) {
  return lo + static_cast<int64_t>(r.Below(static_cast<uint32_t>(hi - lo + 1)));
}

}  // namespace

std::vector<FaultEvent> MakeFaultPlan(const House& house, const FaultPlanOptions& options) {
  SimRandom r(options.seed * 0x5851F42D4C957F2Dull + 11);
  std::vector<InsteonId> powered, sleepers, pressers;
  for (const SimDevice& d : house.devices) {
    (d.sleeper ? sleepers : powered).push_back(d.id);
    bool controls = false;
    for (const LinkEntry& e : d.Links()) controls = controls || e.Controller();
    if (controls) pressers.push_back(d.id);
  }

  std::vector<FaultEvent> plan;
  const int64_t end = options.runMillis - options.quietMillis;
  const int64_t gap = std::max<int64_t>(options.meanGapMillis, 1000);
  bool daylight = false;
  for (int64_t at = Between(r, gap / 4, gap); at < end; at += Between(r, gap / 2, gap * 3 / 2)) {
    FaultEvent e;
    e.atMillis = at;
    const uint32_t pick = r.Below(100);
    if (pick < 14) {
      e.kind = FaultKind::NakBurst;
      e.millis = Between(r, 2000, 60000);
      e.chance = 0.3 + 0.6 * static_cast<double>(r.Below(100)) / 100.0;
    } else if (pick < 26) {
      e.kind = FaultKind::NoisyLine;
      e.millis = Between(r, 5000, 120000);
      e.chance = 0.005 + 0.05 * static_cast<double>(r.Below(100)) / 100.0;
    } else if (pick < 38 && !powered.empty()) {
      e.kind = FaultKind::DeviceDies;
      e.device = powered[r.Below(static_cast<uint32_t>(powered.size()))];
      e.millis = Between(r, 10000, 40 * 60 * 1000);
    } else if (pick < 50 && !sleepers.empty()) {
      e.kind = FaultKind::SleeperWakes;
      e.device = sleepers[r.Below(static_cast<uint32_t>(sleepers.size()))];
    } else if (pick < 68 && !pressers.empty()) {
      e.kind = FaultKind::Press;
      e.device = pressers[r.Below(static_cast<uint32_t>(pressers.size()))];
      e.group = static_cast<uint8_t>(1 + r.Below(2));
      e.value = r.Below(2) == 0 ? 0x11 : 0x13;
    } else if (pick < 76) {
      e.kind = FaultKind::Unplug;
      e.millis = Between(r, 1000, 5 * 60 * 1000);
    } else if (pick < 84) {
      e.kind = FaultKind::CrashAtSave;
      e.value = Between(r, 1, 30);
    } else if (pick < 90) {
      e.kind = FaultKind::DiskFull;
      e.value = Between(r, 0, 700000);
    } else if (pick < 96) {
      e.kind = FaultKind::ClockJump;
      // Mostly small corrections, sometimes hours, either way.
      const int64_t size = r.Below(4) == 0 ? Between(r, 3600, 6 * 3600) : Between(r, 1, 300);
      e.value = r.Below(2) == 0 ? size : -size;
    } else {
      e.kind = FaultKind::DaylightSaving;
      daylight = !daylight;
      e.value = daylight ? 1 : 0;
    }
    plan.push_back(e);
    // What ends by itself gets its end in the plan.
    if (e.kind == FaultKind::NakBurst || e.kind == FaultKind::NoisyLine) {
      FaultEvent clear;
      clear.kind = FaultKind::LineClear;
      clear.atMillis = std::min(at + e.millis, end);
      plan.push_back(clear);
    } else if (e.kind == FaultKind::DeviceDies) {
      FaultEvent back;
      back.kind = FaultKind::DeviceReturns;
      back.device = e.device;
      back.atMillis = std::min(at + e.millis, end);
      plan.push_back(back);
    } else if (e.kind == FaultKind::Unplug) {
      FaultEvent plug;
      plug.kind = FaultKind::PlugIn;
      plug.atMillis = std::min(at + e.millis, end);
      plan.push_back(plug);
    }
  }
  std::stable_sort(plan.begin(), plan.end(),
                   [](const FaultEvent& a, const FaultEvent& b) { return a.atMillis < b.atMillis; });
  return plan;
}

bool ApplyToNetwork(const FaultEvent& event, SimNetwork& network, SimPort& port, const Faults& houseFaults) {
  Faults faults = network.CurrentFaults();
  switch (event.kind) {
    case FaultKind::NakBurst:
      faults.busyNak = event.chance;
      network.SetFaults(faults);
      return true;
    case FaultKind::NoisyLine:
      faults.dropByte = event.chance;
      faults.garbleByte = event.chance;
      network.SetFaults(faults);
      return true;
    case FaultKind::LineClear:
      // Keep the generator running on: a reseed would repeat the same rolls.
      faults.busyNak = houseFaults.busyNak;
      faults.dropByte = houseFaults.dropByte;
      faults.garbleByte = houseFaults.garbleByte;
      faults.seed = faults.seed * 31 + 7;
      network.SetFaults(faults);
      return true;
    case FaultKind::DeviceDies:
    case FaultKind::DeviceReturns:
      if (SimDevice* d = network.Device(event.device)) d->deaf = event.kind == FaultKind::DeviceDies;
      return true;
    case FaultKind::SleeperWakes:
      network.PressSet(event.device);
      return true;
    case FaultKind::Press:
      // A device without power presses nothing.
      if (SimDevice* d = network.Device(event.device); d != nullptr && !d->deaf)
        network.Press(event.device, event.group, static_cast<uint8_t>(event.value));
      return true;
    case FaultKind::Unplug:
      port.Unplug();
      return true;
    case FaultKind::PlugIn:
      port.PlugIn();
      return true;
    default:
      return false;
  }
}

std::string DescribeFault(const FaultEvent& event) {
  const int64_t s = event.atMillis / 1000;
  char line[160];
  std::snprintf(line, sizeof line, "%lld:%02lld:%02lld.%03lld %s %02x.%02x.%02x group %d value %lld for %lld ms chance %.3f",
                static_cast<long long>(s / 3600), static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60),
                static_cast<long long>(event.atMillis % 1000), KindName(event.kind), event.device.b[0],
                event.device.b[1], event.device.b[2], event.group, static_cast<long long>(event.value),
                static_cast<long long>(event.millis), event.chance);
  return line;
}

}  // namespace quorvel::sim

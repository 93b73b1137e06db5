// How long, in virtual time, the program takes from opening the modem's port
// until every powered device is identified and its link table read: for the
// example house and for a generated house of 100 devices with 30 links each.
//
// Beside it, two lower bounds worked out from the house itself:
// - "wire_bound_s": the messages the program must send (modem set-up, one Get
//   per modem record, the identity, engine-version and status requests, the
//   link-table reads: one request for i2/i2cs devices, an address and eight
//   peeks per record for i1 devices), one per tick of 160 ms;
// - "paced_bound_s": the ticks the engine's own pacing gives those messages,
//   which no polling order can avoid: a poll is followed by a 20-step wait, and
//   identity, engine-version and status requests go out on every fourth poll
//   only, with 100 steps after an identity or engine-version request and 20
//   after a status request; a link read takes a tick per record (i1 devices:
//   nine messages per record, each reader step followed by a 2-step wait), and
//   nothing is asked until the line has been quiet for 3 seconds after it.
// "ratio_paced" is the measured time over the paced bound (target: within 1.5),
// "ratio_wire" over the wire bound.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <utility>
#include <memory>
#include <string>

#include "config/config_files.h"
#include "engine/context.h"
#include "engine/link_watch.h"
#include "engine/network_engine.h"
#include "engine/run_summary.h"
#include "sim/house_file.h"
#include "sim/sim_network.h"
#include "sim/sim_port.h"
#include "support/memory_file_system.h"

namespace quorvel {
namespace {

constexpr int kTickMs = 160;
constexpr int64_t kBoundMs = 6LL * 3600 * 1000;  // give up after six virtual hours

// The house text of `devices` mains-powered devices, each linked to the modem
// both ways in group 1 and to 14 neighbours each way: 30 links apiece. One in
// ten is an old i1 device, read a byte at a time.
std::string GeneratedHouse(int devices) {
  std::string text = "seed 3\nmodem 1e.65.a2 category 03 subcategory 15 firmware 9e\n";
  char line[128];
  auto id = [](int i) {
    char s[16];
    std::snprintf(s, sizeof s, "3b.%02x.%02x", (i + 1) >> 8, (i + 1) & 0xFF);
    return std::string(s);
  };
  for (int i = 0; i < devices; ++i) {
    const bool dimmer = i % 2 == 0;
    std::snprintf(line, sizeof line, "link controller 1 %s %s 41\nlink responder 1 %s %s 41\n", id(i).c_str(),
                  dimmer ? "01 20" : "02 2a", id(i).c_str(), dimmer ? "01 20" : "02 2a");
    text += line;
  }
  for (int i = 0; i < devices; ++i) {
    const bool dimmer = i % 2 == 0;
    const char* engine = i % 10 == 9 ? "i1" : dimmer ? "i2cs" : "i2";
    std::snprintf(line, sizeof line, "device %s \"Device %d\" category %s firmware 41 engine %s\n", id(i).c_str(), i,
                  dimmer ? "01 subcategory 20" : "02 subcategory 2a", engine);
    text += line;
    text += "link responder 1 1e.65.a2 ff 1c 01\nlink controller 1 1e.65.a2 03 00 01\n";
    for (int k = 1; k <= 14; ++k) {
      std::snprintf(line, sizeof line, "link controller 1 %s 03 00 01\nlink responder 1 %s ff 1c 01\n",
                    id((i + k) % devices).c_str(), id((i + devices - k) % devices).c_str());
      text += line;
    }
  }
  return text;
}

struct Bounds {
  int64_t messages = 0;
  int64_t pacedTicks = 0;
};

Bounds LowerBounds(sim::SimNetwork& net) {
  Bounds b;
  auto add = [&b](int64_t messages, int64_t ticksPerMessage) {
    b.messages += messages;
    b.pacedTicks += messages * ticksPerMessage;
  };
  // A poll and its wait; the requests of the divider go out on every fourth.
  constexpr int64_t kPollTicks = 1 + kWaitAfterStatus;
  constexpr int64_t kSkippedPolls = 3 * kPollTicks;
  constexpr int64_t kQuietTicks = (kPollQuietSeconds * 1000 + kTickMs - 1) / kTickMs;

  add(3, 2);  // 0x60, 0x6B, 0x73, each answered before the next
  // The modem's table: one record per group and device, then Get Next refused.
  std::set<std::pair<uint8_t, uint32_t>> records;
  std::map<uint32_t, int> recordsOfDevice;
  for (const sim::LinkEntry& l : net.Modem().links) {
    if (records.insert({l.group, l.id.Value()}).second) ++recordsOfDevice[l.id.Value()];
  }
  add(static_cast<int64_t>(records.size()) + 1, 1);
  for (sim::SimDevice& d : net.Devices()) {
    const auto linked = recordsOfDevice.find(d.id.Value());
    if (linked == recordsOfDevice.end()) continue;  // reached through discovery, not asked at start
    // Only a device's first record takes its kind from the modem's table.
    if (linked->second > 1) add(1, 1 + kWaitAfterIdentity + kSkippedPolls);
    add(1, 1 + kWaitAfterIdentity + kSkippedPolls);  // engine version
    add(1, 1 + kWaitAfterStatus + kSkippedPolls);    // status: its reply asks for the links
    if (d.sleeper) continue;                          // held until it wakes: not waited for
    const int64_t linksRead = static_cast<int64_t>(d.Links().size()) + 1;  // the table's end as well
    if (d.engine == 1) {
      add(linksRead * 9, 3);
    } else {
      add(1, 1 + linksRead);
    }
    b.pacedTicks += kQuietTicks;
  }
  return b;
}

struct Outcome {
  int64_t millis = -1;  // from the port's opening to settled; -1 if not within the bound
  std::string summary;
};

Outcome RunUntilSettled(sim::House house, Bounds& bounds) {
  TestClock clock(1300000000);
  sim::SimNetwork net(clock, std::move(house));
  sim::SimPort port(net, 1);
  testing::MemoryFileSystem files;
  NullNotifier notifier;
  auto ctx = std::make_unique<Context>(clock, port, files, notifier);
  Silence(ctx->diagnostics);
  // A first start, as the program makes it: the options' defaults (device
  // discovery on) and no stored data file.
  LoadAtStart(*ctx);
  ctx->options.comPort = 1;
  WireConfigFiles(*ctx);
  WireLinkWatch(*ctx);
  bounds = LowerBounds(net);

  int64_t openedAt = -1;
  Outcome out;
  for (int64_t t = 0; t < kBoundMs; t += kTickMs) {
    PortSearch(*ctx);
    if (ctx->framer.PumpReceive(*ctx)) ctx->tick.lastReceiveTime = clock.Now();
    EngineStep(*ctx);
    if (openedAt < 0 && port.IsOpen()) openedAt = clock.NowMillis();
    if (openedAt >= 0 && NetworkSettled(*ctx)) {
      out.millis = clock.NowMillis() - openedAt;
      break;
    }
    clock.AdvanceMillis(kTickMs);
  }
  out.summary = RunSummary(*ctx);
  return out;
}

void Report(benchmark::State& state, const sim::House& house) {
  Outcome out;
  Bounds bounds;
  for (auto _ : state) out = RunUntilSettled(house, bounds);
  const double seconds = out.millis / 1000.0;
  const double wire = bounds.messages * kTickMs / 1000.0;
  const double paced = bounds.pacedTicks * kTickMs / 1000.0;
  state.counters["virtual_s"] = seconds;
  state.counters["wire_bound_s"] = wire;
  state.counters["paced_bound_s"] = paced;
  state.counters["ratio_wire"] = out.millis < 0 ? -1 : seconds / wire;
  state.counters["ratio_paced"] = out.millis < 0 ? -1 : seconds / paced;
  if (out.millis < 0) state.SkipWithError("the network did not settle within six virtual hours");
  if (std::getenv("QUORVEL_BENCH_SUMMARY") != nullptr) std::fputs(out.summary.c_str(), stderr);
}

void BM_StartUpExampleHouse(benchmark::State& state) {
  sim::House house;
  std::string error;
  if (!sim::LoadHouseFile(std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt", house, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  Report(state, house);
}
BENCHMARK(BM_StartUpExampleHouse)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_StartUpGeneratedHouse(benchmark::State& state) {
  sim::House house;
  std::string error;
  if (!sim::ParseHouse(GeneratedHouse(100), house, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  Report(state, house);
}
BENCHMARK(BM_StartUpGeneratedHouse)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvel

#pragma once
// A run against the simulated modem and network: the context talks to the
// SimNetwork through a SimPort on a test clock, devices are put straight into
// the table, and every command the host wrote is kept as bytes.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/context.h"
#include "sim/sim_network.h"
#include "sim/sim_port.h"
#include "support/memory_file_system.h"
#include "support/test_rig.h"

namespace quorvel::testing {

// 2011-03-13 07:06:00 UTC, the start of a minute that is not minute 0.
inline constexpr Time kSimStart = 1299999960;
inline constexpr int kSimTickMillis = 160;

class SimRig {
 public:
  explicit SimRig(sim::House house, Time start = kSimStart);

  Context& operator*() { return *ctx; }
  Context* operator->() { return ctx.get(); }

  // A record of the live table for a device of the house, linked to the modem.
  DeviceRecord& AddRecord(const InsteonId& id, uint8_t group = 1, uint8_t linkFlags = 0xA2);

  // One tick: the receive pump, then the engine's step (with `realEngine`), or
  // else a stand-in for it in the order the engine gives its work: a send ring,
  // else the modem queue, else a busy link reader, else `idleStep` when set.
  // Then 160 ms pass.
  void Step();
  std::function<void()> idleStep;
  bool realEngine = false;
  // Steps until done() holds, at most limit steps; false when it never did.
  bool StepUntil(const std::function<bool()>& done, int limit);

  // Host commands written to the modem, each with its leading 0x02.
  const std::vector<std::vector<uint8_t>>& Sent() const { return sent_; }
  // Insteon messages (0x62) sent to `id` with this cmd1.
  std::vector<std::vector<uint8_t>> SentTo(const InsteonId& id, uint8_t cmd1) const;
  // The steps in which those messages were written, in order.
  std::vector<int> StepsOf(const InsteonId& id, uint8_t cmd1) const;
  void ClearSent() {
    sent_.clear();
    sentSteps_.clear();
  }

  TestClock clock;
  sim::SimNetwork net;
  sim::SimPort port{net, 1};
  MemoryFileSystem files;
  RecordingNotifier notifier;
  std::unique_ptr<Context> ctx;
  int steps = 0;

 private:
  bool IsTo(size_t i, const InsteonId& id, uint8_t cmd1) const;
  std::vector<std::vector<uint8_t>> sent_;
  std::vector<int> sentSteps_;
};

}  // namespace quorvel::testing

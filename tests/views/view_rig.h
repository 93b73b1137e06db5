#pragma once
// The example house for the windows' models: the simulated network in this
// process, with the program's table as a complete read of it leaves it, and a
// step that serves the queues and the link jobs as the engine orders them
// (without the polling, so only what a command sends goes out).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/link_operations.h"
#include "plm/link_reader.h"
#include "plm/send_queues.h"
#include "sim/house_database.h"
#include "sim/house_file.h"
#include "support/sim_rig.h"

namespace quorvel::testing {

inline sim::House ExampleHouse() {
  sim::House house;
  std::string error;
  EXPECT_TRUE(sim::LoadHouseFile(std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt", house, error))
      << error;
  return house;
}

// Devices of the example house.
inline const InsteonId kModem = InsteonId::From(0x1e, 0x65, 0xa2);
inline const InsteonId kKitchenCeiling = InsteonId::From(0x2a, 0x10, 0x01);  // i2cs dimmer
inline const InsteonId kHallKeypad = InsteonId::From(0x2a, 0x10, 0x04);      // i2cs keypad, groups 1 and 3
inline const InsteonId kPorchLight = InsteonId::From(0x2a, 0x10, 0x05);      // i2 relay

class HouseRig : public SimRig {
 public:
  HouseRig() : HouseRig(ExampleHouse()) {}
  explicit HouseRig(const sim::House& house) : SimRig(house) {
    sim::FillDatabase(house, ctx->db, clock.Now());
    ctx->refresh.dataReady = true;
    idleStep = [this] {
      Context& c = *ctx;
      SelectNextLinkJob(c);
      if (LinkJobStarted(c)) {
        RunLinkJobStep(c);
      } else if (I1WriteInProgress(c)) {
        LinkJobs& s = c.linkOps.state;
        RunI1Write(c, s.jobs[s.current]);
      }
    };
  }

  int Slot(const InsteonId& id, uint8_t group) const { return ctx->db.FindDeviceInGroup(group, id); }
  DeviceKey Key(const InsteonId& id, uint8_t group) const { return MakeDeviceKey(group, id); }

  // Steps until the queues are empty and no link job runs.
  bool RunToQuiet(int limit = 5000) {
    return StepUntil(
        [this] {
          const SendQueues& q = ctx->queues;
          return q.replyRing.Empty() && q.plainRing.Empty() && q.delayedRing.Empty() && q.modem.Empty() &&
                 !LinkOperationRunning(*ctx) && !ctx->linkReader.Busy();
        },
        limit);
  }

  // Modem commands written (0x02 and the command code first), without the Insteon messages.
  std::vector<std::vector<uint8_t>> ModemCommands() const {
    std::vector<std::vector<uint8_t>> out;
    for (const std::vector<uint8_t>& m : Sent())
      if (m.size() >= 2 && m[1] != 0x62) out.push_back(m);
    return out;
  }

  // General Activity, time stamps cut off.
  std::vector<std::string> Activity() const {
    std::vector<std::string> out;
    for (const LogLine& line : ctx->log.Lines(LogChannel::GeneralActivity)) {
      const std::string& t = line.text;
      const size_t bar = t.find("|   ");
      out.push_back(bar == std::string::npos ? t : t.substr(bar + 4));
    }
    return out;
  }
};

}  // namespace quorvel::testing

// The seeded fault plan of the long simulation: the same seed replays the same
// run, every fault that lasts has its end, the quiet tail stays quiet, and the
// network side of each fault does what it says.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "sim/fault_schedule.h"
#include "sim/house_file.h"
#include "sim/sim_network.h"
#include "sim/sim_port.h"

namespace quorvel::sim {
namespace {

House ExampleHouse() {
  House house;
  std::string error;
  EXPECT_TRUE(LoadHouseFile(std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt", house, error))
      << error;
  return house;
}

std::vector<std::string> Texts(const std::vector<FaultEvent>& plan) {
  std::vector<std::string> out;
  for (const FaultEvent& e : plan) out.push_back(DescribeFault(e));
  return out;
}

constexpr int64_t kHour = 3600 * 1000;

TEST(FaultPlan, TheSameSeedGivesTheSamePlanAndAnotherSeedAnother) {
  const House house = ExampleHouse();
  const FaultPlanOptions a{.seed = 42, .runMillis = 24 * kHour, .quietMillis = kHour};
  FaultPlanOptions b = a;
  b.seed = 43;
  EXPECT_EQ(Texts(MakeFaultPlan(house, a)), Texts(MakeFaultPlan(house, a)));
  EXPECT_NE(Texts(MakeFaultPlan(house, a)), Texts(MakeFaultPlan(house, b)));
}

TEST(FaultPlan, EveryFaultThatLastsEndsBeforeTheQuietTailAndTheTailIsQuiet) {
  const House house = ExampleHouse();
  const FaultPlanOptions options{.seed = 7, .runMillis = 48 * kHour, .quietMillis = 2 * kHour};
  const std::vector<FaultEvent> plan = MakeFaultPlan(house, options);
  std::map<FaultKind, int> seen;
  int unplugged = 0, burst = 0;
  std::map<uint32_t, int> dead;
  int64_t last = 0;
  for (const FaultEvent& e : plan) {
    EXPECT_GE(e.atMillis, last) << DescribeFault(e);
    last = e.atMillis;
    EXPECT_LE(e.atMillis, options.runMillis - options.quietMillis) << DescribeFault(e);
    ++seen[e.kind];
    const uint32_t key = static_cast<uint32_t>(e.device.b[0] << 16 | e.device.b[1] << 8 | e.device.b[2]);
    if (e.kind == FaultKind::Unplug) ++unplugged;
    if (e.kind == FaultKind::PlugIn) --unplugged;
    if (e.kind == FaultKind::NakBurst || e.kind == FaultKind::NoisyLine) ++burst;
    if (e.kind == FaultKind::LineClear) --burst;
    if (e.kind == FaultKind::DeviceDies) ++dead[key];
    if (e.kind == FaultKind::DeviceReturns) --dead[key];
    if (e.kind == FaultKind::SleeperWakes) {
      EXPECT_TRUE(e.device.b[2] == 0x08 || e.device.b[2] == 0x09 || e.device.b[2] == 0x0f) << DescribeFault(e);
    }
  }
  EXPECT_EQ(unplugged, 0);
  EXPECT_EQ(burst, 0);
  for (const auto& [device, n] : dead) EXPECT_EQ(n, 0) << device;
  // Two days hold every kind of fault.
  for (FaultKind kind : {FaultKind::NakBurst, FaultKind::NoisyLine, FaultKind::DeviceDies, FaultKind::SleeperWakes,
                         FaultKind::Press, FaultKind::Unplug, FaultKind::CrashAtSave, FaultKind::DiskFull,
                         FaultKind::ClockJump, FaultKind::DaylightSaving}) {
    EXPECT_GT(seen[kind], 0) << static_cast<int>(kind);
  }
}

TEST(FaultPlan, TheNetworkSideOfEachFault) {
  TestClock clock;
  House house = ExampleHouse();
  const Faults houseFaults = house.faults;
  SimNetwork net(clock, std::move(house));
  SimPort port(net, 1);
  ASSERT_TRUE(port.Open(1));
  const InsteonId lamp = InsteonId::From(0x2a, 0x10, 0x06);

  FaultEvent e;
  e.kind = FaultKind::DeviceDies;
  e.device = lamp;
  EXPECT_TRUE(ApplyToNetwork(e, net, port, houseFaults));
  EXPECT_TRUE(net.Device(lamp)->deaf);
  e.kind = FaultKind::DeviceReturns;
  ApplyToNetwork(e, net, port, houseFaults);
  EXPECT_FALSE(net.Device(lamp)->deaf);

  e.kind = FaultKind::NakBurst;
  e.chance = 0.5;
  ApplyToNetwork(e, net, port, houseFaults);
  EXPECT_DOUBLE_EQ(net.CurrentFaults().busyNak, 0.5);
  e.kind = FaultKind::LineClear;
  ApplyToNetwork(e, net, port, houseFaults);
  EXPECT_DOUBLE_EQ(net.CurrentFaults().busyNak, houseFaults.busyNak);

  e.kind = FaultKind::Unplug;
  ApplyToNetwork(e, net, port, houseFaults);
  uint8_t buf[4];
  size_t got = 0;
  EXPECT_EQ(port.Read(buf, sizeof buf, got), IoStatus::Gone);
  port.Close();
  EXPECT_FALSE(port.Open(1));
  e.kind = FaultKind::PlugIn;
  ApplyToNetwork(e, net, port, houseFaults);
  EXPECT_TRUE(port.Open(1));

  // Files and the clock are the program side's.
  for (FaultKind kind : {FaultKind::CrashAtSave, FaultKind::DiskFull, FaultKind::ClockJump, FaultKind::DaylightSaving}) {
    e.kind = kind;
    EXPECT_FALSE(ApplyToNetwork(e, net, port, houseFaults)) << static_cast<int>(kind);
  }
}

}  // namespace
}  // namespace quorvel::sim

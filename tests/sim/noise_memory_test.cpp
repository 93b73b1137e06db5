// An hour of a noisy line against the simulated house: bytes lost, changed and
// refused on the modem's side, stray bytes slipped in on the port, and people
// pressing buttons. Once the log channels are full the program's heap, by the
// allocator's own accounting, stays where it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "config/config_files.h"
#include "engine/context.h"
#include "engine/link_watch.h"
#include "engine/main_tick.h"
#include "engine/network_engine.h"
#include "sim/house_file.h"
#include "sim/sim_network.h"
#include "sim/sim_port.h"
#include "sim/sim_random.h"
#include "support/heap_in_use.h"
#include "support/test_rig.h"

namespace quorvel {
namespace {

// The port with stray bytes slipped into what it reads, a few per read.
class StrayBytesPort final : public SerialPort {
 public:
  StrayBytesPort(SerialPort& inner, uint32_t mostPerRead) : inner_(inner), most_(mostPerRead) {}
  bool Open(int n) override { return inner_.Open(n); }
  void Close() override { inner_.Close(); }
  bool IsOpen() const override { return inner_.IsOpen(); }
  int Available() override { return inner_.Available(); }
  IoStatus Read(uint8_t* buf, size_t max, size_t& got) override {
    const size_t stray = std::min<size_t>(random_.Below(most_ + 1), max / 2);
    const IoStatus status = inner_.Read(buf, max - stray, got);
    if (status != IoStatus::Ok) return status;
    for (size_t i = 0; i < stray; ++i) buf[got++] = static_cast<uint8_t>(random_.Below(256));
    return status;
  }
  IoStatus WriteByte(uint8_t b) override { return inner_.WriteByte(b); }
  std::string PortName(int n) const override { return inner_.PortName(n); }

 private:
  SerialPort& inner_;
  uint32_t most_;
  sim::SimRandom random_{19};
};

TEST(NoisyLine, HeapStaysFlatForAnHour) {
  sim::House house;
  std::string error;
  ASSERT_TRUE(sim::LoadHouseFile(std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt", house, error))
      << error;
  TestClock clock{1300000000};
  sim::SimNetwork net(clock, std::move(house));
  net.SetFaults(sim::Faults{.busyNak = 0.02, .dropByte = 0.005, .garbleByte = 0.005, .seed = 7});
  sim::SimPort simPort(net, 1);
  StrayBytesPort port(simPort, 40);
  testing::MemoryFileSystem files;
  testing::RecordingNotifier notifier;
  auto ctx = std::make_unique<Context>(clock, port, files, notifier);
  Silence(ctx->diagnostics);
  ctx->options.comPort = 1;
  WireConfigFiles(*ctx);
  WireLinkWatch(*ctx);
  WireEngine(*ctx);

  const InsteonId switches[] = {InsteonId::From(0x2a, 0x10, 0x01), InsteonId::From(0x2a, 0x10, 0x04),
                                InsteonId::From(0x2a, 0x10, 0x05)};
  constexpr int kTicksPerMinute = 60 * 1000 / 160;
  auto runMinute = [&](int minute) {
    for (int t = 0; t < kTicksPerMinute; ++t) {
      if (t % 125 == 0) net.Press(switches[(minute + t) % 3], 1, (t / 125) % 2 == 0 ? 0x11 : 0x13);
      RunMainTick(*ctx);
      clock.AdvanceMillis(160);
    }
  };

  // Warm up: the modem found and read, the channels filled to their limits.
  const LogChannel limited[] = {LogChannel::GeneralActivity, LogChannel::InsteonTraffic, LogChannel::OnLog};
  auto full = [&] {
    return std::all_of(std::begin(limited), std::end(limited), [&](LogChannel c) { return ctx->log.Dropped(c) > 0; });
  };
  int minute = 0;
  while (minute < 600 && !full()) runMinute(minute++);
  ASSERT_TRUE(full()) << "the channels never filled";
  ASSERT_EQ(ctx->engine.engineState, kEngineSteady);

  testing::HeapPeak peak;
  for (const int end = minute + 60; minute < end; ++minute) {
    runMinute(minute);
    peak.Sample();
  }
  EXPECT_LT(peak.Growth(), 16u * 1024) << "the heap grew under the noise";
}

}  // namespace
}  // namespace quorvel

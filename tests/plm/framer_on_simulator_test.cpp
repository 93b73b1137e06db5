// The framer on the simulated modem's own stream: every frame the modem sends
// up while the program starts, reads the modem's table, identifies the devices
// and reads their link tables comes out as exactly that frame, and nothing is
// skipped. The same holds for the clean captures kept as fuzz seeds.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/context.h"
#include "engine/network_engine.h"
#include "plm/serial_link.h"
#include "sim/house_file.h"
#include "sim/sim_network.h"
#include "sim/sim_port.h"
#include "support/test_rig.h"
#include "tools/memory_port.h"
#include "tools/no_files.h"

namespace quorvel {
namespace {

// The Insteon Traffic lines without their time stamps.
class TrafficLines final : public LogSink {
 public:
  void OnLine(const LogLine& line) override {
    if (line.channel != LogChannel::InsteonTraffic) return;
    const std::string_view text = line.text;
    const size_t bar = text.find("|   ");
    lines.emplace_back(bar == std::string_view::npos ? text : text.substr(bar + 4));
  }
  std::vector<std::string> lines;
};

TEST(FramerOnSimulator, EveryFrameTheModemSendsIsFramedAsSent) {
  sim::House house;
  std::string error;
  ASSERT_TRUE(sim::LoadHouseFile(std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt", house, error))
      << error;
  TestClock clock{1300000000};
  sim::SimNetwork net(clock, std::move(house));
  sim::SimPort port(net, 1);
  testing::MemoryFileSystem files;
  testing::RecordingNotifier notifier;
  auto ctx = std::make_unique<Context>(clock, port, files, notifier);
  Silence(ctx->diagnostics);
  ctx->options.comPort = 1;

  std::vector<std::string> sent;
  static const std::string kToHost = "to host  ";
  net.trace = [&sent](const std::string& line) {
    if (line.compare(0, kToHost.size(), kToHost) == 0) sent.push_back(line.substr(kToHost.size()));
  };
  TrafficLines traffic;
  ctx->log.AddSink(&traffic);

  // Forty virtual minutes: start-up, the modem's table, then polling with
  // identity, status and link-table reads of every device.
  for (int tick = 0; tick < 40 * 60 * 1000 / 160; ++tick) {
    PortSearch(*ctx);
    if (ctx->framer.PumpReceive(*ctx)) ctx->tick.lastReceiveTime = clock.Now();
    EngineStep(*ctx);
    clock.AdvanceMillis(160);
  }
  ctx->log.RemoveSink(&traffic);

  ASSERT_EQ(ctx->engine.engineState, kEngineSteady);
  // The stream holds every kind of echo the program's work brings.
  for (const char* code : {" 02 60", " 02 62", " 02 69", " 02 6A", " 02 6B", " 02 73", " 02 50", " 02 51", " 02 57"}) {
    bool seen = false;
    for (const std::string& s : sent) seen = seen || s.compare(0, 6, code) == 0;
    EXPECT_TRUE(seen) << code << " never came";
  }
  EXPECT_GT(sent.size(), 200u);
  EXPECT_EQ(traffic.lines, sent);
}

// The seeds hold the modem's bytes after a few bytes of the target's own
// settings, the first of which picks the size of each read.
TEST(FramerOnSimulator, TheCleanSeedCapturesFrameWithoutASkippedByte) {
  struct Seed {
    const char* path;
    size_t settings;
  };
  const Seed seeds[] = {
      {"framer/link_table_read", 2},        {"framer/standard_one_byte_reads", 2},
      {"receive_path/link_tables", 3},      {"receive_path/modem_table_read", 3},
      {"receive_path/modem_table_read_bytewise", 3}, {"receive_path/polling", 3},
      {"receive_path/presses_and_linking", 3},
  };
  for (const Seed& seed : seeds) {
    SCOPED_TRACE(seed.path);
    std::ifstream file(std::string(QUORVEL_SOURCE_DIR) + "/fuzz/corpus/" + seed.path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), seed.settings);
    TestClock clock;
    tools::MemoryPort port;
    tools::NoFiles files;
    NullNotifier notifier;
    auto ctx = std::make_unique<Context>(clock, port, files, notifier);
    Silence(ctx->diagnostics);
    TrafficLines traffic;
    ctx->log.AddSink(&traffic);
    port.SetReadChunk(bytes[0] % kReceiveReadMax + 1);
    port.Load(bytes.data() + seed.settings, bytes.size() - seed.settings);
    while (port.Pending() > 0) ctx->framer.PumpReceive(*ctx);
    ctx->log.RemoveSink(&traffic);
    ASSERT_FALSE(traffic.lines.empty());
    for (const std::string& line : traffic.lines) EXPECT_EQ(line.front(), ' ') << line;
  }
}

}  // namespace
}  // namespace quorvel

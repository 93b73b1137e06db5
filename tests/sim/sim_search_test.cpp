// The program's modem search against the simulated modem, end to end in
// virtual time: the link opens ports, the receive side frames the modem's
// answer, the incoming handling takes its identity, and the search keeps the
// port that answered.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/context.h"
#include "sim/house_file.h"
#include "sim/sim_network.h"
#include "sim/sim_port.h"
#include "support/test_rig.h"

namespace quorvel::sim {
namespace {

class SearchAgainstSimulator : public ::testing::Test {
 protected:
  void SetUp() override {
    House house;
    std::string error;
    ASSERT_TRUE(LoadHouseFile(std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt", house, error))
        << error;
    net_ = std::make_unique<SimNetwork>(clock_, std::move(house));
    port_ = std::make_unique<SimPort>(*net_, 5);
    ctx_ = std::make_unique<Context>(clock_, *port_, files_, notifier_);
    Silence(ctx_->diagnostics);
    ctx_->framer.handler = &ctx_->incoming;
    ctx_->options.comPort = 3;
  }
  // What the main tick does first: the search, then the receive pump.
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) {
      PortSearch(*ctx_);
      ctx_->framer.PumpReceive(*ctx_);
      clock_.AdvanceMillis(160);
    }
  }
  std::vector<std::string> Activity() const {
    std::vector<std::string> out;
    for (const LogLine& line : ctx_->log.Lines(LogChannel::GeneralActivity)) {
      const size_t bar = line.text.find("|   ");
      out.push_back(bar == std::string::npos ? line.text : line.text.substr(bar + 4));
    }
    return out;
  }
  // True when `want` appears in `lines` in this order, other lines between.
  static bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& want) {
    size_t at = 0;
    for (const std::string& line : lines) {
      if (at < want.size() && line == want[at]) ++at;
    }
    return at == want.size();
  }

  TestClock clock_;
  std::unique_ptr<SimNetwork> net_;
  std::unique_ptr<SimPort> port_;
  testing::MemoryFileSystem files_;
  testing::RecordingNotifier notifier_;
  std::unique_ptr<Context> ctx_;
};

TEST_F(SearchAgainstSimulator, FindsTheModemAndLogsItsIdentityOnce) {
  Ticks(80);
  const std::vector<std::string> lines = Activity();
  EXPECT_TRUE(InOrder(lines, {"Serial Port On 3 : Fail", "Serial Port On 4 : Fail", "Serial Port On 5 : Open",
                              "Searching for Power Line Modem #2413U,2412S,2412U",
                              "1e.65.a2   PLM 2413U  FirmWare 9.e"}))
      << ::testing::PrintToString(lines);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "1e.65.a2   PLM 2413U  FirmWare 9.e"), 1);
  EXPECT_TRUE(port_->IsOpen());
  EXPECT_EQ(ctx_->options.comPort, 5);
  EXPECT_EQ(ctx_->db.plm.plmFound, 1);
  EXPECT_EQ(ctx_->db.plm.plmId, InsteonId::From(0x1e, 0x65, 0xa2));
}

TEST_F(SearchAgainstSimulator, FindsItAgainAfterTheAdapterIsPulledAndPluggedBackIn) {
  Ticks(80);
  ASSERT_TRUE(port_->IsOpen());
  port_->Unplug();
  Ticks(3);
  EXPECT_FALSE(port_->IsOpen());
  const std::vector<std::string> gone = Activity();
  EXPECT_EQ(std::count(gone.begin(), gone.end(), "Serial Port On 5 : Device gone, searching again"), 1);
  Ticks(30);
  EXPECT_FALSE(port_->IsOpen()) << "nothing to open while unplugged";
  port_->PlugIn();
  // The search has walked on meanwhile; it comes round to port 5 again.
  Ticks(250);
  EXPECT_TRUE(port_->IsOpen());
  const std::vector<std::string> lines = Activity();
  EXPECT_TRUE(InOrder(lines, {"Serial Port On 5 : Open", "1e.65.a2   PLM 2413U  FirmWare 9.e"}))
      << ::testing::PrintToString(lines);
  EXPECT_EQ(ctx_->options.comPort, 5);
}

}  // namespace
}  // namespace quorvel::sim

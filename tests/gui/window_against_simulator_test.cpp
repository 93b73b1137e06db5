// The whole window against the simulated modem in this process, in virtual
// time: the view's tick runs the modem search, the modem answers, and the
// Output pane and the connection indicator show what happened.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <memory>
#include <string>
#include <vector>

#include "app/main_frame.h"
#include "app/orvo_app.h"
#include "app/orvo_view.h"
#include "app/qt_notifier.h"
#include "engine/context.h"
#include "engine/link_watch.h"
#include "engine/network_engine.h"
#include "engine/run_summary.h"
#include "plm/serial_link.h"
#include "gui_rig.h"
#include "sim/house_file.h"
#include "sim/sim_network.h"
#include "sim/sim_port.h"
#include "support/memory_file_system.h"
#include "views/log_views/output_pane.h"
#include "views/log_views/trace_list_view.h"

namespace quorvel {
namespace {

struct SimWindowRig {
  SimWindowRig() {
    sim::House house;
    std::string error;
    EXPECT_TRUE(sim::LoadHouseFile(std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt", house, error))
        << error;
    net = std::make_unique<sim::SimNetwork>(clock, std::move(house));
    port = std::make_unique<sim::SimPort>(*net, 2);
    notifier.modalMessages = false;
    ctx = std::make_unique<Context>(clock, *port, files, notifier);
    Silence(ctx->diagnostics);
    // The engine and Link Watch in the tick, as the program wires them.
    WireLinkWatch(*ctx);
    WireEngine(*ctx);
    app = std::make_unique<COrvoApp>(*ctx, notifier);
    app->Start([this] { Tick(); }, false);
  }
  ~SimWindowRig() {
    app.reset();
    ctx.reset();
  }
  // One tick of the program, then 160 ms of virtual time.
  void Tick() {
    RunMainTick(*ctx);
    clock.AdvanceMillis(kTickMillis);
  }
  // Lines of a pane's tab, time stamps cut off.
  std::vector<std::string> Shown(LogChannel channel) {
    std::vector<std::string> out;
    const TraceList& list = app->Frame()->OutputPane()->TraceView(channel)->Model();
    for (int i = 0; i < list.Count(); ++i) {
      const std::string text = list.Row(i).Text();
      const size_t bar = text.find("|   ");
      out.push_back(bar == std::string::npos ? text : text.substr(bar + 4));
    }
    return out;
  }

  TestClock clock;
  std::unique_ptr<sim::SimNetwork> net;
  std::unique_ptr<sim::SimPort> port;
  testing::MemoryFileSystem files;
  QtNotifier notifier;
  std::unique_ptr<Context> ctx;
  std::unique_ptr<COrvoApp> app;
};

bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& want) {
  size_t at = 0;
  for (const std::string& line : lines)
    if (at < want.size() && line == want[at]) ++at;
  return at == want.size();
}

TEST(WindowAgainstSimulator, OutputPaneShowsTheModemSearchAndItsIdentity) {
  testing::ClearSettings();
  SimWindowRig rig;
  COrvoView& view = *rig.app->View();
  for (int i = 0; i < 120; ++i) view.TickNow();
  QCoreApplication::processEvents();

  const std::vector<std::string> lines = rig.Shown(LogChannel::GeneralActivity);
  EXPECT_TRUE(InOrder(lines, {"Serial Port On 1 : Fail", "Serial Port On 2 : Open",
                              "Searching for Power Line Modem #2413U,2412S,2412U",
                              "1e.65.a2   PLM 2413U  FirmWare 9.e"}))
      << ::testing::PrintToString(lines);
  EXPECT_EQ(rig.app->Frame()->ConnectionImage(), kConnectedImage);
  EXPECT_FALSE(rig.Shown(LogChannel::InsteonTraffic).empty()) << "the modem's frames show in Insteon Traffic";
}

// The status bar's message pane, as the user reads it.
std::string StatusLine(COrvoApp& app) {
  QCoreApplication::processEvents();
  return app.Frame()->StatusText()->text().toStdString();
}

TEST(WindowAgainstSimulator, TheStatusBarSaysHowFarLearningTheHouseHasCome) {
  testing::ClearSettings();
  SimWindowRig rig;
  COrvoView& view = *rig.app->View();
  view.TickNow();
  EXPECT_EQ(StatusLine(*rig.app), kProgressSearching);
  // On through the modem's table until a few devices are identified and read.
  int ticks = 0;
  bool sawModemTable = false;
  for (; ticks < 20000; ++ticks) {
    view.TickNow();
    sawModemTable |= StatusLine(*rig.app).rfind("Reading the modem's link table: ", 0) == 0;
    const NetworkCensus c = TakeCensus(*rig.ctx);
    if (c.identified >= 3 && c.linkTablesRead >= 1) break;
  }
  ASSERT_LT(ticks, 20000) << "three devices were never identified";
  EXPECT_TRUE(sawModemTable) << "the read of the modem's table showed";
  const NetworkCensus c = TakeCensus(*rig.ctx);
  ASSERT_GT(c.devices, c.identified) << "the house is still being learned";
  const std::string line = StatusLine(*rig.app);
  const std::string counts = " - " + std::to_string(c.identified) + " of " + std::to_string(c.devices) +
                             " devices identified, " + std::to_string(c.linkTablesRead) + " link table" +
                             (c.linkTablesRead == 1 ? "" : "s") + " read";
  EXPECT_NE(line.find(counts), std::string::npos) << line;
  EXPECT_EQ(line, ProgressText(*rig.ctx));
  EXPECT_EQ(line.find("Idle"), std::string::npos) << "learning is not idling: " << line;
}

TEST(WindowAgainstSimulator, NoModemIsSaidOnceAfterAWholeSearch) {
  testing::ClearSettings();
  testing::GuiRig rig;  // a fake port on which nothing opens
  rig.ctx->options.comPort = 1;
  rig.app->Start(
      [&] {
        RunMainTick(*rig.ctx);
        rig.clock.AdvanceMillis(kTickMillis);
      },
      false);
  COrvoView& view = *rig.app->View();
  const TraceList& activity = rig.Frame().OutputPane()->TraceView(LogChannel::GeneralActivity)->Model();
  auto hints = [&] {
    int n = 0;
    for (int i = 0; i < activity.Count(); ++i) n += activity.Row(i).Text().find(kNoModemText) != std::string::npos;
    return n;
  };
  // Ports 1..16 fail one after another, the first on the sixth tick, then every 11.
  for (int i = 0; i < 6 + 11 * 15 - 1; ++i) view.TickNow();
  EXPECT_EQ(hints(), 0);
  EXPECT_EQ(StatusLine(*rig.app), kProgressSearching);
  view.TickNow();
  EXPECT_EQ(hints(), 1);
  EXPECT_EQ(StatusLine(*rig.app), kNoModemText);
  for (int i = 0; i < 600; ++i) view.TickNow();
  EXPECT_EQ(hints(), 1) << "said once, not with every port";
  EXPECT_EQ(StatusLine(*rig.app), kNoModemText);
  EXPECT_GT(rig.port.OpenAttempts().size(), 40u) << "the search goes on";
}

}  // namespace
}  // namespace quorvel

#pragma once
// The whole program against the example house simulated in this process, in
// virtual time: the engine, Link Watch and the configuration files wired as the
// program wires them, the files on an in-memory disk that a second rig can
// start from, and the window built but not shown. The view's timer is stopped;
// a test moves the program one 160 ms tick at a time.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/main_frame.h"
#include "app/orvo_app.h"
#include "app/orvo_view.h"
#include "app/qt_notifier.h"
#include "engine/context.h"
#include "engine/link_watch.h"
#include "engine/network_engine.h"
#include "sim/house_file.h"
#include "sim/sim_network.h"
#include "sim/sim_port.h"
#include "support/memory_file_system.h"
#include "views/device_setup/wnd_device_controls.h"
#include "views/link_views/device_list_pane.h"

namespace quorvel::testing {

inline sim::House ExampleHouseForWindow() {
  sim::House house;
  std::string error;
  EXPECT_TRUE(sim::LoadHouseFile(std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt", house, error))
      << error;
  return house;
}

class HouseWindowRig {
 public:
  // A disk from an earlier rig may be handed in: the second start of the program.
  explicit HouseWindowRig(MemoryFileSystem* disk = nullptr, sim::House house = ExampleHouseForWindow())
      : files(disk != nullptr ? disk : &ownFiles) {
    net = std::make_unique<sim::SimNetwork>(clock, std::move(house));
    port = std::make_unique<sim::SimPort>(*net, 1);
    port->PinToModemPort();
    notifier.modalMessages = false;
    ctx = std::make_unique<Context>(clock, *port, *files, notifier);
    Silence(ctx->diagnostics);
    app = std::make_unique<COrvoApp>(*ctx, notifier);
    app->Start([this] {
      RunMainTick(*ctx);
      clock.AdvanceMillis(kTickMillis);
    }, false);
    WireLinkWatch(*ctx);
    WireEngine(*ctx);
    app->View()->Timer().stop();
  }
  ~HouseWindowRig() {
    app.reset();
    ctx.reset();
  }

  void Tick() { app->View()->TickNow(); }
  // Ticks until done() holds, at most `limit` ticks.
  bool TickUntil(const std::function<bool()>& done, int limit) {
    for (int i = 0; i < limit; ++i) {
      if (done()) return true;
      Tick();
    }
    QApplication::processEvents();
    return done();
  }
  // The modem's table read and the stored details merged.
  bool ReadTheHouse() {
    return TickUntil([this] { return (ctx->db.dbFlags & kDbMerged) != 0 && ctx->engine.engineState >= kEngineSteady; },
                     4000);
  }

  CTreeCtrl_PLM_ALDB& Tree() { return *app->Frame()->DeviceListPane()->Tree(); }
  WndDeviceControls& Setup() { return *app->Refs().deviceSetup; }
  sim::SimDevice& Sim(const InsteonId& id) { return *net->Device(id); }

  TestClock clock{1300000000};
  MemoryFileSystem ownFiles;
  MemoryFileSystem* files;
  std::unique_ptr<sim::SimNetwork> net;
  std::unique_ptr<sim::SimPort> port;
  QtNotifier notifier;
  std::unique_ptr<Context> ctx;
  std::unique_ptr<COrvoApp> app;
};

// Answers the next OK/Cancel box that opens with `button`, while its own loop runs.
inline void AnswerNextBox(QMessageBox::StandardButton button) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, button] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    timer->stop();
    timer->deleteLater();
    box->button(button)->click();
  });
  timer->start();
}

}  // namespace quorvel::testing

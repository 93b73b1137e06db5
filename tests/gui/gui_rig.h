#pragma once
// A whole program for a test: the context over a virtual clock, a fake port and
// an in-memory disk, with the window's notifier, and the application that
// brings up the frame, the panes and the view without showing them.
#include <QCoreApplication>
#include <QSettings>
#include <memory>
#include <string>

#include "app/main_frame.h"
#include "app/orvo_app.h"
#include "app/qt_notifier.h"
#include "config/config_files.h"
#include "engine/context.h"
#include "support/fake_serial_port.h"
#include "support/memory_file_system.h"

namespace quorvel::testing {

struct GuiRig {
  // Files from an earlier run may be handed in, to start a second time.
  explicit GuiRig(MemoryFileSystem* disk = nullptr) : files(disk != nullptr ? disk : &ownFiles) {
    notifier.modalMessages = false;
    ctx = std::make_unique<Context>(clock, port, *files, notifier);
    Silence(ctx->diagnostics);
    app = std::make_unique<COrvoApp>(*ctx, notifier);
  }
  ~GuiRig() {
    app.reset();
    ctx.reset();
  }
  // Hidden unless a test clicks at positions, which needs the laid-out window.
  void Start(bool show = false) {
    app->Start([this] { ++ticks; }, show);
    QCoreApplication::processEvents();
  }
  CMainFrame& Frame() { return *app->Frame(); }
  std::string ConfigPath(const char* name) const {
    return std::string(MemoryFileSystem::kDefaultAppData) + "/" + kConfigSubfolder + "/" + name;
  }

  TestClock clock;
  FakeSerialPort port;
  MemoryFileSystem ownFiles;
  MemoryFileSystem* files;
  QtNotifier notifier;
  std::unique_ptr<Context> ctx;
  std::unique_ptr<COrvoApp> app;
  int ticks = 0;
};

// Settings as at a first start.
inline void ClearSettings() { QSettings(kSettingsCompany, kSettingsProgram).clear(); }

}  // namespace quorvel::testing

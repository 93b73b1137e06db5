#pragma once
// The main view: a tab control along its bottom edge holding the four big
// working windows, and the 160 ms timer that drives the whole program.
#include <QTimer>
#include <QWidget>
#include <functional>

#include "engine/main_tick.h"

class QTabWidget;

namespace quorvel {

struct Context;
struct WindowRefs;

inline constexpr char kTabDeviceSetup[] = "Device Setup";
inline constexpr char kTabControllerSetup[] = "Controller Setup";
inline constexpr char kTabTimeEvents[] = "Time Events";
inline constexpr char kTabLogicEvents[] = "Logic Events";

class COrvoView : public QWidget {
 public:
  COrvoView(Context& ctx, WindowRefs& refs, QWidget* parent = nullptr);
  ~COrvoView() override;

  // Makes the four tab windows, activates the first tab and starts the timer,
  // which calls `tick` every 160 ms.
  void InitialUpdate(std::function<void()> tick);
  // Stops the timer and closes the modem's port: the first step of shutdown.
  void Shutdown();

  QTabWidget* Tabs() const { return tabs_; }
  QTimer& Timer() { return timer_; }
  // What the timer does every 160 ms; tests call it in virtual time.
  void TickNow();
  // What releasing the mouse over tab `tab` does: the panes shown beside it.
  void ActivateTab(int tab);
  // "New device": the modem selected in the device tree, on the device setup tab.
  void NewDevice();

  // The device tree's part of tab activation and "New device"; set by the
  // device list once it exists.
  std::function<void()> treeReselect;
  std::function<void()> treeSelectRoot;
  std::function<void()> controllerRefresh;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  Context& ctx_;
  WindowRefs& refs_;
  QTabWidget* tabs_ = nullptr;
  QTimer timer_;
  std::function<void()> tick_;
  bool busyCursor_ = false;
};

}  // namespace quorvel

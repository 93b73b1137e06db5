#pragma once
// The pictures `scripts/screenshot --all` asks for: one per tab of the view
// (the event tabs with a few sample events listed when none are stored), one
// per dock pane, the widgets dialog, the Device Setup tab with the modem, a
// dimmer and a keypad selected, and the Controller Setup tab with that keypad
// and that dimmer shown (their link tables, and those of the devices they
// switch, read first within a bound), so that every window can be looked at
// without a display.
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "device/device_record.h"

namespace quorvel {

struct Context;
class COrvoApp;

class ScreenshotTour : public QObject {
 public:
  // Waits at most `waitMillis` for the chosen devices' link tables; `done`
  // is called once every picture is written (false when one could not be).
  ScreenshotTour(COrvoApp& app, Context& ctx, std::string folder, int64_t waitMillis, std::function<void(bool)> done);
  void Start();

 private:
  void Poll();
  void Shoot();
  bool Save(QWidget* widget, const char* name);

  COrvoApp& app_;
  Context& ctx_;
  std::string folder_;
  int64_t waitMillis_;
  std::function<void(bool)> done_;
  QTimer timer_;
  std::chrono::steady_clock::time_point started_;
  DeviceKey dimmer_ = 0;
  DeviceKey keypad_ = 0;
  // The devices the keypad's and the dimmer's buttons switch, once their tables are known.
  std::vector<DeviceKey> responders_;
  int polls_ = 0;
};

}  // namespace quorvel

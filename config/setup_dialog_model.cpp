#include "config/setup_dialog_model.h"

#include <cstdio>

#include "config/options.h"
#include "platform/bytes.h"

namespace quorvel {

void SetupDialogModel::ShowConnection(bool connected) {
  controls.connectButton = connected ? "Dis-Connect" : "Connect";
}

void SetupDialogModel::ShowSunTimes() {
  const SunClock sun = host_.SunTimes();
  char text[96];
  std::snprintf(text, sizeof text, "Sunrise %d:%02d, Sunset %d:%02d", sun.sunriseHour, sun.sunriseMinute,
                sun.sunsetHour, sun.sunsetMinute);
  controls.sunLabel = text;
}

void SetupDialogModel::ShowSwitches() {
  controls.discovery = (options_.runFlags & kRunDiscovery) != 0;
  controls.linkWatchRepair = (options_.runFlags & kRunLinkWatchRepair) != 0;
  controls.timerEvents = (options_.runFlags & kRunTimerEvents) != 0;
  controls.logicEvents = (options_.runFlags & kRunLogicEvents) != 0;
}

void SetupDialogModel::Open() {
  const bool open = host_.PortIsOpen();
  ShowConnection(open);
  controls.portLabel =
      (open ? "Connected using Serial Port " : "Serial Port ") + std::to_string(options_.comPort);
  ShowSunTimes();
  controls.timeZoneLabel = TimeZoneLabel(options_);
  controls.latitude = std::string(FixedText(options_.latitude));
  controls.longitude = std::string(FixedText(options_.longitude));
  const int row = options_.timeZoneIndex;
  controls.timeZoneRow = row >= 0 && row < kTimeZoneRows ? row : -1;
  controls.forcePort = options_.forcePort != 0;
  controls.firstFoundPort = !controls.forcePort;
  controls.portNumber = std::to_string(options_.forcedPortNumber);
  ShowSwitches();
}

void SetupDialogModel::PressConnect() {
  if (host_.PortIsOpen()) {
    host_.ClosePort();
    options_.userDisconnect = 1;
    host_.SetConnectionIndicator(false);
    ShowConnection(false);
  } else {
    // The port search opens the port again on its next attempt.
    host_.SetConnectionIndicator(true);
    options_.userDisconnect = 0;
    ShowConnection(true);
  }
}

void SetupDialogModel::SelectTimeZone(int row) {
  controls.timeZoneRow = row;
  StoreTimeZone(options_, row);
  controls.timeZoneLabel = TimeZoneLabel(options_);
  host_.RefreshSunTimes();
  ShowSunTimes();
}

void SetupDialogModel::PressRefreshDisplay() {
  CopyFixedText(options_.latitude, controls.latitude);
  CopyFixedText(options_.longitude, controls.longitude);
  StoreTimeZone(options_, controls.timeZoneRow);
  controls.timeZoneLabel = TimeZoneLabel(options_);
  host_.RefreshSunTimes();
  ShowSunTimes();
}

void SetupDialogModel::ClickSwitch(uint8_t bit) {
  // Only the four switches have boxes; the marker bits are not the user's.
  options_.runFlags ^= bit & (kRunDiscovery | kRunLinkWatchRepair | kRunTimerEvents | kRunLogicEvents);
  ShowSwitches();
}

void SetupDialogModel::ChooseForcePort(bool force) {
  controls.forcePort = force;
  controls.firstFoundPort = !force;
}

void SetupDialogModel::PressOk() {
  CopyFixedText(options_.latitude, controls.latitude);
  CopyFixedText(options_.longitude, controls.longitude);
  options_.forcePort = controls.forcePort ? 1 : 0;
  options_.forcedPortNumber = ParsePortNumber(controls.portNumber);
  StoreTimeZone(options_, controls.timeZoneRow);
}

uint32_t ParsePortNumber(const std::string& text) {
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > UINT32_MAX) return UINT32_MAX;  // more digits than the field holds
  }
  return static_cast<uint32_t>(value);
}

}  // namespace quorvel

#include "config/setup_dialog_model.h"

#include <cmath>
#include <cstdio>

#include "automation/sun_times.h"
#include "config/options.h"
#include "platform/bytes.h"

namespace quorvel {

namespace {

// Whether a coordinate text starts as a number does: blanks, a sign, then a
// digit or a point and a digit. Such a text that does not read as a finite
// float is a number too large to be one.
bool BeginsWithNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  if (i < text.size() && text[i] == '.') ++i;
  return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

// The text as the field would store it (cut to 9 characters), when it reads as
// a number outside -limit..limit; empty when it may be stored.
std::string OutOfRange(const std::string& typed, double limit) {
  char field[kCoordinateWidth];
  CopyFixedText(field, typed);
  const std::string_view text = FixedText(field);
  if (!BeginsWithNumber(text)) return {};  // no number: the sun times say "bad ... format"
  const std::optional<float> value = ParseCoordinate(text);
  if (value && std::fabs(*value) <= limit) return {};
  return std::string(text);
}

}  // namespace

void SetupDialogModel::ShowConnection(bool connected) {
  controls.connectButton = connected ? kDisconnectText : kConnectText;
}

void SetupDialogModel::ShowPortLabel(bool open) {
  controls.portLabel = (open ? "Connected using Serial Port " : "Serial Port ") + std::to_string(options_.comPort);
  controls.portProblem = open ? std::string() : host_.PortProblem();
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
  ShowPortLabel(open);
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

  controls.devices.clear();
  controls.devices.push_back({kSearchEveryPortText, ""});
  for (const SerialChoice& c : host_.SerialDevices()) {
    if (!c.path.empty()) controls.devices.push_back(c);
  }
  openedDevice_ = host_.ChosenSerialDevice();
  controls.deviceRow = 0;
  for (size_t i = 1; i < controls.devices.size() && !openedDevice_.empty(); ++i) {
    if (controls.devices[i].path == openedDevice_) controls.deviceRow = static_cast<int>(i);
  }
  if (!openedDevice_.empty() && controls.deviceRow == 0) {
    // Unplugged, or a device no list has (the simulator's terminal): still the choice.
    char label[600];
    std::snprintf(label, sizeof label, kDeviceAbsentText, openedDevice_.c_str());
    controls.devices.push_back({label, openedDevice_});
    controls.deviceRow = static_cast<int>(controls.devices.size()) - 1;
  }
}

void SetupDialogModel::PressConnect() {
  if (controls.connectButton == kDisconnectText) {
    // Also while the search is between ports: the user wants it to stop.
    if (host_.PortIsOpen()) host_.ClosePort();
    options_.userDisconnect = 1;
    ShowConnection(false);
  } else {
    // The port search opens the port again on its next attempt.
    options_.userDisconnect = 0;
    ShowConnection(true);
  }
  // The lamp shows the port as it is, not as it is hoped to be: the search
  // lights it once it has opened one.
  const bool open = host_.PortIsOpen();
  host_.SetConnectionIndicator(open);
  ShowPortLabel(open);
}

void SetupDialogModel::RefreshConnection() {
  const bool open = host_.PortIsOpen();
  ShowPortLabel(open);
  if (open) {
    ShowConnection(true);
  } else if (options_.userDisconnect != 0) {
    ShowConnection(false);
  }
}

void SetupDialogModel::SelectTimeZone(int row) {
  controls.timeZoneRow = row;
  StoreTimeZone(options_, row);
  controls.timeZoneLabel = TimeZoneLabel(options_);
  host_.RefreshSunTimes();
  ShowSunTimes();
}

bool SetupDialogModel::PressRefreshDisplay() {
  if (!CheckLocation()) return false;
  CopyFixedText(options_.latitude, controls.latitude);
  CopyFixedText(options_.longitude, controls.longitude);
  StoreTimeZone(options_, controls.timeZoneRow);
  controls.timeZoneLabel = TimeZoneLabel(options_);
  host_.RefreshSunTimes();
  ShowSunTimes();
  return true;
}

void SetupDialogModel::ClickSwitch(uint8_t bit) {
  // Only the four switches have boxes; the marker bits are not the user's.
  options_.runFlags ^= bit & (kRunDiscovery | kRunLinkWatchRepair | kRunTimerEvents | kRunLogicEvents);
  ShowSwitches();
}

void SetupDialogModel::SelectSerialDevice(int row) {
  if (row >= 0 && row < static_cast<int>(controls.devices.size())) controls.deviceRow = row;
}

void SetupDialogModel::ChooseForcePort(bool force) {
  controls.forcePort = force;
  controls.firstFoundPort = !force;
}

bool SetupDialogModel::CheckLocation() {
  controls.error.clear();
  controls.errorControl = 0;
  char text[192];
  if (const std::string bad = OutOfRange(controls.latitude, 90.0); !bad.empty()) {
    std::snprintf(text, sizeof text, kLatitudeRefusedText, bad.c_str());
    controls.errorControl = 1002;
  } else if (const std::string badLon = OutOfRange(controls.longitude, 180.0); !badLon.empty()) {
    std::snprintf(text, sizeof text, kLongitudeRefusedText, badLon.c_str());
    controls.errorControl = 1004;
  } else {
    return true;
  }
  controls.error = text;
  return false;
}

bool SetupDialogModel::PressOk() {
  if (!CheckLocation()) return false;
  CopyFixedText(options_.latitude, controls.latitude);
  CopyFixedText(options_.longitude, controls.longitude);
  options_.forcePort = controls.forcePort ? 1 : 0;
  options_.forcedPortNumber = ParsePortNumber(controls.portNumber);
  StoreTimeZone(options_, controls.timeZoneRow);
  const int row = controls.deviceRow;
  const std::string chosen =
      row >= 0 && row < static_cast<int>(controls.devices.size()) ? controls.devices[row].path : std::string();
  // Only a change reaches the port: OK alone must not drop a working connection.
  if (chosen != openedDevice_) host_.ChooseSerialDevice(chosen);
  return true;
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

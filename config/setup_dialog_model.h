#pragma once
// What the Setup dialog does, without the dialog: the window shows these
// controls and forwards the user's actions here, so every effect on the options
// (and which ones survive Cancel) lives in the core.
#include <cstdint>
#include <string>
#include <vector>

#include "config/options_record.h"

namespace quorvel {

// The texts of the connection button (1009).
inline constexpr const char* kConnectText = "Connect";
inline constexpr const char* kDisconnectText = "Dis-Connect";
// A coordinate that reads as a number out of range is refused with these; the
// quoted text is the one that would have been stored.
inline constexpr const char* kLatitudeRefusedText =
    "Latitude \"%s\" is refused: give degrees from -90 to 90, north positive (for example 44.96)";
inline constexpr const char* kLongitudeRefusedText =
    "Longitude \"%s\" is refused: give degrees from -180 to 180, east positive, west negative "
    "(for example -93.10)";

// The first row of the serial device list: no device named, the search walks the ports.
inline constexpr const char* kSearchEveryPortText = "Search the serial ports for the modem";
// A chosen device that is not present now keeps its row, marked so.
inline constexpr const char* kDeviceAbsentText = "%s (not present now)";

// One serial device the user may choose: what the list shows, what is opened.
struct SerialChoice {
  std::string label;
  std::string path;
};

struct SunClock {
  int sunriseHour = 0;
  int sunriseMinute = 0;
  int sunsetHour = 0;
  int sunsetMinute = 0;
};

// The rest of the program as the dialog reaches it: the modem's port, the
// toolbar's connection indicator and the sun times.
class SetupDialogHost {
 public:
  virtual ~SetupDialogHost() = default;
  virtual bool PortIsOpen() = 0;
  virtual void ClosePort() = 0;
  // The connected (image 10) or disconnected (image 12) look.
  virtual void SetConnectionIndicator(bool connected) = 0;
  virtual void RefreshSunTimes() = 0;
  virtual SunClock SunTimes() = 0;
  // The serial devices present; the device the search keeps to now (empty:
  // it walks the ports); and the user's new choice, kept for later runs too.
  virtual std::vector<SerialChoice> SerialDevices() { return {}; }
  virtual std::string ChosenSerialDevice() { return {}; }
  virtual void ChooseSerialDevice(const std::string& path) { (void)path; }
  // Why no port opens (denied to this user, held by another program), while
  // that stands; empty otherwise.
  virtual std::string PortProblem() { return {}; }
};

// The dialog's controls as the window shows them. The window writes the edits,
// the list selection and the radio buttons as the user changes them.
struct SetupControls {
  std::string connectButton;  // 1009
  std::string portLabel;      // 1011
  std::string sunLabel;       // 1008
  std::string timeZoneLabel;  // 1018
  std::string latitude;       // 1002
  std::string longitude;      // 1004
  int timeZoneRow = -1;       // 1000; -1 when the user typed text that is no row
  std::string portNumber;     // 1015
  std::string portProblem;    // under the port label: why the port will not open
  // The serial devices, row 0 the search of every port; `deviceRow` the chosen one.
  std::vector<SerialChoice> devices;
  int deviceRow = 0;
  bool forcePort = false;     // 1016 "Force use of this Serial Port for PLM"
  bool firstFoundPort = true; // 1017 "Use Serial Port with first found PLM"
  bool discovery = false;     // 1045
  bool linkWatchRepair = false;  // 1048
  bool timerEvents = false;   // 1013
  bool logicEvents = false;   // 1047
  // Why the last Refresh Display or OK was refused, and the edit (1002 or
  // 1004) it is about; empty and 0 when it was not.
  std::string error;
  int errorControl = 0;
};

class SetupDialogModel {
 public:
  SetupDialogModel(OptionsRecord& options, SetupDialogHost& host) : options_(options), host_(host) {}

  // Fills the controls from the options as the dialog opens.
  void Open();

  // "Connect" / "Dis-Connect": does what the button says.
  void PressConnect();
  // The port label, and the button where the port decides it, from the port's
  // state now: the search opens and closes the port while the dialog is open.
  void RefreshConnection();
  // A new selection in the time-zone list.
  void SelectTimeZone(int row);
  // Stores the typed coordinates and the time zone and shows the new sun times;
  // false, with nothing stored, when a coordinate is out of range.
  bool PressRefreshDisplay();
  // One of the four run-time switches (a runFlags bit) was clicked; it takes effect at once.
  void ClickSwitch(uint8_t bit);
  void ChooseForcePort(bool force);
  // A row of the serial device list; it takes effect with OK.
  void SelectSerialDevice(int row);
  // Whether the typed coordinates may be stored: a number outside -90..90
  // (latitude) or -180..180 (longitude) is refused, with `controls.error` saying why.
  bool CheckLocation();
  // OK closes the dialog and then takes the edits; the sun times are not
  // recomputed. False, with nothing stored, when CheckLocation refuses.
  bool PressOk();
  // Cancel drops typed texts; what was already done stays done.
  void PressCancel() {}

  SetupControls controls;

 private:
  void ShowConnection(bool connected);
  void ShowPortLabel(bool open);
  void ShowSunTimes();
  void ShowSwitches();

  OptionsRecord& options_;
  SetupDialogHost& host_;
  std::string openedDevice_;  // the device chosen as the dialog opened
};

// The decimal value of the leading digits of a text; 0 when there are none.
uint32_t ParsePortNumber(const std::string& text);

}  // namespace quorvel

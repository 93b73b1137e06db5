#pragma once
// The Setup dialog: location and time zone for the sun times, the modem
// connection and the four run-time switches. A thin window over
// SetupDialogModel, which decides every effect on the options; the window only
// hands it what the user typed and shows what it says.
#include <QDialog>
#include <QTimer>
#include <functional>

#include "config/setup_dialog_model.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quorvel {

struct Context;

inline constexpr char kSetupDialogTitle[] = "Setup";

// The dialog's reach into the running program: the modem link, the sun times,
// and the toolbar's connection indicator (which the main frame owns).
class ContextSetupHost final : public SetupDialogHost {
 public:
  ContextSetupHost(Context& ctx, std::function<void(bool)> indicator)
      : ctx_(ctx), indicator_(std::move(indicator)) {}
  bool PortIsOpen() override;
  void ClosePort() override;
  void SetConnectionIndicator(bool connected) override;
  void RefreshSunTimes() override;
  SunClock SunTimes() override;
  std::vector<SerialChoice> SerialDevices() override;
  std::string ChosenSerialDevice() override;
  void ChooseSerialDevice(const std::string& path) override;
  std::string PortProblem() override;

  // Keeps the user's device choice for later runs (the per-user settings store).
  std::function<void(const std::string&)> storeChoice;

 private:
  Context& ctx_;
  std::function<void(bool)> indicator_;
};

class CSetupDialog : public QDialog {
 public:
  // Fills the controls from the options (the model's Open) as it is made.
  CSetupDialog(SetupDialogModel& model, QWidget* parent = nullptr);

  // OK: closes, then the model takes the edits; a coordinate out of range keeps
  // the dialog open with the reason shown. Cancel: only closes.
  void accept() override;
  void reject() override;
  // The connection button and label from the port as it is now; a timer calls
  // it while the dialog is open, as the search opens and closes ports.
  void RefreshConnection();

  // The controls, for the program and its tests.
  QLineEdit* latitudeEdit = nullptr;        // 1002
  QLineEdit* longitudeEdit = nullptr;       // 1004
  QComboBox* timeZoneBox = nullptr;         // 1000
  QLabel* timeZoneLabel = nullptr;          // 1018
  QLabel* sunLabel = nullptr;               // 1008
  QPushButton* refreshButton = nullptr;     // 1010
  QPushButton* connectButton = nullptr;     // 1009
  QLabel* portLabel = nullptr;              // 1011
  QLabel* portProblemLabel = nullptr;       // why the port will not open
  QComboBox* serialDeviceBox = nullptr;     // the serial devices present, by name
  QLineEdit* portNumberEdit = nullptr;      // 1015
  QRadioButton* forcePortRadio = nullptr;   // 1016
  QRadioButton* firstFoundRadio = nullptr;  // 1017
  QCheckBox* discoveryBox = nullptr;        // 1045
  QCheckBox* linkWatchBox = nullptr;        // 1048
  QCheckBox* timerEventsBox = nullptr;      // 1013
  QCheckBox* logicEventsBox = nullptr;      // 1047
  QPushButton* okButton = nullptr;          // 1
  QPushButton* cancelButton = nullptr;      // 2
  QLabel* errorLabel = nullptr;             // why Refresh Display or OK was refused

 private:
  // What the user typed and chose, into the model's controls.
  void Gather();
  // The model's controls into the widgets; the edits only when `edits`.
  void Show(bool edits);
  // The model's refusal: shown, and the edit it is about given the focus.
  void ShowError();
  void ShowPortProblem();
  void PaintWarning(QLabel* label);

  SetupDialogModel& model_;
  QTimer connectionTimer_;
};

}  // namespace quorvel

#include "views/setup/setup_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "automation/sun_times.h"
#include "config/options.h"
#include "engine/context.h"
#include "log/text_contrast.h"
#include "plm/posix_serial_port.h"
#include "plm/serial_devices.h"

namespace quorvel {

bool ContextSetupHost::PortIsOpen() { return ctx_.link.IsOpen(ctx_); }
void ContextSetupHost::ClosePort() { ctx_.link.ClosePort(ctx_); }
void ContextSetupHost::SetConnectionIndicator(bool connected) {
  if (indicator_) indicator_(connected);
}
void ContextSetupHost::RefreshSunTimes() { quorvel::RefreshSunTimes(ctx_); }
SunClock ContextSetupHost::SunTimes() {
  return {ctx_.sun.sunriseHour, ctx_.sun.sunriseMinute, ctx_.sun.sunsetHour, ctx_.sun.sunsetMinute};
}

std::vector<SerialChoice> ContextSetupHost::SerialDevices() {
  std::vector<SerialChoice> out;
  // A run on the in-process simulator has no device to choose.
  if (dynamic_cast<PosixSerialPort*>(&ctx_.port) == nullptr) return out;
  for (const SerialDeviceEntry& e : ListSerialDevices()) out.push_back({SerialDeviceLabel(e), e.path});
  // The device named now (by --serial, the simulator's terminal) has a row even
  // where no list has it; "not present" only when it is not there at all.
  const std::string chosen = ChosenSerialDevice();
  const bool listed = std::any_of(out.begin(), out.end(), [&](const SerialChoice& c) { return c.path == chosen; });
  if (!chosen.empty() && !listed) {
    struct stat st {};
    const bool present = lstat(chosen.c_str(), &st) == 0;
    char label[600];
    std::snprintf(label, sizeof label, present ? "%s" : kDeviceAbsentText, chosen.c_str());
    out.push_back({label, chosen});
  }
  return out;
}

std::string ContextSetupHost::ChosenSerialDevice() {
  const auto* port = dynamic_cast<const PosixSerialPort*>(&ctx_.port);
  return port != nullptr ? ResolveSerialName(port->ForcedPath()) : std::string();
}

void ContextSetupHost::ChooseSerialDevice(const std::string& path) {
  auto* port = dynamic_cast<PosixSerialPort*>(&ctx_.port);
  if (port == nullptr) return;
  port->ForcePath(path);
  ctx_.link.PortChanged(ctx_);
  if (storeChoice) storeChoice(path);
}

std::string ContextSetupHost::PortProblem() {
  if (!ctx_.link.Refusal().empty()) return ctx_.link.Refusal();
  return ctx_.link.Answered() ? std::string() : ctx_.link.NoModemText();
}

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

template <typename W>
W* Tagged(W* widget, int id) {
  widget->setProperty("controlId", id);
  return widget;
}

}  // namespace

CSetupDialog::CSetupDialog(SetupDialogModel& model, QWidget* parent) : QDialog(parent), model_(model) {
  setWindowTitle(QString::fromLatin1(kSetupDialogTitle));
  setObjectName(QStringLiteral("Setup"));

  // Location and the sun times.
  auto* location = Tagged(new QGroupBox(QStringLiteral("Location"), this), 1005);
  auto* locationGrid = new QGridLayout(location);
  latitudeEdit = Tagged(new QLineEdit(location), 1002);
  longitudeEdit = Tagged(new QLineEdit(location), 1004);
  locationGrid->addWidget(latitudeEdit, 0, 0);
  locationGrid->addWidget(new QLabel(QStringLiteral("44:96"), location), 0, 1);
  locationGrid->addWidget(new QLabel(QStringLiteral("Latitude"), location), 0, 2);
  locationGrid->addWidget(longitudeEdit, 1, 0);
  locationGrid->addWidget(new QLabel(QStringLiteral("-93:13"), location), 1, 1);
  locationGrid->addWidget(new QLabel(QStringLiteral("Longitude"), location), 1, 2);
  timeZoneBox = Tagged(new QComboBox(location), 1000);
  timeZoneBox->setEditable(true);
  timeZoneBox->setInsertPolicy(QComboBox::NoInsert);
  for (std::string_view name : kTimeZoneNames)
    timeZoneBox->addItem(QString::fromLatin1(name.data(), static_cast<int>(name.size())));
  locationGrid->addWidget(timeZoneBox, 2, 0, 1, 3);
  timeZoneLabel = Tagged(new QLabel(QStringLiteral("Timezone"), location), 1018);
  sunLabel = Tagged(new QLabel(QStringLiteral("Sunrise / Sunset"), location), 1008);
  refreshButton = Tagged(new QPushButton(QStringLiteral("Refresh Display"), location), 1010);
  locationGrid->addWidget(timeZoneLabel, 3, 0);
  locationGrid->addWidget(sunLabel, 3, 1, 1, 2);
  locationGrid->addWidget(new QLabel(QStringLiteral("NOTE: longitude is positive for East and negative for West"),
                                     location),
                          4, 0, 1, 3);
  locationGrid->addWidget(refreshButton, 5, 0);

  // The modem connection.
  auto* connection = new QGroupBox(QStringLiteral("Power Line Modem Connection "), this);
  auto* connectionGrid = new QGridLayout(connection);
  connectButton = Tagged(new QPushButton(QStringLiteral("Connect"), connection), 1009);
  portLabel = Tagged(new QLabel(QStringLiteral("Connected"), connection), 1011);
  portProblemLabel = new QLabel(connection);
  portProblemLabel->setObjectName(QStringLiteral("PortProblem"));
  portProblemLabel->setWordWrap(true);
  portProblemLabel->hide();
  serialDeviceBox = new QComboBox(connection);
  serialDeviceBox->setObjectName(QStringLiteral("SerialDevice"));
  serialDeviceBox->setToolTip(QStringLiteral("The modem's adapter by its stable name; the search keeps to it"));
  portNumberEdit = Tagged(new QLineEdit(connection), 1015);
  portNumberEdit->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), portNumberEdit));
  forcePortRadio = Tagged(new QRadioButton(QStringLiteral("Force use of this Serial Port for PLM"), connection), 1016);
  firstFoundRadio = Tagged(new QRadioButton(QStringLiteral("Use Serial Port with first found PLM"), connection), 1017);
  connectionGrid->addWidget(connectButton, 0, 0);
  connectionGrid->addWidget(portLabel, 0, 1);
  connectionGrid->addWidget(portProblemLabel, 1, 0, 1, 2);
  connectionGrid->addWidget(new QLabel(QStringLiteral("Serial device"), connection), 2, 0);
  connectionGrid->addWidget(serialDeviceBox, 2, 1);
  connectionGrid->addWidget(portNumberEdit, 3, 0);
  connectionGrid->addWidget(forcePortRadio, 3, 1);
  connectionGrid->addWidget(firstFoundRadio, 4, 1);

  // The run-time switches.
  auto* switches = new QGroupBox(QStringLiteral("Run Time Settings"), this);
  auto* switchesBox = new QVBoxLayout(switches);
  discoveryBox = Tagged(new QCheckBox(QStringLiteral("Enable Device Discovery"), switches), 1045);
  linkWatchBox =
      Tagged(new QCheckBox(QStringLiteral("Enable Link Watch to automatic repair missing return links"), switches), 1048);
  timerEventsBox = Tagged(new QCheckBox(QStringLiteral("Enable Timer Events"), switches), 1013);
  logicEventsBox = Tagged(new QCheckBox(QStringLiteral("Enable Logic Events"), switches), 1047);
  for (QCheckBox* box : {discoveryBox, linkWatchBox, timerEventsBox, logicEventsBox}) switchesBox->addWidget(box);

  okButton = Tagged(new QPushButton(QStringLiteral("OK"), this), 1);
  cancelButton = Tagged(new QPushButton(QStringLiteral("Cancel"), this), 2);
  okButton->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okButton);
  buttons->addWidget(cancelButton);

  // Connect, Dis-Connect and Refresh Display act on the modem and the options
  // at once: Enter must never press one of them because it has the focus.
  for (QPushButton* button : {connectButton, refreshButton}) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  errorLabel = new QLabel(this);
  errorLabel->setObjectName(QStringLiteral("SetupError"));
  errorLabel->setWordWrap(true);
  errorLabel->hide();

  auto* top = new QVBoxLayout(this);
  top->addWidget(location);
  top->addWidget(errorLabel);
  top->addWidget(connection);
  top->addWidget(switches);
  top->addLayout(buttons);

  model_.Open();
  Show(true);

  connect(okButton, &QPushButton::clicked, this, &CSetupDialog::accept);
  connect(cancelButton, &QPushButton::clicked, this, &CSetupDialog::reject);
  connect(connectButton, &QPushButton::clicked, this, [this] {
    Gather();
    model_.PressConnect();
    Show(false);
  });
  connect(refreshButton, &QPushButton::clicked, this, [this] {
    Gather();
    model_.PressRefreshDisplay();
    Show(false);
    ShowError();
  });
  connect(timeZoneBox, &QComboBox::activated, this, [this](int row) {
    Gather();
    model_.SelectTimeZone(row);
    Show(false);
  });
  connectionTimer_.setInterval(500);
  connect(&connectionTimer_, &QTimer::timeout, this, &CSetupDialog::RefreshConnection);
  connectionTimer_.start();
  connect(serialDeviceBox, &QComboBox::activated, this, [this](int row) { model_.SelectSerialDevice(row); });
  connect(forcePortRadio, &QRadioButton::clicked, this, [this] { model_.ChooseForcePort(true); });
  connect(firstFoundRadio, &QRadioButton::clicked, this, [this] { model_.ChooseForcePort(false); });
  const std::pair<QCheckBox*, uint8_t> bits[] = {{discoveryBox, kRunDiscovery},
                                                 {linkWatchBox, kRunLinkWatchRepair},
                                                 {timerEventsBox, kRunTimerEvents},
                                                 {logicEventsBox, kRunLogicEvents}};
  for (const auto& [box, bit] : bits) {
    connect(box, &QCheckBox::clicked, this, [this, bit = bit] {
      // The switch flips in the options at once, whatever happens to the dialog.
      model_.ClickSwitch(bit);
      Show(false);
    });
  }
}

void CSetupDialog::Gather() {
  SetupControls& c = model_.controls;
  c.latitude = latitudeEdit->text().toStdString();
  c.longitude = longitudeEdit->text().toStdString();
  // Text typed into the box that is no row of the list selects nothing.
  const int current = timeZoneBox->currentIndex();
  const QString typed = timeZoneBox->currentText();
  if (current >= 0 && timeZoneBox->itemText(current) == typed) {
    c.timeZoneRow = current;
  } else {
    c.timeZoneRow = timeZoneBox->findText(typed, Qt::MatchExactly);
  }
  c.portNumber = portNumberEdit->text().toStdString();
  model_.SelectSerialDevice(serialDeviceBox->currentIndex());
  c.forcePort = forcePortRadio->isChecked();
  c.firstFoundPort = firstFoundRadio->isChecked();
}

void CSetupDialog::Show(bool edits) {
  const SetupControls& c = model_.controls;
  connectButton->setText(Q(c.connectButton));
  portLabel->setText(Q(c.portLabel));
  ShowPortProblem();
  sunLabel->setText(Q(c.sunLabel));
  timeZoneLabel->setText(Q(c.timeZoneLabel));
  const QSignalBlocker blockBoxes[] = {QSignalBlocker(discoveryBox), QSignalBlocker(linkWatchBox),
                                       QSignalBlocker(timerEventsBox), QSignalBlocker(logicEventsBox)};
  discoveryBox->setChecked(c.discovery);
  linkWatchBox->setChecked(c.linkWatchRepair);
  timerEventsBox->setChecked(c.timerEvents);
  logicEventsBox->setChecked(c.logicEvents);
  if (!edits) return;
  latitudeEdit->setText(Q(c.latitude));
  longitudeEdit->setText(Q(c.longitude));
  {
    const QSignalBlocker block(timeZoneBox);
    timeZoneBox->setCurrentIndex(c.timeZoneRow);
    if (c.timeZoneRow < 0) timeZoneBox->setEditText(QString());
  }
  {
    const QSignalBlocker block(serialDeviceBox);
    serialDeviceBox->clear();
    for (const SerialChoice& choice : c.devices) serialDeviceBox->addItem(Q(choice.label), Q(choice.path));
    serialDeviceBox->setCurrentIndex(c.deviceRow);
  }
  portNumberEdit->setText(Q(c.portNumber));
  forcePortRadio->setChecked(c.forcePort);
  firstFoundRadio->setChecked(!c.forcePort);
}

void CSetupDialog::RefreshConnection() {
  model_.RefreshConnection();
  connectButton->setText(Q(model_.controls.connectButton));
  portLabel->setText(Q(model_.controls.portLabel));
  ShowPortProblem();
}

void CSetupDialog::ShowPortProblem() {
  const std::string& problem = model_.controls.portProblem;
  PaintWarning(portProblemLabel);
  portProblemLabel->setText(Q(problem));
  portProblemLabel->setVisible(!problem.empty());
}

void CSetupDialog::PaintWarning(QLabel* label) {
  // The reason in a red that reads on this look's window colour.
  const QColor window = palette().color(QPalette::Window);
  const TraceColor red = ReadableOn({176, 0, 0}, {static_cast<uint8_t>(window.red()),
                                                  static_cast<uint8_t>(window.green()),
                                                  static_cast<uint8_t>(window.blue())});
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, QColor(red.red, red.green, red.blue));
  label->setPalette(pal);
}

void CSetupDialog::ShowError() {
  const SetupControls& c = model_.controls;
  PaintWarning(errorLabel);
  errorLabel->setText(Q(c.error));
  errorLabel->setVisible(!c.error.empty());
  QLineEdit* edit = c.errorControl == 1002 ? latitudeEdit : c.errorControl == 1004 ? longitudeEdit : nullptr;
  if (edit != nullptr) {
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
  }
}

void CSetupDialog::accept() {
  Gather();
  if (!model_.CheckLocation()) {
    ShowError();
    return;
  }
  QDialog::accept();
  model_.PressOk();
}

void CSetupDialog::reject() {
  QDialog::reject();
  model_.PressCancel();
}

}  // namespace quorvel

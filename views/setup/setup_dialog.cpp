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

#include "automation/sun_times.h"
#include "config/options.h"
#include "engine/context.h"
#include "log/text_contrast.h"

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
  portNumberEdit = Tagged(new QLineEdit(connection), 1015);
  portNumberEdit->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), portNumberEdit));
  forcePortRadio = Tagged(new QRadioButton(QStringLiteral("Force use of this Serial Port for PLM"), connection), 1016);
  firstFoundRadio = Tagged(new QRadioButton(QStringLiteral("Use Serial Port with first found PLM"), connection), 1017);
  connectionGrid->addWidget(connectButton, 0, 0);
  connectionGrid->addWidget(portLabel, 0, 1);
  connectionGrid->addWidget(portNumberEdit, 1, 0);
  connectionGrid->addWidget(forcePortRadio, 1, 1);
  connectionGrid->addWidget(firstFoundRadio, 2, 1);

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
  c.forcePort = forcePortRadio->isChecked();
  c.firstFoundPort = firstFoundRadio->isChecked();
}

void CSetupDialog::Show(bool edits) {
  const SetupControls& c = model_.controls;
  connectButton->setText(Q(c.connectButton));
  portLabel->setText(Q(c.portLabel));
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
  portNumberEdit->setText(Q(c.portNumber));
  forcePortRadio->setChecked(c.forcePort);
  firstFoundRadio->setChecked(!c.forcePort);
}

void CSetupDialog::RefreshConnection() {
  model_.RefreshConnection();
  connectButton->setText(Q(model_.controls.connectButton));
  portLabel->setText(Q(model_.controls.portLabel));
}

void CSetupDialog::ShowError() {
  const SetupControls& c = model_.controls;
  // The reason in a red that reads on this look's window colour.
  const QColor window = palette().color(QPalette::Window);
  const TraceColor red = ReadableOn({176, 0, 0}, {static_cast<uint8_t>(window.red()),
                                                  static_cast<uint8_t>(window.green()),
                                                  static_cast<uint8_t>(window.blue())});
  QPalette pal = errorLabel->palette();
  pal.setColor(QPalette::WindowText, QColor(red.red, red.green, red.blue));
  errorLabel->setPalette(pal);
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

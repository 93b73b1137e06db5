#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "config/options.h"
#include "platform/bytes.h"
#include "views/setup/setup_dialog.h"
#include "engine/context.h"
#include "plm/posix_serial_port.h"
#include "support/scratch.h"
#include "support/test_rig.h"

namespace quorvel {
namespace {

class FakeHost final : public SetupDialogHost {
 public:
  bool PortIsOpen() override { return open; }
  void ClosePort() override {
    open = false;
    ++closes;
  }
  void SetConnectionIndicator(bool connected) override { indicator.push_back(connected); }
  void RefreshSunTimes() override {
    ++refreshes;
    sun = next;
  }
  SunClock SunTimes() override { return sun; }

  bool open = true;
  int closes = 0;
  int refreshes = 0;
  std::vector<bool> indicator;
  SunClock sun{6, 5, 18, 30};
  SunClock next{7, 1, 17, 59};
};

// The options after a first start: the defaults the start-up rules give.
OptionsRecord FirstStartOptions() {
  OptionsRecord o;
  std::memset(&o, 0, sizeof o);
  ApplyStartupRules(o);
  o.comPort = 3;
  return o;
}

struct DialogRig {
  OptionsRecord options = FirstStartOptions();
  FakeHost host;
  SetupDialogModel model{options, host};
  std::unique_ptr<CSetupDialog> dialog;
  void Open() { dialog = std::make_unique<CSetupDialog>(model); }
};

QString Text(QWidget* w) {
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  return {};
}

QWidget* ById(QWidget* dialog, int id) {
  for (QWidget* w : dialog->findChildren<QWidget*>())
    if (w->property("controlId").toInt() == id) return w;
  return nullptr;
}

TEST(SetupDialog, OpensWithEveryControlFilledFromTheOptions) {
  DialogRig r;
  r.Open();
  CSetupDialog& d = *r.dialog;
  EXPECT_EQ(d.windowTitle(), QStringLiteral("Setup"));
  struct Case {
    int id;
    const char* text;
  };
  const Case cases[] = {
      {1005, "Location"},
      {1002, "44:96"},
      {1004, "-93:10"},
      {1018, "Timezone -6"},
      {1008, "Sunrise 6:05, Sunset 18:30"},
      {1010, "Refresh Display"},
      {1009, "Dis-Connect"},
      {1011, "Connected using Serial Port 3"},
      {1015, "0"},
      {1016, "Force use of this Serial Port for PLM"},
      {1017, "Use Serial Port with first found PLM"},
      {1045, "Enable Device Discovery"},
      {1048, "Enable Link Watch to automatic repair missing return links"},
      {1013, "Enable Timer Events"},
      {1047, "Enable Logic Events"},
      {1, "OK"},
      {2, "Cancel"},
  };
  for (const Case& c : cases) {
    QWidget* w = ById(&d, c.id);
    ASSERT_NE(w, nullptr) << c.id;
    EXPECT_EQ(Text(w).toStdString(), c.text) << c.id;
  }
  std::vector<std::string> labels;
  for (QLabel* l : d.findChildren<QLabel*>()) labels.push_back(l->text().toStdString());
  for (const char* fixed : {"44:96", "Latitude", "-93:13", "Longitude",
                            "NOTE: longitude is positive for East and negative for West"})
    EXPECT_NE(std::find(labels.begin(), labels.end(), fixed), labels.end()) << fixed;
  std::vector<std::string> groups;
  for (QGroupBox* g : d.findChildren<QGroupBox*>()) groups.push_back(g->title().toStdString());
  EXPECT_EQ(groups, (std::vector<std::string>{"Location", "Power Line Modem Connection ", "Run Time Settings"}));

  ASSERT_EQ(d.timeZoneBox->count(), 26);
  EXPECT_EQ(d.timeZoneBox->itemText(0).toStdString(), "(GMT-12:00) International Date Line West");
  EXPECT_EQ(d.timeZoneBox->itemText(12).toStdString(), "(GMT) Greenwich Mean Time: Dublin, Edinburgh, Lisbon, London");
  EXPECT_EQ(d.timeZoneBox->itemText(25).toStdString(), "(GMT+13:00) Nuku alofa");
  EXPECT_EQ(d.timeZoneBox->currentIndex(), 6);
  EXPECT_TRUE(d.firstFoundRadio->isChecked());
  EXPECT_FALSE(d.forcePortRadio->isChecked());
  // A first start has runFlags 0x1F: all four switches on.
  for (QCheckBox* box : {d.discoveryBox, d.linkWatchBox, d.timerEventsBox, d.logicEventsBox})
    EXPECT_TRUE(box->isChecked()) << box->text().toStdString();
}

TEST(SetupDialog, ClosedPortShowsConnectAndThePortNumber) {
  DialogRig r;
  r.host.open = false;
  r.options.runFlags = 0x80 | kRunDiscovery | kRunLogicEvents;
  r.options.forcePort = 1;
  r.options.forcedPortNumber = 12;
  r.Open();
  EXPECT_EQ(r.dialog->connectButton->text(), QStringLiteral("Connect"));
  EXPECT_EQ(r.dialog->portLabel->text(), QStringLiteral("Serial Port 3"));
  EXPECT_EQ(r.dialog->portNumberEdit->text(), QStringLiteral("12"));
  EXPECT_TRUE(r.dialog->forcePortRadio->isChecked());
  EXPECT_FALSE(r.dialog->firstFoundRadio->isChecked());
  EXPECT_TRUE(r.dialog->discoveryBox->isChecked());
  EXPECT_FALSE(r.dialog->linkWatchBox->isChecked());
  EXPECT_FALSE(r.dialog->timerEventsBox->isChecked());
  EXPECT_TRUE(r.dialog->logicEventsBox->isChecked());
}

TEST(SetupDialog, CancelDropsTypedTextsButKeepsWhatWasAlreadyDone) {
  DialogRig r;
  r.Open();
  CSetupDialog& d = *r.dialog;
  QTest::mouseClick(d.timerEventsBox, Qt::LeftButton);
  EXPECT_EQ(r.options.runFlags & kRunTimerEvents, 0) << "a switch flips at once";
  d.timeZoneBox->setCurrentIndex(13);
  d.timeZoneBox->activated(13);
  d.latitudeEdit->setText(QStringLiteral("10:00"));
  d.portNumberEdit->setText(QStringLiteral("5"));
  QTest::mouseClick(d.connectButton, Qt::LeftButton);
  QTest::mouseClick(d.cancelButton, Qt::LeftButton);

  EXPECT_EQ(d.result(), QDialog::Rejected);
  EXPECT_EQ(r.options.runFlags & kRunTimerEvents, 0) << "Cancel keeps the flipped switch";
  EXPECT_EQ(r.options.timeZone, 1) << "and the time zone already chosen";
  EXPECT_EQ(r.options.timeZoneIndex, 13);
  EXPECT_EQ(r.options.userDisconnect, 1) << "and the disconnect already made";
  EXPECT_EQ(FixedText(r.options.latitude), "44:96") << "typed texts are dropped";
  EXPECT_EQ(r.options.forcedPortNumber, 0u);
}

TEST(SetupDialog, OkCutsCoordinatesToNineCharactersAndTakesThePort) {
  DialogRig r;
  r.Open();
  CSetupDialog& d = *r.dialog;
  const int refreshesBefore = r.host.refreshes;
  d.latitudeEdit->setText(QStringLiteral("45.123456789"));
  d.longitudeEdit->setText(QStringLiteral("-122.6765"));
  QTest::mouseClick(d.forcePortRadio, Qt::LeftButton);
  d.portNumberEdit->clear();
  QTest::keyClicks(d.portNumberEdit, QStringLiteral("7x4"));
  EXPECT_EQ(d.portNumberEdit->text(), QStringLiteral("74")) << "the port box takes digits only";
  QTest::mouseClick(d.okButton, Qt::LeftButton);

  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(FixedText(r.options.latitude), "45.123456");
  EXPECT_EQ(FixedText(r.options.longitude), "-122.6765");
  EXPECT_EQ(r.options.forcePort, 1);
  EXPECT_EQ(r.options.forcedPortNumber, 74u);
  EXPECT_EQ(r.options.timeZone, -6);
  EXPECT_EQ(r.host.refreshes, refreshesBefore) << "OK does not recompute the sun times";
}

TEST(SetupDialog, ATypedTimeZoneThatIsNoRowGivesMinusSixAndNoIndex) {
  DialogRig r;
  r.options.timeZone = 2;
  r.options.timeZoneIndex = 14;
  r.Open();
  CSetupDialog& d = *r.dialog;
  d.timeZoneBox->setFocus();
  d.timeZoneBox->lineEdit()->selectAll();
  QTest::keyClicks(d.timeZoneBox->lineEdit(), QStringLiteral("Mars"));
  QTest::mouseClick(d.refreshButton, Qt::LeftButton);
  EXPECT_EQ(r.options.timeZone, -6);
  EXPECT_EQ(r.options.timeZoneIndex, -1);
  EXPECT_EQ(d.timeZoneLabel->text(), QStringLiteral("Timezone -6"));
  EXPECT_EQ(d.sunLabel->text(), QStringLiteral("Sunrise 7:01, Sunset 17:59"));
}

TEST(SetupDialog, RefreshDisplayStoresTheEditsAndShowsNewSunTimes) {
  DialogRig r;
  r.Open();
  CSetupDialog& d = *r.dialog;
  d.latitudeEdit->setText(QStringLiteral("51.5074123456"));
  QTest::mouseClick(d.refreshButton, Qt::LeftButton);
  EXPECT_EQ(FixedText(r.options.latitude), "51.507412");
  EXPECT_EQ(r.host.refreshes, 1);
  EXPECT_EQ(d.sunLabel->text(), QStringLiteral("Sunrise 7:01, Sunset 17:59"));
  // Cancel afterwards keeps what Refresh Display stored.
  QTest::mouseClick(d.cancelButton, Qt::LeftButton);
  EXPECT_EQ(FixedText(r.options.latitude), "51.507412");
}

TEST(SetupDialog, ConnectButtonDisconnectsAndConnectsAgain) {
  DialogRig r;
  r.Open();
  CSetupDialog& d = *r.dialog;
  QTest::mouseClick(d.connectButton, Qt::LeftButton);
  EXPECT_EQ(r.host.closes, 1);
  EXPECT_EQ(r.options.userDisconnect, 1);
  EXPECT_EQ(d.connectButton->text(), QStringLiteral("Connect"));
  QTest::mouseClick(d.connectButton, Qt::LeftButton);
  EXPECT_EQ(r.host.closes, 1) << "connecting leaves the opening to the port search";
  EXPECT_EQ(r.options.userDisconnect, 0);
  EXPECT_EQ(d.connectButton->text(), QStringLiteral("Dis-Connect"));
  // The lamp stays dark until the search has a port open again.
  EXPECT_EQ(r.host.indicator, (std::vector<bool>{false, false}));
}

TEST(SetupDialog, EachSwitchFlipsItsOwnBit) {
  struct Case {
    QCheckBox* CSetupDialog::*box;
    uint8_t bit;
  };
  const Case cases[] = {{&CSetupDialog::discoveryBox, kRunDiscovery},
                        {&CSetupDialog::linkWatchBox, kRunLinkWatchRepair},
                        {&CSetupDialog::timerEventsBox, kRunTimerEvents},
                        {&CSetupDialog::logicEventsBox, kRunLogicEvents}};
  for (const Case& c : cases) {
    DialogRig r;
    r.options.runFlags = 0xFF;
    r.Open();
    QCheckBox* box = (*r.dialog).*c.box;
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(r.options.runFlags, 0xFF ^ c.bit);
    EXPECT_FALSE(box->isChecked());
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(r.options.runFlags, 0xFF);
    EXPECT_TRUE(box->isChecked());
  }
}

TEST(SetupDialog, ADamagedOptionsFileShowsAtMostNineCharactersAndNoRow) {
  DialogRig r;
  // Fields without their terminator, and a row the list does not have.
  std::memset(r.options.latitude, 'A', sizeof r.options.latitude);
  std::memcpy(r.options.longitude, "-93.123456", sizeof r.options.longitude);
  r.options.timeZoneIndex = 77;
  r.Open();
  EXPECT_EQ(r.dialog->latitudeEdit->text(), QStringLiteral("AAAAAAAAA"));
  EXPECT_EQ(r.dialog->longitudeEdit->text(), QStringLiteral("-93.12345"));
  EXPECT_EQ(r.dialog->timeZoneBox->currentIndex(), -1);
  QTest::mouseClick(r.dialog->okButton, Qt::LeftButton);
  EXPECT_EQ(r.options.latitude[9], '\0') << "what OK stores is terminated";
  EXPECT_EQ(r.options.timeZoneIndex, -1);
  EXPECT_EQ(r.options.timeZone, -6);
}

TEST(SetupDialog, EnterAfterConnectLeavesThePortOpen) {
  DialogRig r;
  r.host.open = false;
  r.options.userDisconnect = 1;  // disconnected earlier
  r.Open();
  CSetupDialog& d = *r.dialog;
  d.show();
  QTest::mouseClick(d.connectButton, Qt::LeftButton);
  ASSERT_EQ(d.connectButton->text(), QStringLiteral("Dis-Connect"));
  EXPECT_EQ(r.options.userDisconnect, 0);
  r.host.open = true;  // the search has opened the modem's port
  d.RefreshConnection();
  EXPECT_EQ(d.portLabel->text(), QStringLiteral("Connected using Serial Port 3"));
  // Enter with the focus still on the button that was clicked.
  QTest::keyClick(d.connectButton, Qt::Key_Return);
  QTest::keyClick(d.connectButton, Qt::Key_Enter);
  EXPECT_TRUE(r.host.open) << "Enter pressed Dis-Connect";
  EXPECT_EQ(r.host.closes, 0);
  EXPECT_EQ(r.options.userDisconnect, 0);
  for (QPushButton* b : {d.connectButton, d.refreshButton}) {
    EXPECT_FALSE(b->isDefault()) << b->text().toStdString();
    EXPECT_FALSE(b->autoDefault()) << b->text().toStdString();
  }
  EXPECT_EQ(d.result(), QDialog::Accepted) << "Enter is the dialog's OK";
}

TEST(SetupDialog, TheLabelSaysNotConnectedOnceDisconnected) {
  DialogRig r;
  r.Open();
  CSetupDialog& d = *r.dialog;
  ASSERT_EQ(d.portLabel->text(), QStringLiteral("Connected using Serial Port 3"));
  QTest::mouseClick(d.connectButton, Qt::LeftButton);
  EXPECT_EQ(d.portLabel->text(), QStringLiteral("Serial Port 3"));
  EXPECT_EQ(r.host.indicator, std::vector<bool>{false});
  // The port closing behind the dialog's back shows too.
  DialogRig other;
  other.Open();
  other.host.open = false;  // the adapter was pulled out
  other.dialog->RefreshConnection();
  EXPECT_EQ(other.dialog->portLabel->text(), QStringLiteral("Serial Port 3"));
}

TEST(SetupDialog, ALatitudeOutOfRangeIsRefusedWithItsReason) {
  for (QPushButton* CSetupDialog::*button : {&CSetupDialog::okButton, &CSetupDialog::refreshButton}) {
    DialogRig r;
    r.Open();
    CSetupDialog& d = *r.dialog;
    d.show();
    const OptionsRecord before = r.options;
    d.latitudeEdit->setText(QStringLiteral("95:00"));
    d.portNumberEdit->setText(QStringLiteral("7"));
    QTest::mouseClick(d.*button, Qt::LeftButton);
    EXPECT_TRUE(d.isVisible()) << "the dialog stays open";
    EXPECT_NE(d.result(), QDialog::Accepted);
    EXPECT_TRUE(d.errorLabel->isVisible());
    EXPECT_EQ(d.errorLabel->text().toStdString(),
              "Latitude \"95:00\" is refused: give degrees from -90 to 90, north positive (for example 44.96)");
    EXPECT_TRUE(d.latitudeEdit->hasFocus() || !d.isActiveWindow()) << "the edit to put right has the keyboard";
    EXPECT_EQ(std::memcmp(&r.options, &before, sizeof before), 0) << "nothing stored";
    EXPECT_EQ(r.host.refreshes, 0);
    EXPECT_EQ(d.sunLabel->text(), QStringLiteral("Sunrise 6:05, Sunset 18:30"));

    d.latitudeEdit->setText(QStringLiteral("45:00"));
    QTest::mouseClick(d.*button, Qt::LeftButton);
    EXPECT_FALSE(d.errorLabel->isVisible());
    EXPECT_EQ(FixedText(r.options.latitude), "45:00");
  }
}

// The dialog over the running program's own host: a port that is no serial
// device says so under the port label, the device list offers the search and
// the device named now, and choosing the search lets the port go and keeps
// the choice for later runs.
TEST(SetupDialog, ShowsWhyThePortWillNotOpenAndChoosesTheDeviceByName) {
  testing::TempFolder dir;
  const std::string file = dir.path() + "/not-a-tty";
  std::ofstream(file).put('x');
  TestClock clock;
  PosixSerialPort port;
  port.ForcePath(file);
  testing::MemoryFileSystem files;
  testing::RecordingNotifier notifier;
  Context ctx(clock, port, files, notifier);
  Silence(ctx.diagnostics);
  ctx.options.comPort = 1;
  for (int i = 0; i < 8; ++i) PortSearch(ctx);
  ASSERT_EQ(ctx.link.Refusal(), file + " is not a serial device");

  ContextSetupHost host(ctx, [](bool) {});
  std::vector<std::string> stored;
  host.storeChoice = [&stored](const std::string& path) { stored.push_back(path); };
  SetupDialogModel model(ctx.options, host);
  CSetupDialog dialog(model);
  dialog.show();
  EXPECT_TRUE(dialog.portProblemLabel->isVisible());
  EXPECT_EQ(dialog.portProblemLabel->text().toStdString(), file + " is not a serial device");
  QComboBox* box = dialog.serialDeviceBox;
  ASSERT_GE(box->count(), 2);
  EXPECT_EQ(box->itemText(0), QString::fromLatin1(kSearchEveryPortText));
  EXPECT_EQ(box->itemText(box->currentIndex()).toStdString(), file) << "named outright, and there";
  box->setCurrentIndex(0);
  dialog.accept();
  EXPECT_EQ(port.ForcedPath(), "");
  EXPECT_EQ(port.PinnedPort(), 0) << "the search walks the ports again";
  EXPECT_EQ(stored, std::vector<std::string>{""});
  EXPECT_EQ(ctx.link.Refusal(), "") << "the old device's reason went with it";
}

}  // namespace
}  // namespace quorvel

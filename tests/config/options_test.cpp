#include "config/options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "config/config_files.h"
#include "config/setup_dialog_model.h"
#include "platform/bytes.h"
#include "config_fixture.h"

namespace quorvel {
namespace {

TEST(StartupRules, FirstStartSecondStartAndTheUsersSwitches) {
  struct Case {
    const char* what;
    uint8_t runFlags;
    uint32_t initMarker;
    uint8_t expectedFlags;
    bool defaults;
  };
  const Case cases[] = {
      {"first start", 0x00, 0, 0x1F, true},
      {"damaged marker", 0xFF, 1954, 0x1F, true},
      {"second start", 0x1F, kInitMarker, 0xFF, false},
      {"stored 0x97 is kept", 0x97, kInitMarker, 0x97, false},
      {"timer events turned off in the first run stay off", 0x17, kInitMarker, 0xF7, false},
      {"everything turned off in the first run", 0x01, kInitMarker, 0xE1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OptionsRecord o{};
    o.runFlags = c.runFlags;
    o.initMarker = c.initMarker;
    o.userDisconnect = 1;
    CopyFixedText(o.latitude, "51:30");
    o.forcedPortNumber = 4;
    ApplyStartupRules(o);
    EXPECT_EQ(o.runFlags, c.expectedFlags);
    EXPECT_EQ(o.userDisconnect, 0) << "every run starts with the port search on";
    EXPECT_EQ(o.initMarker, kInitMarker);
    EXPECT_EQ(FixedText(o.latitude), c.defaults ? "44:96" : "51:30");
    if (c.defaults) {
      EXPECT_EQ(FixedText(o.longitude), "-93:10");
      EXPECT_EQ(o.timeZone, -6);
      EXPECT_EQ(o.timeZoneIndex, 6);
      EXPECT_EQ(o.reserved1125, 1);
      EXPECT_EQ(o.forcedPortNumber, 0u);
    } else {
      EXPECT_EQ(o.forcedPortNumber, 4u);
    }
  }
}

// Through the files, as the program starts and stops: a first run without a
// modem, then a second start.
TEST(StartupRules, SecondStartThroughTheOptionsFile) {
  testing::TestRig first;
  LoadAtStart(*first);
  EXPECT_EQ(first->options.runFlags, 0x1F);
  first->options.runFlags &= static_cast<uint8_t>(~kRunLogicEvents);  // the user turns logic events off
  SaveAtExit(*first);

  testing::TestRig second;
  testing::CopyFiles(first.files, second.files);
  LoadAtStart(*second);
  EXPECT_EQ(second->options.runFlags, 0xEF);
  EXPECT_EQ(FixedText(second->options.latitude), "44:96");
  EXPECT_EQ(second->options.comPort, 1);

  testing::TestRig untouched;
  testing::CopyFiles(first.files, untouched.files);
  untouched.files.Delete(std::string(testing::MemoryFileSystem::kDefaultAppData) + "/quorvel/OrvoOptions3.cfg");
  LoadAtStart(*untouched);
  EXPECT_EQ(untouched->options.runFlags, 0x1F) << "no options file is a first start again";
}

TEST(TimeZone, RowsGiveHoursFromGreenwich) {
  struct Case {
    int row;
    int32_t timeZone;
    int8_t index;
  };
  const Case cases[] = {{0, -12, 0}, {6, -6, 6}, {12, 0, 12}, {13, 1, 13}, {25, 13, 25}, {-1, -6, -1}, {26, -6, 26}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    OptionsRecord o{};
    o.timeZone = 99;
    StoreTimeZone(o, c.row);
    EXPECT_EQ(o.timeZone, c.timeZone);
    EXPECT_EQ(o.timeZoneIndex, c.index);
    EXPECT_EQ(TimeZoneLabel(o), "Timezone " + std::to_string(c.timeZone));
  }
}

TEST(TimeZone, EachRowsTextNamesItsOwnOffset) {
  ASSERT_EQ(kTimeZoneNames.size(), 26u);
  for (int r = 0; r < kTimeZoneRows; ++r) {
    const std::string text(kTimeZoneNames[r]);
    SCOPED_TRACE(text);
    ASSERT_EQ(text.rfind("(GMT", 0), 0u);
    const int hours = text[4] == ')' ? 0 : std::atoi(text.c_str() + 4);
    EXPECT_EQ(hours, r - 12);
    if (r != 12) {
      EXPECT_EQ(text.substr(7, 4), ":00)");
    }
  }
  EXPECT_EQ(kTimeZoneNames[6], "(GMT-06:00) Central Time (US & Canada)");
  EXPECT_EQ(kTimeZoneNames[12], "(GMT) Greenwich Mean Time: Dublin, Edinburgh, Lisbon, London");
  EXPECT_EQ(kTimeZoneNames[25], "(GMT+13:00) Nuku alofa");
}

// The rest of the program as the dialog sees it, recording what it was asked.
class FakeHost : public SetupDialogHost {
 public:
  bool PortIsOpen() override { return portOpen; }
  void ClosePort() override {
    portOpen = false;
    ++closes;
  }
  void SetConnectionIndicator(bool connected) override { indicator.push_back(connected); }
  void RefreshSunTimes() override {
    ++refreshes;
    sun.sunriseMinute += 1;  // new sun times after each refresh
  }
  SunClock SunTimes() override { return sun; }
  std::vector<SerialChoice> SerialDevices() override { return devices; }
  std::string ChosenSerialDevice() override { return chosen; }
  void ChooseSerialDevice(const std::string& path) override {
    choices.push_back(path);
    chosen = path;
  }
  std::string PortProblem() override { return problem; }

  bool portOpen = true;
  int closes = 0;
  int refreshes = 0;
  std::vector<bool> indicator;
  SunClock sun{6, 5, 19, 30};
  std::vector<SerialChoice> devices;
  std::string chosen;
  std::vector<std::string> choices;  // what the dialog chose, in order
  std::string problem;
};

OptionsRecord SetUpOptions() {
  OptionsRecord o{};
  o.runFlags = 0xFF;
  CopyFixedText(o.latitude, "44:96");
  CopyFixedText(o.longitude, "-93:10");
  o.timeZone = -6;
  o.timeZoneIndex = 6;
  o.comPort = 3;
  o.forcedPortNumber = 0;
  return o;
}

TEST(SetupDialog, OpeningShowsTheOptions) {
  struct Case {
    bool portOpen;
    uint8_t forcePort;
    int8_t timeZoneIndex;
    uint8_t runFlags;
    const char* button;
    const char* portLabel;
    int row;
  };
  const Case cases[] = {
      {true, 0, 6, 0xFF, "Dis-Connect", "Connected using Serial Port 3", 6},
      {false, 1, -1, 0x95, "Connect", "Serial Port 3", -1},
      {false, 0, 40, 0x0A, "Connect", "Serial Port 3", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.portLabel);
    OptionsRecord o = SetUpOptions();
    o.forcePort = c.forcePort;
    o.timeZoneIndex = c.timeZoneIndex;
    o.runFlags = c.runFlags;
    o.forcedPortNumber = 7;
    FakeHost host;
    host.portOpen = c.portOpen;
    SetupDialogModel dialog(o, host);
    dialog.Open();
    const SetupControls& s = dialog.controls;
    EXPECT_EQ(s.connectButton, c.button);
    EXPECT_EQ(s.portLabel, c.portLabel);
    EXPECT_EQ(s.sunLabel, "Sunrise 6:05, Sunset 19:30");
    EXPECT_EQ(s.timeZoneLabel, "Timezone -6");
    EXPECT_EQ(s.latitude, "44:96");
    EXPECT_EQ(s.longitude, "-93:10");
    EXPECT_EQ(s.timeZoneRow, c.row);
    EXPECT_EQ(s.forcePort, c.forcePort != 0);
    EXPECT_EQ(s.firstFoundPort, c.forcePort == 0);
    EXPECT_EQ(s.portNumber, "7");
    EXPECT_EQ(s.discovery, (c.runFlags & 0x02) != 0);
    EXPECT_EQ(s.linkWatchRepair, (c.runFlags & 0x04) != 0);
    EXPECT_EQ(s.timerEvents, (c.runFlags & 0x08) != 0);
    EXPECT_EQ(s.logicEvents, (c.runFlags & 0x10) != 0);
    EXPECT_EQ(host.refreshes, 0);
  }
}

TEST(SetupDialog, ConnectAndDisconnect) {
  OptionsRecord o = SetUpOptions();
  FakeHost host;
  SetupDialogModel dialog(o, host);
  dialog.Open();

  dialog.PressConnect();  // the port is open: disconnect
  EXPECT_EQ(host.closes, 1);
  EXPECT_EQ(o.userDisconnect, 1) << "the port search stays off";
  EXPECT_EQ(host.indicator, std::vector<bool>{false});
  EXPECT_EQ(dialog.controls.connectButton, "Connect");

  dialog.PressConnect();  // closed now: connect again
  EXPECT_EQ(host.closes, 1);
  EXPECT_EQ(o.userDisconnect, 0);
  // The lamp stays dark until the search has a port open again.
  EXPECT_EQ(host.indicator, (std::vector<bool>{false, false}));
  EXPECT_EQ(dialog.controls.connectButton, "Dis-Connect");

  dialog.PressCancel();
  EXPECT_EQ(o.userDisconnect, 0) << "Cancel does not undo a connect";
}

TEST(SetupDialog, CancelDropsTypedTextsButKeepsWhatWasDone) {
  OptionsRecord o = SetUpOptions();
  FakeHost host;
  SetupDialogModel dialog(o, host);
  dialog.Open();
  dialog.ClickSwitch(kRunTimerEvents);  // "Enable Timer Events" unchecked
  EXPECT_FALSE(dialog.controls.timerEvents);
  EXPECT_EQ(o.runFlags, 0xF7) << "a switch takes effect at once";
  dialog.SelectTimeZone(7);
  EXPECT_EQ(o.timeZone, -5);
  EXPECT_EQ(dialog.controls.timeZoneLabel, "Timezone -5");
  EXPECT_EQ(host.refreshes, 1);
  EXPECT_EQ(dialog.controls.sunLabel, "Sunrise 6:06, Sunset 19:30");
  dialog.controls.latitude = "10:00";
  dialog.controls.portNumber = "9";
  dialog.ChooseForcePort(true);
  dialog.PressCancel();
  EXPECT_EQ(o.runFlags, 0xF7);
  EXPECT_EQ(o.timeZone, -5);
  EXPECT_EQ(o.timeZoneIndex, 7);
  EXPECT_EQ(FixedText(o.latitude), "44:96");
  EXPECT_EQ(o.forcedPortNumber, 0u);
  EXPECT_EQ(o.forcePort, 0);

  // Only the four switches have boxes.
  dialog.ClickSwitch(kRunSetUp);
  EXPECT_EQ(o.runFlags, 0xF7);
}

TEST(SetupDialog, RefreshDisplayTakesTheEditsAndTheTimeZone) {
  OptionsRecord o = SetUpOptions();
  FakeHost host;
  SetupDialogModel dialog(o, host);
  dialog.Open();
  dialog.controls.latitude = "45.123456789";
  dialog.controls.timeZoneRow = -1;  // the user typed into the list's box
  dialog.PressRefreshDisplay();
  EXPECT_EQ(FixedText(o.latitude), "45.123456");
  EXPECT_EQ(FixedText(o.longitude), "-93:10");
  EXPECT_EQ(o.timeZone, -6);
  EXPECT_EQ(o.timeZoneIndex, -1);
  EXPECT_EQ(dialog.controls.timeZoneLabel, "Timezone -6");
  EXPECT_EQ(host.refreshes, 1);
  EXPECT_EQ(dialog.controls.sunLabel, "Sunrise 6:06, Sunset 19:30");
}

TEST(SetupDialog, OkTakesTheEditsWithoutNewSunTimes) {
  struct Case {
    const char* latitude;
    const char* portText;
    bool force;
    int row;
    const char* storedLatitude;
    uint32_t port;
  };
  const Case cases[] = {
      {"45.123456789", "12", true, 13, "45.123456", 12},
      {"", "", false, 6, "", 0},
      {"44:97", "abc", false, -1, "44:97", 0},
      {"44:97", "99999999999", true, 0, "44:97", UINT32_MAX},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.latitude);
    OptionsRecord o = SetUpOptions();
    FakeHost host;
    SetupDialogModel dialog(o, host);
    dialog.Open();
    dialog.controls.latitude = c.latitude;
    dialog.controls.longitude = "-0:5";
    dialog.controls.portNumber = c.portText;
    dialog.ChooseForcePort(c.force);
    dialog.controls.timeZoneRow = c.row;
    dialog.PressOk();
    EXPECT_EQ(FixedText(o.latitude), c.storedLatitude);
    EXPECT_EQ(FixedText(o.longitude), "-0:5");
    EXPECT_EQ(o.forcePort, c.force ? 1 : 0);
    EXPECT_EQ(o.forcedPortNumber, c.port);
    EXPECT_EQ(o.timeZone, c.row >= 0 ? c.row - 12 : -6);
    EXPECT_EQ(host.refreshes, 0) << "OK does not recompute the sun times";
  }
}

TEST(SetupDialog, TheConnectionShownFollowsThePort) {
  OptionsRecord o = SetUpOptions();
  FakeHost host;
  host.portOpen = false;  // searching
  SetupDialogModel dialog(o, host);
  dialog.Open();
  ASSERT_EQ(dialog.controls.connectButton, "Connect");
  host.portOpen = true;  // the search opened port 3
  dialog.RefreshConnection();
  EXPECT_EQ(dialog.controls.portLabel, "Connected using Serial Port 3");
  EXPECT_EQ(dialog.controls.connectButton, "Dis-Connect");

  dialog.PressConnect();
  EXPECT_EQ(dialog.controls.portLabel, "Serial Port 3") << "no longer connected once disconnected";
  dialog.RefreshConnection();
  EXPECT_EQ(dialog.controls.portLabel, "Serial Port 3");
  EXPECT_EQ(dialog.controls.connectButton, "Connect");

  // Connect, and Dis-Connect again before the search has found a port: the
  // button does what it says and the search stops.
  dialog.PressConnect();
  EXPECT_EQ(o.userDisconnect, 0);
  dialog.RefreshConnection();
  EXPECT_EQ(dialog.controls.connectButton, "Dis-Connect") << "the search is on";
  dialog.PressConnect();
  EXPECT_EQ(o.userDisconnect, 1);
  EXPECT_EQ(dialog.controls.connectButton, "Connect");
  EXPECT_EQ(host.closes, 1);
}

TEST(SetupDialog, CoordinatesOutOfRangeAreRefusedAndNothingIsStored) {
  struct Case {
    const char* latitude;
    const char* longitude;
    const char* error;  // empty: taken
  };
  const Case cases[] = {
      {"95:00", "-93:10", "Latitude \"95:00\" is refused: give degrees from -90 to 90, north positive (for example 44.96)"},
      {"-90.5", "-93:10", "Latitude \"-90.5\" is refused: give degrees from -90 to 90, north positive (for example 44.96)"},
      {"1e39", "-93:10", "Latitude \"1e39\" is refused: give degrees from -90 to 90, north positive (for example 44.96)"},
      {"44:96", "180.5", "Longitude \"180.5\" is refused: give degrees from -180 to 180, east positive, west negative "
                         "(for example -93.10)"},
      {"44:96", " -1810000000", "Longitude \" -1810000\" is refused: give degrees from -180 to 180, east positive, "
                                "west negative (for example -93.10)"},
      {"90", "-180", ""},
      {"-90:00", "180", ""},
      {"north", "-93:10", ""},  // no number at all: kept, and the sun times say it is bad
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.latitude + std::string(" ") + c.longitude);
    for (bool ok : {true, false}) {
      OptionsRecord o = SetUpOptions();
      FakeHost host;
      SetupDialogModel dialog(o, host);
      dialog.Open();
      dialog.controls.latitude = c.latitude;
      dialog.controls.longitude = c.longitude;
      dialog.controls.timeZoneRow = 13;
      dialog.controls.portNumber = "5";
      dialog.ChooseForcePort(true);
      const OptionsRecord before = o;
      const bool taken = ok ? dialog.PressOk() : dialog.PressRefreshDisplay();
      EXPECT_EQ(dialog.controls.error, c.error) << (ok ? "OK" : "Refresh Display");
      EXPECT_EQ(taken, std::string(c.error).empty());
      if (taken) {
        EXPECT_EQ(FixedText(o.latitude), c.latitude);
        EXPECT_EQ(o.timeZone, 1);
      } else {
        EXPECT_EQ(std::memcmp(&o, &before, sizeof o), 0) << "nothing stored";
        EXPECT_EQ(host.refreshes, 0);
        EXPECT_EQ(dialog.controls.sunLabel, "Sunrise 6:05, Sunset 19:30");
      }
    }
  }
  // Put right, the next press takes it and the message goes.
  OptionsRecord o = SetUpOptions();
  FakeHost host;
  SetupDialogModel dialog(o, host);
  dialog.Open();
  dialog.controls.latitude = "95:00";
  EXPECT_FALSE(dialog.PressOk());
  dialog.controls.latitude = "45:00";
  EXPECT_TRUE(dialog.PressOk());
  EXPECT_TRUE(dialog.controls.error.empty());
  EXPECT_EQ(FixedText(o.latitude), "45:00");
}

// The serial devices by name: the list, the row of the device the search keeps
// to, and a new choice that reaches the port only with OK and only if it changed.
TEST(SetupDialog, TheSerialDeviceChosenByNameTakesEffectWithOk) {
  const std::string adapter = "/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0";
  FakeHost host;
  host.devices = {{"usb-FTDI_FT232R_A1-if00-port0 (/dev/ttyUSB0, port 1)", adapter},
                  {"/dev/ttyS0 (port 13)", "/dev/ttyS0"}};
  OptionsRecord o = SetUpOptions();
  {
    SetupDialogModel dialog(o, host);
    dialog.Open();
    ASSERT_EQ(dialog.controls.devices.size(), 3u);
    EXPECT_EQ(dialog.controls.devices[0].label, kSearchEveryPortText);
    EXPECT_EQ(dialog.controls.devices[0].path, "");
    EXPECT_EQ(dialog.controls.deviceRow, 0);
    dialog.SelectSerialDevice(1);
    dialog.PressCancel();
    EXPECT_TRUE(host.choices.empty()) << "Cancel chooses nothing";
  }
  {
    SetupDialogModel dialog(o, host);
    dialog.Open();
    dialog.SelectSerialDevice(1);
    dialog.SelectSerialDevice(7);  // no such row: the last good one stays
    EXPECT_TRUE(dialog.PressOk());
    EXPECT_EQ(host.choices, std::vector<std::string>{adapter});
    EXPECT_EQ(o.comPort, 3) << "the options keep their port number";
  }
  {
    SetupDialogModel dialog(o, host);
    dialog.Open();
    EXPECT_EQ(dialog.controls.deviceRow, 1);
    EXPECT_TRUE(dialog.PressOk());
    EXPECT_EQ(host.choices.size(), 1u) << "OK alone leaves a working connection alone";
    dialog.SelectSerialDevice(0);
    EXPECT_TRUE(dialog.PressOk());
    EXPECT_EQ(host.choices.back(), "") << "back to searching the ports";
  }
  // A choice no list holds now (unplugged, or the simulator's terminal) keeps a row.
  host.chosen = "/dev/pts/7";
  SetupDialogModel dialog(o, host);
  dialog.Open();
  ASSERT_EQ(dialog.controls.devices.size(), 4u);
  EXPECT_EQ(dialog.controls.devices[3].label, "/dev/pts/7 (not present now)");
  EXPECT_EQ(dialog.controls.deviceRow, 3);
}

TEST(SetupDialog, WhyThePortWillNotOpenShowsWhileItIsShut) {
  FakeHost host;
  host.portOpen = false;
  host.problem = "Permission denied on /dev/ttyUSB0: add yourself to its group dialout";
  OptionsRecord o = SetUpOptions();
  SetupDialogModel dialog(o, host);
  dialog.Open();
  EXPECT_EQ(dialog.controls.portLabel, "Serial Port 3");
  EXPECT_EQ(dialog.controls.portProblem, host.problem);
  host.portOpen = true;
  dialog.RefreshConnection();
  EXPECT_EQ(dialog.controls.portProblem, "");
}

}  // namespace
}  // namespace quorvel

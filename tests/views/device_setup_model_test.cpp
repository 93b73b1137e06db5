// The device setup window's model: the controls for each kind of selection,
// the slider and level arithmetic, the information panel, the energy meter's
// boxes, and what each command puts on the wire of the simulated house.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "config/config_files.h"
#include "engine/link_operations.h"
#include "engine/network_engine.h"
#include "plm/send_queues.h"
#include "view_rig.h"
#include "views/device_setup/device_setup_model.h"
#include "views/device_setup/link_list_model.h"

namespace quorvel {
namespace {

using testing::HouseRig;
using testing::kHallKeypad;
using testing::kKitchenCeiling;
using testing::kModem;

const InsteonId kLivingRoomLamp = InsteonId::From(0x2a, 0x10, 0x06);  // i2 dimmer
const InsteonId kGarageDoor = InsteonId::From(0x2a, 0x10, 0x07);      // I/O module
const InsteonId kBedsideRemote = InsteonId::From(0x2a, 0x10, 0x09);   // wireless remote
const InsteonId kMeter = InsteonId::From(0x2a, 0x20, 0x01);           // added: an energy meter
const InsteonId kNewcomer = InsteonId::From(0x2a, 0x20, 0x02);        // added: never identified

// The example house with an energy meter and a device the table has not identified.
sim::House HouseWithMeter() {
  sim::House house = testing::ExampleHouse();
  sim::SimDevice meter(kMeter, 0x09, 0x07, 0x10, sim::kEngineI2);
  meter.SetLinkAt(0, sim::LinkEntry{0xA2, 1, kModem, {0xFF, 0x00, 0}});
  house.devices.push_back(meter);
  house.modem.links.push_back(sim::LinkEntry{0xE2, 1, kMeter, {0x09, 0x07, 0x10}});
  house.modem.links.push_back(sim::LinkEntry{0xE2, 1, kNewcomer, {0, 0, 0}});
  return house;
}

class SetupRig : public HouseRig {
 public:
  SetupRig() : HouseRig(HouseWithMeter()) {}
  void Select(DeviceKey key) { ctx->tick.treeSelection = key; }
  void SelectDevice(const InsteonId& id, uint8_t group = 1) { Select(MakeDeviceKey(group, id)); }
  DeviceRecord& Record(const InsteonId& id, uint8_t group = 1) { return ctx->db[Slot(id, group)]; }
  DeviceSetupState state;
};

struct ModeCase {
  const char* name;
  std::function<void(SetupRig&)> setup;
  ControlSet want;
};
void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

ControlSet Shown(std::initializer_list<bool ControlSet::*> on, const char* caption = kAddNewDeviceCaption) {
  ControlSet c;
  for (bool ControlSet::*field : on) c.*field = true;
  c.addJoinCaption = caption;
  return c;
}

class SelectionModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(SelectionModes, ShowTheControlsThatFit) {
  const ModeCase& c = GetParam();
  SetupRig rig;
  c.setup(rig);
  const ControlSet got = ApplySelectionMode(*rig, rig.state);
  const ControlSet& w = c.want;
  EXPECT_EQ(got.groupOnOff, w.groupOnOff);
  EXPECT_EQ(got.deviceOnOff, w.deviceOnOff);
  EXPECT_EQ(got.slider, w.slider);
  EXPECT_EQ(got.linkList, w.linkList);
  EXPECT_EQ(got.modemButtons, w.modemButtons);
  EXPECT_EQ(got.addJoin, w.addJoin);
  EXPECT_EQ(got.unlink, w.unlink);
  EXPECT_EQ(got.energy, w.energy);
  EXPECT_EQ(got.idEdits, w.idEdits);
  EXPECT_EQ(got.groupList, w.groupList);
  EXPECT_EQ(got.helpPanel, w.helpPanel);
  EXPECT_EQ(got.groupView, w.groupView);
  if (w.addJoin) {
    EXPECT_EQ(got.addJoinCaption, w.addJoinCaption);
  }
  if (w.slider) {
    EXPECT_EQ(got.levelText, w.levelText);
  }
}

ControlSet WithView(ControlSet c, int group) {
  c.groupView = group;
  return c;
}
ControlSet WithLevel(ControlSet c, const char* text) {
  c.levelText = text;
  return c;
}

INSTANTIATE_TEST_SUITE_P(
    ForEachSelection, SelectionModes,
    ::testing::Values(
        ModeCase{"Modem", [](SetupRig& r) { r.Select(ModemKey(*r)); },
                 Shown({&ControlSet::modemButtons, &ControlSet::addJoin, &ControlSet::idEdits})},
        ModeCase{"ComputerGroup", [](SetupRig& r) { r.Select(MakeGroupKey(3)); },
                 WithView(Shown({&ControlSet::groupOnOff}), 3)},
        ModeCase{"Dimmer",
                 [](SetupRig& r) {
                   r.SelectDevice(kKitchenCeiling);
                   r.Record(kKitchenCeiling).level = 128;
                 },
                 WithLevel(Shown({&ControlSet::linkList, &ControlSet::slider, &ControlSet::deviceOnOff}), " 50% ")},
        ModeCase{"IoModule", [](SetupRig& r) { r.SelectDevice(kGarageDoor); },
                 WithLevel(Shown({&ControlSet::linkList, &ControlSet::slider, &ControlSet::deviceOnOff}), " 0% ")},
        ModeCase{"WirelessRemote", [](SetupRig& r) { r.SelectDevice(kBedsideRemote); },
                 Shown({&ControlSet::linkList})},
        ModeCase{"EnergyMeter", [](SetupRig& r) { r.SelectDevice(kMeter); },
                 Shown({&ControlSet::linkList, &ControlSet::energy})},
        ModeCase{"DeviceInGroupSetup",
                 [](SetupRig& r) {
                   r.state.groupSetupOpen = true;
                   r.SelectDevice(kHallKeypad, 3);
                 },
                 WithLevel(Shown({&ControlSet::linkList, &ControlSet::slider, &ControlSet::deviceOnOff,
                                  &ControlSet::addJoin, &ControlSet::unlink, &ControlSet::idEdits,
                                  &ControlSet::groupList},
                                 kJoinGroupCaption),
                           " 0% ")},
        ModeCase{"DeviceGone", [](SetupRig& r) { r.SelectDevice(kKitchenCeiling, 77); }, ControlSet{}},
        ModeCase{"HelpShown",
                 [](SetupRig& r) {
                   r.state.helpVisible = true;
                   r.SelectDevice(kKitchenCeiling);
                 },
                 Shown({&ControlSet::helpPanel})},
        ModeCase{"EmptyTableWithHelp",
                 [](SetupRig& r) {
                   r->db.ClearAll();
                   r.state.helpVisible = true;
                 },
                 Shown({&ControlSet::helpPanel, &ControlSet::addJoin, &ControlSet::idEdits})}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

TEST(SelectionModes, GroupSetupMovesTheGroupListToTheDevicesGroup) {
  SetupRig rig;
  rig.state.groupSetupOpen = true;
  rig.SelectDevice(kHallKeypad, 3);
  ApplySelectionMode(*rig, rig.state);
  EXPECT_EQ(rig.state.groupListIndex, 3);
  // A group the list has no entry for selects none.
  rig.AddRecord(kHallKeypad, 253);
  rig.SelectDevice(kHallKeypad, 253);
  ApplySelectionMode(*rig, rig.state);
  EXPECT_EQ(rig.state.groupListIndex, -1);
}

TEST(LevelText, FromTheDeviceAndFromTheSlider) {
  struct FromLevel {
    uint8_t level;
    const char* text;
    int position;
  };
  for (const FromLevel& c : {FromLevel{0, " 0% ", 1}, FromLevel{10, " 0% ", 3}, FromLevel{13, " 5% ", 3},
                             FromLevel{128, " 50% ", 26}, FromLevel{242, " 94% ", 49}, FromLevel{244, " 95% ", 49},
                             FromLevel{247, " 100% ", 50}, FromLevel{250, " 100% ", 51}, FromLevel{255, " 100% ", 51}}) {
    SCOPED_TRACE(c.level);
    EXPECT_EQ(LevelTextFromLevel(c.level), c.text);
    EXPECT_EQ(SliderPositionForLevel(c.level), c.position) << "never past the slider's end";
  }
  struct FromSlider {
    int position;
    const char* text;
    uint8_t onLevel;
  };
  for (const FromSlider& c : {FromSlider{0, " 0% ", 0}, FromSlider{1, " 2% ", 5}, FromSlider{20, " 40% ", 100},
                              FromSlider{49, " 98% ", 245}, FromSlider{50, " 100% ", 250},
                              FromSlider{51, " 100% ", 255}, FromSlider{80, " 100% ", 255}}) {
    SCOPED_TRACE(c.position);
    DeviceSetupState s;
    SliderMoved(s, c.position, true);
    EXPECT_EQ(LevelTextFromSlider(s), c.text);
    EXPECT_EQ(s.onLevel, c.onLevel);
    DeviceSetupState group;
    SliderMoved(group, c.position, false);
    EXPECT_EQ(group.onLevel, 255) << "only a device's ON level follows the slider";
  }
}

TEST(EnergyMeter, WattsAndKilowattHours) {
  struct Case {
    std::vector<uint8_t> bytes7to12;
    int watts;
    double kwh;
  };
  const Case cases[] = {
      {{0x00, 0x64, 0x00, 0x00, 0x00, 0x00}, 100, 0},
      {{0xFF, 0xFE, 0x00, 0x00, 0x00, 0x00}, -1, 0},  // as the meter's makers read it: 65535 less
      {{0x7F, 0xFF, 0x00, 0x00, 0x0C, 0x35}, 32767, 3125.0 * 65535 / 216000000},
      {{0x00, 0x10, 0xFE, 0x12, 0x34, 0x56}, 16, 0},
      {{0x00, 0x10, 0xFD, 0xFF, 0xFF, 0xFF}, 16, 4261412863.0 * 65535 / 216000000},  // past 32 bits
  };
  for (const Case& c : cases) {
    uint8_t ext[14] = {};
    for (size_t i = 0; i < c.bytes7to12.size(); ++i) ext[6 + i] = c.bytes7to12[i];
    const EnergyReading e = EnergyFromExtData(ext);
    EXPECT_EQ(e.watts, c.watts);
    EXPECT_DOUBLE_EQ(e.kwh, c.kwh);
  }
}

TEST(InfoPanel, TheModemADeviceAGroupAndNoModem) {
  SetupRig rig;
  rig.Select(ModemKey(*rig));
  InfoPanel p = BuildInfoPanel(*rig, rig.state);
  EXPECT_EQ(p.picture, "2413u.bmp");
  ASSERT_GE(p.lines.size(), 13u);
  EXPECT_EQ(p.lines[0], " PLM 2413U  FirmWare 9.e, CAT  3, 15 ");
  EXPECT_EQ(p.lines[1], " 1e.65.a2 ");
  EXPECT_EQ(p.lines[2], " - Add New Device / Create Group -");
  EXPECT_EQ(p.lines.back(), "For Motion Sensor: Press set button, or activate motion.");

  rig.SelectDevice(kKitchenCeiling);
  DeviceRecord& ceiling = rig.Record(kKitchenCeiling);
  std::strcpy(ceiling.picture, "2476dt.bmp");
  p = BuildInfoPanel(*rig, rig.state);
  EXPECT_EQ(p.picture, "2476dt.bmp");
  ASSERT_EQ(p.lines.size(), 2u);
  EXPECT_EQ(p.lines[0], "SwitchLinc Dimmer DB    Cat 1:20\nFirmware 4.1, IEV 3");
  EXPECT_EQ(p.lines[1], "Last Contact: 03/13/2011 - 07:06:00 am");
  EXPECT_EQ(p.caption, "[2a.10.01]\nKitchen Ceiling");

  // Never heard from, a time a damaged file left, and a time before 2010.
  for (const Time t : {Time{0}, Time{1} << 60, Time{1200000000}}) {
    ceiling.timeLastContact = t;
    EXPECT_EQ(BuildInfoPanel(*rig, rig.state).lines[1], "No response from device.");
  }

  // A device not yet identified: how to wake it, and no name to show.
  rig.SelectDevice(kNewcomer);
  p = BuildInfoPanel(*rig, rig.state);
  EXPECT_EQ(p.picture, "default.bmp");
  ASSERT_EQ(p.lines.size(), 6u);
  EXPECT_EQ(p.lines[0], "    Cat 0:0\nFirmware 0.0, IEV 0") << "already 30 characters and more";
  EXPECT_EQ(p.lines[2], "Wireless devices such as RemoteLinc need activation.");
  EXPECT_EQ(p.caption, "[2a.20.02]\n");

  // A device known by kind only is named after it, and keeps that name.
  DeviceRecord& garage = rig.Record(kGarageDoor);
  garage.name[0] = '\0';
  rig.SelectDevice(kGarageDoor);
  garage.level = 255;
  garage.level2 = 1;
  p = BuildInfoPanel(*rig, rig.state);
  EXPECT_EQ(p.caption, "[2a.10.07]\nI/OLinc");
  EXPECT_STREQ(garage.name, "I/OLinc");
  EXPECT_EQ(p.lines[2], "Sensor status 1, Relay status 255");

  rig->groups.SetGroupLabel(3, "Scenes");
  rig.Select(MakeGroupKey(3));
  EXPECT_EQ(BuildInfoPanel(*rig, rig.state).caption, " Computer Group 3 \n Scenes ");

  rig->db.plm.plmFound = 0;
  p = BuildInfoPanel(*rig, rig.state);
  EXPECT_TRUE(p.noModem);
  EXPECT_EQ(p.lines.at(0), "A Power Line Modem #2413U,2412S/U must be connected to save device(s) ID.");
}

TEST(InfoPanel, AWirelessDeviceWithAHeldCommandShowsTheReminder) {
  SetupRig rig;
  rig.SelectDevice(kBedsideRemote);
  EXPECT_EQ(BuildInfoPanel(*rig, rig.state).lines.size(), 2u);
  DeviceOn(*rig, MakeDeviceKey(1, kBedsideRemote), 255);  // held: the remote sleeps
  ASSERT_GE(FindHeldFor(*rig, kBedsideRemote), 0);
  RebuildQueuedList(*rig);
  ASSERT_FALSE(rig->log.WakeReminder().empty());
  const InfoPanel p = BuildInfoPanel(*rig, rig.state);
  ASSERT_EQ(p.lines.size(), 4u);
  EXPECT_EQ(p.lines[2] + " - " + p.lines[3], rig->log.WakeReminder());
  EXPECT_NE(p.lines[2].find("RemoteLinc 2A.10.09"), std::string::npos) << p.lines[2];
}

TEST(InfoPanel, TheMetersBoxes) {
  SetupRig rig;
  rig.SelectDevice(kMeter);
  DeviceRecord& m = rig.Record(kMeter);
  m.extData[6] = 0x00;
  m.extData[7] = 0xC8;  // 200 W
  m.extData[11] = 0x64;
  m.timeStatusRequest = rig.clock.Now() + 65;
  rig->options.energyPrice = 0.25f;
  const InfoPanel p = BuildInfoPanel(*rig, rig.state);
  const std::vector<std::string> left = {"At 03/13/2011 - 07:07:05 am", "Power Consumption 200.000000 Watts",
                                         "Cost per hour 0.050000", "Cost per 8 hours 0.400000"};
  EXPECT_EQ(p.energyLeft, left);
  ASSERT_EQ(p.energyRight.size(), 3u);
  EXPECT_EQ(p.energyRight[0], "Since 03/13/2011 - 07:06:00 am");
  EXPECT_EQ(p.energyRight[1], "Energy Used 0.030340 KWh");
  m.timeStatusRequest = 0;
  EXPECT_EQ(BuildInfoPanel(*rig, rig.state).energyLeft[0], "At ") << "never asked";
  EXPECT_EQ(p.energyRight[2], "0.030340 x $0.250000 = $0.007585");
}

// Each command's message, as the modem is asked to send it.
struct WireCase {
  const char* name;
  InsteonId target;
  std::function<void(SetupRig&)> run;
  std::vector<std::vector<uint8_t>> sent;  // to the target, in order
};
void PrintTo(const WireCase& c, std::ostream* os) { *os << c.name; }

std::vector<uint8_t> Standard(const InsteonId& id, uint8_t cmd1, uint8_t cmd2) {
  return {0x02, 0x62, id.b[0], id.b[1], id.b[2], 0x0F, cmd1, cmd2};
}

class Commands : public ::testing::TestWithParam<WireCase> {};

TEST_P(Commands, PutTheirMessagesOnTheWire) {
  const WireCase& c = GetParam();
  SetupRig rig;
  c.run(rig);
  ASSERT_TRUE(rig.RunToQuiet());
  // The rings retry and interleave as the line allows: what counts is which
  // messages went out.
  std::vector<std::vector<uint8_t>> sent;
  for (const std::vector<uint8_t>& m : rig.Sent()) {
    if (m.size() >= 5 && m[1] == 0x62 && InsteonId::FromBytes(&m[2]) == c.target) sent.push_back(m);
  }
  std::vector<std::vector<uint8_t>> want = c.sent;
  for (auto* v : {&sent, &want}) {
    std::sort(v->begin(), v->end());
    v->erase(std::unique(v->begin(), v->end()), v->end());
  }
  EXPECT_EQ(sent, want);
}

std::vector<uint8_t> ExtendedLinkingMode(const InsteonId& id, uint8_t group) {
  std::vector<uint8_t> m = {0x02, 0x62, id.b[0], id.b[1], id.b[2], 0x1F, 0x09, group};
  uint8_t data[14] = {};
  data[13] = ExtendedChecksum(0x09, group, data);
  m.insert(m.end(), data, data + 14);
  return m;
}

INSTANTIATE_TEST_SUITE_P(
    ForEachCommand, Commands,
    ::testing::Values(
        WireCase{"OnAtFullLevelAfterStart", kKitchenCeiling,
                 [](SetupRig& r) {
                   r.SelectDevice(kKitchenCeiling);
                   RunDeviceCommand(*r, r.state, kCmdOn);
                 },
                 {Standard(kKitchenCeiling, 0x11, 0xFF)}},
        WireCase{"PresetThenSlider", kKitchenCeiling,
                 [](SetupRig& r) {
                   r.SelectDevice(kKitchenCeiling);
                   RunDeviceCommand(*r, r.state, kCmdPreset50);
                   r.RunToQuiet();
                   SliderMoved(r.state, 30, true);
                   RunDeviceCommand(*r, r.state, kCmdOn);
                 },
                 {Standard(kKitchenCeiling, 0x11, 0x7F), Standard(kKitchenCeiling, 0x11, 150)}},
        WireCase{"SliderThenOn", kKitchenCeiling,
                 [](SetupRig& r) {
                   r.SelectDevice(kKitchenCeiling);
                   SliderMoved(r.state, 20, true);
                   RunDeviceCommand(*r, r.state, kCmdOn);
                 },
                 {Standard(kKitchenCeiling, 0x11, 100)}},
        WireCase{"Off", kKitchenCeiling,
                 [](SetupRig& r) {
                   r.SelectDevice(kKitchenCeiling);
                   RunDeviceCommand(*r, r.state, kCmdPreset0);
                 },
                 {Standard(kKitchenCeiling, 0x13, 0x00)}},
        WireCase{"GetStatus", kLivingRoomLamp,
                 [](SetupRig& r) {
                   r.SelectDevice(kLivingRoomLamp);
                   RunDeviceCommand(*r, r.state, kCmdGetStatus);
                 },
                 {Standard(kLivingRoomLamp, 0x19, 0x00)}},
        WireCase{"GetCategory", kLivingRoomLamp,
                 [](SetupRig& r) {
                   r.SelectDevice(kLivingRoomLamp);
                   RunDeviceCommand(*r, r.state, kCmdGetCategory);
                 },
                 {Standard(kLivingRoomLamp, 0x10, 0x00), Standard(kLivingRoomLamp, 0x0D, 0x00),
                  Standard(kLivingRoomLamp, 0x19, 0x00)}},
        WireCase{"GetVersion", kLivingRoomLamp,
                 [](SetupRig& r) {
                   r.SelectDevice(kLivingRoomLamp);
                   RunDeviceCommand(*r, r.state, kCmdGetVersion);
                 },
                 {Standard(kLivingRoomLamp, 0x0D, 0x00)}},
        WireCase{"LinkingModeOfAnI2Device", kLivingRoomLamp,
                 [](SetupRig& r) {
                   r.SelectDevice(kLivingRoomLamp);
                   RunDeviceCommand(*r, r.state, kCmdEnterLinking);
                 },
                 {Standard(kLivingRoomLamp, 0x09, 0x05)}},
        WireCase{"LinkingModeOfAnI2csDeviceIsExtended", kKitchenCeiling,
                 [](SetupRig& r) {
                   r.SelectDevice(kKitchenCeiling);
                   r.state.groupListIndex = 12;
                   RunDeviceCommand(*r, r.state, kCmdEnterLinking);
                 },
                 {ExtendedLinkingMode(kKitchenCeiling, 12)}},
        WireCase{"UnlinkingMode", kLivingRoomLamp,
                 [](SetupRig& r) {
                   r.SelectDevice(kLivingRoomLamp);
                   RunDeviceCommand(*r, r.state, kCmdEnterUnlinking);
                 },
                 {Standard(kLivingRoomLamp, 0x0A, 0x05)}},
        WireCase{"MeterResetThenReading", kMeter,
                 [](SetupRig& r) {
                   r.SelectDevice(kMeter);
                   RunDeviceCommand(*r, r.state, kCmdEnergyReset);
                 },
                 {Standard(kMeter, 0x80, 0x00), Standard(kMeter, 0x82, 0x00)}},
        WireCase{"OnForAGroupGoesToTheModem", kKitchenCeiling,
                 [](SetupRig& r) {
                   r.Select(MakeGroupKey(1));
                   RunDeviceCommand(*r, r.state, kCmdOn);
                 },
                 {}},
        WireCase{"NothingForADeviceThatIsGone", kKitchenCeiling,
                 [](SetupRig& r) {
                   r.SelectDevice(kKitchenCeiling, 42);
                   for (int cmd : {kCmdOn, kCmdOff, kCmdGetStatus, kCmdGetCategory, kCmdGetVersion, kCmdRefreshLinks,
                                   kCmdEnterLinking, kCmdEnterUnlinking, kCmdEnergyReset, kCmdEnergyRefresh})
                     RunDeviceCommand(*r, r.state, cmd);
                 },
                 {}}),
    [](const ::testing::TestParamInfo<WireCase>& info) { return std::string(info.param.name); });

TEST(Commands, OnSwitchesTheSimulatedDimmer) {
  SetupRig rig;
  rig.SelectDevice(kLivingRoomLamp);
  RunDeviceCommand(*rig, rig.state, kCmdPreset75);
  ASSERT_TRUE(rig.RunToQuiet());
  EXPECT_EQ(rig.net.Device(kLivingRoomLamp)->level, 191);
  EXPECT_EQ(rig.Record(kLivingRoomLamp).level, 191) << "the acknowledgement brings the level in";
  RunDeviceCommand(*rig, rig.state, kCmdOff);
  ASSERT_TRUE(rig.RunToQuiet());
  EXPECT_EQ(rig.net.Device(kLivingRoomLamp)->level, 0);
}

TEST(Commands, ModemCommands) {
  SetupRig rig;
  rig.Select(ModemKey(*rig));
  RunDeviceCommand(*rig, rig.state, kCmdPlmLinkMode);
  RunDeviceCommand(*rig, rig.state, kCmdPlmCancelLinkMode);
  RunDeviceCommand(*rig, rig.state, kCmdOn);  // nothing for the modem itself
  ASSERT_TRUE(rig.RunToQuiet());
  EXPECT_EQ(rig.ModemCommands(), (std::vector<std::vector<uint8_t>>{{0x02, 0x64, 0x01, 0xFB}, {0x02, 0x65}}));
  rig.ClearSent();
  rig.Select(MakeGroupKey(1));
  RunDeviceCommand(*rig, rig.state, kCmdOn);
  ASSERT_TRUE(rig.RunToQuiet());
  RunDeviceCommand(*rig, rig.state, kCmdPreset0);
  ASSERT_TRUE(rig.RunToQuiet());
  std::vector<std::vector<uint8_t>> group = rig.ModemCommands();
  group.erase(std::unique(group.begin(), group.end()), group.end());
  EXPECT_EQ(group, (std::vector<std::vector<uint8_t>>{{0x02, 0x61, 0x01, 0x11, 0x00}, {0x02, 0x61, 0x01, 0x13, 0x00}}));
  const std::vector<std::string> activity = rig.Activity();
  EXPECT_NE(std::find(activity.begin(), activity.end(), "Computer Group 1 On"), activity.end());
  EXPECT_NE(std::find(activity.begin(), activity.end(), "Computer Group 1 Off"), activity.end());
  EXPECT_EQ(rig.net.Device(kKitchenCeiling)->level, 0) << "the group's responders followed it";
}

TEST(Commands, RefreshLinkListSaysWhatItReads) {
  SetupRig rig;
  rig.SelectDevice(kLivingRoomLamp);
  RunDeviceCommand(*rig, rig.state, kCmdRefreshLinks);
  EXPECT_EQ(rig.Activity().back(), "Reading Device Links from 2a.10.06");
  ASSERT_TRUE(rig.RunToQuiet());
  ASSERT_FALSE(rig.SentTo(kLivingRoomLamp, 0x2F).empty());
}

TEST(AddOrJoin, ANewIdBecomesARecordForTheEngine) {
  SetupRig rig;
  rig.Select(ModemKey(*rig));
  const uint32_t count = rig->db.count;
  const std::string typed[3] = {"2a", "30", " 7"};
  const CommandOutcome out = AddOrJoin(*rig, rig.state, typed);
  EXPECT_TRUE(out.changed);
  EXPECT_FALSE(out.HasBox());
  ASSERT_EQ(rig->db.count, count + 1);
  const DeviceRecord& r = rig->db[static_cast<int>(count)];
  EXPECT_EQ(r.id, InsteonId::From(0x2a, 0x30, 0x07));
  EXPECT_EQ(r.linkFlags, 0);
  EXPECT_EQ(r.group, 0);
  EXPECT_TRUE(rig->queues.modem.Empty()) << "the engine takes it from here";
}

// A known device put into group 7: the modem's record and the find request,
// the device's responder record, the line, and the auto-save's counter.
TEST(AddOrJoin, AKnownDeviceJoinsTheGroup) {
  SetupRig rig;
  rig.state.groupSetupOpen = true;
  rig.SelectDevice(kLivingRoomLamp);
  rig.state.groupListIndex = 7;
  const uint32_t count = rig->db.count;
  const int8_t saves = rig->engine.autoSaveCounter;
  const std::string typed[3] = {"2A", "10", "06"};
  EXPECT_TRUE(AddOrJoin(*rig, rig.state, typed).changed);
  EXPECT_EQ(rig->db.count, count) << "the modem's answer appends the record";
  EXPECT_EQ(rig->db[static_cast<int>(count)].group, 7) << "the uncounted slot holds the copy";
  EXPECT_EQ(rig->db[static_cast<int>(count)].category, 0x01);
  EXPECT_EQ(rig->engine.autoSaveCounter, saves + 1);
  EXPECT_EQ(rig->tick.treeSelection, MakeDeviceKey(7, kLivingRoomLamp));
  EXPECT_EQ(rig->engine.wait.text, "Link 2A.10.06 to Computer Group 7.");
  ASSERT_TRUE(rig.RunToQuiet());
  const std::vector<std::vector<uint8_t>> modem = rig.ModemCommands();
  ASSERT_GE(modem.size(), 3u);
  EXPECT_EQ(modem[0], (std::vector<uint8_t>{0x02, 0x6F, 0x41, 0xE2, 0x07, 0x2A, 0x10, 0x06, 0x01, 0x0E, 0x40}));
  EXPECT_EQ(modem[1], (std::vector<uint8_t>{0x02, 0x6C}));
  EXPECT_EQ(modem.back(), (std::vector<uint8_t>{0x02, 0x6F, 0x00, 0x00, 0x07, 0x2A, 0x10, 0x06, 0x00, 0x00, 0x00}));
  sim::SimDevice& lamp = *rig.net.Device(kLivingRoomLamp);
  EXPECT_GE(lamp.FindLink(false, 7, kModem), 0) << "the lamp answers the modem's group 7";
  EXPECT_GE(rig.net.Modem().Find(7, kLivingRoomLamp, sim::kAnySide), 0);
  const std::vector<std::string> activity = rig.Activity();
  EXPECT_NE(std::find(activity.begin(), activity.end(), "Link 2A.10.06 to Computer Group 7."), activity.end());
  EXPECT_NE(std::find(activity.begin(), activity.end(), "Link 2A.10.06 to PLM 1E.65.A2 group 7"), activity.end());
}

// From the modem's view the group list is hidden: a known id joins the group
// it holds, 5 until another was chosen.
TEST(AddOrJoin, AKnownIdFromTheModemsViewJoinsTheHiddenListsGroup) {
  SetupRig rig;
  rig.Select(ModemKey(*rig));
  ASSERT_FALSE(ApplySelectionMode(*rig, rig.state).groupList);
  const std::string typed[3] = {"2a", "10", "06"};
  EXPECT_TRUE(AddOrJoin(*rig, rig.state, typed).changed);
  EXPECT_EQ(rig->tick.treeSelection, MakeDeviceKey(kGroupListStart, kLivingRoomLamp));
  EXPECT_EQ(rig->linkOps.state.jobs[0].record[1], kGroupListStart);
}

TEST(AddOrJoin, LeavingTheDiscoveryAreaKeepsTheDevicesOwnRecord) {
  SetupRig rig;
  DeviceRecord& placed = rig.AddRecord(kLivingRoomLamp, kDiscoveryGroup);
  placed.linkFlags = 0xA2;
  const int placedSlot = rig.Slot(kLivingRoomLamp, kDiscoveryGroup);
  // The first record of the lamp is the one the join copies: make it the 251 one.
  std::swap(rig->db[rig.Slot(kLivingRoomLamp, 1)], rig->db[placedSlot]);
  rig.state.groupListIndex = 9;
  const std::string typed[3] = {"2a", "10", "06"};
  const CommandOutcome out = AddOrJoin(*rig, rig.state, typed);
  EXPECT_TRUE(out.changed) << out.title << ": " << out.text;
  const int was251 = rig->db.FindDeviceInGroup(kDiscoveryGroup, kLivingRoomLamp);
  ASSERT_GE(was251, 0);
  EXPECT_EQ(rig->db[was251].linkFlags, kRemovedRecordFlags);
  // Only the modem's record of 251 is deleted; the one job is the group-9 record.
  EXPECT_EQ(rig->linkOps.state.backlogCount, 0);
  EXPECT_EQ(rig->linkOps.state.jobs[0].record[1], 9);
  ASSERT_TRUE(rig.RunToQuiet());
  EXPECT_EQ(rig.ModemCommands().at(0),
            (std::vector<uint8_t>{0x02, 0x6F, 0x80, 0xA2, 0xFB, 0x2A, 0x10, 0x06, 0x00, 0x00, 0x00}));
}

TEST(AddOrJoin, RefusalsChangeNothing) {
  struct Case {
    const char* name;
    std::vector<std::string> typed;
    std::function<void(SetupRig&)> setup;
    std::string title, text;
  };
  const Case cases[] = {
      {"not hexadecimal", {"2g", "10", "06"}, nullptr, "Device ID",
       "Please enter the device ID as three hexadecimal bytes, for example 2a 10 01."},
      {"too long", {"2a1", "10", "06"}, nullptr, "Device ID",
       "Please enter the device ID as three hexadecimal bytes, for example 2a 10 01."},
      {"empty", {"", "", ""}, nullptr, "Device ID",
       "Please enter the device ID as three hexadecimal bytes, for example 2a 10 01."},
      {"zero", {"00", "00", "00"}, nullptr, "Device ID", "00.00.00 is not a device ID."},
      {"the modem", {"1e", "65", "a2"}, nullptr, "Device ID", "1e.65.a2 is the Power Line Modem's own ID."},
      {"table full", {"2a", "30", "01"}, [](SetupRig& r) { r->db.count = kMaxDevices; }, "Device ID",
       "Device table full"},
      {"busy", {"2a", "30", "01"},
       [](SetupRig& r) { LinkDeviceToPlmGroup(*r, r.Slot(kKitchenCeiling, 1), 9); },
       "Please wait for current operation to finish.", "Adding new Insteon device to network..."},
      {"no group chosen", {"2a", "10", "06"}, [](SetupRig& r) { r.state.groupListIndex = -1; }, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetupRig rig;
    rig.Select(ModemKey(*rig));
    if (c.setup) c.setup(rig);
    const auto before = std::make_unique<DeviceDatabase>(rig->db);
    const int queued = rig->queues.modem.Size();
    const std::string typed[3] = {c.typed[0], c.typed[1], c.typed[2]};
    const CommandOutcome out = AddOrJoin(*rig, rig.state, typed);
    EXPECT_FALSE(out.changed);
    EXPECT_EQ(out.title, c.title);
    EXPECT_EQ(out.text, c.text);
    EXPECT_EQ(std::memcmp(before->records, rig->db.records, sizeof before->records), 0);
    EXPECT_EQ(before->count, rig->db.count);
    EXPECT_EQ(rig->queues.modem.Size(), queued);
  }
}

TEST(AddOrJoin, ADeviceWithAFullLinkTableIsRefusedWithALine) {
  SetupRig rig;
  DeviceRecord& lamp = rig.Record(kLivingRoomLamp);
  for (int k = 0; k < kWritableLinkSlots; ++k) {
    lamp.links[k].flags = 0xA2;
    lamp.links[k].group = static_cast<uint8_t>(100 + k);
    lamp.links[k].id = kHallKeypad;
  }
  lamp.linkCount = kWritableLinkSlots;
  rig.state.groupListIndex = 7;
  const std::string typed[3] = {"2a", "10", "06"};
  const CommandOutcome out = AddOrJoin(*rig, rig.state, typed);
  EXPECT_FALSE(out.changed);
  EXPECT_EQ(out.text, "No free link slot in 2A.10.06");
  EXPECT_TRUE(rig->queues.modem.Empty()) << "the modem is not given a record the device cannot answer";
  const std::vector<std::string> activity = rig.Activity();
  EXPECT_EQ(activity.back(), "No free link slot in 2A.10.06");
  EXPECT_EQ(std::count(activity.begin(), activity.end(), "Link 2A.10.06 to Computer Group 7."), 0);
}

TEST(FactoryReset, OkResetsTheModemAndEmptiesTheTable) {
  SetupRig rig;
  rig.Select(ModemKey(*rig));
  EXPECT_EQ(FactoryResetQuestion(*rig),
            "1e.65.a2  PLM 2413U  FirmWare 9.e\n\n  This will clear all links from the Power Line Modem");
  ASSERT_TRUE(FactoryReset(*rig));
  EXPECT_EQ(rig.Sent().back(), (std::vector<uint8_t>{0x02, 0x67}));
  EXPECT_EQ(rig->db.count, 0u);
  EXPECT_EQ(rig->db.plm.plmFound, 0);
}

TEST(FactoryReset, WithThePortClosedNothingIsEmptied) {
  SetupRig rig;
  rig->link.ClosePort(*rig);
  rig.port.Close();
  const uint32_t count = rig->db.count;
  EXPECT_FALSE(FactoryReset(*rig));
  EXPECT_EQ(rig->db.count, count);
  EXPECT_EQ(rig->db.plm.plmFound, 1);
  EXPECT_EQ(rig.Activity().back(), "Serial port closed - PLM not reset.");
}

TEST(CostField, StoresAnEditedPriceWholeAndRefusesTheRest) {
  struct Case {
    std::string text;
    bool edited;
    bool stored;
    float price;
  };
  const Case cases[] = {
      {"0.125000", false, false, 0.13f},  // passing through the field changes nothing
      {"0.125", true, true, 0.125f},
      {"10.25", true, true, 10.25f},
      {".08", true, true, 0.08f},
      {" 7 ", true, true, 7.0f},
      {"abc", true, false, 0.13f},
      {"1,5", true, false, 0.13f},
      {"-1", true, false, 0.13f},
      {"nan", true, false, 0.13f},
      {"1e9", true, false, 0.13f},
      {"", true, false, 0.13f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SetupRig rig;
    rig.SelectDevice(kMeter);
    rig->options.energyPrice = 0.13f;
    const CommandOutcome out = CommitCost(*rig, rig.state, c.text, c.edited);
    EXPECT_EQ(out.changed, c.stored);
    EXPECT_FLOAT_EQ(rig->options.energyPrice, c.price);
    EXPECT_EQ(out.HasBox(), c.edited && !c.stored);
  }
}

TEST(PlmReadAldb, SavesFirstOnceTheTableWasMerged) {
  SetupRig rig;
  rig->engine.engineState = kEngineSteady;
  std::strcpy(rig.Record(kKitchenCeiling).name, "Renamed since the save");
  PlmReadAldb(*rig);
  EXPECT_EQ(rig->engine.engineState, 0);
  const int stored = rig->loaded.FindDeviceInGroup(1, kKitchenCeiling);
  ASSERT_GE(stored, 0) << "the save was loaded back as the copy the next merge takes";
  EXPECT_STREQ(rig->loaded[stored].name, "Renamed since the save");

  rig->db.dbFlags = 0;  // never merged: nothing may overwrite the data file
  rig->engine.engineState = kEngineSteady;
  const int steps = rig.files.StepsDone();
  PlmReadAldb(*rig);
  EXPECT_EQ(rig->engine.engineState, 0);
  EXPECT_EQ(rig.files.StepsDone(), steps) << "nothing written";
}

TEST(Menus, OfADimmerARemoteAndAGroup) {
  SetupRig rig;
  auto texts = [](const Menu& m) {
    std::vector<std::string> out;
    for (const MenuEntry& e : m) {
      if (e.kind == MenuEntry::Kind::kSeparator) out.push_back("--");
      else if (e.kind == MenuEntry::Kind::kSubmenuBegin) out.push_back(">" + e.text);
      else if (e.kind == MenuEntry::Kind::kSubmenuEnd) out.push_back("<");
      else out.push_back(e.text);
    }
    return out;
  };
  rig.SelectDevice(kKitchenCeiling);
  EXPECT_EQ(texts(DeviceSetupMenu(*rig, rig.state)),
            (std::vector<std::string>{"[ 2a.10.01 ]   Kitchen Ceiling", "--", "On", ">&On to preset level", "100% ON",
                                      " 75% ", " 50% ", " 25% ", "  0% OFF", "<", "Off", "--", ">&Get Properties",
                                      "Get Status", "Get Catagory", "Get Version", "Refresh Link List",
                                      "Enter Linking Mode", "Enter UnLinking Mode", "<", "--", ""}));
  rig.SelectDevice(kBedsideRemote);
  const Menu remote = DeviceSetupMenu(*rig, rig.state);
  EXPECT_EQ(texts(remote)[2], "--") << "a sleeping remote cannot be switched";
  rig.Select(MakeGroupKey(2));
  const Menu group = DeviceSetupMenu(*rig, rig.state);
  EXPECT_EQ(texts(group), (std::vector<std::string>{"Group 2", "--", "On", "Off", "--", ">&Group View", "Side View",
                                                    "Top View", "<", "--"}));
  EXPECT_TRUE(group[0].checked);
  EXPECT_FALSE(group[0].enabled);
  rig.Select(ModemKey(*rig));
  EXPECT_TRUE(DeviceSetupMenu(*rig, rig.state).empty());

  rig.Select(MakeGroupKey(2));
  RunDeviceCommand(*rig, rig.state, kCmdSideView);
  EXPECT_EQ(rig->groups.groups[2].sideView, 1);
  RunDeviceCommand(*rig, rig.state, kCmdTopView);
  EXPECT_EQ(rig->groups.groups[2].sideView, 0);
}

TEST(LinkList, TheRowsOfADevicesLinks) {
  SetupRig rig;
  const DeviceLinks links = FillDeviceLinks(*rig, rig.Slot(kKitchenCeiling, 1));
  std::vector<std::vector<std::string>> rows;
  for (const LinkRow& r : links.rows) rows.push_back({std::to_string(r.slot), r.cells[0], r.cells[1], r.cells[2], r.cells[3]});
  const std::vector<std::vector<std::string>> want = {
      {"0", " Responds to   1e.65.a2   PLM / Computer", "1", "100%", "0.5 sec"},
      {"1", " Controls   1e.65.a2   PLM / Computer", "1", "---", "---"},
      {"2", " Controls   2a.10.02   SwitchLinc Dimmer DB", "1", "---", "---"},
      {"3", " Responds to   2a.10.02   SwitchLinc Dimmer DB", "1", "100%", "0.5 sec"},
      {"4", " Responds to   2a.10.04   KeypadLinc Dimmer8", "3", "100%", "0.5 sec"},
      // slot 5 names the pantry light, which is in the table as a discovered device
      {"5", " Controls   2a.10.11   ", "1", "---", "---"},
  };
  EXPECT_EQ(rows, want);
  ASSERT_TRUE(links.modemGroup.has_value());
  EXPECT_EQ(*links.modemGroup, 1);

  // A relay's rows say SWITCH; a partner with no record is not listed.
  const DeviceLinks relay = FillDeviceLinks(*rig, rig.Slot(InsteonId::From(0x2a, 0x10, 0x0b), 1));
  ASSERT_EQ(relay.rows.size(), 1u);
  EXPECT_EQ(relay.rows[0].cells[2], "100%");
  EXPECT_EQ(relay.rows[0].cells[3], "SWITCH");
  const DeviceLinks stairs = FillDeviceLinks(*rig, rig.Slot(InsteonId::From(0x2a, 0x10, 0x0a), 1));
  for (const LinkRow& r : stairs.rows) EXPECT_NE(r.slot, 1) << "the removed record";
  EXPECT_TRUE(FillDeviceLinks(*rig, -1).rows.empty());
  EXPECT_TRUE(FillDeviceLinks(*rig, kDeviceSlots).rows.empty());

  struct Conversion {
    uint8_t value;
    int percent;
    std::string seconds;
  };
  for (const Conversion& c : {Conversion{255, 100, "0.5 sec"}, Conversion{128, 50, "0.5 sec"},
                              Conversion{2, 0, "420 sec"}, Conversion{3, 1, "360 sec"}, Conversion{0, 0, "540 sec"},
                              Conversion{27, 11, "2 sec"}, Conversion{31, 12, "0.1 sec"}}) {
    EXPECT_EQ(LinkLevelPercent(c.value), c.percent);
    EXPECT_EQ(RampSecondsText(c.value), c.seconds);
  }
}

TEST(RefreshDisplay, RefillsTheEditsOnlyForANewDevice) {
  SetupRig rig;
  rig.SelectDevice(kKitchenCeiling);
  rig->options.energyPrice = 0.125f;
  DisplayRefresh d = RefreshDeviceDisplay(*rig, rig.state);
  EXPECT_TRUE(d.refill);
  EXPECT_EQ(d.idEdits[0] + d.idEdits[1] + d.idEdits[2], "2a1001");
  EXPECT_EQ(d.costText, "0.125000");
  EXPECT_EQ(d.links.rows.size(), 6u);
  rig.Record(kKitchenCeiling).level = 255;
  d = RefreshDeviceDisplay(*rig, rig.state);
  EXPECT_FALSE(d.refill) << "the same device: what the user typed stays";
  EXPECT_EQ(d.sliderPosition, kSliderMax);
  EXPECT_EQ(d.levelText, " 100% ");
  rig.SelectDevice(kHallKeypad, 3);
  d = RefreshDeviceDisplay(*rig, rig.state);
  EXPECT_TRUE(d.refill);
  EXPECT_EQ(rig.state.groupListIndex, 3);
}

}  // namespace
}  // namespace quorvel

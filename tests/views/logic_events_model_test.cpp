// The logic events window's model against the example house: the toggles and
// which field a pick goes into, what the form stores for a device, a computer
// group, ALL ON/OFF and an X10 address, what stops a save, and the list.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "automation/event_table.h"
#include "view_rig.h"
#include "views/device_setup/device_setup_model.h"
#include "views/event_editors/logic_events_model.h"

namespace quorvel {
namespace {

using testing::HouseRig;
using testing::kHallKeypad;
using testing::kKitchenCeiling;
using testing::kPorchLight;

const InsteonId kHallMotion = InsteonId::From(0x2a, 0x10, 0x08);
const InsteonId kGarageDoor = InsteonId::From(0x2a, 0x10, 0x07);

DeviceKey KeyOf(const Context& ctx, const InsteonId& id) {
  const int slot = ctx.db.FindDevice(id);
  return slot >= 0 ? MakeDeviceKey(ctx.db[slot].group, id) : 0;
}

EventRecord Zero() {
  EventRecord r;
  std::memset(&r, 0, sizeof r);
  return r;
}

// A pick in the tree with "Init ID" set or cleared first.
void Pick(Context& ctx, LogicEventForm& form, DeviceKey key, bool initiator) {
  form.initId = initiator;
  form.operId = !initiator;
  ASSERT_TRUE(ShowLogicEventDevice(ctx, form, key));
}

TEST(LogicEventsModel, TheThreeTogglesFollowTheirRules) {
  struct Toggles {
    bool init, oper, x10;
    bool operator==(const Toggles&) const = default;
  };
  enum Click { kInit, kOper, kX10 };
  struct Case {
    std::vector<Click> clicks;
    Toggles after;
  };
  const Case cases[] = {
      {{}, {true, false, false}},
      {{kInit}, {false, true, false}},
      {{kInit, kInit}, {true, false, false}},
      {{kOper}, {false, true, false}},
      {{kOper, kOper}, {true, false, false}},
      {{kX10}, {true, false, true}},
      {{kX10, kX10}, {true, false, false}},
      {{kX10, kOper}, {false, true, false}},
      {{kOper, kX10}, {false, false, true}},
      {{kInit, kX10}, {false, false, true}},
  };
  for (const Case& c : cases) {
    LogicEventForm form;
    std::string trace;
    for (Click k : c.clicks) {
      if (k == kInit) ClickInitId(form), trace += "init ";
      if (k == kOper) ClickOperId(form), trace += "oper ";
      if (k == kX10) ClickUseX10(form), trace += "x10 ";
    }
    SCOPED_TRACE(trace);
    EXPECT_TRUE((Toggles{form.initId, form.operId, form.useX10} == c.after));
  }
}

TEST(LogicEventsModel, APickGoesWhereTheTogglesSayAndASensorRenamesTheGroups) {
  HouseRig rig;
  LogicEventForm form;
  EXPECT_EQ(form.groupLabels[0], "1) On Motion");
  ASSERT_TRUE(ShowLogicEventDevice(*rig, form, KeyOf(*rig, kHallMotion)));
  EXPECT_EQ(form.initiator.text, "2A.10.08  Hall Motion");
  EXPECT_EQ(form.groupLabels[0], "Motion");
  EXPECT_EQ(form.groupLabels[1], "Darkness");
  EXPECT_EQ(form.groupLabels[2], "Battery");
  EXPECT_TRUE(form.operand.text.empty());

  // A dimmer goes to the operator only once "Oper ID" switched the target.
  ClickOperId(form);
  ASSERT_TRUE(ShowLogicEventDevice(*rig, form, KeyOf(*rig, kKitchenCeiling)));
  EXPECT_EQ(form.operand.text, "2A.10.01  Kitchen Ceiling");
  EXPECT_EQ(form.initiator.text, "2A.10.08  Hall Motion");
  EXPECT_EQ(form.groupLabels[0], "Motion");

  // Back to "Init ID": the keypad is the initiator, and its groups are plain.
  ClickInitId(form);
  ASSERT_TRUE(ShowLogicEventDevice(*rig, form, KeyOf(*rig, kHallKeypad)));
  EXPECT_EQ(form.initiator.text, "2A.10.04  Hall Keypad");
  EXPECT_EQ(form.groupLabels[0], "Group 1");
  EXPECT_EQ(form.groupLabels[2], "Group 3");

  // A computer group always goes to the operator; the modem and group 0 go nowhere.
  ASSERT_TRUE(ShowLogicEventDevice(*rig, form, MakeGroupKey(7)));
  EXPECT_EQ(form.operand.text, "Group 7  ");
  EXPECT_EQ(form.initiator.text, "2A.10.04  Hall Keypad");
  EXPECT_FALSE(ShowLogicEventDevice(*rig, form, ModemKey(*rig)));
  EXPECT_FALSE(ShowLogicEventDevice(*rig, form, MakeGroupKey(0)));
  EXPECT_EQ(form.operand.text, "Group 7  ");
}

TEST(LogicEventsModel, ControlsToTheStoredRecord) {
  struct Case {
    const char* name;
    std::function<void(Context&, LogicEventForm&)> make;
    std::function<void(EventRecord&)> expect;  // on a zero record
  };
  // The keypad's button 1 ON, as most cases start.
  auto keypadOn = [](Context& c, LogicEventForm& f) { Pick(c, f, KeyOf(c, kHallKeypad), true); };
  auto fromKeypad = [](EventRecord& r) {
    r.initiatorId = kHallKeypad, r.initiatorCmd1 = 0x11, r.initiatorCmd2 = 0xFE, r.initiatorGroup = 1;
    r.days = 0x7F, r.offsetMode = 2;
  };
  const Case cases[] = {
      {"a dimmer at 50 % after a minute and a half",
       [&](Context& c, LogicEventForm& f) {
         keypadOn(c, f);
         Pick(c, f, KeyOf(c, kKitchenCeiling), false);
         f.waitMinutes = 1;
         f.waitSeconds = 30;
         f.levelPosition = 25;
       },
       [&](EventRecord& r) {
         fromKeypad(r);
         r.operatorId = kKitchenCeiling, r.operatorCmd1 = 0x11, r.operatorCmd2 = 125, r.x10Function = 2;
         r.delayMinutes = 1, r.delaySeconds = 30;
       }},
      {"a sensor's dusk OFF switches a relay off",
       [](Context& c, LogicEventForm& f) {
         Pick(c, f, KeyOf(c, kHallMotion), true);
         f.initiatorGroup = 2;
         f.initiatorAction = 1;
         Pick(c, f, KeyOf(c, kPorchLight), false);
         f.operatorAction = 1;
         f.days = 0x3E;
       },
       [](EventRecord& r) {
         r.initiatorId = kHallMotion, r.initiatorCmd1 = 0x13, r.initiatorGroup = 2, r.days = 0x3E;
         r.offsetMode = 2, r.operatorId = kPorchLight, r.operatorCmd1 = 0x13, r.x10Function = 3;
       }},
      {"a relay goes full on",
       [&](Context& c, LogicEventForm& f) {
         keypadOn(c, f);
         Pick(c, f, KeyOf(c, kPorchLight), false);
         f.levelPosition = 10;
       },
       [&](EventRecord& r) {
         fromKeypad(r);
         r.operatorId = kPorchLight, r.operatorCmd1 = 0x11, r.operatorCmd2 = 255, r.x10Function = 2;
       }},
      {"a kind that is neither dimmer nor relay keeps FE",
       [&](Context& c, LogicEventForm& f) {
         keypadOn(c, f);
         Pick(c, f, KeyOf(c, kGarageDoor), false);
       },
       [&](EventRecord& r) {
         fromKeypad(r);
         r.operatorId = kGarageDoor, r.operatorCmd1 = 0x11, r.operatorCmd2 = 0xFE, r.x10Function = 2;
       }},
      {"a computer group",
       [&](Context& c, LogicEventForm& f) {
         keypadOn(c, f);
         ASSERT_TRUE(ShowLogicEventDevice(c, f, MakeGroupKey(12)));
         f.waitSeconds = 20;
       },
       [&](EventRecord& r) {
         fromKeypad(r);
         r.isGroup = 1, r.group = 12, r.operatorCmd1 = 0x11, r.operatorCmd2 = 0xFE, r.x10Function = 2;
         r.delaySeconds = 20;
       }},
      {"ALL OFF is the group every device shares",
       [&](Context& c, LogicEventForm& f) {
         keypadOn(c, f);
         Pick(c, f, KeyOf(c, kKitchenCeiling), false);
         f.operatorAction = 3;
       },
       [&](EventRecord& r) {
         fromKeypad(r);
         r.operatorId = kKitchenCeiling, r.isGroup = 1, r.group = 255, r.operatorCmd1 = 0x13;
       }},
      {"ALL ON with a group in the field",
       [&](Context& c, LogicEventForm& f) {
         keypadOn(c, f);
         ASSERT_TRUE(ShowLogicEventDevice(c, f, MakeGroupKey(4)));
         f.operatorAction = 2;
       },
       [&](EventRecord& r) {
         fromKeypad(r);
         r.isGroup = 1, r.group = 255, r.operatorCmd1 = 0x11;
       }},
      {"X10 C7 on",
       [&](Context& c, LogicEventForm& f) {
         keypadOn(c, f);
         ClickUseX10(f);
         f.house = 2;
         f.unit = 6;
         f.waitMinutes = 3;
       },
       [&](EventRecord& r) {
         fromKeypad(r);
         r.targetKind = 1, r.x10House = 2, r.x10Unit = 5, r.x10Function = 2, r.operatorCmd1 = 0x11;
         r.operatorCmd2 = 0xFE, r.delayMinutes = 3;
       }},
      {"X10 with ALL ON stores a rule that sends nothing",
       [&](Context& c, LogicEventForm& f) {
         keypadOn(c, f);
         ClickUseX10(f);
         f.house = 15;
         f.unit = 15;
         f.operatorAction = 2;
       },
       [&](EventRecord& r) {
         fromKeypad(r);
         r.targetKind = 1, r.x10House = 12, r.x10Unit = 12;
       }},
      {"wait lists with nothing selected mean no wait",
       [&](Context& c, LogicEventForm& f) {
         keypadOn(c, f);
         Pick(c, f, KeyOf(c, kPorchLight), false);
         f.waitMinutes = -1;
         f.waitSeconds = -1;
       },
       [&](EventRecord& r) {
         fromKeypad(r);
         r.operatorId = kPorchLight, r.operatorCmd1 = 0x11, r.operatorCmd2 = 255, r.x10Function = 2;
       }},
      {"the longest wait",
       [&](Context& c, LogicEventForm& f) {
         keypadOn(c, f);
         Pick(c, f, KeyOf(c, kPorchLight), false);
         f.initiatorGroup = 3;
         f.waitMinutes = 239;
         f.waitSeconds = 239;
       },
       [&](EventRecord& r) {
         fromKeypad(r);
         r.initiatorGroup = 3;
         r.operatorId = kPorchLight, r.operatorCmd1 = 0x11, r.operatorCmd2 = 255, r.x10Function = 2;
         r.delayMinutes = 239, r.delaySeconds = 239;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HouseRig rig;
    LogicEventForm form;
    c.make(*rig, form);
    const EventSaveOutcome out = SaveLogicEvent(*rig, form);
    ASSERT_TRUE(out.Stored()) << out.text;
    EventRecord want = Zero();
    c.expect(want);
    want.inUse = 1;
    want.isLogicEvent = 1;
    const EventRecord& got = rig->events.records[out.slot];
    EXPECT_EQ(std::memcmp(&got, &want, sizeof want), 0)
        << "init " << IdText(got.initiatorId) << " " << int(got.initiatorCmd1) << "/" << int(got.initiatorCmd2)
        << " g" << int(got.initiatorGroup) << " oper " << IdText(got.operatorId) << " " << int(got.operatorCmd1)
        << "/" << int(got.operatorCmd2) << " group " << int(got.isGroup) << ":" << int(got.group) << " x10 "
        << int(got.targetKind) << " " << int(got.x10House) << "/" << int(got.x10Unit) << "/"
        << int(got.x10Function) << " wait " << int(got.delayMinutes) << ":" << int(got.delaySeconds);
  }
}

TEST(LogicEventsModel, TheRuleIsForWhatTheFieldsShowWhateverWasPickedSince) {
  HouseRig rig;
  LogicEventForm form;
  // The operator group first, then the initiator: the group stays the operator.
  ASSERT_TRUE(ShowLogicEventDevice(*rig, form, MakeGroupKey(12)));
  ASSERT_TRUE(ShowLogicEventDevice(*rig, form, KeyOf(*rig, kHallKeypad)));
  rig->tick.treeSelection = KeyOf(*rig, kHallKeypad);
  const EventSaveOutcome first = SaveLogicEvent(*rig, form);
  ASSERT_TRUE(first.Stored());
  EXPECT_EQ(rig->events.records[first.slot].isGroup, 1);
  EXPECT_EQ(rig->events.records[first.slot].group, 12);
  EXPECT_EQ(rig->events.records[first.slot].operatorId, InsteonId{});

  // An operator device, then the tree moves to the modem: the device stays.
  ClickOperId(form);
  ASSERT_TRUE(ShowLogicEventDevice(*rig, form, KeyOf(*rig, kPorchLight)));
  EXPECT_FALSE(ShowLogicEventDevice(*rig, form, ModemKey(*rig)));
  rig->tick.treeSelection = MakeGroupKey(12);
  const EventSaveOutcome second = SaveLogicEvent(*rig, form);
  ASSERT_TRUE(second.Stored());
  EXPECT_EQ(rig->events.records[second.slot].isGroup, 0);
  EXPECT_EQ(rig->events.records[second.slot].operatorId, kPorchLight);
  EXPECT_EQ(rig->events.records[second.slot].initiatorId, kHallKeypad);
}

TEST(LogicEventsModel, WhatStopsASaveAndStoresNothing) {
  struct Case {
    const char* name;
    std::function<void(Context&, LogicEventForm&)> make;
    const char* title;
    const char* text;
  };
  auto gone = [](Context& c, const InsteonId& id) {
    for (uint32_t i = 0; i < c.db.count; ++i)
      if (c.db.records[i].id == id) std::memset(&c.db.records[i], 0, sizeof(DeviceRecord));
  };
  const Case cases[] = {
      {"no initiator", [](Context&, LogicEventForm& f) { f.initiator = {}; }, kSelectionMissingTitle,
       kSelectInitiatorText},
      {"an initiator field of six characters", [](Context&, LogicEventForm& f) { f.initiator.text = "2A.10."; },
       kSelectionMissingTitle, kSelectInitiatorText},
      {"the initiator is gone", [&](Context& c, LogicEventForm&) { gone(c, kHallKeypad); }, kSelectionMissingTitle,
       kSelectInitiatorText},
      {"no operator", [](Context&, LogicEventForm& f) { f.operand = {}; }, kSelectionMissingTitle,
       kSelectOperatorText},
      {"the operator is gone", [&](Context& c, LogicEventForm&) { gone(c, kPorchLight); }, kSelectionMissingTitle,
       kSelectOperatorText},
      {"X10 with no house", [](Context&, LogicEventForm& f) { ClickUseX10(f), f.house = -1; },
       kSelectionMissingTitle, kSelectHouseText},
      {"X10 with no unit", [](Context&, LogicEventForm& f) { ClickUseX10(f), f.unit = -1; }, kSelectionMissingTitle,
       kSelectUnitText},
      {"X10 past P", [](Context&, LogicEventForm& f) { ClickUseX10(f), f.house = 16; }, kSelectionMissingTitle,
       kSelectHouseText},
      {"a wait past the list", [](Context&, LogicEventForm& f) { f.waitSeconds = 240; }, kValueOutOfRangeTitle,
       "The wait must be 0 to 239 minutes and 0 to 239 seconds."},
      {"a level past the slider", [](Context&, LogicEventForm& f) { f.levelPosition = 60; }, kValueOutOfRangeTitle,
       "The level must be 0 to 100%."},
      {"no day", [](Context&, LogicEventForm& f) { f.days = 0; }, kSelectionMissingTitle, kNoDaysText},
      {"no initiator group", [](Context&, LogicEventForm& f) { f.initiatorGroup = 0; }, kSelectionMissingTitle,
       "Please select the initiator's group."},
      {"no operator action", [](Context&, LogicEventForm& f) { f.operatorAction = -1; }, kSelectionMissingTitle,
       "Please select Operator Function."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HouseRig rig;
    LogicEventForm form;
    Pick(*rig, form, KeyOf(*rig, kHallKeypad), true);
    Pick(*rig, form, KeyOf(*rig, kPorchLight), false);
    c.make(*rig, form);
    const EventSaveOutcome out = SaveLogicEvent(*rig, form);
    EXPECT_FALSE(out.Stored());
    EXPECT_EQ(out.title, c.title);
    EXPECT_EQ(out.text, c.text);
    EXPECT_EQ(rig->events.eventCount, 0u);
    EXPECT_EQ(rig->events.records[0].inUse, 0);
  }
}

TEST(LogicEventsModel, AFullTableRefusesWithABox) {
  HouseRig rig;
  for (int i = 0; i < kUsableEventSlots; ++i) ASSERT_EQ(AddTimeEvent(*rig, Zero()), i);
  LogicEventForm form;
  Pick(*rig, form, KeyOf(*rig, kHallKeypad), true);
  Pick(*rig, form, KeyOf(*rig, kPorchLight), false);
  const EventSaveOutcome out = SaveLogicEvent(*rig, form);
  EXPECT_FALSE(out.Stored());
  EXPECT_EQ(out.title, kEventTableFullTitle);
  EXPECT_EQ(out.text, kEventTableFull);
  for (int i = 0; i < kUsableEventSlots; ++i) EXPECT_EQ(rig->events.records[i].isLogicEvent, 0);
}

TEST(LogicEventsModel, TheListInSlotOrderWithItsThreeLineForms) {
  HouseRig rig;
  auto rule = [](const InsteonId& from, uint8_t group, uint8_t cmd1, int minutes, int seconds) {
    EventRecord r = Zero();
    r.initiatorId = from;
    r.initiatorGroup = group;
    r.initiatorCmd1 = cmd1;
    r.delayMinutes = static_cast<uint8_t>(minutes);
    r.delaySeconds = static_cast<uint8_t>(seconds);
    r.days = 0x7F;
    return r;
  };
  EventRecord toDimmer = rule(InsteonId::From(0x1a, 0x2b, 0x3c), 1, 0x11, 1, 30);
  toDimmer.operatorId = kKitchenCeiling, toDimmer.operatorCmd1 = 0x11, toDimmer.operatorCmd2 = 125;
  EventRecord allOff = rule(kHallKeypad, 3, 0x13, 0, 0);
  allOff.isGroup = 1, allOff.group = 255, allOff.operatorCmd1 = 0x13;
  allOff.days = 0x3E;
  EventRecord x10 = rule(kHallKeypad, 1, 0x11, 0, 5);
  x10.targetKind = 1, x10.x10House = 2, x10.x10Unit = 5, x10.operatorCmd1 = 0x11, x10.operatorCmd2 = 0xFE;
  EventRecord x10Nothing = x10;
  x10Nothing.operatorCmd1 = 0;
  EventRecord brightDim = rule(kHallMotion, 2, 0x15, 0, 0);
  brightDim.operatorId = kPorchLight, brightDim.operatorCmd1 = 0x16;
  EventRecord onAtZero = rule(kHallMotion, 1, 0x99, 0, 0);
  onAtZero.operatorId = kPorchLight, onAtZero.operatorCmd1 = 0x11;
  EventRecord noLetter = x10;
  noLetter.x10House = 16;  // from a damaged file: no letter

  ASSERT_EQ(AddLogicEvent(*rig, toDimmer), 0);
  ASSERT_EQ(AddLogicEvent(*rig, allOff), 1);
  ASSERT_EQ(AddTimeEvent(*rig, toDimmer), 2);
  ASSERT_EQ(AddLogicEvent(*rig, x10), 3);
  ASSERT_EQ(AddLogicEvent(*rig, x10Nothing), 4);
  ASSERT_EQ(AddLogicEvent(*rig, brightDim), 5);
  ASSERT_EQ(AddLogicEvent(*rig, onAtZero), 6);
  ASSERT_EQ(AddLogicEvent(*rig, noLetter), 7);
  ASSERT_TRUE(DeleteEvent(*rig, 5));

  const EventTreeItem root = RebuildLogicEventList(*rig);
  EXPECT_EQ(root.text, "Logic Events");
  EXPECT_EQ(root.value, 0x10001u);
  struct Want {
    std::string text;
    uint32_t value;
  };
  const std::vector<Want> want = {
      {"1a.2b.3c Group 1 ON  then delay 1:30 2a.10.01 ON 50%, SMTWTFS", 0xF0000},
      {"2a.10.04 Group 3 OFF  then delay 0:0 Group 255 OFF, _MTWTF_", 0xF0001},
      {"2a.10.04 Group 1 ON  then delay 0:5 C7 ON 100%, SMTWTFS", 0xF0003},
      {"2a.10.04 Group 1 ON  then delay 0:5 C7 , SMTWTFS", 0xF0004},
      {"2a.10.08 Group 1   then delay 0:0 2a.10.05 ON 0%, SMTWTFS", 0xF0006},
      {"2a.10.04 Group 1 ON  then delay 0:5  ON 100%, SMTWTFS", 0xF0007},
  };
  ASSERT_EQ(root.children.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(root.children[i].text, want[i].text) << i;
    EXPECT_EQ(root.children[i].value, want[i].value) << i;
    EXPECT_TRUE(root.children[i].children.empty());
  }
  EXPECT_EQ(LogicEventLine(brightDim), "2a.10.08 Group 2 BRI  then delay 0:0 2a.10.05 DIM, SMTWTFS");

  // Lines name slots of logic events only.
  EXPECT_EQ(EventLineSlot(*rig, 0xF0003, false), 3);
  EXPECT_EQ(EventLineSlot(*rig, 0xF0002, false), -1) << "a time event";
  EXPECT_EQ(EventLineSlot(*rig, 0xF0005, false), -1) << "deleted";
  EXPECT_EQ(EventLineSlot(*rig, 0x10001, false), -1);
}

}  // namespace
}  // namespace quorvel

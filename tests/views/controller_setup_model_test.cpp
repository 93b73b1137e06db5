// The Controller Setup tab's model against the simulated house: the list of
// controllers, a button group's responders, a responder dropped on a keypad
// button (read back out of both simulated devices), its level edited, a link
// removed on both sides, and the Set/Read Options requests on the wire.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "device/device_catalogue.h"
#include "engine/link_operations.h"
#include "view_rig.h"
#include "views/link_views/controller_setup_model.h"

namespace quorvel {
namespace {

using testing::HouseRig;
using testing::kHallKeypad;
using testing::kKitchenCeiling;
using testing::kPorchLight;

const InsteonId kDining = InsteonId::From(0x2a, 0x10, 0x03);
const InsteonId kGarageDoor = InsteonId::From(0x2a, 0x10, 0x07);  // I/O module
const InsteonId kRemote = InsteonId::From(0x2a, 0x10, 0x09);

constexpr int kKeypadToCeiling = 3;  // keypad: controller 3 ceiling
constexpr int kKeypadToDining = 4;   // keypad: controller 3 dining
constexpr int kDiningFromKeypad = 2;  // dining: responder 3 keypad 80 1c 01

class ControllerRig : public HouseRig {
 public:
  DeviceKey Key(const InsteonId& id, uint8_t group = 1) const { return MakeDeviceKey(group, id); }
  DeviceRecord& Record(const InsteonId& id, uint8_t group = 1) { return ctx->db[Slot(id, group)]; }
  sim::SimDevice& Sim(const InsteonId& id) { return *net.Device(id); }
  int RowOf(const InsteonId& partner) const {
    for (int i = 0; i < model.list.Rows(); ++i)
      if (model.list.Row(i).link.partner == partner) return i;
    return -1;
  }
  void Settle() {
    ASSERT_TRUE(RunToQuiet());
    model.FollowJobs(*ctx);
  }
  std::vector<uint8_t> JobRecord(int job) const {
    const LinkJob& j = ctx->linkOps.state.jobs[job];
    return std::vector<uint8_t>(j.record, j.record + 8);
  }
  std::vector<uint8_t> Held(const InsteonId& id, int slot) {
    const sim::LinkEntry e = Sim(id).LinkAt(slot);
    return {e.flags, e.group, e.id.b[0], e.id.b[1], e.id.b[2], e.data[0], e.data[1], e.data[2]};
  }
  ControllerSetupModel model;
};

TEST(ControllerSelectList, ListsControllersByCategoryThenSlotOnce) {
  ControllerRig rig;
  const std::vector<ControllerRow> rows = rig.model.FillControllerList(*rig);
  // What the table says, worked out here the slow way.
  std::vector<DeviceKey> want;
  std::set<uint32_t> seen;
  for (int c = 0; c <= 16; ++c) {
    for (uint32_t i = 0; i < rig->db.count; ++i) {
      DeviceRecord copy = rig->db.records[i];
      if (!copy.InUse() || copy.category != c || ControllerGroupCount(copy) == 0) continue;
      if (seen.insert(copy.id.Value()).second) want.push_back(MakeDeviceKey(copy.group, copy.id));
    }
  }
  std::vector<DeviceKey> got;
  for (const ControllerRow& r : rows) got.push_back(r.key);
  EXPECT_EQ(got, want);
  ASSERT_GE(rows.size(), 10u);
  EXPECT_EQ(rows.front().id, "[ 2a.10.09 ]") << "the remote is the one of category 0";
  EXPECT_EQ(rows.front().kind, std::string(ProductName(0x00, 0x10)));
  // The keypad, in modem groups 1 and 3, is one controller.
  EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const ControllerRow& r) { return KeyId(r.key) == kHallKeypad; }), 1);
  // The first listed is shown, with its button group 1.
  EXPECT_EQ(rig.model.state.shown, rows.front().key);
  EXPECT_EQ(rig.model.state.listedGroup, 1);
  EXPECT_EQ(rig.model.Heading(), "Button group 1        ");
}

TEST(ControllerShown, TheKeypadShowsItsEightButtonsAndGroupThreesResponders) {
  ControllerRig rig;
  rig.model.SelectController(*rig, rig.Key(kHallKeypad));
  EXPECT_EQ(rig.model.state.kind, PanelKind::kKeypadLinc);
  ASSERT_EQ(rig.model.groups.lists.size(), 8u);
  // Its group 1 holds only the modem's links and a sensor that switches the keypad.
  EXPECT_EQ(rig.model.list.Rows(), 0);
  rig.model.ShowButtonGroup(*rig, 3);
  EXPECT_EQ(rig.model.Heading(), "Button group 3        ");
  ASSERT_EQ(rig.model.list.Rows(), 2);
  const EditRow& ceiling = rig.model.list.Row(rig.RowOf(kKitchenCeiling));
  EXPECT_EQ(ceiling.link.slot, kKeypadToCeiling);
  EXPECT_EQ(ceiling.cells[0], "2a.10.01");
  EXPECT_EQ(ceiling.cells[1], "3");
  EXPECT_EQ(ceiling.cells[2], "100%");
  EXPECT_EQ(ceiling.cells[3], "0.5 sec");
  EXPECT_EQ(rig.model.list.Row(rig.RowOf(kDining)).cells[2], "50%");
  // The panel lists the same two under group 3, in the brighter green.
  const PanelGroupList& three = rig.model.groups.lists[2];
  EXPECT_EQ(three.mark, 1);
  ASSERT_EQ(three.entries.size(), 2u);
  // Button 4 names the porch light, which does not know it: no row.
  rig.model.ShowButtonGroup(*rig, 4);
  EXPECT_EQ(rig.model.list.Rows(), 0);
}

TEST(ControllerShown, AGoneDeviceShowsNothingAndAnotherControllerStartsWithNoButton) {
  ControllerRig rig;
  rig.model.SelectController(*rig, rig.Key(InsteonId::From(0x2a, 0x10, 0x0a)));  // the i1 stairs switch
  rig.model.state.selectedButton = 1;
  rig.model.SelectController(*rig, rig.Key(kHallKeypad));
  EXPECT_EQ(rig.model.state.selectedButton, 0) << "no button number carried to another device";
  rig.model.state.selectedButton = 3;
  // A row of the select list whose device has gone.
  rig.model.SelectController(*rig, rig.Key(InsteonId::From(0x2b, 0x00, 0x01)));
  EXPECT_FALSE(rig.model.state.panelShown);
  EXPECT_EQ(rig.model.state.shown, 0u);
  EXPECT_EQ(rig.model.ShownSlot(*rig), -1);
  rig.ClearSent();
  EXPECT_EQ(rig.model.SetOptions(*rig).text, kSelectButtonText);
  rig.model.state.selectedButton = 1;
  EXPECT_EQ(rig.model.SetOptions(*rig).kind, SaveOutcome::kNothing);
  EXPECT_EQ(rig.model.ReadOptions(*rig).kind, SaveOutcome::kNothing);
  EXPECT_TRUE(rig.RunToQuiet());
  EXPECT_TRUE(rig.Sent().empty());
}

TEST(RampText, MapsToTheRampIndex) {
  struct Case {
    const char* text;
    int index;
  };
  for (const Case& c : std::vector<Case>{{"0.1 sec", 31}, {"0.5 sec", 28}, {"2 sec", 27}, {"19 sec", 23},
                                         {"60 sec", 12}, {"480 sec", 1}, {"540 sec", 0}, {"SWITCH", 0}, {"", 0}})
    EXPECT_EQ(RampIndexFromText(c.text), c.index) << c.text;
  // Every rate the list offers reads back as its own code.
  for (int code = 1; code <= 31; ++code) EXPECT_EQ(RampIndexFromText(RampRateName(code)), code);
  EXPECT_EQ(PercentTimes255(50), 127);
  EXPECT_EQ(PercentTimes255(100), 255);
  EXPECT_EQ(PercentTimes255(255), 255);
  EXPECT_EQ(PercentTimes255(9999), 255);
}

TEST(UpdateOrRemove, ALevelAndRateChangeRewritesTheRespondersLink) {
  ControllerRig rig;
  rig.model.SelectController(*rig, rig.Key(kHallKeypad));
  rig.model.ShowButtonGroup(*rig, 3);
  const int row = rig.RowOf(kDining);
  EXPECT_EQ(rig.model.list.EndTextEdit(row, kLevelColumn, "50").kind, SaveOutcome::kNothing);
  rig.model.list.ChooseRate(row, CellChoices{{"2 sec"}, {27}, -1}, 0);
  EXPECT_EQ(RowStateText(rig.model.list.Row(row).state), "Save");
  ASSERT_EQ(rig.model.SaveRow(*rig, row).kind, SaveOutcome::kStarted);
  EXPECT_EQ(rig->linkOps.state.jobs[0].target, kDining);
  EXPECT_EQ(rig.JobRecord(0), (std::vector<uint8_t>{0xA2, 3, 0x2a, 0x10, 0x04, 127, 27, 0x01}));
  const std::vector<std::string> log = rig.Activity();
  EXPECT_NE(std::find(log.begin(), log.end(), "Updating link parameters for 2a.10.03 Group 3 - On Level 127, Ramp Rate 27"),
            log.end());
  EXPECT_EQ(rig.model.list.Row(row).state, RowState::kSaving);
  rig.Settle();
  EXPECT_EQ(rig.Held(kDining, kDiningFromKeypad), (std::vector<uint8_t>{0xA2, 3, 0x2a, 0x10, 0x04, 127, 27, 0x01}));
  const int shown = rig.RowOf(kDining);
  EXPECT_EQ(RowStateText(rig.model.list.Row(shown).state), "Saved");
  EXPECT_EQ(rig.model.list.Row(shown).cells[2], "50%");
  EXPECT_EQ(rig.model.list.Row(shown).cells[3], "2 sec");
}

TEST(UpdateOrRemove, ACheckedRowWritesThePartnerRemovedAndAsksForARead) {
  ControllerRig rig;
  rig.model.SelectController(*rig, rig.Key(kHallKeypad));
  rig.model.ShowButtonGroup(*rig, 3);
  const int row = rig.RowOf(kDining);
  rig.model.list.SetChecked(row, true);
  ASSERT_EQ(rig.model.UpdateOrRemoveLink(*rig, row).kind, SaveOutcome::kStarted);
  EXPECT_EQ(rig.JobRecord(0), (std::vector<uint8_t>{0x22, 3, 0x2a, 0x10, 0x04, 0, 0, 0x01}));
  EXPECT_EQ(rig.Record(kDining).aldbReadState, kReadUserRequested);
  EXPECT_EQ(rig.Record(kDining).aldbDelta, 0);
  const std::vector<std::string> log = rig.Activity();
  EXPECT_NE(std::find(log.begin(), log.end(), "Removing link for 2a.10.03 Group 3"), log.end());
}

TEST(UpdateOrRemove, WritesNothingForAnUnknownEngineAnotherGroupOrBadText) {
  struct Case {
    const char* name;
    std::function<void(ControllerRig&, int)> edit;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"the keypad's engine is not known",
       [](ControllerRig& rig, int row) {
         rig.Record(kHallKeypad).engineVersion = kEngineUnknown;
         rig.model.list.EndTextEdit(row, kLevelColumn, "20");
       },
       kEngineUnknownText},
      {"a group typed over the row's own",
       [](ControllerRig& rig, int row) { rig.model.list.EndTextEdit(row, kGroupColumn, "4"); }, kGroupNotChangedText},
      {"a level over 100 is refused as it is typed",
       [](ControllerRig& rig, int row) {
         EXPECT_EQ(rig.model.list.EndTextEdit(row, kLevelColumn, "150").text, kBadLevelText);
         EXPECT_EQ(rig.model.list.EndTextEdit(row, kGroupColumn, "g3").text, kBadGroupText);
         rig.model.list.ChooseRate(row, CellChoices{{"3 sec"}, {0}, -1}, 0);
       },
       kBadRateText},
  };
  for (const Case& c : cases) {
    ControllerRig rig;
    rig.model.SelectController(*rig, rig.Key(kHallKeypad));
    rig.model.ShowButtonGroup(*rig, 3);
    const int row = rig.RowOf(kDining);
    c.edit(rig, row);
    rig.ClearSent();
    const SaveOutcome out = rig.model.SaveRow(*rig, row);
    EXPECT_EQ(out.text, c.text) << c.name;
    EXPECT_FALSE(LinkOperationRunning(*rig)) << c.name;
    ASSERT_TRUE(rig.RunToQuiet());
    EXPECT_EQ(rig.Held(kDining, kDiningFromKeypad), (std::vector<uint8_t>{0xA2, 3, 0x2a, 0x10, 0x04, 0x80, 0x1C, 0x01}))
        << c.name;
    if (std::string(c.name).find("engine") != std::string::npos) {
      EXPECT_EQ(rig.SentTo(kHallKeypad, 0x0D).size(), 1u) << "the engine-version request";
    }
  }
}

TEST(ConfirmRemove, OkRemovesBothHalvesAndCancelNothing) {
  for (const bool ok : {false, true}) {
    ControllerRig rig;
    rig.model.SelectController(*rig, rig.Key(kHallKeypad));
    rig.model.ShowButtonGroup(*rig, 3);
    const int row = rig.RowOf(kDining);
    rig.model.list.SetChecked(row, true);
    const SaveOutcome ask = rig.model.SaveRow(*rig, row);
    ASSERT_EQ(ask.kind, SaveOutcome::kConfirm);
    EXPECT_EQ(ask.title, "Confirm");
    EXPECT_EQ(ask.text, "A Link From 2a.10.04  " + std::string(ProductName(0x01, 0x1C)) +
                            "  FirmWare 4.1\n\n\n\nGroup 3 control with 2a.10.03 " + std::string(ProductName(0x01, 0x20)) +
                            " \n\n  Remove this link?");
    const SaveOutcome out = rig.model.ConfirmRemoveLink(*rig, ok);
    EXPECT_FALSE(rig.model.list.Row(row).checked);
    if (!ok) {
      EXPECT_EQ(out.kind, SaveOutcome::kNothing);
      EXPECT_FALSE(LinkOperationRunning(*rig));
      continue;
    }
    ASSERT_EQ(out.kind, SaveOutcome::kStarted);
    EXPECT_EQ(rig->linkOps.state.jobs[0].target, kHallKeypad);
    EXPECT_EQ(rig.JobRecord(0), (std::vector<uint8_t>{0x22, 3, 0x2a, 0x10, 0x03, 0x03, 0x00, 0x03}));
    EXPECT_EQ(rig->linkOps.state.jobs[1].target, kDining);
    EXPECT_EQ(rig.JobRecord(1), (std::vector<uint8_t>{0x22, 3, 0x2a, 0x10, 0x04, 0x80, 0x1C, 0x01}));
    rig.Settle();
    EXPECT_FALSE(rig.Sim(kHallKeypad).LinkAt(kKeypadToDining).InUse());
    EXPECT_FALSE(rig.Sim(kDining).LinkAt(kDiningFromKeypad).InUse());
    const int shown = rig.RowOf(kDining);
    ASSERT_GE(shown, 0);
    EXPECT_EQ(RowStateText(rig.model.list.Row(shown).state), "Unlinked");
    // The ceiling's link of the same button stays.
    EXPECT_TRUE(rig.Sim(kHallKeypad).LinkAt(kKeypadToCeiling).InUse());
  }
}

TEST(ConfirmRemove, ARereadUnderTheBoxIsCheckedBeforeTheWrite) {
  ControllerRig rig;
  rig.model.SelectController(*rig, rig.Key(kHallKeypad));
  rig.model.ShowButtonGroup(*rig, 3);
  const int row = rig.RowOf(kDining);
  rig.model.list.SetChecked(row, true);
  ASSERT_EQ(rig.model.SaveRow(*rig, row).kind, SaveOutcome::kConfirm);
  // The modem's table read again, in another order: the keypad is found by its key.
  std::swap(rig->db.records[0], rig->db.records[rig.Slot(kHallKeypad, 1)]);
  ASSERT_EQ(rig.model.ConfirmRemoveLink(*rig, true).kind, SaveOutcome::kStarted);
  EXPECT_EQ(rig->linkOps.state.jobs[0].target, kHallKeypad);
  rig.Settle();
  // Once more, with the slot now holding another link: nothing.
  rig.model.ShowButtonGroup(*rig, 3);
  const int ceiling = rig.RowOf(kKitchenCeiling);
  rig.model.list.SetChecked(ceiling, true);
  ASSERT_EQ(rig.model.SaveRow(*rig, ceiling).kind, SaveOutcome::kConfirm);
  rig.Record(kHallKeypad).links[kKeypadToCeiling].id = kPorchLight;
  EXPECT_TRUE(rig.model.ConfirmRemoveLink(*rig, true).refill);
  EXPECT_FALSE(LinkOperationRunning(*rig));
}

TEST(DropOnPanel, LinksTheResponderToTheButtonInBothDevices) {
  ControllerRig rig;
  rig.model.SelectController(*rig, rig.Key(kHallKeypad));
  const int keypadFree = FindFreeLinkSlot(rig.Record(kHallKeypad));
  const int porchFree = FindFreeLinkSlot(rig.Record(kPorchLight));
  ASSERT_EQ(rig.model.Drop(*rig, 3, rig.Key(kPorchLight)).kind, SaveOutcome::kStarted);
  EXPECT_EQ(rig.model.state.listedGroup, 3);
  const int row = rig.RowOf(kPorchLight);
  ASSERT_GE(row, 0) << "listed while it is written";
  EXPECT_EQ(RowStateText(rig.model.list.Row(row).state), "Saving...");
  ASSERT_EQ(rig.model.groups.lists[2].entries.size(), 3u);
  rig.Settle();
  EXPECT_EQ(rig.Held(kHallKeypad, keypadFree), (std::vector<uint8_t>{0xE2, 3, 0x2a, 0x10, 0x05, 3, 0, 0}));
  EXPECT_EQ(rig.Held(kPorchLight, porchFree), (std::vector<uint8_t>{0xA2, 3, 0x2a, 0x10, 0x04, 0xFF, 0x00, 0}));
  const int saved = rig.RowOf(kPorchLight);
  ASSERT_GE(saved, 0);
  EXPECT_EQ(RowStateText(rig.model.list.Row(saved).state), "Saved");
  EXPECT_EQ(rig.model.list.Row(saved).link.slot, keypadFree) << "the keypad's own record now";
  EXPECT_EQ(rig.model.groups.lists[2].entries.size(), 3u);

  // Its level, edited in the list, changes in the responder.
  ASSERT_EQ(rig.model.list.EndTextEdit(saved, kLevelColumn, "50%").kind, SaveOutcome::kNothing);
  ASSERT_EQ(rig.model.SaveRow(*rig, saved).kind, SaveOutcome::kStarted);
  rig.Settle();
  EXPECT_EQ(rig.Sim(kPorchLight).LinkAt(porchFree).data[0], 127);
  EXPECT_EQ(RowStateText(rig.model.list.Row(rig.RowOf(kPorchLight)).state), "Saved");
}

TEST(DropOnPanel, ADimmerAnswersAtTheDropLevel) {
  ControllerRig rig;
  const InsteonId lamp = InsteonId::From(0x2a, 0x10, 0x06);
  rig.model.SelectController(*rig, rig.Key(kHallKeypad));
  ASSERT_EQ(rig.model.Drop(*rig, 2, rig.Key(lamp)).kind, SaveOutcome::kStarted);
  EXPECT_EQ(rig->linkOps.state.jobs[0].target, kHallKeypad);
  EXPECT_EQ(rig->linkOps.state.jobs[1].target, lamp);
  const LinkJob& responder = rig->linkOps.state.jobs[1];
  EXPECT_EQ(responder.record[0], kResponderRecordFlags);
  EXPECT_EQ(responder.record[5], kDropLevel);
  EXPECT_EQ(responder.record[6], 0x1C);
}

TEST(ControllerListBusy, NothingIsPreparedOverARunningJob) {
  ControllerRig rig;
  rig.model.SelectController(*rig, rig.Key(kHallKeypad));
  rig.model.ShowButtonGroup(*rig, 3);
  const int change = rig.RowOf(kKitchenCeiling);
  const int remove = rig.RowOf(kDining);
  rig.model.list.EndTextEdit(change, kLevelColumn, "20");
  rig.model.list.SetChecked(remove, true);
  ASSERT_EQ(rig.model.SaveRow(*rig, remove).kind, SaveOutcome::kConfirm);
  // A job starts while the box is open.
  ASSERT_TRUE(UpdateLink(*rig, rig.Slot(InsteonId::From(0x2a, 0x10, 0x06), 1), 0, 1, 0x40, 0x1C, 0xA2));
  LinkJob before[2];
  std::memcpy(before, rig->linkOps.state.jobs, sizeof before);
  EXPECT_EQ(rig.model.ConfirmRemoveLink(*rig, true).title, kWaitForOperationText);
  EXPECT_EQ(rig.model.SaveRow(*rig, change).title, kWaitForOperationText);
  EXPECT_EQ(std::memcmp(before, rig->linkOps.state.jobs, sizeof before), 0);
}

TEST(DropOnPanel, OutsideTheGroupsOrOfTheControllerItselfDoesNothing) {
  ControllerRig rig;
  rig.model.SelectController(*rig, rig.Key(kHallKeypad));
  for (const int group : {0, 9, -1}) EXPECT_EQ(rig.model.Drop(*rig, group, rig.Key(kPorchLight)).kind, SaveOutcome::kNothing);
  EXPECT_EQ(rig.model.Drop(*rig, 2, rig.Key(kHallKeypad)).kind, SaveOutcome::kNothing);
  EXPECT_EQ(rig.model.Drop(*rig, 2, rig.Key(InsteonId::From(0x2b, 0, 1))).kind, SaveOutcome::kNothing);
  EXPECT_FALSE(LinkOperationRunning(*rig));
  // A drop while a job runs is refused and prepares nothing.
  ASSERT_TRUE(UpdateLink(*rig, rig.Slot(kDining, 1), kDiningFromKeypad, 3, 1, 2, 0xA2));
  LinkJob before[2];
  std::memcpy(before, rig->linkOps.state.jobs, sizeof before);
  EXPECT_EQ(rig.model.Drop(*rig, 2, rig.Key(kPorchLight)).title, kWaitForOperationText);
  EXPECT_EQ(std::memcmp(before, rig->linkOps.state.jobs, sizeof before), 0);
}

// Extended messages (0x62 with the extended flag) to `id`, as their cmd1 and D1..D3.
std::vector<std::vector<uint8_t>> ExtendedTo(const HouseRig& rig, const InsteonId& id) {
  std::vector<std::vector<uint8_t>> out;
  for (const std::vector<uint8_t>& m : rig.Sent()) {
    if (m.size() < 8 || m[1] != 0x62 || !(InsteonId::FromBytes(m.data() + 2) == id)) continue;
    if ((m[5] & 0x10) != 0 && m.size() >= 11)
      out.push_back({m[6], m[8], m[9], m[10]});
    else
      out.push_back({m[6]});
  }
  return out;
}

TEST(ButtonOptions, SetAndReadSendWhatEachKindWants) {
  {
    // A SwitchLinc with button 2 selected: one settings write with the stored D6.
    ControllerRig rig;
    rig.model.SelectController(*rig, rig.Key(kKitchenCeiling));
    EXPECT_EQ(rig.model.state.kind, PanelKind::kSwitchLinc);
    rig.model.state.selectedButton = 2;
    EXPECT_EQ(rig.model.SetOptions(*rig).text, kReadOptionsFirstText) << "nothing read yet";
    rig.Record(kKitchenCeiling).extData[5] = 0x5A;
    rig.ClearSent();
    ASSERT_EQ(rig.model.SetOptions(*rig).kind, SaveOutcome::kStarted);
    ASSERT_TRUE(rig.RunToQuiet());
    EXPECT_EQ(ExtendedTo(rig, kKitchenCeiling), (std::vector<std::vector<uint8_t>>{{0x2E, 2, 0x05, 0x5A}}));
  }
  {
    // An I/O module: the settings request, then Get Operating Flags twice.
    ControllerRig rig;
    rig.model.SelectController(*rig, rig.Key(kGarageDoor));
    EXPECT_EQ(rig.model.state.kind, PanelKind::kIOLinc);
    rig.model.state.selectedButton = 1;
    rig.ClearSent();
    ASSERT_EQ(rig.model.ReadOptions(*rig).kind, SaveOutcome::kStarted);
    ASSERT_TRUE(rig.RunToQuiet());
    EXPECT_EQ(ExtendedTo(rig, kGarageDoor), (std::vector<std::vector<uint8_t>>{{0x2E, 1, 0, 0}, {0x1F}, {0x1F}}));
  }
  {
    // No button: the message, and nothing on the wire.
    ControllerRig rig;
    rig.model.SelectController(*rig, rig.Key(kGarageDoor));
    rig.ClearSent();
    const SaveOutcome set = rig.model.SetOptions(*rig);
    EXPECT_EQ(set.title, kSelectionMissingTitle);
    EXPECT_EQ(set.text, kSelectButtonText);
    EXPECT_EQ(rig.model.ReadOptions(*rig).text, kSelectButtonText);
    ASSERT_TRUE(rig.RunToQuiet());
    EXPECT_TRUE(rig.Sent().empty());
  }
}

TEST(PanelClicks, SelectAButtonAndAskForItsSettingsByKind) {
  {
    // A click on an I/O module's group lists it, selects it and reads button 1.
    ControllerRig rig;
    rig.model.SelectController(*rig, rig.Key(kGarageDoor));
    rig.ClearSent();
    rig.model.Click(*rig, {1});
    EXPECT_EQ(rig.model.state.selectedButton, 1);
    ASSERT_TRUE(rig.RunToQuiet());
    EXPECT_EQ(ExtendedTo(rig, kGarageDoor), (std::vector<std::vector<uint8_t>>{{0x2E, 1, 0, 0}, {0x1F}}));
  }
  {
    // A SwitchLinc takes no clicks.
    ControllerRig rig;
    rig.model.SelectController(*rig, rig.Key(kKitchenCeiling));
    rig.ClearSent();
    rig.model.Click(*rig, {1});
    EXPECT_EQ(rig.model.state.selectedButton, 0);
    ASSERT_TRUE(rig.RunToQuiet());
    EXPECT_TRUE(rig.Sent().empty());
  }
  {
    // A click outside every group does nothing; on the keypad it picks the button.
    ControllerRig rig;
    rig.model.SelectController(*rig, rig.Key(kHallKeypad));
    rig.model.Click(*rig, {});
    EXPECT_EQ(rig.model.state.selectedButton, 0);
    rig.model.Click(*rig, {3});
    EXPECT_EQ(rig.model.state.selectedButton, 3);
    EXPECT_EQ(rig.model.state.listedGroup, 3);
  }
  {
    // The remote's groups are listed as its own.
    ControllerRig rig;
    rig.model.SelectController(*rig, rig.Key(kRemote));
    EXPECT_EQ(rig.model.state.kind, PanelKind::kDefault);
    EXPECT_EQ(rig.model.groups.lists.size(), 1u);
  }
}

}  // namespace
}  // namespace quorvel

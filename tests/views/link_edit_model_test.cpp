// The Device Setup tab's link list edited in place, against the simulated
// house: what each edit writes into the device (read back out of the
// simulator), what a delete removes on both sides, and the saves that must
// write nothing: refused text, an unknown engine, a list grown stale under
// an open box, a busy link job.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "device/device_catalogue.h"
#include "engine/link_operations.h"
#include "engine/link_watch.h"
#include "view_rig.h"
#include "views/device_setup/link_edit_model.h"
#include "views/device_setup/link_list_model.h"

namespace quorvel {
namespace {

using testing::HouseRig;
using testing::kHallKeypad;
using testing::kKitchenCeiling;
using testing::kModem;
using testing::kPorchLight;

const InsteonId kDining = InsteonId::From(0x2a, 0x10, 0x03);  // i2cs dimmer: responds to keypad button 3
const InsteonId kLamp = InsteonId::From(0x2a, 0x10, 0x06);  // i2 dimmer

// Links of the example house the cases edit, by slot in their device's table.
constexpr int kDiningFromKeypad = 2;   // dining: responder 3 keypad 80 1c 01
constexpr int kKeypadToDining = 4;     // keypad: controller 3 dining 03 00 03
constexpr int kCeilingToIsland = 2;    // ceiling: controller 1 island 03 00 01
constexpr int kCeilingFromKeypad = 4;  // ceiling: responder 3 keypad ff 1c 01

sim::SimDevice& InHouse(sim::House& house, const InsteonId& id) {
  for (sim::SimDevice& d : house.devices)
    if (d.id == id) return d;
  ADD_FAILURE() << "no such device";
  return house.devices.front();
}

// The example house, where the porch light also answers the modem's group 1.
sim::House HouseWithPorchOnModem() {
  sim::House house = testing::ExampleHouse();
  InHouse(house, kPorchLight).SetLinkAt(1, sim::LinkEntry{0xA2, 1, kModem, {0xFF, 0x00, 0x01}});
  return house;
}

class EditRig : public HouseRig {
 public:
  EditRig() = default;
  explicit EditRig(const sim::House& house) : HouseRig(house) {}

  // Shows the device's links in the list.
  void Show(const InsteonId& id, uint8_t group = 1) {
    key = MakeDeviceKey(group, id);
    list.Fill(*ctx, key);
  }
  // The row of the link in `slot`, or -1.
  int RowOfSlot(int slot) const {
    for (int i = 0; i < list.Rows(); ++i)
      if (list.Row(i).link.slot == slot) return i;
    return -1;
  }
  DeviceRecord& Record(const InsteonId& id, uint8_t group = 1) { return ctx->db[Slot(id, group)]; }
  sim::SimDevice& Sim(const InsteonId& id) { return *net.Device(id); }
  // Picks the entry with this text from the cell's drop-down.
  void Pick(int row, int column, const std::string& text) {
    const CellChoices c = list.Choices(*ctx, row, column);
    const auto it = std::find(c.entries.begin(), c.entries.end(), text);
    ASSERT_NE(it, c.entries.end()) << text;
    list.Choose(row, column, c, static_cast<int>(it - c.entries.begin()));
  }
  // Runs the link jobs and the list's following of them.
  void Settle() {
    ASSERT_TRUE(RunToQuiet());
    list.FollowJobs(*ctx);
    list.Fill(*ctx, key);
  }
  std::vector<uint8_t> JobRecord(int job = 0) const {
    const LinkJob& j = ctx->linkOps.state.jobs[job];
    return std::vector<uint8_t>(j.record, j.record + 8);
  }

  DeviceLinkList list;
  DeviceKey key = 0;
};

TEST(LinkConversions, PercentAndRampBothWays) {
  struct Case {
    int percent;
    uint8_t level;
  };
  for (const Case& c : std::vector<Case>{{75, 191}, {50, 128}, {100, 255}, {0, 0}, {1, 3}, {150, 255}, {-5, 0}})
    EXPECT_EQ(PercentToLevel(c.percent), c.level) << c.percent;

  struct Seconds {
    int seconds;
    uint8_t code;
  };
  for (const Seconds& c : std::vector<Seconds>{{540, 0}, {480, 1}, {60, 12}, {19, 23}, {2, 27}, {0, 28}, {7, 28}, {1000, 28}})
    EXPECT_EQ(SecondsToRampCode(c.seconds), c.code) << c.seconds;

  struct Text {
    const char* text;
    int code;
  };
  for (const Text& c : std::vector<Text>{{"540 sec", 0}, {"480 sec", 1}, {"2 sec", 27}, {"0.5 sec", 28},
                                         {"0.3 sec", 29}, {"0.1 sec", 31}, {"SWITCH", -1}, {"2", -1}, {"", -1}})
    EXPECT_EQ(RampCodeOfText(c.text), c.code) << c.text;
  // Every code shown reads back as itself.
  for (int code = 0; code < 32; ++code) EXPECT_EQ(RampCodeOfText(RampSecondsText(static_cast<uint8_t>(code))), code);
}

TEST(LinkEditKeys, TabEnterEscapeAndUpFollowTheListsRules) {
  struct Case {
    const char* name;
    EditKey key;
    int row, column, rows, lastTab;
    NextEdit want;
  };
  const std::vector<Case> cases = {
      {"tab to the next column", EditKey::kTab, 1, 1, 3, 3, {1, 2, false}},
      {"tab after the rate goes to the next row", EditKey::kTab, 1, 3, 3, 3, {2, 1, false}},
      {"tab from the last row wraps to row 0", EditKey::kTab, 2, 3, 3, 3, {0, 1, false}},
      {"tab reaches the save cell while a save waits", EditKey::kTab, 0, 3, 3, 4, {0, 4, false}},
      {"enter opens the next column", EditKey::kEnter, 0, 2, 3, 3, {0, 3, false}},
      {"enter in the save cell saves and opens the next row", EditKey::kEnter, 2, 4, 3, 4, {0, 1, true}},
      {"escape opens nothing", EditKey::kEscape, 1, 2, 3, 3, {-1, -1, false}},
      {"up opens the row above", EditKey::kUp, 2, 3, 3, 3, {1, 3, false}},
      {"up in row 0 opens nothing", EditKey::kUp, 0, 3, 3, 3, {-1, -1, false}},
  };
  for (const Case& c : cases) {
    const NextEdit got = NextCell(c.key, c.row, c.column, c.rows, c.lastTab);
    EXPECT_EQ(got.row, c.want.row) << c.name;
    EXPECT_EQ(got.column, c.want.column) << c.name;
    EXPECT_EQ(got.save, c.want.save) << c.name;
  }
}

TEST(LinkEditChoices, FitTheOtherEndAndTheDeviceKind) {
  EditRig rig;
  rig.Show(kKitchenCeiling);
  // The modem has no record: every group is offered.
  const CellChoices modem = rig.list.Choices(*rig, rig.RowOfSlot(0), kGroupColumn);
  ASSERT_EQ(modem.entries.size(), 255u);
  EXPECT_EQ(modem.entries.front(), "1");
  EXPECT_EQ(modem.selected, 0);
  // The keypad has eight button groups; asking must not change how it is listed.
  rig.Record(kHallKeypad).showInControllerList = 0;
  const CellChoices keypad = rig.list.Choices(*rig, rig.RowOfSlot(kCeilingFromKeypad), kGroupColumn);
  EXPECT_EQ(keypad.entries.size(), 8u);
  EXPECT_EQ(keypad.selected, 2);
  EXPECT_EQ(rig.Record(kHallKeypad).showInControllerList, 0);
  const CellChoices rates = rig.list.Choices(*rig, rig.RowOfSlot(kCeilingFromKeypad), kRateColumn);
  ASSERT_EQ(rates.entries.size(), 31u);
  EXPECT_EQ(rates.entries.front(), "0.1 sec");
  EXPECT_EQ(rates.codes.front(), 31);
  EXPECT_EQ(rates.entries.back(), "480 sec");
  EXPECT_EQ(rates.entries[static_cast<size_t>(rates.selected)], "0.5 sec");
  // A controller's record keeps its data bytes: no level or rate to choose.
  EXPECT_EQ(rig.list.Editor(rig.RowOfSlot(kCeilingToIsland), kLevelColumn), EditorKind::kNone);
  EXPECT_EQ(rig.list.Editor(rig.RowOfSlot(kCeilingToIsland), kGroupColumn), EditorKind::kDropDown);

}

TEST(LinkEditChoices, AnOnOffDeviceOffersFullLevelAndSwitchOnly) {
  EditRig rig(HouseWithPorchOnModem());
  rig.Show(kPorchLight);
  ASSERT_EQ(rig.list.Rows(), 2);
  const CellChoices level = rig.list.Choices(*rig, 0, kLevelColumn);
  const CellChoices rate = rig.list.Choices(*rig, 0, kRateColumn);
  EXPECT_EQ(level.entries, std::vector<std::string>{"100%"});
  EXPECT_EQ(rate.entries, std::vector<std::string>{"SWITCH"});
}

// What a saved change writes into the device's link record.
struct ChangeCase {
  const char* name;
  InsteonId device;
  int slot;
  std::vector<std::pair<int, std::string>> picks;  // column, entry text
  std::vector<uint8_t> record;                     // the job's record, then the device's
};
void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }

class LinkEditChanges : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(LinkEditChanges, WriteTheRowIntoTheDevice) {
  const ChangeCase& c = GetParam();
  EditRig rig(HouseWithPorchOnModem());
  rig.Show(c.device);
  const int row = rig.RowOfSlot(c.slot);
  ASSERT_GE(row, 0);
  for (const auto& [column, text] : c.picks) rig.Pick(row, column, text);
  EXPECT_EQ(rig.list.Row(row).state, RowState::kChanged);
  EXPECT_EQ(RowStateText(rig.list.Row(row).state), "Save");
  const SaveOutcome out = rig.list.Save(*rig, row);
  ASSERT_EQ(out.kind, SaveOutcome::kStarted) << out.title << out.text;
  EXPECT_EQ(rig.JobRecord(), c.record);
  // Written, but not shown back yet.
  EXPECT_EQ(rig.list.Row(row).state, RowState::kSaving);
  rig.Settle();
  const sim::LinkEntry e = rig.Sim(c.device).LinkAt(c.slot);
  const std::vector<uint8_t> held = {e.flags, e.group, e.id.b[0], e.id.b[1], e.id.b[2], e.data[0], e.data[1], e.data[2]};
  EXPECT_EQ(held, c.record);
  EXPECT_EQ(rig.list.Row(rig.RowOfSlot(c.slot)).state, RowState::kSaved);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LinkEditChanges,
    ::testing::Values(
        ChangeCase{"a dimmer at 75 % and 2 s", kDining, kDiningFromKeypad,
                   {{kLevelColumn, "75%"}, {kRateColumn, "2 sec"}},
                   {0xA2, 3, 0x2a, 0x10, 0x04, 191, 27, 0x01}},
        ChangeCase{"the rates below a second keep their codes", kDining, kDiningFromKeypad,
                   {{kRateColumn, "0.1 sec"}},
                   {0xA2, 3, 0x2a, 0x10, 0x04, 0x80, 31, 0x01}},
        ChangeCase{"a controller's group alone changes", kHallKeypad, kKeypadToDining,
                   {{kGroupColumn, "5"}},
                   {0xE2, 5, 0x2a, 0x10, 0x03, 0x03, 0x00, 0x03}},
        ChangeCase{"a level left as it was keeps its byte", kKitchenCeiling, kCeilingFromKeypad,
                   {{kRateColumn, "8 sec"}},
                   {0xA2, 3, 0x2a, 0x10, 0x04, 0xFF, 24, 0x01}},
        ChangeCase{"an on/off device is written full on with no ramp", kPorchLight, 1,
                   {{kGroupColumn, "2"}},
                   {0xA2, 2, 0x1e, 0x65, 0xa2, 0xFF, 0x00, 0x01}}),
    [](const ::testing::TestParamInfo<ChangeCase>& info) { return "Case" + std::to_string(info.index); });

TEST(LinkEditSave, RefusedTextWritesNothingAndSaysWhy) {
  struct Case {
    int column;
    const char* text;
    const char* message;
  };
  for (const Case& c : std::vector<Case>{{kLevelColumn, "150%", kBadLevelText},
                                         {kLevelColumn, "half", kBadLevelText},
                                         {kGroupColumn, "x1", kBadGroupText},
                                         {kRateColumn, "3 sec", kBadRateText}}) {
    EditRig rig;
    rig.Show(kDining);
    const int row = rig.RowOfSlot(kDiningFromKeypad);
    rig.list.Choose(row, c.column, CellChoices{{c.text}, {}, -1}, 0);
    const SaveOutcome out = rig.list.Save(*rig, row);
    EXPECT_EQ(out.kind, SaveOutcome::kMessage) << c.text;
    EXPECT_EQ(out.text, c.message) << c.text;
    EXPECT_FALSE(LinkOperationRunning(*rig)) << c.text;
    EXPECT_EQ(rig.list.Row(row).state, RowState::kChanged) << "the edit waits to be put right: " << c.text;
  }
}

TEST(LinkEditSave, AnUnknownEngineAsksForItAndWritesNothing) {
  EditRig rig;
  rig.Record(kDining).engineVersion = kEngineUnknown;
  rig.Show(kDining);
  const int row = rig.RowOfSlot(kDiningFromKeypad);
  rig.Pick(row, kLevelColumn, "20%");
  const SaveOutcome out = rig.list.Save(*rig, row);
  EXPECT_EQ(out.text, kEngineUnknownText);
  EXPECT_FALSE(LinkOperationRunning(*rig));
  EXPECT_EQ(rig.list.Row(row).state, RowState::kNone);
  ASSERT_TRUE(rig.RunToQuiet());
  EXPECT_EQ(rig.SentTo(kDining, 0x0D).size(), 1u) << "the engine-version request";
  EXPECT_EQ(rig.Sim(kDining).LinkAt(kDiningFromKeypad).data[0], 0x80);
}

TEST(LinkEditSave, WhileAJobRunsNothingIsPreparedOverIt) {
  EditRig rig;
  rig.Show(kDining);
  const int row = rig.RowOfSlot(kDiningFromKeypad);
  // The delete is asked while nothing runs; a job starts while the box is open.
  rig.list.SetChecked(row, true);
  ASSERT_EQ(rig.list.Save(*rig, row).kind, SaveOutcome::kConfirm);
  const int lamp = rig.Slot(InsteonId::From(0x2a, 0x10, 0x06), 1);
  ASSERT_TRUE(UpdateLink(*rig, lamp, 0, 1, 0x40, 0x1C, 0xA2));
  LinkJob before[2];
  std::memcpy(before, rig->linkOps.state.jobs, sizeof before);
  EXPECT_EQ(rig.list.ConfirmDelete(*rig, true).title, kWaitForOperationText);
  // Changes and deletes asked while it runs are refused at once.
  rig.Pick(row, kLevelColumn, "20%");
  EXPECT_EQ(rig.list.Save(*rig, row).title, kWaitForOperationText);
  rig.list.SetChecked(row, true);
  EXPECT_EQ(rig.list.Save(*rig, row).title, kWaitForOperationText);
  EXPECT_EQ(std::memcmp(before, rig->linkOps.state.jobs, sizeof before), 0);
}

TEST(LinkEditSave, AWriteTheDeviceDidNotTakeIsNotShownAsSaved) {
  EditRig rig;
  rig.Sim(kDining).writeProtected = true;
  rig.Show(kDining);
  const int row = rig.RowOfSlot(kDiningFromKeypad);
  rig.Pick(row, kLevelColumn, "20%");
  ASSERT_EQ(rig.list.Save(*rig, row).kind, SaveOutcome::kStarted);
  rig.Settle();
  const int again = rig.RowOfSlot(kDiningFromKeypad);
  EXPECT_EQ(rig.list.Row(again).state, RowState::kChanged);
  EXPECT_EQ(rig.list.Row(again).cells[kLevelColumn], "20%") << "the edit stays, to be saved again";
  const std::vector<std::string> log = rig.Activity();
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& l) { return l.find("did not take") != std::string::npos; }));
}

TEST(LinkEditDelete, OkRemovesBothHalvesAndCancelNothing) {
  for (const bool ok : {false, true}) {
    EditRig rig;
    rig.Show(kDining);
    const int row = rig.RowOfSlot(kDiningFromKeypad);
    rig.list.SetChecked(row, true);
    EXPECT_EQ(RowStateText(rig.list.Row(row).state), "Del");
    const SaveOutcome ask = rig.list.Save(*rig, row);
    ASSERT_EQ(ask.kind, SaveOutcome::kConfirm);
    EXPECT_EQ(ask.title, "Confirm");
    EXPECT_EQ(ask.text, "A Link From 2a.10.03  " + std::string(ProductName(0x01, 0x20)) +
                            ".\n\n\n\nGroup 3 control with 2a.10.04 " + std::string(ProductName(0x01, 0x1C)) +
                            " \n\n  Remove this link?");
    const SaveOutcome out = rig.list.ConfirmDelete(*rig, ok);
    // Whatever the answer, the row is no longer marked.
    EXPECT_FALSE(rig.list.Row(row).checked);
    if (!ok) {
      EXPECT_EQ(out.kind, SaveOutcome::kNothing);
      EXPECT_FALSE(LinkOperationRunning(*rig));
      EXPECT_EQ(rig.list.Row(row).state, RowState::kNone);
      continue;
    }
    ASSERT_EQ(out.kind, SaveOutcome::kStarted);
    EXPECT_EQ(rig.list.Row(row).state, RowState::kUnlinking);
    rig.Settle();
    EXPECT_FALSE(rig.Sim(kDining).LinkAt(kDiningFromKeypad).InUse());
    EXPECT_FALSE(rig.Sim(kHallKeypad).LinkAt(kKeypadToDining).InUse()) << "the keypad's half goes too";
    EXPECT_FALSE(rig.Record(kDining).links[kDiningFromKeypad].InUse());
    const int shown = rig.RowOfSlot(kDiningFromKeypad);
    ASSERT_GE(shown, 0) << "the removed link stays listed";
    EXPECT_EQ(RowStateText(rig.list.Row(shown).state), "Unlinked");
    EXPECT_TRUE(rig.list.Row(shown).gone);
    const std::vector<std::string> log = rig.Activity();
    EXPECT_NE(std::find(log.begin(), log.end(), "Remove link from 2a.10.03, - User changes"), log.end());
  }
}

TEST(LinkEditDelete, TakesTheRowsOwnLinkNotTheGroupTypedInIt) {
  sim::House house = testing::ExampleHouse();
  // The dining light also answers keypad button 4.
  InHouse(house, kDining).SetLinkAt(3, sim::LinkEntry{0xA2, 4, kHallKeypad, {0x40, 0x1C, 0x04}});
  InHouse(house, kHallKeypad).SetLinkAt(9, sim::LinkEntry{0xE2, 4, kDining, {0x04, 0x00, 0x04}});
  EditRig rig(house);
  rig.Show(kDining);
  const int row = rig.RowOfSlot(kDiningFromKeypad);
  rig.Pick(row, kGroupColumn, "4");
  rig.list.SetChecked(row, true);
  ASSERT_EQ(rig.list.Save(*rig, row).kind, SaveOutcome::kConfirm);
  ASSERT_EQ(rig.list.ConfirmDelete(*rig, true).kind, SaveOutcome::kStarted);
  rig.Settle();
  EXPECT_FALSE(rig.Sim(kDining).LinkAt(kDiningFromKeypad).InUse()) << "the group-3 link of the row";
  EXPECT_TRUE(rig.Sim(kDining).LinkAt(3).InUse()) << "group 4 stays";
  EXPECT_TRUE(rig.Sim(kHallKeypad).LinkAt(9).InUse());
  EXPECT_FALSE(rig.Sim(kHallKeypad).LinkAt(kKeypadToDining).InUse());
}

TEST(LinkEditDelete, AModemLinkGoesFromTheDeviceAndTheModemAndStaysGone) {
  // An i2 lamp: an i2cs device that loses every link to the modem is linked
  // to it again by the engine, which is another story.
  EditRig rig;
  rig.Show(kLamp);
  const int row = rig.RowOfSlot(0);  // responder 1 of the modem
  rig.list.SetChecked(row, true);
  const SaveOutcome ask = rig.list.Save(*rig, row);
  EXPECT_NE(ask.text.find("with 1e.65.a2 Computer PLM"), std::string::npos) << ask.text;
  rig.ClearSent();
  ASSERT_EQ(rig.list.ConfirmDelete(*rig, true).kind, SaveOutcome::kStarted);
  // Both of the ceiling's records of the modem's group 1, one job each.
  EXPECT_EQ(rig.JobRecord(0), (std::vector<uint8_t>{0x22, 0, 0x1e, 0x65, 0xa2, 0, 0, 0x01}));
  EXPECT_EQ(rig.JobRecord(1), (std::vector<uint8_t>{0x22, 0, 0x1e, 0x65, 0xa2, 0, 0, 0x01}));
  EXPECT_EQ(rig->linkOps.state.jobs[1].linkSlot, 1);
  EXPECT_EQ(rig.Record(kLamp).linkFlags, kRemovedRecordFlags);
  rig.Settle();
  const std::vector<std::vector<uint8_t>> modem = rig.ModemCommands();
  EXPECT_NE(std::find_if(modem.begin(), modem.end(),
                         [](const std::vector<uint8_t>& m) {
                           return m.size() >= 9 && m[1] == 0x6F && m[2] == 0x80 && m[4] == 1 && m[5] == 0x2a &&
                                  m[6] == 0x10 && m[7] == 0x06;
                         }),
            modem.end())
      << "the modem's record is deleted";
  EXPECT_FALSE(rig.Sim(kLamp).LinkAt(0).InUse());
  EXPECT_FALSE(rig.Sim(kLamp).LinkAt(1).InUse());
  // The automatic repair does not put it back.
  rig->options.runFlags |= kRunLinkWatchRepair;
  rig->tick.repairWindow = RepairWindow{false, false};
  rig.clock.Advance(60);
  AutoRepair(*rig);
  for (const LinkJob& job : rig->linkOps.state.jobs) EXPECT_FALSE(!job.Idle() && job.target == kLamp);
}

TEST(LinkEditStale, ATableReadAgainUnderTheBoxIsCheckedBeforeTheWrite) {
  // The records reorder (a re-read): the delete still reaches the dining light.
  {
    EditRig rig;
    rig.Show(kDining);
    const int row = rig.RowOfSlot(kDiningFromKeypad);
    rig.list.SetChecked(row, true);
    ASSERT_EQ(rig.list.Save(*rig, row).kind, SaveOutcome::kConfirm);
    std::swap(rig->db.records[0], rig->db.records[rig.Slot(kDining, 1)]);
    ASSERT_EQ(rig.list.ConfirmDelete(*rig, true).kind, SaveOutcome::kStarted);
    EXPECT_EQ(rig->linkOps.state.jobs[0].target, kDining);
    EXPECT_EQ(rig->linkOps.state.jobs[1].target, kHallKeypad);
  }
  // The slot now holds another link: nothing is written, and the list is filled again.
  {
    EditRig rig;
    rig.Show(kDining);
    const int row = rig.RowOfSlot(kDiningFromKeypad);
    rig.list.SetChecked(row, true);
    ASSERT_EQ(rig.list.Save(*rig, row).kind, SaveOutcome::kConfirm);
    rig.Record(kDining).links[kDiningFromKeypad].group = 7;
    const SaveOutcome out = rig.list.ConfirmDelete(*rig, true);
    EXPECT_TRUE(out.refill);
    EXPECT_FALSE(LinkOperationRunning(*rig));
  }
  // A row whose slot the table no longer counts is not written either.
  {
    EditRig rig;
    rig.Show(kDining);
    const int row = rig.RowOfSlot(kDiningFromKeypad);
    rig.Pick(row, kLevelColumn, "20%");
    rig.Record(kDining).linkCount = 2;
    EXPECT_TRUE(rig.list.Save(*rig, row).refill);
    EXPECT_FALSE(LinkOperationRunning(*rig));
  }
}

TEST(LinkEditRows, EachRowKeepsItsOwnEditAcrossARefill) {
  EditRig rig;
  rig.Show(kKitchenCeiling);
  const int a = rig.RowOfSlot(kCeilingFromKeypad);
  const int b = rig.RowOfSlot(kCeilingToIsland);
  rig.Pick(a, kLevelColumn, "40%");
  rig.list.SetChecked(b, true);
  rig.Show(kKitchenCeiling);  // the tick refreshes the window
  EXPECT_EQ(rig.list.Row(rig.RowOfSlot(kCeilingFromKeypad)).cells[kLevelColumn], "40%");
  EXPECT_EQ(RowStateText(rig.list.Row(rig.RowOfSlot(kCeilingFromKeypad)).state), "Save");
  EXPECT_EQ(RowStateText(rig.list.Row(rig.RowOfSlot(kCeilingToIsland)).state), "Del");
  EXPECT_EQ(rig.list.LastTabColumn(rig.RowOfSlot(kCeilingFromKeypad)), kSaveColumn);
  // Unchecking a row with no edit clears its save cell; another device forgets every edit.
  rig.list.SetChecked(rig.RowOfSlot(kCeilingToIsland), false);
  EXPECT_EQ(RowStateText(rig.list.Row(rig.RowOfSlot(kCeilingToIsland)).state), "");
  rig.Show(kDining);
  rig.Show(kKitchenCeiling);
  EXPECT_EQ(rig.list.Row(rig.RowOfSlot(kCeilingFromKeypad)).state, RowState::kNone);
}

}  // namespace
}  // namespace quorvel

// The device tree's model: what it lists for the example house and for an
// empty table, when it rebuilds, its item texts, label edits, the menu, and
// what a drop, an unlink and the controller toggle put on the wire.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/group_links.h"
#include "engine/main_tick.h"
#include "support/fake_serial_port.h"
#include "support/memory_file_system.h"
#include "view_rig.h"
#include "views/device_setup/device_setup_model.h"
#include "views/link_views/device_tree_model.h"

namespace quorvel {
namespace {

using testing::HouseRig;
using testing::kHallKeypad;
using testing::kKitchenCeiling;
using testing::kModem;
using testing::kPorchLight;

const InsteonId kKitchenIsland = InsteonId::From(0x2a, 0x10, 0x02);
const InsteonId kHallMotion = InsteonId::From(0x2a, 0x10, 0x08);
const InsteonId kPantryLight = InsteonId::From(0x2a, 0x10, 0x11);

struct Line {
  int depth;
  std::string text;
  bool operator==(const Line&) const = default;
};
void PrintTo(const Line& l, std::ostream* os) { *os << l.depth << " \"" << l.text << "\""; }

void Flatten(const std::vector<TreeItem>& items, int depth, std::vector<Line>& out) {
  for (const TreeItem& item : items) {
    out.push_back({depth, item.text});
    Flatten(item.children, depth + 1, out);
  }
}
std::vector<Line> Lines(const DeviceTreeModel& m) {
  std::vector<Line> out;
  Flatten(m.items, 0, out);
  return out;
}

TEST(DeviceTree, TheExampleHouseUnderItsGroups) {
  HouseRig rig;
  DeviceTreeModel model;
  ASSERT_TRUE(RebuildTree(*rig, model));
  const std::vector<Line> want = {
      {0, "[1e.65.a2]  PLM 2413U      (click/setup)"},
      {1, "Add New Device  /  PLM SETUP"},
      {1, "[ 0 ] -- Computer Group  --"},  // the records found only in links are listed under "Discovered"
      {1, "[ 1 ] -- Computer Group  --"},
      {2, "[ 2a.10.01 ]   Kitchen Ceiling"},
      {2, "[ 2a.10.02 ]   Kitchen Island+"},
      {2, "[ 2a.10.03 ]   Dining Chandelier+"},
      {2, "[ 2a.10.04 ]   Hall Keypad"},
      {2, "[ 2a.10.05 ]   Porch Light"},
      {2, "[ 2a.10.06 ]   Living Room Lamp+"},
      {2, "[ 2a.10.07 ]   Garage Door"},
      {2, "[ 2a.10.08 ]   Hall Motion"},
      {2, "[ 2a.10.09 ]   Bedside Remote"},
      {2, "[ 2a.10.0a ]   Basement Stairs"},
      {2, "[ 2a.10.0b ]   Garden Fountain"},
      {2, "[ 2a.10.0c ]   Master Bedroom"},
      {2, "[ 2a.10.0d ]   Bathroom Fan"},
      {2, "[ 2a.10.0e ]   Office Outlet"},
      {2, "[ 2a.10.0f ]   Back Door"},
      {2, "[ 2a.10.10 ]   Bedroom Lamp"},
      {1, "[ 2 ] -- Computer Group  --"},
      {2, "[ 2a.10.08 ]   Hall Motion"},
      {2, "[ 2a.10.09 ]   Bedside Remote"},
      {1, "[ 3 ] -- Computer Group  --"},
      {2, "[ 2a.10.04 ]   Hall Keypad"},
      {1, "[ 255 ] -- All Insteon Devices --"},
      {0, "Discovered"},
      {1, "[ 2a.10.11 ]   Pantry Light"},
  };
  EXPECT_EQ(Lines(model), want);

  // Keys, kinds and the groups' stored settings.
  const TreeItem& root = model.items[0];
  EXPECT_EQ(root.key, MakeDeviceKey(0xFF, kModem));
  EXPECT_TRUE(root.expanded);
  EXPECT_TRUE(model.items[1].expanded) << "Discovered";
  const TreeItem& group3 = root.children[4];
  EXPECT_EQ(group3.key, MakeGroupKey(3));
  ASSERT_EQ(group3.children.size(), 1u);
  EXPECT_EQ(group3.children[0].key, MakeDeviceKey(3, kHallKeypad));
  EXPECT_EQ(group3.children[0].kind, TreeItemKind::kDevice);
  EXPECT_TRUE(root.children[5].children.empty()) << "the all-devices node has no devices";
  EXPECT_EQ(rig->groups.GroupLabel(3), "Computer Group") << "an unnamed group keeps the name it was shown with";
  EXPECT_EQ(rig->groups.groups[255].expanded, 1);
  EXPECT_EQ(model.items[1].children[0].kind, TreeItemKind::kDiscoveredDevice);
  EXPECT_EQ(model.items[1].children[0].image, kImageUnlinked);

  // A group opens the first time it is shown; then it stays as the user leaves it.
  EXPECT_TRUE(root.children[2].expanded) << "group 1";
  SetTreeItemExpanded(*rig, MakeGroupKey(1), false);
  rig.clock.Advance(5);
  ASSERT_TRUE(RebuildTree(*rig, model));
  EXPECT_FALSE(model.items[0].children[2].expanded);
  EXPECT_TRUE(model.items[0].children[4].expanded) << "group 3";
}

TEST(DeviceTree, AnEmptyTableShowsHowToStart) {
  const std::vector<std::string> help = {
      " - Link device to PLM -",
      "1) Enter DEVICE ID",
      "2) Choose Group",
      "3) CLICK 'Add New Device' Button.",
      "HINT: Enter a device ID with other links.",
      "The device ALL-Link Database is read for device discovery.",
      "Wireless devices such as RemoteLinc need activation.",
      "Commands for wireless devices are stored waiting for device activity.",
      " - Wireless Activation -",
      "For RemoteLinc: Press DIM button.",
      "For Motion Sensor: Press set button, or activate motion.",
  };
  for (const bool found : {false, true}) {
    SCOPED_TRACE(found ? "modem found" : "no modem");
    testing::TestRig rig;
    rig->db.plm.plmFound = found ? 1 : 0;
    rig->db.plm.plmId = kModem;
    rig->db.plm.plmCategory = 0x03;
    rig->db.plm.plmSubcategory = 0x15;
    DeviceTreeModel model;
    ASSERT_TRUE(RebuildTree(*rig, model));
    std::vector<Line> want = {{0, found ? "[1e.65.a2]  PLM 2413U      (click/setup)" : "PLM Not Found"}};
    if (found) want.push_back({1, "Add New Device  /  PLM SETUP"});
    for (const std::string& line : help) want.push_back({1, line});
    EXPECT_EQ(Lines(model), want);
    EXPECT_EQ(model.items[0].image, found ? kImageGeneric : kImageNotFound);
  }
}

TEST(DeviceTree, ARecordNobodyIdentifiedShowsTheNameOfTheDevicesOtherRecord) {
  HouseRig rig;
  DeviceRecord& second = rig.AddRecord(kHallMotion, 7);
  second.category = second.subcategory = 0;
  second.name[0] = '\0';
  DeviceTreeModel model;
  ASSERT_TRUE(RebuildTree(*rig, model));
  const TreeItem* item = FindTreeItem(model, MakeDeviceKey(7, kHallMotion));
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->text, "[ 2a.10.08 ]   Hall Motion");
  EXPECT_STREQ(rig->db[rig.Slot(kHallMotion, 7)].name, "") << "shown, not stored";
}

TEST(DeviceTree, UnlinkedRecordsAndTheSelection) {
  HouseRig rig;
  rig->db[rig.Slot(kPorchLight, 1)].linkFlags = kLinkRemovedBySystem;
  rig->tick.treeSelection = MakeDeviceKey(3, kHallKeypad);
  DeviceTreeModel model;
  ASSERT_TRUE(RebuildTree(*rig, model));
  ASSERT_EQ(model.items.size(), 3u);
  EXPECT_EQ(model.items[1].text, "Discovered") << "met first, in group 0";
  EXPECT_EQ(model.items[2].text, "Unlinked");
  ASSERT_EQ(model.items[2].children.size(), 1u);
  EXPECT_EQ(model.items[2].children[0].text, "[ 2a.10.05 ]   Porch Light");
  EXPECT_EQ(model.items[2].children[0].kind, TreeItemKind::kUnlinkedDevice);
  int selected = 0;
  std::function<void(const std::vector<TreeItem>&)> count = [&](const std::vector<TreeItem>& items) {
    for (const TreeItem& i : items) {
      if (i.selected) {
        ++selected;
        EXPECT_EQ(i.key, MakeDeviceKey(3, kHallKeypad));
      }
      count(i.children);
    }
  };
  count(model.items);
  EXPECT_EQ(selected, 1) << "the keypad under group 3, not its group-1 item";
}

// One rebuild per two seconds of the wall clock; label edits and drags hold
// the items, so a rebuild then waits and the tick asks again.
TEST(DeviceTree, RebuildsAreThrottledAndHeldWhileTheItemsAreInUse) {
  struct Case {
    const char* name;
    int secondsLater;
    bool editing, dragging;
    bool rebuilt;
  };
  const Case cases[] = {
      {"same second", 0, false, false, false}, {"the next second", 1, false, false, false},
      {"two seconds on", 2, false, false, true}, {"label being edited", 5, true, false, false},
      {"device being dragged", 5, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HouseRig rig;
    DeviceTreeModel model;
    ASSERT_TRUE(RebuildTree(*rig, model));
    rig.clock.Advance(c.secondsLater);
    model.labelEditing = c.editing;
    model.dragging = c.dragging;
    rig->tick.treeRefreshPending = false;
    EXPECT_EQ(RebuildTree(*rig, model), c.rebuilt);
    EXPECT_EQ(rig->tick.treeRefreshPending, !c.rebuilt);
    EXPECT_EQ(model.rebuilds, c.rebuilt ? 2u : 1u);
  }
}

// The tick asks for a rebuild whenever the count changes; during a drag the
// items stay, the drop finds its device by key, and one rebuild follows it.
class RebuildingNotifier : public testing::RecordingNotifier {
 public:
  void Refresh(ViewRefresh what) override {
    if (what == ViewRefresh::DeviceTree && ctx != nullptr) RebuildTree(*ctx, *model);
  }
  Context* ctx = nullptr;
  DeviceTreeModel* model = nullptr;
};

TEST(DeviceTree, ADragOutlivesTheTicksAndOneRebuildFollowsTheDrop) {
  struct {
    TestClock clock{testing::kSimStart};
    testing::FakeSerialPort port;
    testing::MemoryFileSystem files;
  } rig;
  RebuildingNotifier notifier;
  auto ctx = std::make_unique<Context>(rig.clock, rig.port, rig.files, notifier);
  Silence(ctx->diagnostics);
  sim::FillDatabase(testing::ExampleHouse(), ctx->db, rig.clock.Now());
  DeviceTreeModel model;
  notifier.ctx = ctx.get();
  notifier.model = &model;
  RunMainTick(*ctx);  // the count differs from the tick's start value: a rebuild
  ASSERT_EQ(model.rebuilds, 1u);
  const TreeItem* dragged = FindTreeItem(model, MakeDeviceKey(1, kKitchenIsland));
  ASSERT_NE(dragged, nullptr);
  const uint32_t key = dragged->key;

  model.dragging = true;
  ctx->db.AppendDiscovered(InsteonId::From(0x33, 0x00, 0x01));  // discovery while the user drags
  for (int i = 0; i < 40; ++i) {
    RunMainTick(*ctx);
    rig.clock.AdvanceMillis(kTickMillis);
  }
  EXPECT_EQ(model.rebuilds, 1u) << "no rebuild under the drag";
  EXPECT_TRUE(ctx->tick.treeRefreshPending);
  EXPECT_EQ(FindTreeItem(model, key), dragged) << "the dragged item is still there";

  EXPECT_EQ(MoveDeviceToGroup(*ctx, key, 5), GroupLinkResult::kDone);
  model.dragging = false;
  for (int i = 0; i < 40; ++i) {
    RunMainTick(*ctx);
    rig.clock.AdvanceMillis(kTickMillis);
  }
  EXPECT_EQ(model.rebuilds, 2u) << "exactly one rebuild after the drop";
  const TreeItem* moved = FindTreeItem(model, MakeDeviceKey(5, kKitchenIsland));
  ASSERT_NE(moved, nullptr);
  EXPECT_TRUE(moved->selected);
  EXPECT_EQ(FindTreeItem(model, key), nullptr);
}

TEST(DeviceItemText, NamesStatesAndMarks) {
  struct Case {
    uint8_t category, subcategory, level, groupStates;
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {0x01, 0x20, 0, 0, "Hall", "[ 2a.10.01 ]   Hall"},
      {0x01, 0x20, 128, 0, "Hall", "[ 2a.10.01 ]   Hall+"},
      {0x01, 0x20, 0, 0, "", "[ 2a.10.01 ]   SwitchLinc Dimmer DB"},
      {0x00, 0x00, 0, 0, "", "[ 2a.10.01 ]   "},
      {0x10, 0x01, 0, 0, "Hall", "[ 2a.10.01 ]   Hall"},
      {0x10, 0x01, 0, 0x01, "Hall", "[ 2a.10.01 ]   + Hall +"},
      {0x10, 0x01, 0, 0x03, "Hall", "[ 2a.10.01 ]   + Hall + Darkness"},
      {0x10, 0x01, 0, 0x06, "Hall", "[ 2a.10.01 ]   + Hall + Darkness Battery low"},
      {0x10, 0x02, 0, 0x01, "Door", "[ 2a.10.01 ]   + Door + Open"},
      {0x10, 0x02, 0, 0x02, "Door", "[ 2a.10.01 ]   + Door + Closed"},
      {0x10, 0x02, 255, 0, "Door", "[ 2a.10.01 ]   Door"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    DeviceRecord r{};
    r.linkFlags = 0xA2;
    r.id = kKitchenCeiling;
    r.category = c.category;
    r.subcategory = c.subcategory;
    r.level = c.level;
    r.groupStates = c.groupStates;
    std::strcpy(r.name, c.name);
    EXPECT_EQ(DeviceItemText(r), c.text);
  }
  DeviceRecord unnamed{};
  unnamed.id = kKitchenCeiling;
  unnamed.category = 0x02;
  unnamed.subcategory = 0x1C;
  DeviceItemText(unnamed);
  EXPECT_STREQ(unnamed.name, "SwitchLinc Relay") << "the kind's name is kept as the device's name";
}

TEST(DeviceItemText, ImagesAndColours) {
  struct Case {
    uint8_t category, subcategory, level, groupStates;
    int image;
    uint32_t color;
  };
  const Case cases[] = {
      {0x00, 0x04, 0, 0, 1, kColorBlack},     // ControlLinc: a controller, black while off
      {0x00, 0x05, 0, 0, 2, kColorBlack},     // RemoteLinc
      {0x00, 0x10, 0, 0, 0, kColorBlack},     // RemoteLinc 2
      {0x01, 0x02, 0, 0, 9, kColorOff},       // In-LineLinc: no controller groups
      {0x01, 0x1C, 0, 0, 0, kColorBlack},     // KeypadLinc Dimmer8
      {0x01, 0x17, 1, 0, 3, kColorOn},
      {0x02, 0x08, 0, 0, 7, kColorOff},       // OutletLinc
      {0x02, 0x08, 255, 0, 7, kColorOn},
      {0x02, 0x0D, 0, 0, 3, kColorBlack},     // ToggleLinc Relay
      {0x10, 0x01, 0, 0, 4, kColorOff},       // motion sensor, quiet
      {0x10, 0x01, 0, 1, 4, kColorMotion},    // motion
      {0x10, 0x02, 0, 0, 6, kColorOff},       // TriggerLinc closed
      {0x10, 0x02, 255, 0, 6, kColorTriggered},
      {0x07, 0x00, 0, 0, 5, kColorBlack},     // I/O module: one controller group
      {0x09, 0x07, 0, 0, 5, kColorOff},       // category 9: no controller groups
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << int(c.category) << "/" << int(c.subcategory));
    DeviceRecord r{};
    r.linkFlags = 0xA2;
    r.category = c.category;
    r.subcategory = c.subcategory;
    r.level = c.level;
    r.groupStates = c.groupStates;
    EXPECT_EQ(DeviceItemImage(r), c.image);
    EXPECT_EQ(DeviceItemColor(r), c.color);
  }
}

TEST(DeviceTree, LabelEditsStoreWhatFitsAndRefuseTheRest) {
  HouseRig rig;
  const uint32_t keypad3 = MakeDeviceKey(3, kHallKeypad);
  const uint32_t group3 = MakeGroupKey(3);
  struct Case {
    uint32_t key;
    std::string typed;
    LabelEdit result;
    std::string itemText;
  };
  const std::string g62(62, 'g');
  const std::string n31(31, 'n');
  const Case cases[] = {
      {group3, "Scenes", LabelEdit::kStored, "[ 3 ] Scenes"},
      {group3, g62, LabelEdit::kStored, "[ 3 ] " + g62},
      {group3, g62 + "x", LabelEdit::kTooLong, ""},
      {keypad3, "Front Hall", LabelEdit::kStored, "[2a.10.04]  Front Hall"},
      {keypad3, n31, LabelEdit::kStored, "[2a.10.04]  " + n31},
      {keypad3, n31 + "x", LabelEdit::kTooLong, ""},
      {keypad3, "Tab\there", LabelEdit::kStored, "[2a.10.04]  Tab?here"},
      {keypad3, "Caf\xE9", LabelEdit::kStored, "[2a.10.04]  Caf\xE9"},
      {MakeDeviceKey(7, kHallKeypad), "Gone", LabelEdit::kGone, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    const std::string groupBefore(rig->groups.GroupLabel(3));
    const std::string nameBefore(rig->db[rig.Slot(kHallKeypad, 3)].name);
    std::string itemText;
    EXPECT_EQ(CommitLabel(*rig, c.key, c.typed, itemText), c.result);
    EXPECT_EQ(itemText, c.itemText);
    if (c.result != LabelEdit::kStored) {
      EXPECT_EQ(rig->groups.GroupLabel(3), groupBefore) << "nothing changed";
      EXPECT_EQ(std::string(rig->db[rig.Slot(kHallKeypad, 3)].name), nameBefore);
    }
  }
  EXPECT_STREQ(rig->db[rig.Slot(kHallKeypad, 3)].name, "Caf\xE9");
  EXPECT_STREQ(rig->db[rig.Slot(kHallKeypad, 1)].name, "Hall Keypad") << "the edited record only";
  EXPECT_EQ(EditableLabel(*rig, keypad3), "Caf\xE9");
  EXPECT_EQ(EditableLabel(*rig, group3), g62);
  EXPECT_FALSE(LabelEditable(TreeItemKind::kGroup, 251));
  EXPECT_FALSE(LabelEditable(TreeItemKind::kGroup, 255));
  EXPECT_TRUE(LabelEditable(TreeItemKind::kGroup, 3));
  EXPECT_FALSE(LabelEditable(TreeItemKind::kPlmRoot, 0));
}

TEST(DeviceTree, SelectingAskesAnUnknownDeviceWhoItIs) {
  HouseRig rig;
  DeviceRecord& added = rig.AddRecord(InsteonId::From(0x2a, 0x10, 0x06), 9);
  added.category = added.subcategory = 0;
  added.engineVersion = 0;
  rig->refresh.dataReady = false;
  SelectTreeItem(*rig, MakeDeviceKey(9, added.id));
  EXPECT_EQ(rig->tick.treeSelection, MakeDeviceKey(9, added.id));
  EXPECT_EQ(rig->tick.editorSelection, 0u) << "the editors wait for the merged table";
  ASSERT_TRUE(rig.RunToQuiet());
  EXPECT_EQ(rig.SentTo(added.id, 0x0D).size(), 1u);
  EXPECT_EQ(rig.SentTo(added.id, 0x10).size(), 1u);

  rig.ClearSent();
  rig->refresh.dataReady = true;
  SelectTreeItem(*rig, MakeDeviceKey(1, kKitchenCeiling));
  EXPECT_EQ(rig->tick.editorSelection, MakeDeviceKey(1, kKitchenCeiling));
  ASSERT_TRUE(rig.RunToQuiet());
  EXPECT_TRUE(rig.Sent().empty()) << "a known device is asked nothing";
}

TEST(DeviceTree, ADevicesMenu) {
  HouseRig rig;
  DeviceRecord& r = rig->db[rig.Slot(kKitchenCeiling, 1)];
  r.timeLastOn = 0;
  r.minutesOnToday = 12;
  const Menu m = TreeContextMenu(*rig, MakeDeviceKey(1, kKitchenCeiling));
  std::vector<std::string> texts;
  for (const MenuEntry& e : m) {
    if (e.kind == MenuEntry::Kind::kSeparator) texts.push_back("--");
    else if (e.kind == MenuEntry::Kind::kSubmenuBegin) texts.push_back(">" + e.text);
    else if (e.kind == MenuEntry::Kind::kSubmenuEnd) texts.push_back("<");
    else texts.push_back(e.text);
  }
  const std::string contact = "Last Contact: " + rig->log.OnLogTimeStamp(static_cast<uint32_t>(rig.clock.Now()));
  const std::vector<std::string> want = {
      "[ 2a.10.01 ]   Kitchen Ceiling", "Unlink Kitchen Ceiling from group 1", "Show in Controller Setup List",
      "Controller to PLM", ">&Get Properties", "Get Status", "Get Catagory", "Get Version", "Refresh Link List", "--",
      "On", "Off", "<", "Last On: ", "Last Off: ", "Minutes on today. 12", "Minutes on this week. 0",
      "Minutes on this month. 0", contact, "Last status received: " + contact.substr(14),
      "Last links update: " + contact.substr(14), "Icon:", "--",
      "Tip: Drag and Drop by dragging a device onto another group title.",
      "Tip: Remove a group by unlinking all devices."};
  EXPECT_EQ(texts, want);
  EXPECT_FALSE(m[0].enabled);
  EXPECT_EQ(m[1].command, kCmdTreeUnlink);

  const Menu group = TreeContextMenu(*rig, MakeGroupKey(1));
  ASSERT_EQ(group.size(), 3u) << "other items get the tips only";
  EXPECT_FALSE(group[1].enabled);

  // The toggle of the controller list.
  const uint8_t before = r.showInControllerList;
  EXPECT_TRUE(RunTreeCommand(*rig, MakeDeviceKey(1, kKitchenCeiling), kCmdShowInControllerList, 255));
  EXPECT_NE(r.showInControllerList, before);
}

TEST(DeviceTree, DropTargets) {
  const uint32_t dragged = MakeDeviceKey(1, kKitchenIsland);
  struct Case {
    const char* name;
    TreeItemKind kind;
    uint32_t key;
    uint8_t group;
    int want;
  };
  const Case cases[] = {
      {"group node", TreeItemKind::kGroup, MakeGroupKey(5), 5, 5},
      {"device under a group", TreeItemKind::kDevice, MakeDeviceKey(3, kHallKeypad), 3, 3},
      {"discovery group", TreeItemKind::kGroup, MakeGroupKey(251), 251, 251},
      {"all devices", TreeItemKind::kGroup, MakeGroupKey(255), 255, -1},
      {"a modem group", TreeItemKind::kGroup, MakeGroupKey(252), 252, -1},
      {"the dragged item itself", TreeItemKind::kDevice, dragged, 1, -1},
      {"the modem", TreeItemKind::kPlmRoot, MakeDeviceKey(0xFF, kModem), 0, -1},
      {"the modem's setup line", TreeItemKind::kPlmSetup, MakeDeviceKey(0xFF, kModem), 0, -1},
      {"Discovered", TreeItemKind::kDiscoveredNode, 0, 0, -1},
      {"a discovered device", TreeItemKind::kDiscoveredDevice, MakeDeviceKey(0, kPantryLight), 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DropTargetGroup(c.kind, c.key, c.group, dragged), c.want);
  }
}

// A device dragged from group 1 to group 5: the modem's record moves, and the
// device's responder record for group 1 is rewritten in place for group 5.
TEST(GroupMove, TheModemRecordMovesAndTheDevicesRecordIsRewrittenInPlace) {
  HouseRig rig;
  const int slot = rig.Slot(kKitchenIsland, 1);
  ASSERT_EQ(rig->db[slot].links[0].group, 1);
  const uint32_t address = rig->db[slot].links[0].address;
  auto modemRecords = [&](uint8_t group) {
    int n = 0;
    for (const sim::LinkEntry& e : rig.net.Modem().links) n += e.group == group && e.id == kKitchenIsland;
    return n;
  };
  const int group1Before = modemRecords(1);

  ASSERT_EQ(MoveDeviceToGroup(*rig, MakeDeviceKey(1, kKitchenIsland), 5), GroupLinkResult::kDone);
  const LinkJobs& jobs = rig->linkOps.state;
  EXPECT_EQ(jobs.jobCount, 1);
  EXPECT_EQ(jobs.backlogCount, 0);
  EXPECT_EQ(jobs.jobs[0].linkSlot, 0);
  EXPECT_EQ(jobs.jobs[0].addressHigh << 8 | (jobs.jobs[0].addressLow | 7), static_cast<int>(address | 7));
  EXPECT_EQ(jobs.jobs[0].record[1], 5);
  EXPECT_EQ(rig->db[slot].group, 5);
  EXPECT_EQ(rig->tick.treeSelection, MakeDeviceKey(5, kKitchenIsland));
  EXPECT_TRUE(rig->engine.wait.open);
  EXPECT_EQ(rig->engine.wait.text, "Link 2A.10.02 to Computer Group. 5");

  ASSERT_TRUE(rig.RunToQuiet());
  const std::vector<std::vector<uint8_t>> want = {
      {0x02, 0x6F, 0x80, 0xE2, 0x01, 0x2A, 0x10, 0x02, 0x00, 0x00, 0x00},
      {0x02, 0x6C},
      {0x02, 0x6F, 0x41, 0xE2, 0x05, 0x2A, 0x10, 0x02, 0x01, 0x20, 0x41},
      {0x02, 0x6C},
      {0x02, 0x6F, 0x00, 0x00, 0x05, 0x2A, 0x10, 0x02, 0x00, 0x00, 0x00},
  };
  std::vector<std::vector<uint8_t>> sent = rig.ModemCommands();
  // The modem answers 0x6C twice over; its repeats are not what is checked here.
  sent.erase(std::unique(sent.begin(), sent.end()), sent.end());
  EXPECT_EQ(sent, want);
  sim::SimDevice& island = *rig.net.Device(kKitchenIsland);
  EXPECT_EQ(island.LinkAt(0).group, 5) << "the group-1 record became the group-5 one";
  EXPECT_EQ(island.FindLink(false, 1, kModem), -1);
  EXPECT_EQ(modemRecords(1), group1Before - 1) << "one record of group 1 deleted";
  EXPECT_EQ(modemRecords(5), 1);
  const std::vector<std::string> activity = rig.Activity();
  EXPECT_NE(std::find(activity.begin(), activity.end(), "Link 2A.10.02 to Computer Group 5"), activity.end());
  EXPECT_NE(std::find(activity.begin(), activity.end(), "Link 2A.10.02 to Computer Group. 5"), activity.end());
}

// While a link job is busy, nothing a command could change does change.
TEST(GroupMove, EveryCommandWaitsForABusyLinkJob) {
  struct Case {
    const char* name;
    std::function<GroupLinkResult(Context&)> run;
  };
  const Case cases[] = {
      {"drop", [](Context& c) { return MoveDeviceToGroup(c, MakeDeviceKey(1, kKitchenIsland), 5); }},
      {"unlink", [](Context& c) { return UnlinkFromGroup(c, MakeDeviceKey(1, kKitchenIsland)); }},
      {"controller toggle", [](Context& c) { return ToggleControllerToPlm(c, MakeDeviceKey(1, kKitchenIsland)); }},
      {"join", [](Context& c) { return AddOrJoinDevice(c, kKitchenIsland, 7); }},
      {"add", [](Context& c) { return AddOrJoinDevice(c, InsteonId::From(0x33, 1, 2), 7); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HouseRig rig;
    ASSERT_TRUE(LinkDeviceToPlmGroup(*rig, rig.Slot(kKitchenCeiling, 1), 9));
    for (int i = 0; i < 3; ++i) rig.Step();
    ASSERT_TRUE(LinkOperationRunning(*rig));
    std::vector<uint8_t> jobsBefore(sizeof(LinkJob) * 2);
    std::memcpy(jobsBefore.data(), rig->linkOps.state.jobs, jobsBefore.size());
    const auto before = std::make_unique<DeviceDatabase>(rig->db);
    const int modemQueued = rig->queues.modem.Size();

    EXPECT_EQ(c.run(*rig), GroupLinkResult::kBusy);
    EXPECT_EQ(std::memcmp(jobsBefore.data(), rig->linkOps.state.jobs, jobsBefore.size()), 0);
    EXPECT_EQ(std::memcmp(before->records, rig->db.records, sizeof before->records), 0);
    EXPECT_EQ(before->count, rig->db.count);
    EXPECT_EQ(rig->queues.modem.Size(), modemQueued);
  }
}

TEST(GroupMove, RefusedMovesChangeNothing) {
  HouseRig rig;
  const auto before = std::make_unique<DeviceDatabase>(rig->db);
  EXPECT_EQ(MoveDeviceToGroup(*rig, MakeDeviceKey(1, kHallKeypad), 3), GroupLinkResult::kRefused)
      << "already a member";
  EXPECT_EQ(MoveDeviceToGroup(*rig, MakeDeviceKey(1, kHallKeypad), 1), GroupLinkResult::kRefused);
  EXPECT_EQ(MoveDeviceToGroup(*rig, MakeDeviceKey(1, kHallKeypad), 255), GroupLinkResult::kRefused);
  EXPECT_EQ(MoveDeviceToGroup(*rig, MakeDeviceKey(0, kPantryLight), 5), GroupLinkResult::kRefused)
      << "not linked to the modem";
  EXPECT_EQ(MoveDeviceToGroup(*rig, MakeDeviceKey(9, kHallKeypad), 5), GroupLinkResult::kGone);
  EXPECT_EQ(std::memcmp(before->records, rig->db.records, sizeof before->records), 0);
  EXPECT_TRUE(rig->queues.modem.Empty());
  EXPECT_FALSE(LinkOperationRunning(*rig));
}

// The unlink's four effects, for the key taken before its box opened, even
// when the table was rebuilt in another order meanwhile.
TEST(GroupUnlink, TheFourEffectsOnTheDeviceTheBoxNamed) {
  HouseRig rig;
  const uint32_t key = MakeDeviceKey(1, kKitchenCeiling);
  EXPECT_EQ(UnlinkQuestion(*rig, key), "Ulink device ID  2a.10.01  from group 1 ?");
  // A re-read while the box is open puts the records in another order.
  DeviceDatabase& db = rig->db;
  std::swap(db.records[0], db.records[5]);
  const int slot = rig.Slot(kKitchenCeiling, 1);
  ASSERT_NE(slot, 0);
  // Something held for the ceiling is dropped with the unlink.
  RingEntry held{};
  held.flags = 0x0F;
  held.id = kKitchenCeiling;
  held.cmd1 = 0x11;
  ASSERT_GE(rig->queues.hold.Hold(held), 0);

  EXPECT_TRUE(UnlinkFromComputerGroup(*rig, key).changed);
  EXPECT_EQ(db[slot].linkFlags, kLinkRemovedBySystem);
  EXPECT_EQ(FindHeldFor(*rig, kKitchenCeiling), -1);
  // Links in other records that name the ceiling show as removed.
  const int keypad = rig.Slot(kHallKeypad, 1);
  bool sawRemoved = false;
  for (int k = 0; k < db[keypad].LinkLimit(); ++k) {
    if (db[keypad].links[k].id == kKitchenCeiling) {
      EXPECT_EQ(db[keypad].links[k].flags, kLinkRemovedBySystem);
      sawRemoved = true;
    }
  }
  EXPECT_TRUE(sawRemoved);
  ASSERT_TRUE(rig.RunToQuiet());
  // The modem's record goes, and each of the device's records of the modem's
  // group 1 (its responder and its controller record) is written removed.
  const std::vector<uint8_t> del = {0x02, 0x6F, 0x80, 0xE2, 0x01, 0x2A, 0x10, 0x01, 0x00, 0x00, 0x00};
  EXPECT_EQ(rig.ModemCommands().at(0), del);
  std::vector<std::string> writes;
  for (const std::vector<uint8_t>& m : rig.SentTo(kKitchenCeiling, 0x2F)) {
    if (m.size() == 22 && m[9] == 0x02) {
      char text[32];
      std::snprintf(text, sizeof text, "%02X%02X %02X %d", m[10], m[11], m[13], m[14]);
      writes.push_back(text);
    }
  }
  writes.erase(std::unique(writes.begin(), writes.end()), writes.end());
  EXPECT_EQ(writes, (std::vector<std::string>{"0FFF 22 0", "0FF7 22 0"}));
  EXPECT_EQ(UnlinkFromComputerGroup(*rig, MakeDeviceKey(7, kKitchenCeiling)).changed, false) << "gone: nothing";

  DeviceTreeModel model;
  ASSERT_TRUE(RebuildTree(*rig, model));
  const TreeItem* item = FindTreeItem(model, key);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->kind, TreeItemKind::kUnlinkedDevice);
}

// "Controller to PLM" rewrites the device's link to the modem with the flag,
// keeping the link's on level and ramp rate.
TEST(ControllerToggle, KeepsTheLinksDataAndFlipsOnlyWithAWrite) {
  HouseRig rig;
  const uint32_t key = MakeDeviceKey(1, kKitchenCeiling);
  DeviceRecord& r = rig->db[rig.Slot(kKitchenCeiling, 1)];
  ASSERT_EQ(r.linkFlags, 0xE2) << "the modem's controller record came first";
  ASSERT_EQ(ToggleControllerToPlm(*rig, key), GroupLinkResult::kDone);
  EXPECT_EQ(r.linkFlags, 0xA2);
  const LinkJob& job = rig->linkOps.state.jobs[0];
  EXPECT_EQ(job.record[0], 0xA2);
  EXPECT_EQ(job.record[1], 1);
  EXPECT_EQ(job.record[5], 0xFF) << "on level kept";
  EXPECT_EQ(job.record[6], 0x1C) << "ramp rate kept";
  ASSERT_TRUE(rig.RunToQuiet());

  // No link to the modem in the mirror: nothing changes.
  DeviceRecord& porch = rig->db[rig.Slot(kPorchLight, 1)];
  const uint8_t flags = porch.linkFlags;
  EXPECT_EQ(ToggleControllerToPlm(*rig, MakeDeviceKey(1, kPorchLight)), GroupLinkResult::kNoLink);
  EXPECT_EQ(porch.linkFlags, flags);
  EXPECT_FALSE(LinkOperationRunning(*rig));
}

TEST(LinkReport, TheTreeAndEachDevicesLinks) {
  HouseRig rig;
  DeviceTreeModel model;
  ASSERT_TRUE(RebuildTree(*rig, model));
  WriteLinkReport(*rig, model);
  std::vector<std::string> lines;
  for (const LogLine& line : rig->log.Lines(LogChannel::LinkReport)) lines.push_back(line.text);
  ASSERT_GE(lines.size(), 12u);
  EXPECT_EQ(lines[0], "Power Line Modem (PLM)  [1e.65.a2]  PLM 2413U      (click/setup)");
  EXPECT_EQ(lines[1], "GROUP [ 0 ] -- Computer Group  --");
  EXPECT_EQ(lines[2], "GROUP [ 1 ] -- Computer Group  --");
  EXPECT_EQ(lines[3], " =>> [ 2a.10.01 ]   Kitchen Ceiling");
  EXPECT_EQ(lines[4], "   ->  0ff8 : a2  Group:1    [ 1e.65.a2 ]   ff 1c 01    PLM 2413U");
  EXPECT_EQ(lines[5], "   ->  0ff0 : e2  Group:1    [ 1e.65.a2 ]   03 00 01    PLM 2413U");
  EXPECT_EQ(lines[6], "   ->  0fe8 : e2  Group:1    [ 2a.10.02 ]   03 00 01    SwitchLinc Dimmer DB");
  EXPECT_EQ(lines[lines.size() - 2], "GROUP Discovered");
  EXPECT_EQ(lines.back(), " =>> [ 2a.10.11 ]   Pantry Light") << "its table is not read: no link lines";
  // A second report replaces the first.
  WriteLinkReport(*rig, model);
  EXPECT_EQ(rig->log.Lines(LogChannel::LinkReport).size(), lines.size());
}

}  // namespace
}  // namespace quorvel

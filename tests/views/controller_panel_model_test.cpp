// The control panels' logic: which panel each kind of controller gets, the
// responders listed under its button groups, where the group rectangles lie
// and how strictly a drop or click must hit them, and the group titles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_rig.h"
#include "views/device_setup/controller_panel_model.h"

namespace quorvel {
namespace {

DeviceRecord Kind(uint8_t category, uint8_t subcategory, bool inUse = true) {
  DeviceRecord r{};
  r.linkFlags = inUse ? 0xA2 : 0x00;
  r.category = category;
  r.subcategory = subcategory;
  return r;
}

TEST(PanelChoice, ByCategoryAndSubcategory) {
  struct Case {
    const char* name;
    DeviceRecord record;
    PanelKind panel;
  };
  const std::vector<Case> cases = {
      {"SwitchLinc Dimmer", Kind(0x01, 0x20), PanelKind::kSwitchLinc},
      {"ToggleLinc Relay", Kind(0x02, 0x0D), PanelKind::kToggleLinc},
      {"a dimmer of subcategory 0x0D", Kind(0x01, 0x0D), PanelKind::kToggleLinc},
      {"ToggleLinc Dimmer", Kind(0x01, 0x1F), PanelKind::kDefault},
      {"KeypadLinc Dimmer", Kind(0x01, 0x0C), PanelKind::kKeypadLinc},
      {"6-button keypad", Kind(0x01, 0x1B), PanelKind::kKeypadLinc},
      {"a keypad's kind not in use", Kind(0x01, 0x1C, false), PanelKind::kSwitchLinc},
      {"6-button relay keypad", Kind(0x02, 0x0F), PanelKind::kKeypadLinc},
      {"SwitchLinc Relay", Kind(0x02, 0x1C), PanelKind::kSwitchLinc},
      {"plain relay", Kind(0x02, 0x09), PanelKind::kDefault},
      {"modem as a device", Kind(0x03, 0x15), PanelKind::kNetworkBridge},
      {"I/O module", Kind(0x07, 0x00), PanelKind::kIOLinc},
      {"motion sensor", Kind(0x10, 0x01), PanelKind::kMotionSensor},
      {"TriggerLinc", Kind(0x10, 0x02), PanelKind::kTriggerLinc},
      {"other sensor", Kind(0x10, 0x08), PanelKind::kDefault},
      {"ControlLinc", Kind(0x00, 0x04), PanelKind::kControlLinc},
      {"RemoteLinc", Kind(0x00, 0x05), PanelKind::kRemoteLinc},
      {"8-button remote", Kind(0x00, 0x12), PanelKind::kRemoteLinc},
      {"mini remote of subcategory 0x10", Kind(0x00, 0x10), PanelKind::kDefault},
      {"thermostat", Kind(0x05, 0x0B), PanelKind::kDefault},
  };
  for (const Case& c : cases) EXPECT_EQ(ChooseControllerPanel(c.record), c.panel) << c.name;
  EXPECT_EQ(KeypadButtonCount(Kind(0x01, 0x0C)), 8);
  EXPECT_EQ(KeypadButtonCount(Kind(0x01, 0x09)), 6);
  EXPECT_EQ(KeypadButtonCount(Kind(0x01, 0x0C, false)), 0);
  EXPECT_EQ(PanelGroupCount(PanelKind::kControlLinc, Kind(0x00, 0x04)), 5);
  EXPECT_EQ(PanelGroupCount(PanelKind::kTriggerLinc, Kind(0x10, 0x02)), 2);
  EXPECT_EQ(PanelGroupCount(PanelKind::kSwitchLinc, Kind(0x01, 0x20)), 1);
  EXPECT_EQ(PanelGroupCount(PanelKind::kKeypadLinc, Kind(0x01, 0x1B)), 6);
  EXPECT_EQ(PanelGroupCount(PanelKind::kRemoteLinc, Kind(0x00, 0x12)), 8);
  EXPECT_EQ(PanelPicture(PanelKind::kSwitchLinc, Kind(0x01, 0x20)), "2476d.bmp");
  EXPECT_EQ(PanelPicture(PanelKind::kNetworkBridge, Kind(0x03, 0x15)), "plm.bmp");
  EXPECT_STREQ(PanelInfoOf(PanelKind::kIOLinc).windowText, "IOLinc");
  EXPECT_EQ(PanelInfoOf(PanelKind::kIOLinc).controlId, 46546);
}

// A controller in slot 0 and responder records after it.
class GroupsRig : public testing::TestRig {
 public:
  explicit GroupsRig(DeviceRecord controller) {
    controller.id = kController;
    ctx->db.records[0] = controller;
    ctx->db.count = 1;
  }
  // A record whose link slot 0 names the controller.
  int AddResponder(uint32_t id, uint8_t group, uint8_t flags = 0xA2, uint8_t recordGroup = 1) {
    DeviceRecord r = Kind(0x01, 0x0E);
    r.id = InsteonId::FromValue(id);
    r.group = recordGroup;
    r.links[0] = LinkRecord{flags, {}, 0x0FF8, group, kController, {0xFF, 0x1C, 0x01}, 0};
    r.linkCount = 1;
    const int slot = static_cast<int>(ctx->db.count);
    ctx->db.records[slot] = r;
    ++ctx->db.count;
    return slot;
  }
  static inline const InsteonId kController = InsteonId::From(0x11, 0x22, 0x33);
};

TEST(PanelGroups, ListRespondersOfEachGroupWithinBounds) {
  GroupsRig rig(Kind(0x01, 0x20));
  for (uint32_t i = 0; i < 40; ++i) rig.AddResponder(0x440000 + i, 1);
  const int laterRecordOfTheFirst = rig.AddResponder(0x440000, 1, 0xA2, 7);
  rig.AddResponder(0x450001, 200);        // a group the panel does not have
  rig.AddResponder(0x450002, 1, 0xE2);     // a controller of the switch, not a responder
  rig.AddResponder(0x450003, 1, 0x22);     // a record no longer in use
  const PanelGroups groups = LoadGroups(*rig, 0, 1);
  ASSERT_TRUE(groups.found);
  ASSERT_EQ(groups.lists.size(), 1u);
  ASSERT_EQ(groups.lists[0].entries.size(), static_cast<size_t>(kMaxGroupEntries));
  EXPECT_EQ(groups.lists[0].entries[0].id, InsteonId::FromValue(0x440000));
  EXPECT_EQ(groups.lists[0].entries[0].group, 1) << "the device's first record";
  EXPECT_EQ(EntryText(groups.lists[0].entries[1]), "44.00.01");
  (void)laterRecordOfTheFirst;

  // A ControlLinc's five groups; a group past them is passed over.
  GroupsRig remote(Kind(0x00, 0x04));
  remote.AddResponder(0x460005, 5);
  remote.AddResponder(0x460006, 6);
  const PanelGroups five = LoadGroups(*remote, 0, PanelGroupCount(PanelKind::kControlLinc, Kind(0x00, 0x04)));
  ASSERT_EQ(five.lists.size(), 5u);
  ASSERT_EQ(five.lists[4].entries.size(), 1u);
  EXPECT_EQ(five.lists[4].entries[0].id, InsteonId::FromValue(0x460005));
  for (int g = 0; g < 4; ++g) EXPECT_TRUE(five.lists[static_cast<size_t>(g)].entries.empty());

  // A kind with no button groups lists nothing; a slot outside the table nothing at all.
  GroupsRig plain(Kind(0x02, 0x09));
  plain.AddResponder(0x470001, 1);
  EXPECT_TRUE(LoadGroups(*plain, 0, 1).lists[0].entries.empty());
  EXPECT_FALSE(LoadGroups(*plain, 5, 1).found);
  EXPECT_FALSE(LoadGroups(*plain, -1, 1).found);
}

TEST(PanelLayoutHits, AreStrictlyInsideARectangle) {
  const PanelLayout layout = LayoutPanel(5, 1000, 320);
  ASSERT_EQ(layout.groups.size(), 5u);
  for (size_t i = 0; i + 1 < layout.groups.size(); ++i) {
    EXPECT_EQ(layout.groups[i].top, layout.groups[i + 1].top) << "side by side";
    EXPECT_LT(layout.groups[i].right, layout.groups[i + 1].left);
  }
  EXPECT_GT(layout.groups[0].left, layout.picture.right);
  EXPECT_GT(layout.groups[0].top, kCaptionHeight - 1);
  EXPECT_LE(layout.groups[4].right, 999);
  for (size_t i = 0; i < layout.groups.size(); ++i) {
    const PanelRect& r = layout.groups[i];
    const int g = static_cast<int>(i) + 1;
    EXPECT_EQ(GroupsAt(layout, (r.left + r.right) / 2, (r.top + r.bottom) / 2), std::vector<int>{g});
    EXPECT_EQ(GroupsAt(layout, r.left + 1, r.top + 1), std::vector<int>{g});
    // On the outline is outside.
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{r.left, r.top + 5}, {r.right, r.top + 5},
                                                               {r.left + 5, r.top}, {r.left + 5, r.bottom}})
      EXPECT_TRUE(GroupsAt(layout, x, y).empty()) << g << " at " << x << "," << y;
  }
  EXPECT_TRUE(GroupsAt(layout, layout.groups[0].right + 2, layout.groups[0].top + 10).empty()) << "between two";
  EXPECT_TRUE(GroupsAt(layout, 20, 20).empty()) << "the caption";
  // Eight groups take two rows; none overlap.
  const PanelLayout eight = LayoutPanel(8, 1000, 400);
  ASSERT_EQ(eight.groups.size(), 8u);
  EXPECT_LT(eight.groups[0].bottom, eight.groups[4].top);
  EXPECT_TRUE(LayoutPanel(12, 1000, 400).groups.size() == static_cast<size_t>(kMaxPanelGroups));
}

TEST(PanelTitles, NameTheGroupsOfSensorsAndRemotes) {
  const DeviceRecord motion = Kind(0x10, 0x01);
  const DeviceRecord remote = Kind(0x00, 0x12);
  DeviceRecord keypad = Kind(0x01, 0x1C);
  keypad.id = InsteonId::From(0x2a, 0x10, 0x04);
  EXPECT_EQ(GroupTitle(motion, 1), "Group 1 - Motion");
  EXPECT_EQ(GroupTitle(motion, 2), "Group 2 - Dark");
  EXPECT_EQ(GroupTitle(Kind(0x10, 0x01, false), 1), "Group 1");
  EXPECT_EQ(GroupTitle(remote, 1), "Group 1b");
  EXPECT_EQ(GroupTitle(remote, 2), "Group 2a");
  EXPECT_EQ(GroupTitle(remote, 8), "Group 8g");
  EXPECT_EQ(GroupTitle(keypad, 3), "Group 3");
  EXPECT_EQ(PanelCaption(keypad).rfind("[ 2a.10.04 ]   ", 0), 0u) << PanelCaption(keypad);
}

}  // namespace
}  // namespace quorvel

#include "device/group_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "device/device_record.h"

namespace quorvel {
namespace {

TEST(GroupTable, RecordsRoundTripThroughTheFileLayout) {
  auto table = std::make_unique<GroupTable>();
  table->SetGroupLabel(3, "Porch lights");
  table->SetGroupExpanded(3, true);
  table->SetGroupSideView(3, true);
  table->groups[3].reserved1[0] = 0xAB;  // reserved bytes are carried as held
  table->SetGroupLabel(255, "ignored in the tree");
  table->SetGroupSideView(255, false);

  std::vector<uint8_t> file(sizeof(GroupTable));
  std::memcpy(file.data(), table.get(), file.size());
  const size_t g3 = 3 * sizeof(GroupRecord);
  EXPECT_EQ(file[g3 + 12], 1) << "expanded";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[g3 + 13])), "Porch lights");
  EXPECT_EQ(file[g3 + 77], 0xAB);
  EXPECT_EQ(file[g3 + 392], 1) << "sideView";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[255 * sizeof(GroupRecord) + 13])),
            "ignored in the tree");

  auto reloaded = std::make_unique<GroupTable>();
  std::memcpy(reloaded.get(), file.data(), file.size());
  EXPECT_EQ(std::memcmp(reloaded.get(), table.get(), sizeof(GroupTable)), 0);
  EXPECT_EQ(reloaded->GroupLabel(3), "Porch lights");
  EXPECT_EQ(reloaded->RepairLoaded(), "");

  reloaded->Clear();
  EXPECT_EQ(reloaded->GroupLabel(3), "");
  EXPECT_EQ(reloaded->groups[3].reserved1[0], 0);
}

TEST(GroupTable, TreeTextsOfTheFixedGroups) {
  struct Case {
    uint8_t group;
    std::string label;  // as stored before the tree is built
    uint8_t expandedBefore;
    std::string text;
    std::string labelAfter;
    uint8_t expandedAfter;
  };
  const Case cases[] = {
      {251, "", 0, "[ 251 ] -- Discovery Group --", "", 1},
      {251, "Area", 0, "[ 251 ] -- Discovery Group --", "Area", 1},
      {255, "", 0, "[ 255 ] -- All Insteon Devices --", "", 1},
      {3, "Porch lights", 0, "[ 3 ] Porch lights", "Porch lights", 0},
      {3, "Porch lights", 1, "[ 3 ] Porch lights", "Porch lights", 1},
      {0, "", 0, "[ 0 ] Computer Group", "Computer Group", 0},
      {1, "", 1, "[ 1 ] Computer Group", "Computer Group", 1},
      {254, "", 0, "[ 254 ] Computer Group", "Computer Group", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto table = std::make_unique<GroupTable>();
    table->SetGroupLabel(c.group, c.label);
    table->groups[c.group].expanded = c.expandedBefore;
    table->PrepareForTree(c.group);
    EXPECT_EQ(table->GroupNodeText(c.group), c.text);
    EXPECT_EQ(table->GroupLabel(c.group), c.labelAfter);
    EXPECT_EQ(table->groups[c.group].expanded, c.expandedAfter);
  }
}

TEST(GroupTable, LabelLengths) {
  auto table = std::make_unique<GroupTable>();
  const std::string longText(100, 'x');
  table->SetTypedGroupLabel(5, longText);
  EXPECT_EQ(table->GroupLabel(5), std::string(62, 'x')) << "typed labels are cut to 62";
  table->SetTypedGroupLabel(5, "Garden");
  EXPECT_EQ(table->GroupLabel(5), "Garden");
  EXPECT_EQ(table->groups[5].label[6], '\0') << "no tail of the longer label is left";
  table->SetGroupLabel(6, longText);
  EXPECT_EQ(table->GroupLabel(6), std::string(63, 'x'));
  EXPECT_EQ(table->groups[6].label[63], '\0');
}

TEST(GroupTable, UnterminatedLabelsFromAFile) {
  auto table = std::make_unique<GroupTable>();
  std::memset(table->groups[7].label, 'L', kGroupLabelWidth);
  std::memset(table->groups[9].label, 'M', kGroupLabelWidth);
  table->groups[7].reserved1[0] = 'Z';  // what follows must never be read as label
  EXPECT_EQ(table->GroupLabel(7), std::string(63, 'L'));
  EXPECT_EQ(table->GroupNodeText(7), "[ 7 ] " + std::string(63, 'L'));
  EXPECT_EQ(table->RepairLoaded(), "label terminated in 2 groups, first group 7");
  EXPECT_EQ(table->groups[7].label[63], '\0');
  EXPECT_EQ(table->GroupLabel(9), std::string(63, 'M'));
  EXPECT_EQ(table->RepairLoaded(), "");
}

TEST(GroupTable, GroupKeysAndDeviceKeys) {
  struct Case {
    uint32_t key;
    bool group;
    uint8_t number;
  };
  const InsteonId id = InsteonId::From(0x1a, 0x2b, 0x3c);
  const Case cases[] = {
      {MakeGroupKey(0), true, 0},
      {MakeGroupKey(251), true, 251},
      {MakeGroupKey(255), true, 255},
      {0xFE000003u, true, 3},
      {MakeDeviceKey(3, id), false, 3},
      {MakeDeviceKey(255, id), false, 255},
      {MakeDeviceKey(0, id), false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(IsGroupKey(c.key), c.group);
    if (c.group) {
      EXPECT_EQ(GroupFromKey(c.key), c.number);
      EXPECT_EQ(c.key & 0x00FFFF00u, 0u);
    } else {
      EXPECT_EQ(KeyGroup(c.key), c.number);
      EXPECT_EQ(KeyId(c.key), id);
    }
  }
  EXPECT_EQ(MakeDeviceKey(3, id), 0x031a2b3cu);
}

}  // namespace
}  // namespace quorvel

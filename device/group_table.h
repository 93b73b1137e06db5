#pragma once
// Computer groups: groups of the modem's own link table in which the modem is
// the controller. Membership lives in the device table; this holds each group's
// label and view settings, stored as the groups file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

inline constexpr uint8_t kGroupKnownFromLinks = 0;  // devices seen only in other devices' links
inline constexpr uint8_t kDiscoveryGroup = 251;     // "Area 251"
inline constexpr uint8_t kAllDevicesGroup = 255;    // ALL ON / ALL OFF
inline constexpr int kGroupCount = 256;
inline constexpr size_t kGroupLabelWidth = 64;
// A label typed in the tree keeps at most this many characters.
inline constexpr size_t kTypedGroupLabelMax = 62;
inline constexpr std::string_view kDefaultGroupLabel = "Computer Group";

struct GroupRecord {
  uint8_t reserved0[12];
  uint8_t expanded;
  char label[kGroupLabelWidth];
  uint8_t reserved1[315];
  uint8_t sideView;  // 1 = "Side View", 0 = "Top View"
  uint8_t reserved2[143];
};
static_assert(sizeof(GroupRecord) == 536);
static_assert(offsetof(GroupRecord, expanded) == 12);
static_assert(offsetof(GroupRecord, label) == 13);
static_assert(offsetof(GroupRecord, sideView) == 392);

struct GroupTable {
  GroupRecord groups[kGroupCount]{};

  // The label, never read past its 63 characters even when a file left it unterminated.
  std::string_view GroupLabel(uint8_t group) const;
  // Stores at most 63 characters.
  void SetGroupLabel(uint8_t group, std::string_view text);
  // A label the user typed in the tree: at most 62 characters are taken.
  void SetTypedGroupLabel(uint8_t group, std::string_view typed);
  void SetGroupExpanded(uint8_t group, bool flag) { groups[group].expanded = flag ? 1 : 0; }
  void SetGroupSideView(uint8_t group, bool flag) { groups[group].sideView = flag ? 1 : 0; }
  void Clear();

  // Text of a group's node in the device tree: "[ 251 ] -- Discovery Group --",
  // "[ 255 ] -- All Insteon Devices --", otherwise "[ g ] " and the label.
  std::string GroupNodeText(uint8_t group) const;
  // What building the tree does to a group it shows: an unnamed group is named
  // "Computer Group" (and keeps that name), and the discovery and all-devices
  // groups are always shown expanded.
  void PrepareForTree(uint8_t group);

  // Terminates labels that a damaged groups file left unterminated. Returns a
  // description of what was repaired, or empty.
  std::string RepairLoaded();
};
static_assert(sizeof(GroupTable) == 137216);

// Group key of tree items and views: 0xFE in the top byte, the group in the low byte.
inline constexpr uint32_t kGroupKeyTag = 0xFE000000u;
inline uint32_t MakeGroupKey(uint8_t group) { return kGroupKeyTag | group; }
inline bool IsGroupKey(uint32_t key) { return (key >> 24) == 0xFE; }
inline uint8_t GroupFromKey(uint32_t key) { return static_cast<uint8_t>(key & 0xFF); }

}  // namespace quorvel

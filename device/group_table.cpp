#include "device/group_table.h"

#include <cstdio>
#include <cstring>

#include "platform/bytes.h"

namespace quorvel {

std::string_view GroupTable::GroupLabel(uint8_t group) const {
  return FixedText(groups[group].label);
}

void GroupTable::SetGroupLabel(uint8_t group, std::string_view text) {
  CopyFixedText(groups[group].label, text);
}

void GroupTable::SetTypedGroupLabel(uint8_t group, std::string_view typed) {
  SetGroupLabel(group, typed.substr(0, kTypedGroupLabelMax));
}

void GroupTable::Clear() { std::memset(groups, 0, sizeof groups); }

std::string GroupTable::GroupNodeText(uint8_t group) const {
  char head[16];
  std::snprintf(head, sizeof head, "[ %d ] ", group);
  std::string text = head;
  if (group == kDiscoveryGroup) return text + "-- Discovery Group --";
  if (group == kAllDevicesGroup) return text + "-- All Insteon Devices --";
  text += GroupLabel(group);
  return text;
}

void GroupTable::PrepareForTree(uint8_t group) {
  if (group == kDiscoveryGroup || group == kAllDevicesGroup) {
    groups[group].expanded = 1;
    return;
  }
  if (GroupLabel(group).empty()) SetGroupLabel(group, kDefaultGroupLabel);
}

std::string GroupTable::RepairLoaded() {
  int repaired = 0;
  int first = -1;
  for (int g = 0; g < kGroupCount; ++g) {
    if (TerminateFixedText(groups[g].label, kGroupLabelWidth) && repaired++ == 0) first = g;
  }
  if (repaired == 0) return {};
  return "label terminated in " + std::to_string(repaired) + " groups, first group " + std::to_string(first);
}

}  // namespace quorvel

#include "device/group_table.h"

#include <cstring>

#include "platform/bytes.h"

namespace quorvel {

std::string_view GroupTable::GroupLabel(uint8_t group) const {
  return FixedText(groups[group].label);
}

void GroupTable::SetGroupLabel(uint8_t group, std::string_view text) {
  CopyFixedText(groups[group].label, text);
}

void GroupTable::Clear() { std::memset(groups, 0, sizeof groups); }

}  // namespace quorvel

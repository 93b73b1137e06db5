#include "automation/x10_widget.h"

#include <cstring>

#include "automation/x10_codes.h"
#include "platform/bytes.h"

namespace quorvel {

namespace {
constexpr uint8_t kUnmappedHouse = 'A';
}

WidgetRecord MakeX10Widget(std::string_view typed) {
  WidgetRecord w;
  std::memset(&w, 0, sizeof w);
  w.widgetType = kWidgetX10Address;
  w.x10House = kUnmappedHouse;
  if (!typed.empty()) {
    char c = typed[0];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'P') w.x10House = HouseCodeFromLetterIndex(c - 'A');
  }
  int unit = 0;
  for (size_t i = 1; i < typed.size() && i <= 2 && typed[i] >= '0' && typed[i] <= '9'; ++i)
    unit = unit * 10 + (typed[i] - '0');
  w.x10Unit = unit >= 1 && unit <= 16 ? UnitCodeFromNumberIndex(unit - 1) : 0;
  CopyFixedText(w.addressText, FormatX10Address(w.x10House, w.x10Unit));
  return w;
}

bool IsX10Address(std::string_view typed) {
  if (typed.size() < 2 || typed.size() > 3) return false;
  const char c = typed[0];
  if (!((c >= 'A' && c <= 'P') || (c >= 'a' && c <= 'p'))) return false;
  int unit = 0;
  for (size_t i = 1; i < typed.size(); ++i) {
    if (typed[i] < '0' || typed[i] > '9') return false;
    unit = unit * 10 + (typed[i] - '0');
  }
  return unit >= 1 && unit <= 16;
}

}  // namespace quorvel

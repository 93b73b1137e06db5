#pragma once
// Building an X10 widget from the address the user typed, such as J11.
#include <string_view>

#include "automation/widget_record.h"

namespace quorvel {

// A letter A..P (either case) gives its house code; any other first character
// leaves the house byte at 65, which no table maps, and the text empty. Up to two
// digits after it give the unit 1..16; anything else gives unit code 0.
// Bytes past the text are zero.
WidgetRecord MakeX10Widget(std::string_view typed);

// True when `typed` is a whole X10 address: a letter A..P (either case) and a
// unit 1..16 in one or two digits, nothing before or after. What the user types
// is checked with it first, so no widget is made from text that names no address.
bool IsX10Address(std::string_view typed);

}  // namespace quorvel

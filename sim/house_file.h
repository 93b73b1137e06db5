#pragma once
// The house file: a small line-based text that describes a simulated network.
//
//   # a comment
//   seed 7                      faults are rolled from this seed
//   repeats 1                   extra copies of every group broadcast
//   fault busy 2.5              percent of commands refused with a lone 0x15
//   fault drop 0.5              percent of bytes to the host lost
//   fault garble 0.5            percent of bytes to the host changed
//   modem 1e.65.a2 category 03 subcategory 15 firmware 9e
//   link controller 1 20.1a.01 01 20 41
//   device 20.1a.01 "Kitchen Ceiling" category 01 subcategory 20 firmware 41 engine i2cs
//   level 128 hops 2
//   link responder 1 1e.65.a2 ff 1c 01
//
// `link` lines (controller, responder or removed; group, id, three data bytes)
// and attribute lines belong to the modem or device named last. Ids and byte
// fields (category, subcategory, firmware, config, opflags, opflags2, delta,
// data) are hexadecimal; group, level, level2, hops, slow (ms) and awake (s)
// are decimal. Bare words: sleeper, deaf.
#include <string>
#include <string_view>

#include "sim/sim_network.h"

namespace quorvel::sim {

// Fills `house` from the text; false with a message naming the line on error.
bool ParseHouse(std::string_view text, House& house, std::string& error);
bool LoadHouseFile(const std::string& path, House& house, std::string& error);

}  // namespace quorvel::sim

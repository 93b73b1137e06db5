#pragma once
// The X10 standard's code order: house letters and unit numbers by 4-bit code.
#include <cstdint>

namespace quorvel {

// Code 0 is M, code 6 is A, code 14 is B.
inline constexpr char kX10HouseLetters[17] = "MECKOGAINFDLPHBJ";
// Code 6 is unit 1, code 0 is unit 13.
inline constexpr uint8_t kX10UnitNumbers[16] = {13, 5, 3, 11, 15, 7, 1, 9, 14, 6, 4, 12, 16, 8, 2, 10};

}  // namespace quorvel

#pragma once
// X10 addresses as the modem carries them: a 4-bit house code and a 4-bit unit
// code, and their text form such as A5 or J11.
#include <cstdint>
#include <string>

namespace quorvel {

// House letter index 0 (A) .. 15 (P) to its code; any other index gives 6 (A),
// so a list with no selection still yields a valid code.
uint8_t HouseCodeFromLetterIndex(int index);
// Unit index 0 (unit 1) .. 15 (unit 16) to its code; any other index gives 6 (unit 1).
uint8_t UnitCodeFromNumberIndex(int index);
// Code to house letter 'A'..'P'; a code above 15 gives the character 0.
char HouseLetter(unsigned code);
// Code to unit number 1..16; a code above 15 gives 0.
int UnitNumber(unsigned code);
// "%c%d": the house letter and the unit number; empty when the house code is
// above 15 (no letter). At most 4 characters.
std::string FormatX10Address(unsigned houseCode, unsigned unitCode);

}  // namespace quorvel

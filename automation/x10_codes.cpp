#include "automation/x10_codes.h"

#include <array>

#include "plm/x10_tables.h"

namespace quorvel {

namespace {

// The letter and unit tables inverted: index 0 is A or unit 1.
constexpr std::array<uint8_t, 16> InvertHouses() {
  std::array<uint8_t, 16> codes{};
  for (uint8_t code = 0; code < 16; ++code) codes[static_cast<size_t>(kX10HouseLetters[code] - 'A')] = code;
  return codes;
}
constexpr std::array<uint8_t, 16> InvertUnits() {
  std::array<uint8_t, 16> codes{};
  for (uint8_t code = 0; code < 16; ++code) codes[static_cast<size_t>(kX10UnitNumbers[code] - 1)] = code;
  return codes;
}
constexpr std::array<uint8_t, 16> kHouseCodes = InvertHouses();
constexpr std::array<uint8_t, 16> kUnitCodes = InvertUnits();
static_assert(kHouseCodes[0] == 6 && kHouseCodes[1] == 14 && kHouseCodes[12] == 0);
static_assert(kUnitCodes[0] == 6 && kUnitCodes[12] == 0 && kUnitCodes[10] == 3);

constexpr uint8_t kFallbackCode = 6;

}  // namespace

uint8_t HouseCodeFromLetterIndex(int index) {
  if (index < 0 || index > 15) return kFallbackCode;
  return kHouseCodes[static_cast<size_t>(index)];
}

uint8_t UnitCodeFromNumberIndex(int index) {
  if (index < 0 || index > 15) return kFallbackCode;
  return kUnitCodes[static_cast<size_t>(index)];
}

char HouseLetter(unsigned code) { return code > 15 ? '\0' : kX10HouseLetters[code]; }

int UnitNumber(unsigned code) { return code > 15 ? 0 : kX10UnitNumbers[code]; }

std::string FormatX10Address(unsigned houseCode, unsigned unitCode) {
  const char letter = HouseLetter(houseCode);
  if (letter == '\0') return {};
  return letter + std::to_string(UnitNumber(unitCode));
}

}  // namespace quorvel

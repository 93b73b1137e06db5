#pragma once
// Today's sunrise and sunset. (Filled in with the sun times.)
namespace quorvel {
struct SunTimes {};
}  // namespace quorvel

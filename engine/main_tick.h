#pragma once
// The 160 ms tick. (Filled in with the main tick.)
namespace quorvel {
class MainTick {};
}  // namespace quorvel

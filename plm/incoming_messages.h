#pragma once
// Handling of every message the modem passes up. (Filled in with incoming messages.)
namespace quorvel {
struct IncomingState {};
}  // namespace quorvel

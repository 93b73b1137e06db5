#pragma once
// The send rings, the hold queue and the modem command queue. (Filled in with transmission.)
namespace quorvel {
class SendQueues {};
}  // namespace quorvel

#pragma once
// Framing of received modem bytes. (Filled in with the receive path.)
namespace quorvel {
class ReceiveFramer {};
}  // namespace quorvel

#pragma once
// The modem link over a serial port: opening, the search for the modem, and
// bounded writes. (Filled in with the serial transport.)
namespace quorvel {
class SerialLink {};
}  // namespace quorvel

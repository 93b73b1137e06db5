#pragma once
// The modem link over a serial port: opening, the search for the modem, and
// bounded writes. (Being filled in; this is its interface.)
#include <cstddef>
#include <cstdint>

namespace quorvel {

struct Context;

class SerialLink {
 public:
  bool IsOpen(const Context& ctx) const;
  // Writes one whole message a byte at a time. When a byte times out the rest of
  // the message is dropped (the send queues retry it) and false is returned.
  bool WriteMessage(Context& ctx, const uint8_t* bytes, size_t n);
  // The receive pump reports a vanished device (unplugged adapter) here.
  void OnDeviceGone(Context& ctx);
  // The modem's identity reply (0x60 with ACK) arrived on the open port.
  void OnModemIdentity(Context& ctx);
};

// One step of the search for the modem, run first in every tick.
void PortSearch(Context& ctx);

}  // namespace quorvel

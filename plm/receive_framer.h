#pragma once
// Framing of received modem bytes into frames by start byte and code length.
// (The framer is being filled in; this is its interface.)
#include <cstddef>
#include <cstdint>

#include "plm/frame_handler.h"

namespace quorvel {

struct Context;

class ReceiveFramer {
 public:
  // Empties the frame buffer; the link calls it whenever a port opens or closes.
  void Reset();
  // Reads what the port holds (at most 127 bytes) and frames it; true if any byte came.
  bool PumpReceive(Context& ctx);

  FrameHandler* handler = nullptr;
};

}  // namespace quorvel

#pragma once
// Where the framer hands each complete modem frame. The incoming-message
// handling implements it; tests observe it.
#include <cstddef>
#include <cstdint>

namespace quorvel {

struct Context;

class FrameHandler {
 public:
  virtual ~FrameHandler() = default;
  // frame[0] is 0x02, frame[1] the message code; length is the complete frame's
  // length from the frame table. Repeats of standard messages never arrive here.
  virtual void HandleFrame(Context& ctx, const uint8_t* frame, size_t length) = 0;
};

}  // namespace quorvel

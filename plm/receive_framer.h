#pragma once
// Framing of received modem bytes. The modem neither escapes nor checksums its
// frames, so a frame is found only by its start byte 0x02 and the length that its
// message code implies.
#include <cstddef>
#include <cstdint>

#include "device/insteon_id.h"
#include "platform/clock.h"
#include "plm/frame_handler.h"
#include "plm/traffic_text.h"

namespace quorvel {

struct Context;

inline constexpr uint8_t kFrameStart = 0x02;
inline constexpr size_t kReceiveBufferSize = 127;
// The count never passes this; further bytes would overwrite the last position.
inline constexpr uint8_t kReceiveCountCap = 126;
// Bytes taken from the port per pump.
inline constexpr size_t kReceiveReadMax = 127;
// A partial frame whose next byte is longer overdue than this is a glitch.
inline constexpr int64_t kPartialFrameWaitMillis = 2000;
// The longest frame the modem sends (an extended message received).
inline constexpr uint8_t kLongestFrame = 25;

// Length of a complete frame of message code `code`, or 0 for a code the modem
// does not send. The echo of a sent message (0x62) is 23 bytes when bit 4 of
// `flags`, the byte at position 5, marks it extended, and 9 otherwise.
uint8_t FrameLength(uint8_t code, uint8_t flags = 0);
// True for codes whose complete frames go to the frame handler; the others are
// only logged.
bool FrameHasAction(uint8_t code);
// True for the echoes and replies to the host's commands (0x60 and up), which
// the modem always ends with ACK (0x06) or NAK (0x15).
bool FrameEndsInAck(uint8_t code);

// Collects received bytes into frames, drops the network's repeats of standard
// messages, hands complete frames to `handler`, and writes every frame to the
// Insteon Traffic channel and, decoded, to General Activity.
class ReceiveFramer {
 public:
  // Empties the frame buffer; the link calls it whenever a port opens or closes.
  void Reset();
  // Reads what the port holds (at most 127 bytes) and frames it; true if any byte came.
  bool PumpReceive(Context& ctx);

  // The partial frame being collected, such as one cut off at the end of a capture.
  const uint8_t* PendingBytes() const { return rcvbuf; }
  size_t PendingCount() const { return rcvbufcnt; }
  // 1 while the standard message examined last was a repeat; 1 at start as well,
  // so nothing gets a decoded line before the first standard message.
  uint8_t RepeatFlag() const { return repeatFlag; }
  // A message was just sent to `id`. Its acknowledgement may be byte for byte
  // the one the device gave the message before (a write after a read, the same
  // command twice), yet it answers the new message: it must not be taken for
  // the network's repeat of the old one.
  void ExpectAnswerFrom(const InsteonId& id);

  FrameHandler* handler = nullptr;
  // Memory of the decoded lines; the send side names its commands with it too.
  TrafficText traffic;

 private:
  // Bytes skipped between frames are logged in one line per read.
  static constexpr size_t kSkipCapacity = kReceiveReadMax + kLongestFrame;

  void TakeByte(Context& ctx, uint8_t byte, int64_t nowMillis);
  bool ExamineFrame(Context& ctx);
  void Resynchronise(Context& ctx, uint8_t length);
  bool RepeatFilter(Context& ctx);
  void LogDecodedLine(Context& ctx, uint8_t length);
  void LogHexLine(Context& ctx, uint8_t length);
  void Skip(Context& ctx, const uint8_t* bytes, size_t n);
  void FlushSkipped(Context& ctx);

  uint8_t rcvbuf[kReceiveBufferSize] = {};
  uint8_t rcvbufcnt = 0;
  uint8_t repeatFlag = 1;

  // The last standard message that was not a repeat: from, to, flags, cmd1, cmd2.
  uint8_t lastStandard_[9] = {};
  Time lastFilterRun_ = 0;

  int64_t lastByteMillis_ = 0;
  uint8_t skipped_[kSkipCapacity] = {};
  size_t skippedCount_ = 0;
  bool pumping_ = false;
};

}  // namespace quorvel

#include "plm/receive_framer.h"

#include <array>
#include <cstring>
#include <string_view>

#include "engine/context.h"
#include "plm/incoming_messages.h"

namespace quorvel {

namespace {

constexpr uint8_t kStandardReceived = 0x50;
constexpr uint8_t kSendEcho = 0x62;
constexpr uint8_t kExtendedFlag = 0x10;
constexpr uint8_t kSendEchoLength = 9;
constexpr uint8_t kSendEchoExtendedLength = 23;

constexpr uint8_t kCmdOn = 0x11;
constexpr uint8_t kCmdOff = 0x13;

constexpr std::string_view kSkippedText = "Skipped bytes:";
constexpr std::string_view kDroppedPartialText = "Dropped incomplete frame:";

constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;

struct FrameSpec {
  uint8_t length = 0;  // 0: the modem sends no such message
  bool action = false;
  // The modem ends its echoes and replies to the host's commands with ACK or
  // NAK; such a frame ending in anything else began at a stray 0x02.
  bool acknowledged = false;
};

constexpr std::array<FrameSpec, 256> MakeFrameTable() {
  std::array<FrameSpec, 256> t{};
  t[0x50] = {11, true};   // standard message received
  t[0x51] = {25, true};   // extended message received
  t[0x52] = {4, false};   // X10 received
  t[0x53] = {10, true};   // ALL-Linking completed
  t[0x54] = {3, false};   // button event report
  t[0x55] = {2, false};   // user reset detected: nothing follows the code
  t[0x56] = {7, false};   // ALL-Link clean-up failure report
  t[0x57] = {10, true};   // ALL-Link record response
  t[0x58] = {3, false};   // ALL-Link clean-up status report
  t[0x60] = {9, true, true};    // Get IM Info reply
  t[0x61] = {6, true, true};    // Send ALL-Link Command echo
  t[0x62] = {kSendEchoLength, true, true};  // Send INSTEON message echo (23 when extended)
  t[0x63] = {5, false, true};   // Send X10 echo
  t[0x64] = {5, true, true};    // Start ALL-Linking echo
  t[0x65] = {3, true, true};    // Cancel ALL-Linking echo
  t[0x66] = {6, false, true};   // Set Host Device Category echo
  t[0x67] = {3, false, true};   // Reset IM echo
  t[0x68] = {4, false, true};   // Set INSTEON ACK Message Byte echo
  t[0x69] = {3, true, true};    // Get First ALL-Link Record echo
  t[0x6A] = {3, true, true};    // Get Next ALL-Link Record echo
  t[0x6B] = {4, true, true};    // Set IM Configuration echo
  t[0x6C] = {3, false, true};   // Get ALL-Link Record for Sender echo
  t[0x6F] = {12, true, true};   // Manage ALL-Link Record echo
  t[0x73] = {6, true, true};    // Get IM Configuration reply
  return t;
}

constexpr std::array<FrameSpec, 256> kFrameTable = MakeFrameTable();

constexpr bool EveryFrameFits() {
  for (const FrameSpec& s : kFrameTable) {
    if (s.length > kLongestFrame) return false;
  }
  return kSendEchoExtendedLength <= kLongestFrame;
}
static_assert(EveryFrameFits(), "a frame must complete before the buffer's cap");
static_assert(kLongestFrame <= kReceiveCountCap);

constexpr char kHexUpper[] = "0123456789ABCDEF";

// Appends " %02X" for each byte; out must hold 3 * n more characters.
size_t AppendHex(char* out, size_t at, const uint8_t* bytes, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    out[at++] = ' ';
    out[at++] = kHexUpper[bytes[i] >> 4];
    out[at++] = kHexUpper[bytes[i] & 0x0F];
  }
  return at;
}

// Logs `label` and the bytes in hex to the Insteon Traffic channel.
void LogBytes(Context& ctx, std::string_view label, const uint8_t* bytes, size_t n, size_t maxBytes) {
  char text[64 + 3 * (kReceiveReadMax + kLongestFrame)];
  if (n > maxBytes) n = maxBytes;
  const size_t labelLength = label.size() < 64 ? label.size() : 64;
  std::memcpy(text, label.data(), labelLength);
  const size_t length = AppendHex(text, labelLength, bytes, n);
  ctx.log.LogTraffic(std::string_view(text, length));
}

}  // namespace

uint8_t FrameLength(uint8_t code, uint8_t flags) {
  if (code == kSendEcho && (flags & kExtendedFlag) != 0) return kSendEchoExtendedLength;
  return kFrameTable[code].length;
}

bool FrameHasAction(uint8_t code) { return kFrameTable[code].action; }

bool FrameEndsInAck(uint8_t code) { return kFrameTable[code].acknowledged; }

void ReceiveFramer::Reset() { rcvbufcnt = 0; }

bool ReceiveFramer::PumpReceive(Context& ctx) {
  // A handler that waits in a message loop must not frame bytes under its own feet.
  if (pumping_) return false;
  pumping_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{pumping_};

  const int64_t now = ctx.clock.NowMillis();
  if (rcvbufcnt > 0) {
    const int64_t waited = now - lastByteMillis_;
    if (waited > kPartialFrameWaitMillis) {
      // A glitch cut this frame short; keeping it would spoil the next good frame.
      LogBytes(ctx, kDroppedPartialText, rcvbuf, rcvbufcnt, kLongestFrame);
      rcvbufcnt = 0;
    } else if (waited < 0) {
      lastByteMillis_ = now;  // the wall clock was set back: start the wait anew
    }
  }

  uint8_t bytes[kReceiveReadMax];
  size_t got = 0;
  const IoStatus status = ctx.port.Read(bytes, sizeof bytes, got);
  if (status == IoStatus::Gone) {
    ctx.link.OnDeviceGone(ctx);
    return false;
  }
  if (got > sizeof bytes) got = sizeof bytes;
  if (got == 0) return false;
  for (size_t i = 0; i < got; ++i) TakeByte(ctx, bytes[i], now);
  FlushSkipped(ctx);
  return true;
}

void ReceiveFramer::TakeByte(Context& ctx, uint8_t byte, int64_t nowMillis) {
  if (rcvbufcnt == 0) {
    // Between frames: noise, the modem's lone busy NAK, or the tail of a frame
    // that lost its start. Skip to the next start byte, keeping the rest of the read.
    if (byte != kFrameStart) {
      Skip(ctx, &byte, 1);
      return;
    }
    FlushSkipped(ctx);
  }
  rcvbuf[rcvbufcnt] = byte;
  if (rcvbufcnt < kReceiveCountCap) ++rcvbufcnt;
  lastByteMillis_ = nowMillis;
  ExamineFrame(ctx);
}

bool ReceiveFramer::ExamineFrame(Context& ctx) {
  if (rcvbufcnt < 2) return false;
  const uint8_t code = rcvbuf[1];
  // Position 5 may still hold an earlier frame's byte, but only decides a 0x62
  // echo's length once the echo has reached 9 bytes.
  const uint8_t length = FrameLength(code, rcvbuf[5]);
  if (length == 0) {
    // No message the modem sends. A second start byte begins the real frame.
    if (code == kFrameStart) {
      Skip(ctx, rcvbuf, 1);
      FlushSkipped(ctx);
      rcvbufcnt = 1;
    } else {
      Skip(ctx, rcvbuf, rcvbufcnt);
      rcvbufcnt = 0;
    }
    return false;
  }
  if (rcvbufcnt < length) return false;
  if (FrameEndsInAck(code) && rcvbuf[length - 1] != kAck && rcvbuf[length - 1] != kNak) {
    Resynchronise(ctx, length);
    return false;
  }

  const bool repeat = code == kStandardReceived && RepeatFilter(ctx);
  if (!repeat && handler != nullptr && FrameHasAction(code)) handler->HandleFrame(ctx, rcvbuf, length);
  LogDecodedLine(ctx, length);
  LogHexLine(ctx, length);
  rcvbufcnt = 0;
  return true;
}

void ReceiveFramer::Resynchronise(Context& ctx, uint8_t length) {
  // The bytes after the false start may hold the real frame's start; they are
  // framed again from the next 0x02, the ones before it skipped.
  uint8_t rest[kLongestFrame];
  size_t k = 1;
  while (k < length && rcvbuf[k] != kFrameStart) ++k;
  Skip(ctx, rcvbuf, k);
  const size_t n = length - k;
  std::memcpy(rest, rcvbuf + k, n);
  rcvbufcnt = 0;
  for (size_t i = 0; i < n; ++i) TakeByte(ctx, rest[i], lastByteMillis_);
}

bool ReceiveFramer::RepeatFilter(Context& ctx) {
  repeatFlag = 1;
  // A larger network repeats a message through more hops, so its copies come later.
  const Time window = ctx.db.Count() <= 20 ? 2 : 3;
  const Time now = ctx.clock.Now();
  const Time elapsed = now - lastFilterRun_;
  lastFilterRun_ = now;
  if (std::memcmp(rcvbuf + 2, lastStandard_, sizeof lastStandard_) == 0 && elapsed >= 0 &&
      elapsed < window) {
    return true;
  }
  std::memcpy(lastStandard_, rcvbuf + 2, sizeof lastStandard_);
  repeatFlag = 0;
  return false;
}

void ReceiveFramer::ExpectAnswerFrom(const InsteonId& id) {
  const uint8_t type = lastStandard_[6] & 0xE0;
  const bool directAnswer = type == kTypeAck || type == kTypeNak;
  // Broadcasts and clean-ups keep their memory: their copies are still repeats.
  if (directAnswer && InsteonId::FromBytes(lastStandard_) == id) std::memset(lastStandard_, 0, sizeof lastStandard_);
}

void ReceiveFramer::LogDecodedLine(Context& ctx, uint8_t length) {
  // Positions 8 and 9 are the flags and command 1 of a standard message; shorter
  // frames leave an earlier frame's bytes there, which decide as they stand.
  const uint8_t flags = rcvbuf[8];
  if (repeatFlag == 1) return;
  if ((flags >> 5) == 2 || (flags & 0xE0) == 0xC0) return;  // group clean-up, group broadcast
  const TrafficLine text = traffic.RenderTrafficText(ctx.clock.Now(), length - 1u, rcvbuf);
  if (text.size() <= 5) return;
  switch (rcvbuf[9]) {
    case kCmdOn: ctx.log.LogActivityOn(text.view()); break;
    case kCmdOff: ctx.log.LogActivityOff(text.view()); break;
    default: ctx.log.LogActivity(text.view()); break;
  }
}

void ReceiveFramer::LogHexLine(Context& ctx, uint8_t length) {
  char text[3 * kLongestFrame];
  const size_t n = AppendHex(text, 0, rcvbuf, length <= kLongestFrame ? length : kLongestFrame);
  ctx.log.LogTraffic(std::string_view(text, n));
}

void ReceiveFramer::Skip(Context& ctx, const uint8_t* bytes, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (skippedCount_ == kSkipCapacity) FlushSkipped(ctx);
    skipped_[skippedCount_++] = bytes[i];
  }
}

void ReceiveFramer::FlushSkipped(Context& ctx) {
  if (skippedCount_ == 0) return;
  LogBytes(ctx, kSkippedText, skipped_, skippedCount_, kSkipCapacity);
  skippedCount_ = 0;
}

}  // namespace quorvel

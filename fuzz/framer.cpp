// Arbitrary bytes from the line into the receive side: whatever arrives, the
// framer stays within its buffer, hands on only whole frames of known codes
// (echoes only when they end in ACK or NAK), and keeps its decoded lines within
// their bound.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/context.h"
#include "fuzz/fresh_context.h"
#include "plm/receive_framer.h"
#include "tools/memory_port.h"
#include "tools/no_files.h"

namespace {

using namespace quorvel;

class CheckingHandler final : public FrameHandler {
 public:
  void HandleFrame(Context& /*ctx*/, const uint8_t* frame, size_t length) override {
    if (length < 2 || frame[0] != kFrameStart) __builtin_trap();
    if (!FrameHasAction(frame[1])) __builtin_trap();
    if (length != FrameLength(frame[1], length > 5 ? frame[5] : 0)) __builtin_trap();
    // An echo that does not end in ACK or NAK began at a stray start byte.
    if (FrameEndsInAck(frame[1]) && frame[length - 1] != 0x06 && frame[length - 1] != 0x15) __builtin_trap();
  }
};

class CheckingSink final : public LogSink {
 public:
  explicit CheckingSink(size_t stampLength) : stampLength_(stampLength) {}
  void OnLine(const LogLine& line) override {
    if (line.channel == LogChannel::GeneralActivity && line.text.size() > stampLength_ + kTrafficTextMax) {
      __builtin_trap();
    }
  }

 private:
  size_t stampLength_;
};

}  // namespace

// Input: byte 0 picks the read size (1..127), byte 1 the time between reads in
// 16 ms steps (so partial frames sometimes go stale) and, by its low bit, a
// network large enough for the 3-second repeat window; the rest is the line.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static TestClock clock;
  static tools::MemoryPort port;
  static tools::NoFiles files;
  static NullNotifier notifier;
  // One context for the run; only its receive side, all that this target
  // drives, is built anew after each input. Done at the end, so an input frees
  // what it allocated and the fuzzer sees no leak.
  static fuzzing::ContextStorage storage;
  static const fuzzing::FreshContext ctx(storage, clock, port, files, notifier);
  clock.Set(1300000000);

  CheckingHandler handler;
  CheckingSink sink(ctx->log.ActivityTimeStamp().size());
  ctx->framer.handler = &handler;
  ctx->log.AddSink(&sink);
  ctx->db.count = (data[1] & 1) != 0 ? 21 : 3;

  port.SetReadChunk(data[0] % kReceiveReadMax + 1);
  port.Load(data + 2, size - 2);
  const int64_t stepMillis = int64_t{data[1]} * 16;
  while (port.Pending() > 0) {
    if (!ctx->framer.PumpReceive(*ctx)) __builtin_trap();  // bytes were waiting
    if (ctx->framer.PendingCount() >= kLongestFrame) __builtin_trap();
    if (ctx->framer.traffic.X10UnitCount() > kX10StackDepth) __builtin_trap();
    clock.AdvanceMillis(stepMillis);
  }
  ctx->log.RemoveSink(&sink);
  fuzzing::RenewReceiveSide(*ctx);
  return 0;
}

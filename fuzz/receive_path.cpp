// Arbitrary bytes from the modem through the whole receive side into a house:
// the framer, every incoming handler, the device table, the logic events and
// the send queues they fill, served between reads as the engine serves them.
// Whatever arrives, every table stays within its bounds and every text
// terminated.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz/fresh_context.h"
#include "fuzz/fuzz_house.h"
#include "tools/memory_port.h"
#include "tools/no_files.h"

namespace {

using namespace quorvel;

}  // namespace

// Input: byte 0 picks the read size (1..127); byte 1 the time between reads in
// 16 ms steps; byte 2 which requests wait for answers before the bytes arrive
// (bit 0 status requests to the powered devices, bit 1 one held for the
// sleeper, bit 2 the modem's link table read, bit 3 the rings paused as during
// that read). The rest is the line.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  static TestClock clock;
  static tools::MemoryPort port;
  static tools::NoFiles files;
  static NullNotifier notifier;
  static fuzzing::ContextStorage storage;
  clock.Set(fuzzing::kFuzzStart);
  const fuzzing::FreshContext ctx(storage, clock, port, files, notifier);
  fuzzing::LoadHouse(*ctx);

  const uint8_t setup = data[2];
  if ((setup & 1) != 0) {
    for (uint8_t last : {0x01, 0x04, 0x07, 0x0a}) SendStandard(*ctx, InsteonId::From(0x2a, 0x10, last), 0x19, 0x00);
  }
  if ((setup & 2) != 0) SendStandard(*ctx, InsteonId::From(0x2a, 0x10, 0x08), 0x10, 0x00);
  if ((setup & 4) != 0) {
    const uint8_t getFirst[] = {0x69};
    EnqueueModemCommand(*ctx, getFirst, sizeof getFirst);
  }
  const bool tableRead = (setup & 8) != 0;
  fuzzing::CheckInvariants(*ctx);

  port.SetReadChunk(data[0] % kReceiveReadMax + 1);
  port.Load(data + 3, size - 3);
  const int64_t stepMillis = int64_t{data[1]} * 16;
  for (int step = 1; port.Pending() > 0; ++step) {
    ctx->framer.PumpReceive(*ctx);
    TransmitStep(*ctx, tableRead);
    fuzzing::CheckInvariants(*ctx, step % 32 == 0);
    clock.AdvanceMillis(stepMillis);
  }
  // Let every waiting entry run out its tries: replies that never come must
  // end as given up or held, never as a broken queue. Once nothing waits, the
  // steps left would do nothing.
  for (int i = 0; i < 300 && !fuzzing::SendQueuesIdle(*ctx); ++i) {
    TransmitStep(*ctx, false);
    clock.AdvanceMillis(160);
  }
  fuzzing::CheckInvariants(*ctx);
  return 0;
}

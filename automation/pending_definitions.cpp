// Temporary definitions of functions whose owners are still building them, so
// everything links meanwhile. Each owner deletes its definition here when it
// lands the real one; the file goes when it is empty.
#include "engine/device_polling.h"
#include "engine/main_tick.h"
#include "plm/link_reader.h"

namespace quorvel {

// The engine step calls these two.
void ReadDeviceRecord(Context&) {}
void Poll(Context&) {}

void OnPeekReply(Context&, const uint8_t*, size_t) {}
void OnExtendedLinkRecord(Context&, const uint8_t*, size_t) {}

}  // namespace quorvel

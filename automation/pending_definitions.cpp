// Temporary definitions of functions whose owners are still building them, so
// everything links meanwhile. Each owner deletes its definition here when it
// lands the real one; the file goes when it is empty.
#include "engine/device_polling.h"

namespace quorvel {

// The engine step calls it in steady running.
void Poll(Context&) {}

}  // namespace quorvel

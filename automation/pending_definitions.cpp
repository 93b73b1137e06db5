// Temporary definitions of functions whose owners are still building them, so
// everything links meanwhile. Each owner deletes its definition here when it
// lands the real one; the file goes when it is empty.
#include "engine/link_operations.h"
#include "plm/link_reader.h"

namespace quorvel {

void OnPeekReply(Context&, const uint8_t*, size_t) {}
void OnExtendedLinkRecord(Context&, const uint8_t*, size_t) {}

void RunLinkJobStep(Context&) {}
void RunI1Write(Context&, LinkJob&) {}
void OnLinkJobExtendedReply(Context&, const uint8_t*, size_t) {}
void OnLinkJobPeekReply(Context&, const uint8_t*, size_t) {}
int FindFreeLinkSlot(const DeviceRecord&) { return -1; }
bool LinkDeviceToPlmGroup(Context&, int, uint8_t) { return false; }
bool LinkDeviceToComputerGroup(Context&, int, uint8_t, uint8_t) { return false; }
bool LinkControllerResponder(Context&, int, uint8_t, int, uint8_t) { return false; }
bool RemoveLinkPair(Context&, int, uint8_t, int, int, int) { return false; }
bool UpdateLink(Context&, int, int, uint8_t, uint8_t, uint8_t, uint8_t) { return false; }
bool UpdateSecondLink(Context&, int, int, uint8_t, uint8_t, uint8_t, uint8_t) { return false; }
void AddPlmLinkForDevice(Context&, DeviceRecord&) {}
void RemovePlmLinkForDevice(Context&, DeviceRecord&) {}
void FindPlmLink(Context&, uint8_t, const InsteonId&) {}

}  // namespace quorvel

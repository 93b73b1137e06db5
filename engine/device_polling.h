#pragma once
// Polling of the network in the engine's idle steps: identity (0x10), engine
// version (0x0D), status (0x19 and its variants), link-table reads, and the
// placing of devices seen only in other devices' links into the discovery area 251.
#include <cstdint>

namespace quorvel {

struct Context;
struct DeviceRecord;

// Seconds a picker waits after the previous request of the same kind to a device.
inline constexpr int64_t kRequestSpacingSeconds = 180;
// Seconds the line must have been quiet before polling sends anything.
inline constexpr int64_t kPollQuietSeconds = 3;

// Engine steps waited after each kind of poll request.
inline constexpr int kWaitAfterStatus = 20;
inline constexpr int kWaitAfterLinkRead = 40;
inline constexpr int kWaitAfterIdentity = 100;

// The status bar's text when a polling step found nothing to send.
inline constexpr const char* kStatusIdle = "Idle";

struct PollState {
  int pollDivider = 0;
  int categoryPick = -1;
  int versionPick = -1;
  int statusPick = -1;
  int linkPick = -1;
  int discoveryPick = -1;
  int lastUserLinkPick = -1;
};

// One polling step, run by the engine when its wait is over.
void Poll(Context& ctx);

// Pickers: a slot index, or -1.
int PickCategoryRequest(Context& ctx);
int PickVersionRequest(Context& ctx);
int PickStatusRequest(Context& ctx);
int PickLinkRead(Context& ctx);
// First counted record not linked to the modem (linkFlags 0): a device known only
// from another device's links.
int FindFreeSlot(const Context& ctx);

// The identity request; its tries counter stops at 255.
void SendCategoryRequest(Context& ctx, DeviceRecord& record);
// The engine-version request, unless one for the device is still waiting.
void SendVersionRequest(Context& ctx, DeviceRecord& record);
void SendStatusRequest(Context& ctx, DeviceRecord& record);
void SendLedMask(Context& ctx, DeviceRecord& record);
// Links a discovered device to the modem as a responder of group 251. Returns 251
// once the link was queued, -1 while the device must first be identified.
int PlaceInDiscoveryArea(Context& ctx, DeviceRecord& record);

}  // namespace quorvel

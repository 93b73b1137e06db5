#pragma once
// What each message the modem passes up does: the devices' own messages
// (identity, engine version, status and level, ON/OFF and group broadcasts,
// settings, link records), the modem's replies to its commands, and its link
// records. It is the system's only view of what happens on the network.
#include <cstddef>
#include <cstdint>

#include "device/insteon_id.h"
#include "plm/frame_handler.h"

namespace quorvel {

struct Context;

// Message type bits of the flags byte (flags & 0xE0).
inline constexpr uint8_t kTypeDirect = 0x00;
inline constexpr uint8_t kTypeAck = 0x20;
inline constexpr uint8_t kTypeCleanup = 0x40;
inline constexpr uint8_t kTypeCleanupAck = 0x60;
inline constexpr uint8_t kTypeBroadcast = 0x80;
inline constexpr uint8_t kTypeNak = 0xA0;
inline constexpr uint8_t kTypeGroupBroadcast = 0xC0;

inline constexpr uint8_t kModemAck = 0x06;
inline constexpr uint8_t kModemNak = 0x15;

// The framer hands every complete frame here (repeats of standard messages
// never arrive). The fields below are read by the engine and the device link
// reader; the engine resets the modem read state when it starts a read. The
// modem's configuration replies go to the database's PlmInfo.
class IncomingState : public FrameHandler {
 public:
  void HandleFrame(Context& ctx, const uint8_t* frame, size_t length) override;

  // Reply memory. lastcmd1 is the command 1 of the last send echo (0x62) or of the
  // last reply matched to a waiting command; the peek reader advances on it.
  uint8_t lastcmd1 = 0;
  uint8_t lastReplyFlags = 0;
  uint8_t lastReplyCmd2 = 0;
  uint8_t lastMessageType = 0;  // flags & 0xE0 of the last standard or extended message

  // Reading the modem's link table (Get First 0x69 / Get Next 0x6A).
  int plmReadAckCount = 0;       // echoes seen since the last NAK
  uint8_t plmRecordArrived = 0;  // a 0x57 record arrived after the last echo
  int plmReadNakCount = 0;
  uint8_t plmTableEnd = 0;  // a Get Next was refused: the modem's table is exhausted

  // Complete frames handled over the run, for the run summary.
  uint32_t framesHandled = 0;

 private:
  void OnStandard(Context& ctx, const uint8_t* f, size_t n);
  void OnExtended(Context& ctx, const uint8_t* f, size_t n);
  void OnModemReply(Context& ctx, const uint8_t* f, size_t n);
  void MatchWaiting(Context& ctx, bool replyRing, const InsteonId& from, uint8_t flags, uint8_t cmd1, uint8_t cmd2);
  void RememberReply(uint8_t flags, uint8_t cmd1, uint8_t cmd2);
};

// Start ALL-Linking as controller of the discovery group 251, written straight
// to the port: the device that refused us links itself back to the modem.
void WriteStartLinkingDiscovery(Context& ctx);

}  // namespace quorvel

#pragma once
// A run for the send queues and the incoming handling: devices put straight
// into the table, a tick that serves the queues on the test clock, the bytes the
// port received split into the modem commands they form, and frames handed to
// the incoming handling as the framer would hand them.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "device/device_database.h"
#include "plm/incoming_messages.h"
#include "plm/send_queues.h"
#include "support/test_rig.h"

namespace quorvel::testing {

inline const InsteonId kModemId = InsteonId::From(0x11, 0x22, 0x33);

// 2011-03-13 07:06:00 UTC: the start of a minute that is not minute 0, so a
// ring's zeroed last-send time (1970, minute 0) differs from now.
inline constexpr Time kQueueStart = 1299999960;
inline constexpr int kTickMillis = 160;

struct WrittenMessage {
  std::vector<uint8_t> bytes;  // with the leading 0x02
  int tick = 0;                // tick in which it was written
  uint8_t code() const { return bytes.size() > 1 ? bytes[1] : 0; }
};

inline std::vector<uint8_t> StandardFrame(const InsteonId& from, const InsteonId& to, uint8_t flags, uint8_t cmd1,
                                          uint8_t cmd2) {
  return {0x02, 0x50, from.b[0], from.b[1], from.b[2], to.b[0], to.b[1], to.b[2], flags, cmd1, cmd2};
}

inline std::vector<uint8_t> ExtendedFrame(const InsteonId& from, const InsteonId& to, uint8_t flags, uint8_t cmd1,
                                          uint8_t cmd2, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> f = {0x02, 0x51, from.b[0], from.b[1], from.b[2], to.b[0], to.b[1], to.b[2], flags, cmd1, cmd2};
  for (size_t i = 0; i < 14; ++i) f.push_back(i < data.size() ? data[i] : 0);
  return f;
}

// A device's direct acknowledgement of a message (type 0x20).
inline std::vector<uint8_t> AckFrame(const InsteonId& from, uint8_t cmd1, uint8_t cmd2) {
  return StandardFrame(from, kModemId, 0x2B, cmd1, cmd2);
}

class QueueRig {
 public:
  QueueRig() {
    rig.clock.Set(kQueueStart);
    rig.port.AllowPort(1);
    rig.port.Open(1);
  }

  Context& ctx() { return *rig; }
  SendQueues& queues() { return rig->queues; }

  DeviceRecord& AddDevice(const InsteonId& id, uint8_t category, uint8_t subcategory, uint8_t engine = kEngineI2,
                          uint8_t group = 1, uint8_t linkFlags = 0xA2) {
    DeviceDatabase& db = rig->db;
    DeviceRecord& r = db.records[db.count++];
    r.linkFlags = linkFlags;
    r.group = group;
    r.id = id;
    r.category = category;
    r.subcategory = subcategory;
    r.engineVersion = engine;
    return r;
  }

  // One engine tick of the queues, then 160 ms pass.
  bool Tick(bool tableRead = false) {
    const bool ring = TransmitStep(ctx(), tableRead);
    CollectWritten();
    ++ticks;
    rig.clock.AdvanceMillis(kTickMillis);
    AnswerNewSends();
    return ring;
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) Tick();
  }
  // Ticks until `done` holds, at most `limit` ticks; false when it never did.
  template <typename Pred>
  bool TickUntil(Pred done, int limit) {
    for (int i = 0; i < limit; ++i) {
      if (done()) return true;
      Tick();
    }
    return done();
  }

  void Feed(const std::vector<uint8_t>& frame) { rig->incoming.HandleFrame(ctx(), frame.data(), frame.size()); }

  // Devices that acknowledge every Insteon message sent to them, in the tick after.
  void Answering(const InsteonId& id) { answering_.insert(id.Value()); }

  const std::vector<WrittenMessage>& Written() {
    CollectWritten();
    return written_;
  }
  std::vector<WrittenMessage> WrittenWithCode(uint8_t code) {
    std::vector<WrittenMessage> out;
    for (const WrittenMessage& m : Written())
      if (m.code() == code) out.push_back(m);
    return out;
  }
  std::vector<std::string> Activity() const { return rig.Texts(LogChannel::GeneralActivity); }
  std::vector<std::string> Queued() const { return rig.Texts(LogChannel::QuedForActivity); }

  TestRig rig;
  int ticks = 0;

 private:
  static size_t MessageLength(const std::vector<uint8_t>& b, size_t at) {
    if (at + 1 >= b.size()) return 0;
    switch (b[at + 1]) {
      case 0x60: case 0x65: case 0x67: case 0x69: case 0x6A: case 0x73: return 2;
      case 0x6B: return 3;
      case 0x63: case 0x64: return 4;
      case 0x61: return 5;
      case 0x6F: return 11;
      case 0x62: return at + 5 < b.size() && (b[at + 5] & 0x10) ? 22 : 8;
      default: return 1;
    }
  }

  void CollectWritten() {
    std::vector<uint8_t>& b = rig.port.Written();
    while (cursor_ < b.size()) {
      const size_t n = MessageLength(b, cursor_);
      if (n == 0 || cursor_ + n > b.size()) break;
      written_.push_back({std::vector<uint8_t>(b.begin() + static_cast<long>(cursor_),
                                               b.begin() + static_cast<long>(cursor_ + n)),
                          ticks});
      cursor_ += n;
    }
  }

  void AnswerNewSends() {
    for (; answered_ < written_.size(); ++answered_) {
      const WrittenMessage& m = written_[answered_];
      if (m.code() != 0x62 || m.bytes.size() < 8) continue;
      const InsteonId to = InsteonId::FromBytes(&m.bytes[2]);
      if (answering_.count(to.Value()) != 0) Feed(AckFrame(to, m.bytes[6], m.bytes[7]));
    }
  }

  size_t cursor_ = 0;
  size_t answered_ = 0;
  std::vector<WrittenMessage> written_;
  std::set<uint32_t> answering_;
};

}  // namespace quorvel::testing

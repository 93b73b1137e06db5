#include "plm/link_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "device/device_database.h"
#include "engine/context.h"
#include "engine/device_polling.h"
#include "plm/send_queues.h"

namespace quorvel {

namespace {

constexpr uint8_t kSetAddressMsb = 0x28;
constexpr uint8_t kPeek = 0x2B;
constexpr uint8_t kReadWriteLinks = 0x2F;
constexpr uint8_t kIdentityRequest = 0x10;
constexpr uint8_t kFlagsInUse = 0x80;
constexpr uint8_t kFlagsUsedBefore = 0x02;

// Storing a link asks an unidentified device for its identity through the send queues.
class QueueIdentityRequests final : public IdentityRequests {
 public:
  explicit QueueIdentityRequests(Context& ctx) : ctx_(ctx) {}
  bool IdentityRequestPending(const InsteonId& id) override {
    return FindPending(ctx_, id, kIdentityRequest, 0x00) >= 0;
  }
  void SendIdentityRequest(const InsteonId& id) override { SendStandard(ctx_, id, kIdentityRequest, 0x00); }

 private:
  Context& ctx_;
};

// A read starts its device's count at 0 and only ever raises it: a record that
// arrives out of order (asked for again, or read back after a link was
// written) must not hide the links stored after it.
bool Store(Context& ctx, int slot, const uint8_t raw[10], const InsteonId& device) {
  uint8_t counts[kDeviceSlots] = {};
  ForEachRecordOf(ctx.db, device, [&](int i, DeviceRecord& r) { counts[i] = r.linkCount; });
  QueueIdentityRequests requests(ctx);
  if (!ctx.db.StoreDeviceLink(slot, raw, device, ctx.clock.Now(), &requests, &ctx.diagnostics)) return false;
  ForEachRecordOf(ctx.db, device, [&](int i, DeviceRecord& r) {
    if (r.InUse() && r.linkCount < counts[i]) r.linkCount = counts[i];
  });
  ctx.engine.linkStored = true;
  ctx.refresh.linkStored = true;
  ++ctx.linkReader.recordsStored;
  ctx.linkReader.NoteTableRead(device);
  return true;
}

void SetLinkCount(Context& ctx, const InsteonId& id, uint8_t value) {
  ForEachRecordOf(ctx.db, id, [&](int, DeviceRecord& r) {
    if (r.InUse()) r.linkCount = value;
  });
}

bool UsesPeeks(const DeviceRecord& r) {
  if (r.engineVersion == kEngineI1) return true;
  // An early modem kind answers only peeks.
  return r.category == 0x03 && r.subcategory == 0x05 && (r.firmware >> 4) < 8 && (r.firmware & 0x0F) < 5;
}

void EndPeekRead(LinkReader& lr) {
  lr.active = 0;
  lr.startRequest = 0;
  lr.timeoutCounter = 0;
  lr.byteIndex = 0;
  lr.recordsRead = 0;
  lr.recordRetries = 0;
}

void CloseExtended(LinkReader& lr) {
  lr.extendedOpen = false;
  lr.extendedQuietSteps = 0;
}

bool Seen(const LinkReader& lr, int slot) { return (lr.extendedSeen >> slot & 1u) != 0; }

bool ExtendedComplete(const LinkReader& lr) {
  const int last = lr.extendedEndSlot >= 0 ? lr.extendedEndSlot : kReadableLinks - 1;
  if (lr.extendedEndSlot < 0 && lr.extendedHighestSeen < kReadableLinks - 1) return false;
  for (int s = 0; s <= last; ++s) {
    if (!Seen(lr, s)) return false;
  }
  return true;
}

// The stream went quiet: ask again for the first record it lost, or end the read.
void StepExtended(Context& ctx) {
  LinkReader& lr = ctx.linkReader;
  if (!lr.extendedOpen) return;
  if (++lr.extendedQuietSteps <= kExtendedQuietSteps) return;
  lr.extendedQuietSteps = 0;
  const InsteonId id = lr.extendedTarget;
  char line[96];
  if (lr.extendedSeen == 0) {
    // The send ring has already retried the request itself.
    std::snprintf(line, sizeof line, "\n Timeout extended link read %02x.%02x.%02x, no record", id.b[0], id.b[1],
                  id.b[2]);
    ctx.diagnostics.Write(line);
    ++lr.timeouts;
    CloseExtended(lr);
    return;
  }
  const int limit =
      lr.extendedEndSlot >= 0 ? lr.extendedEndSlot : std::min(lr.extendedHighestSeen + 2, kReadableLinks);
  int missing = -1;
  for (int s = 0; s < limit; ++s) {
    if (!Seen(lr, s)) {
      missing = s;
      break;
    }
  }
  if (missing < 0) {
    CloseExtended(lr);
    return;
  }
  if (lr.extendedRetries >= kExtendedRetries) {
    std::snprintf(line, sizeof line, "\n Timeout extended link read %02x.%02x.%02x, record %d missing", id.b[0],
                  id.b[1], id.b[2], missing);
    ctx.diagnostics.Write(line);
    ++lr.timeouts;
    CloseExtended(lr);
    return;
  }
  ++lr.extendedRetries;
  const uint16_t address = static_cast<uint16_t>(0x0FFF - 8 * missing);
  uint8_t data[kExtendedDataBytes] = {};
  data[2] = static_cast<uint8_t>(address >> 8);
  data[3] = static_cast<uint8_t>(address);
  // A gap below records that did come needs that one record; a stream that
  // stopped is asked to go on from where it stopped.
  data[4] = missing < lr.extendedHighestSeen ? 1 : 0;
  SendExtended(ctx, id, kReadWriteLinks, 0x00, data);
}

}  // namespace

int LinkSlotForAddress(uint16_t address) {
  const int last = address | 7;
  const int top = address | 0x0FFF;
  const int slot = (top - last) / 8;
  return slot < kReadableLinks ? slot : -1;
}

bool LinkReader::TableReadThisRun(const InsteonId& id) const {
  const int n = std::min(tablesReadCount, kTablesReadMax);
  for (int i = 0; i < n; ++i) {
    if (tablesRead[i] == id.Value()) return true;
  }
  return false;
}

void LinkReader::NoteTableRead(const InsteonId& id) {
  // Only as many devices as the table holds can be read; a full list stays as it is.
  if (TableReadThisRun(id) || tablesReadCount >= kTablesReadMax) return;
  tablesRead[tablesReadCount++] = id.Value();
}

int StartLinkRead(Context& ctx, DeviceRecord& record) {
  LinkReader& lr = ctx.linkReader;
  const InsteonId id = record.id;
  // A read asked for and not yet answered is not asked again, whichever form it
  // took: two streams of the same table would only collide.
  if (FindPending(ctx, id, kReadWriteLinks, 0x01) >= 0 || FindPending(ctx, id, kReadWriteLinks, 0x00) >= 0)
    return -1;
  // The reader holds the state of one read; another waits for it to end.
  if (lr.Busy()) return -1;
  const Time now = ctx.clock.Now();
  record.timeLinksRead = now;

  if (record.engineVersion < kEngineI1 || record.engineVersion > kEngineI2cs) {
    record.versionTries = 0;
    SendVersionRequest(ctx, record);
    return -1;
  }

  ++lr.readsStarted;
  // The table is read anew: links past the end of a shorter new table must not
  // stay counted.
  SetLinkCount(ctx, id, 0);
  record.linkCount = 0;
  record.linksUpdated = 1;

  if (UsesPeeks(record)) {
    lr.byteIndex = 0;
    lr.recordsRead = 0;
    lr.recordRetries = 0;
    lr.startRequest = 1;
    lr.addressMsb = 0x0F;
    lr.addressLsb = 0xF8;
    lr.target = id;
    ReadDeviceRecord(ctx);
    return 1;
  }

  lr.byteIndex = 0;
  lr.recordsRead = 0;
  // A new read must not take its first record for a repeat of the last read's last one.
  lr.lastExtendedAddress = -1;
  lr.lastExtendedSender = InsteonId{};
  uint8_t data[kExtendedDataBytes] = {};
  if (record.category == 0x03) {
    // A modem or bridge: only newer firmware answers, with one record.
    if (record.firmware < 0x85) return 1;
    data[2] = 0x3F;
    data[3] = 0xF0;
    data[4] = 0x01;
    SendExtended(ctx, id, kReadWriteLinks, 0x01, data);
    return 1;
  }
  SendExtended(ctx, id, kReadWriteLinks, 0x00, data);
  // A request held for a sleeping device is answered whenever it wakes; its
  // records are stored then, without being watched.
  if (ctx.queues.hold.Find(id, kReadWriteLinks) >= 0) return 1;
  lr.extendedTarget = id;
  lr.extendedOpen = true;
  lr.extendedSeen = 0;
  lr.extendedEndSlot = -1;
  lr.extendedHighestSeen = -1;
  lr.extendedQuietSteps = 0;
  lr.extendedRetries = 0;
  return 1;
}

void ReadDeviceRecord(Context& ctx) {
  LinkReader& lr = ctx.linkReader;
  if (lr.active == 0 && lr.startRequest == 0) {
    StepExtended(ctx);
    return;
  }
  char line[96];

  if (lr.startRequest != 0) {
    if (lr.recordsRead >= kReadableLinks) {
      // The mirror holds no more: what follows in the device is not read.
      std::snprintf(line, sizeof line, "\n Full ReadDeviceRecord records %d, address %02x%02x", lr.recordsRead,
                    lr.addressMsb, lr.addressLsb);
      ctx.diagnostics.Write(line);
      EndPeekRead(lr);
      return;
    }
    if (lr.byteIndex != 0) {
      // The last record's bytes did not all come: read it again from its first
      // byte, so that no byte lands at another's place.
      if (++lr.recordRetries > kPeekRecordRetries) {
        std::snprintf(line, sizeof line, "\n Timeout ReadDeviceRecord record %d, byte %d", lr.recordsRead,
                      lr.byteIndex);
        ctx.diagnostics.Write(line);
        ++lr.timeouts;
        EndPeekRead(lr);
        return;
      }
      lr.byteIndex = 0;
    }
    lr.active = 1;
    lr.moreRecords = 1;
    lr.readstate = 0;
    lr.timeoutCounter = 0;
    lr.peekReplyArrived = 0;
    lr.startRequest = 0;
    SendStandard(ctx, lr.target, kSetAddressMsb, lr.addressMsb);
    return;
  }

  const uint8_t lastcmd1 = ctx.incoming.lastcmd1;
  const bool addressPhase = lr.readstate == 0;
  if (addressPhase) {
    if (lastcmd1 == kSetAddressMsb) {
      lr.readstate = 1;
      SendStandard(ctx, lr.target, kPeek, lr.addressLsb);
      return;
    }
    ++lr.timeoutCounter;  // an unanswered address counts twice
  }

  if (lr.readstate >= 1 && lastcmd1 == kPeek && lr.peekReplyArrived != 0) {
    while (lr.readstate < 8) {
      ++lr.readstate;
      SendStandard(ctx, lr.target, kPeek, static_cast<uint8_t>(lr.addressLsb + lr.readstate - 1));
    }
    lr.peekReplyArrived = 0;
  }

  if (lr.readstate > 7) {
    lr.active = 0;
    if (lr.addressMsb > 0 && lr.moreRecords == 1) {
      lr.active = 1;
      lr.startRequest = 1;
    }
  }

  if (++lr.timeoutCounter > kPeekRecordTimeout) {
    const bool heard = lr.recordsRead > 0 || lr.byteIndex > 0;
    if (heard && lr.recordRetries < kPeekRecordRetries) {
      // The device did answer this read: start the record again.
      ++lr.recordRetries;
      lr.byteIndex = 0;
      lr.timeoutCounter = 0;
      lr.active = 1;
      lr.startRequest = 1;
      return;
    }
    if (addressPhase) {
      std::snprintf(line, sizeof line, "\n Timeout ReadDeviceRecord readstate %d, lastcmd1 %02x", lr.readstate,
                    lastcmd1);
      ctx.diagnostics.Write(line);
    }
    ++lr.timeouts;
    EndPeekRead(lr);
  }
}

void OnPeekReply(Context& ctx, const uint8_t* frame, size_t length) {
  LinkReader& lr = ctx.linkReader;
  if (frame == nullptr || length < 11 || lr.active == 0) return;
  // Only the acknowledgement of the device being read carries a byte of its table.
  const InsteonId from = InsteonId::FromBytes(frame + 2);
  if (!(from == lr.target) || (frame[8] & 0xE0) != 0x20) return;
  if (lr.byteIndex < 0 || lr.byteIndex > 7) lr.byteIndex = 0;
  const uint8_t b = frame[10];

  bool complete = false;
  if (lr.byteIndex == 0) {
    // A record never used ends the table; a record in use never does.
    lr.moreRecords = (b & (kFlagsInUse | kFlagsUsedBefore)) != 0 ? 1 : 0;
  }
  lr.buffer[lr.byteIndex] = b;
  if (lr.byteIndex == 0 && (b & kFlagsInUse) == 0) {
    std::memset(lr.buffer + 1, 0, 7);
    lr.readstate = static_cast<uint8_t>(std::min(lr.readstate + 7, 8));
    complete = true;
  } else if (lr.byteIndex < 7) {
    ++lr.byteIndex;
    lr.peekReplyArrived = 1;
    return;
  } else {
    complete = true;
  }
  if (!complete) return;

  lr.buffer[8] = lr.addressMsb;
  lr.buffer[9] = lr.addressLsb;
  if (lr.recordsRead < kReadableLinks) {
    Store(ctx, lr.recordsRead, lr.buffer, from);
    ++lr.recordsRead;
  }
  if (lr.recordsRead >= kReadableLinks) lr.moreRecords = 0;
  if (lr.addressLsb < 8) {
    if (lr.addressMsb == 0) {
      lr.moreRecords = 0;  // the bottom of the device's memory
    } else {
      --lr.addressMsb;
      lr.addressLsb = 0xF8;
    }
  } else {
    lr.addressLsb = static_cast<uint8_t>(lr.addressLsb - 8);
  }
  lr.byteIndex = 0;
  lr.peekReplyArrived = 1;
  lr.recordRetries = 0;
}

void OnExtendedLinkRecord(Context& ctx, const uint8_t* frame, size_t length) {
  LinkReader& lr = ctx.linkReader;
  if (frame == nullptr || length < 25) return;
  const InsteonId from = InsteonId::FromBytes(frame + 2);
  const uint16_t address = static_cast<uint16_t>(frame[13] << 8 | frame[14]);
  if (from == lr.lastExtendedSender && address == lr.lastExtendedAddress) return;  // a repeat

  uint8_t raw[10];
  raw[0] = frame[16];
  raw[1] = frame[17];
  std::memcpy(raw + 2, frame + 18, 3);
  std::memcpy(raw + 5, frame + 21, 3);
  raw[8] = frame[13];
  raw[9] = frame[14];
  lr.lastExtendedSender = from;
  lr.lastExtendedAddress = address;

  const int slot = LinkSlotForAddress(address);
  if (slot < 0) {
    char line[96];
    std::snprintf(line, sizeof line, "\n Link record at %04x of %02x.%02x.%02x beyond the %d kept", address,
                  from.b[0], from.b[1], from.b[2], kReadableLinks);
    ctx.diagnostics.Write(line);
    return;
  }
  Store(ctx, slot, raw, from);
  if (lr.recordsRead < kReadableLinks) ++lr.recordsRead;
  if (lr.active == 0) lr.byteIndex = 0;

  if (!lr.extendedOpen || !(from == lr.extendedTarget)) return;
  lr.extendedSeen |= uint64_t{1} << slot;
  lr.extendedQuietSteps = 0;
  lr.extendedHighestSeen = std::max(lr.extendedHighestSeen, slot);
  if ((raw[0] & (kFlagsInUse | kFlagsUsedBefore)) == 0 &&
      (lr.extendedEndSlot < 0 || slot < lr.extendedEndSlot))
    lr.extendedEndSlot = slot;
  if (ExtendedComplete(lr)) CloseExtended(lr);
}

}  // namespace quorvel

#include "device/device_database.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvel {
namespace {

const InsteonId kDimmer = InsteonId::From(0x1a, 0x2b, 0x3c);
const InsteonId kKeypad = InsteonId::From(0x11, 0x22, 0x33);
const InsteonId kRemote = InsteonId::From(0x0a, 0x0b, 0x0c);
const InsteonId kModem = InsteonId::From(0x99, 0x88, 0x77);

InsteonId Numbered(uint32_t n) { return InsteonId::FromValue(0x100000 + n); }

std::unique_ptr<DeviceDatabase> NewDb() { return std::make_unique<DeviceDatabase>(); }

DeviceRecord& Put(DeviceDatabase& db, uint8_t group, const InsteonId& id, uint8_t linkFlags = 0xE2) {
  DeviceRecord& r = db.records[db.count++];
  r.linkFlags = linkFlags;
  r.group = group;
  r.id = id;
  return r;
}

LinkRecord& PutLink(DeviceRecord& r, int slot, uint8_t flags, uint8_t group, const InsteonId& id) {
  LinkRecord& link = r.links[slot];
  link.flags = flags;
  link.group = group;
  link.id = id;
  if (r.linkCount < slot + 1) r.linkCount = static_cast<uint8_t>(slot + 1);
  return link;
}

std::array<uint8_t, 10> RawLink(uint8_t flags, uint8_t group, const InsteonId& id, uint8_t d1, uint8_t d2,
                                uint8_t d3, uint8_t addrHi, uint8_t addrLo) {
  return {flags, group, id.b[0], id.b[1], id.b[2], d1, d2, d3, addrHi, addrLo};
}

// The send side as far as storing links needs it: a request stays pending once sent.
class FakeIdentityRequests : public IdentityRequests {
 public:
  bool IdentityRequestPending(const InsteonId& id) override {
    for (const InsteonId& p : pending)
      if (p == id) return true;
    return false;
  }
  void SendIdentityRequest(const InsteonId& id) override {
    sent.push_back(id);
    pending.push_back(id);
  }
  std::vector<InsteonId> pending;
  std::vector<InsteonId> sent;
};

TEST(DeviceDatabase, PlmLinkRepliesBuildRecords) {
  auto db = NewDb();
  // Slots hold leftovers from an earlier read: appends must not clear them.
  std::strcpy(db->records[0].name, "Porch");
  db->records[0].linkCount = 7;
  db->records[1].category = 0x55;
  db->records[1].linkCount = 4;

  db->AppendFromPlmLink({0xE2, 1, kDimmer, {0x01, 0x20, 0x41}});
  ASSERT_EQ(db->count, 1u);
  const DeviceRecord& first = db->records[0];
  EXPECT_EQ(first.linkFlags, 0xE2);
  EXPECT_EQ(first.group, 1);
  EXPECT_EQ(first.id, kDimmer);
  EXPECT_EQ(first.category, 0x01);
  EXPECT_EQ(first.subcategory, 0x20);
  EXPECT_EQ(first.firmware, 0x41);
  EXPECT_EQ(first.linkCount, 0);
  EXPECT_STREQ(first.name, "Porch") << "the slot is not cleared";

  // The same (group, id) again changes nothing.
  db->AppendFromPlmLink({0xA2, 1, kDimmer, {0x02, 0x09, 0x10}});
  EXPECT_EQ(db->count, 1u);
  EXPECT_EQ(first.linkFlags, 0xE2);
  EXPECT_EQ(first.category, 0x01);

  // A new group of a known device does not take the link data as its identity.
  db->AppendFromPlmLink({0xA2, 251, kDimmer, {0x02, 0x09, 0x10}});
  ASSERT_EQ(db->count, 2u);
  const DeviceRecord& second = db->records[1];
  EXPECT_EQ(second.group, 251);
  EXPECT_EQ(second.linkFlags, 0xA2);
  EXPECT_EQ(second.category, 0x55);
  EXPECT_EQ(second.linkCount, 4);
  EXPECT_EQ(db->FindDeviceInGroup(251, kDimmer), 1);
}

TEST(DeviceDatabase, LinkingCompletedAppendKeepsSlotFlags) {
  auto db = NewDb();
  Put(*db, 1, kDimmer);
  db->records[1].linkFlags = 0xE2;  // marked by the add-device path
  db->records[1].level = 200;
  db->records[1].aldbDelta = 9;
  db->records[1].linkCount = 12;
  db->records[1].timeLastOn = 77;
  db->AppendFromLinkingCompleted({0x01, 251, kDimmer, 0x02, 0x2A, 0x45});
  ASSERT_EQ(db->count, 2u);
  const DeviceRecord& r = db->records[1];
  EXPECT_EQ(r.linkFlags, 0xE2);
  EXPECT_EQ(r.linkCode, 0x01);
  EXPECT_EQ(r.group, 251);
  EXPECT_EQ(r.id, kDimmer);
  EXPECT_EQ(r.category, 0x02);
  EXPECT_EQ(r.subcategory, 0x2A);
  EXPECT_EQ(r.firmware, 0x45);
  EXPECT_EQ(r.level, 0);
  EXPECT_EQ(r.aldbDelta, 0);
  EXPECT_EQ(r.linkCount, 0);
  EXPECT_EQ(r.timeLastOn, 77);

  db->records[2].linkFlags = 0xE2;
  db->records[2].group = 9;
  db->AppendDiscovered(kRemote);
  const DeviceRecord& d = db->records[2];
  EXPECT_EQ(d.id, kRemote);
  EXPECT_EQ(d.group, 0);
  EXPECT_EQ(d.linkFlags, 0) << "a discovered record starts all zero";
}

TEST(DeviceDatabase, AppendsStopCountingAtCapacity) {
  struct Case {
    const char* name;
    std::function<void(DeviceDatabase&, const InsteonId&)> append;
  };
  const Case cases[] = {
      {"plm link", [](DeviceDatabase& db, const InsteonId& id) { db.AppendFromPlmLink({0xE2, 1, id, {1, 2, 3}}); }},
      {"linking completed",
       [](DeviceDatabase& db, const InsteonId& id) { db.AppendFromLinkingCompleted({1, 1, id, 1, 2, 3}); }},
      {"discovered", [](DeviceDatabase& db, const InsteonId& id) { db.AppendDiscovered(id); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto db = NewDb();
    db->records[480].id = kModem;  // slot 480 must never be touched
    db->records[480].level = 0x5A;
    for (uint32_t i = 0; i < kMaxDevices; ++i) c.append(*db, Numbered(i));
    ASSERT_EQ(db->count, kMaxDevices);
    EXPECT_EQ(db->FindDevice(Numbered(478)), 478);

    c.append(*db, kDimmer);
    EXPECT_EQ(db->count, kMaxDevices);
    EXPECT_EQ(db->records[479].id, kDimmer) << "written into slot 479";
    EXPECT_EQ(db->FindDevice(kDimmer), -1) << "but not counted";
    c.append(*db, kKeypad);
    EXPECT_EQ(db->count, kMaxDevices);
    EXPECT_EQ(db->records[479].id, kKeypad) << "the next append overwrites it";
    EXPECT_EQ(db->records[480].id, kModem);
    EXPECT_EQ(db->records[480].level, 0x5A);
  }
}

TEST(DeviceDatabase, FindLinkInDeviceSearchesEveryRecordOfTheDevice) {
  auto db = NewDb();
  DeviceRecord& notInUse = Put(*db, 1, kKeypad, 0x62);
  PutLink(notInUse, 0, 0xE2, 1, kDimmer);  // records not in use are skipped
  Put(*db, 1, kRemote);
  DeviceRecord& second = Put(*db, 251, kKeypad);
  PutLink(second, 0, 0xA2, 1, kRemote);
  PutLink(second, 1, 0x22, 1, kDimmer);  // link not in use
  PutLink(second, 2, 0xE2, 3, kDimmer);
  PutLink(second, 3, 0xE2, 1, kDimmer);
  PutLink(second, 4, 0xE2, 1, kDimmer);  // a later copy: the first one wins
  DeviceRecord& third = Put(*db, 255, kKeypad);
  PutLink(third, 0, 0xE2, 5, kDimmer);
  PutLink(third, 10, 0xE2, 6, kDimmer);
  third.linkCount = 10;  // slot 10 lies beyond the links read
  DeviceRecord& damaged = Put(*db, 254, kKeypad);
  damaged.linkCount = 200;  // from a damaged file: never scanned past the 33 slots
  PutLink(damaged, 32, 0xE2, 7, kDimmer);
  damaged.linkCount = 200;

  struct Case {
    InsteonId device;
    uint8_t group;
    InsteonId linked;
    int link, slot;
  };
  const Case cases[] = {
      {kKeypad, 1, kDimmer, 3, 2}, {kKeypad, 1, kRemote, 0, 2},  {kKeypad, 3, kDimmer, 2, 2},
      {kKeypad, 5, kDimmer, 0, 3}, {kKeypad, 6, kDimmer, -1, -1}, {kKeypad, 7, kDimmer, 32, 4},
      {kKeypad, 2, kDimmer, -1, -1}, {kRemote, 1, kDimmer, -1, -1}, {kModem, 1, kDimmer, -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << IdText(c.device) << " group " << int{c.group} << " "
                                      << IdText(c.linked));
    int slot = -1;
    EXPECT_EQ(db->FindLinkInDevice(c.device, c.group, c.linked, &slot), c.link);
    EXPECT_EQ(slot, c.slot);
    EXPECT_EQ(db->FindLinkInDevice(c.device, c.group, c.linked), c.link);
  }
}

TEST(DeviceDatabase, MarkLinksToDeviceRemoved) {
  auto db = NewDb();
  Put(*db, 1, kRemote);
  DeviceRecord& a = Put(*db, 1, kDimmer);
  PutLink(a, 0, 0xE2, 1, kRemote);
  PutLink(a, 1, 0xA2, 1, kKeypad);
  PutLink(a, 2, 0x22, 1, kRemote);  // not in use: left alone
  DeviceRecord& b = Put(*db, 3, kKeypad);
  PutLink(b, 0, 0xA2, 3, kRemote);
  PutLink(b, 5, 0xA2, 3, kRemote);
  b.linkCount = 5;  // slot 5 lies beyond the links read
  DeviceRecord& c = Put(*db, 4, kKeypad);
  c.linkCount = 250;  // damaged
  PutLink(c, 32, 0xE2, 1, kRemote);
  c.linkCount = 250;

  db->MarkLinksToDeviceRemoved(0);
  EXPECT_EQ(a.links[0].flags, kLinkRemovedBySystem);
  EXPECT_EQ(a.links[1].flags, 0xA2);
  EXPECT_EQ(a.links[2].flags, 0x22);
  EXPECT_EQ(b.links[0].flags, kLinkRemovedBySystem);
  EXPECT_EQ(b.links[5].flags, 0xA2);
  EXPECT_EQ(c.links[32].flags, kLinkRemovedBySystem);

  // A slot that is no slot changes nothing.
  const DeviceRecord before = a;
  db->MarkLinksToDeviceRemoved(-1);
  db->MarkLinksToDeviceRemoved(kDeviceSlots);
  EXPECT_EQ(std::memcmp(&before, &a, sizeof a), 0);
}

TEST(DeviceDatabase, StoreDeviceLinkWritesEveryInUseRecord) {
  auto db = NewDb();
  FakeIdentityRequests requests;
  DeviceRecord& g1 = Put(*db, 1, kKeypad);
  DeviceRecord& g251 = Put(*db, 251, kKeypad);
  DeviceRecord& stale = Put(*db, 3, kKeypad, 0x62);  // not in use
  for (DeviceRecord* r : {&g1, &g251, &stale}) {
    r->category = 0x01;
    r->subcategory = 0x1C;
    r->workFlags = kWorkLinksReread | kWorkStatusWanted;
    r->aldbReadState = 2;
    r->linkCount = 9;
  }
  const auto raw = RawLink(0xA2, 3, kDimmer, 0xFF, 0x1C, 0x03, 0x0F, 0xF7);
  ASSERT_TRUE(db->StoreDeviceLink(4, raw.data(), kKeypad, 5000, &requests));
  for (DeviceRecord* r : {&g1, &g251}) {
    SCOPED_TRACE(int{r->group});
    const LinkRecord& link = r->links[4];
    EXPECT_EQ(link.flags, 0xA2);
    EXPECT_EQ(link.group, 3);
    EXPECT_EQ(link.id, kDimmer);
    EXPECT_EQ(link.data[0], 0xFF);
    EXPECT_EQ(link.data[1], 0x1C);
    EXPECT_EQ(link.data[2], 0x03);
    EXPECT_EQ(link.address, 0x0FF7u);
    EXPECT_EQ(r->linkCount, 5);
    EXPECT_EQ(r->workFlags, kWorkStatusWanted);
    EXPECT_EQ(r->aldbReadState, 0);
    EXPECT_EQ(r->linksUpdated, 2);
    EXPECT_EQ(r->timeLinksRead, 5000);
    EXPECT_EQ(r->timeLastContact, 5000);
  }
  EXPECT_EQ(stale.links[4].flags, 0);
  EXPECT_EQ(stale.linkCount, 9);
  EXPECT_TRUE(requests.sent.empty()) << "the keypad's identity is known";

  // The empty terminator record is stored but does not move linkCount.
  const auto end = RawLink(0x00, 0, InsteonId::From(0, 0, 0), 0, 0, 0, 0x0F, 0xEF);
  ASSERT_TRUE(db->StoreDeviceLink(5, end.data(), kKeypad, 5001, &requests));
  EXPECT_EQ(g1.links[5].address, 0x0FEFu);
  EXPECT_EQ(g1.linkCount, 5);

  EXPECT_FALSE(db->StoreDeviceLink(0, raw.data(), kModem, 5002, &requests)) << "no such device";
}

TEST(DeviceDatabase, StoreDeviceLinkDiscoversLinkedDevices) {
  struct Case {
    const char* what;
    uint8_t flags;
    InsteonId linked;
    bool appended;
  };
  const Case cases[] = {
      {"unknown device in use", 0xE2, kRemote, true},
      {"link not in use", 0x62, kRemote, false},
      {"the modem itself", 0xE2, kModem, false},
      {"a device already in the table", 0xA2, kDimmer, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto db = NewDb();
    db->plm.plmId = kModem;
    Put(*db, 1, kDimmer).category = 0x01;
    Put(*db, 1, kKeypad).category = 0x01;
    const auto raw = RawLink(c.flags, 1, c.linked, 0, 0, 0, 0x0F, 0xFF);
    std::string out;
    Diagnostics diagnostics;
    diagnostics.sink = [&out](std::string_view text) { out += text; };
    ASSERT_TRUE(db->StoreDeviceLink(0, raw.data(), kKeypad, 100, nullptr, &diagnostics));
    if (c.appended) {
      ASSERT_EQ(db->count, 3u);
      EXPECT_EQ(db->records[2].id, c.linked);
      EXPECT_EQ(db->records[2].group, 0);
      EXPECT_EQ(db->records[2].category, 0);
      EXPECT_EQ(out, "\nDiscovery count 2, " + IdText(c.linked));
    } else {
      EXPECT_EQ(db->count, 2u);
      EXPECT_EQ(out, "");
    }
  }
}

TEST(DeviceDatabase, StoreDeviceLinkAsksAnUnknownDeviceOnce) {
  auto db = NewDb();
  FakeIdentityRequests requests;
  DeviceRecord& a = Put(*db, 1, kRemote);
  DeviceRecord& b = Put(*db, 251, kRemote);
  const auto raw = RawLink(0x00, 0, InsteonId::From(0, 0, 0), 0, 0, 0, 0x0F, 0xFF);
  ASSERT_TRUE(db->StoreDeviceLink(0, raw.data(), kRemote, 700, &requests));
  ASSERT_EQ(requests.sent.size(), 1u) << "the second record finds the request waiting";
  EXPECT_EQ(requests.sent[0], kRemote);
  EXPECT_EQ(a.categoryTries, 1);
  EXPECT_EQ(a.timeCategoryRequest, 700);
  EXPECT_EQ(b.categoryTries, 0);
  EXPECT_EQ(b.timeCategoryRequest, 0);

  ASSERT_TRUE(db->StoreDeviceLink(1, raw.data(), kRemote, 701, &requests));
  EXPECT_EQ(requests.sent.size(), 1u) << "still waiting: not asked again";

  requests.pending.clear();
  ASSERT_TRUE(db->StoreDeviceLink(2, raw.data(), kRemote, 702, &requests));
  EXPECT_EQ(requests.sent.size(), 2u);
  EXPECT_EQ(a.categoryTries, 2);
  EXPECT_EQ(a.timeCategoryRequest, 702);
}

TEST(DeviceDatabase, StoreDeviceLinkIgnoresSlotsBeyondTheTable) {
  auto db = NewDb();
  DeviceRecord& r = Put(*db, 1, kKeypad);
  r.category = 0x01;
  std::strcpy(r.name, "Kitchen keypad");
  r.minutesOnToday = 42;
  DeviceRecord& next = Put(*db, 1, kDimmer);
  next.category = 0x01;
  std::strcpy(next.name, "Hall");

  const auto raw = RawLink(0xE2, 1, kDimmer, 0xFF, 0x1F, 0x01, 0x0E, 0x07);
  const std::unique_ptr<DeviceDatabase> before = NewDb();
  std::memcpy(before->records, db->records, sizeof db->records);
  for (int slot : {-1, 33, 34, 40, 255, 479, INT_MAX, INT_MIN}) {
    SCOPED_TRACE(slot);
    EXPECT_FALSE(db->StoreDeviceLink(slot, raw.data(), kKeypad, 900, nullptr));
    EXPECT_EQ(std::memcmp(before->records, db->records, sizeof db->records), 0);
    EXPECT_EQ(db->count, 2u);
  }

  // A long table read in order: 40 records, slots 0..39. Only the 33 slots exist.
  for (int slot = 0; slot < 40; ++slot) {
    const auto link = RawLink(0xA2, static_cast<uint8_t>(slot), kDimmer, 0xFF, 0x1F, 0x01, 0x0F,
                              static_cast<uint8_t>(0xFF - 8 * slot));
    db->StoreDeviceLink(slot, link.data(), kKeypad, 900, nullptr);
  }
  EXPECT_EQ(r.linkCount, 33);
  EXPECT_EQ(r.links[32].group, 32);
  EXPECT_STREQ(r.name, "Kitchen keypad");
  EXPECT_EQ(r.minutesOnToday, 42u);
  EXPECT_EQ(std::memcmp(&before->records[1], &next, sizeof next), 0) << "the next record is untouched";
}

// A live table as the modem reports it, and the loaded copy of the data file.
struct MergeFixture {
  std::unique_ptr<DeviceDatabase> live = NewDb();
  std::unique_ptr<DeviceDatabase> loaded = NewDb();
};

TEST(DeviceDatabase, MergeTakesStoredDetailsAndKeepsLiveFlags) {
  MergeFixture f;
  f.live->plm.plmId = kModem;
  DeviceRecord& live = Put(*f.live, 1, kKeypad, 0xA2);
  Put(*f.live, 7, kDimmer, 0xE2).level = 0x33;  // nothing stored for it

  DeviceRecord& stored = Put(*f.loaded, 1, kKeypad, 0xE2);
  Put(*f.loaded, 8, kDimmer).level = 0x99;  // same device, other group: not this record
  std::strcpy(stored.name, "Kitchen keypad");
  stored.category = 0x01;
  stored.subcategory = 0x1C;
  stored.engineVersion = 2;
  stored.level = 0x80;
  stored.categoryTries = 3;
  stored.versionTries = 4;
  stored.get_statusTries = 5;
  stored.aldbReadState = 0;
  stored.workFlags = kWorkOnOffPass | kWorkStatusWanted;
  stored.groupStates = 0x0F;
  stored.minutesOnMonth = 1234;
  stored.tileRect[2] = 321;
  PutLink(stored, 0, 0xA2, 1, kModem);   // the modem: not a device to discover
  PutLink(stored, 1, 0xE2, 1, kDimmer);  // already in the live table
  PutLink(stored, 2, 0xE2, 1, kRemote);  // known only from this link
  PutLink(stored, 3, 0x22, 1, Numbered(1));  // not in use
  PutLink(stored, 5, 0xE2, 1, Numbered(2));
  stored.linkCount = 5;  // slot 5 lies beyond the links read

  f.live->MergeStored(*f.loaded);

  EXPECT_EQ(live.linkFlags, 0xA2) << "the modem's flags win";
  EXPECT_STREQ(live.name, "Kitchen keypad");
  EXPECT_EQ(live.category, 0x01);
  EXPECT_EQ(live.engineVersion, 2);
  EXPECT_EQ(live.level, 0x80);
  EXPECT_EQ(live.categoryTries, 0);
  EXPECT_EQ(live.versionTries, 0);
  EXPECT_EQ(live.get_statusTries, 5);
  EXPECT_EQ(live.aldbReadState, 0);
  EXPECT_EQ(live.workFlags, kWorkStatusWanted);
  EXPECT_EQ(live.groupStates, 0);
  EXPECT_EQ(live.minutesOnMonth, 1234u);
  EXPECT_EQ(live.tileRect[2], 321);
  EXPECT_EQ(live.linkCount, 5);
  EXPECT_EQ(f.live->records[1].level, 0x33) << "a record with nothing stored keeps its own";

  ASSERT_EQ(f.live->count, 3u);
  const DeviceRecord& discovered = f.live->records[2];
  EXPECT_EQ(discovered.id, kRemote);
  EXPECT_EQ(discovered.group, 0);
  EXPECT_FALSE(discovered.IdentityKnown());
  EXPECT_EQ(discovered.aldbReadState, 0);
  EXPECT_NE(f.live->dbFlags & kDbMerged, 0) << "the data file may be saved now";
}

TEST(DeviceDatabase, MergeResetsCountersByKind) {
  struct Case {
    uint8_t category, subcategory, engine;
    uint8_t linkCount;
    uint8_t level, engineAfter, statusTries, readState;
  };
  const Case cases[] = {
      // cat  sub  engine links  level engine tries readState
      {0x01, 0x20, 2, 3, 0x80, 2, 5, 2},
      {0x01, 0x20, 3, 3, 0x80, 3, 5, 2},
      {0x01, 0x20, 1, 3, 0x80, 1, 5, 2},
      {0x01, 0x20, 0, 3, 0x80, 0, 5, 2},
      {0x01, 0x20, 7, 3, 0x80, 0, 5, 2},  // not a version: forgotten
      {0x02, 0x2A, 0xFF, 3, 0x80, 0, 5, 2},
      {0x00, 0x05, 2, 3, 0x00, 2, 5, 2},  // remotes, modems and sensors have no level
      {0x03, 0x15, 2, 3, 0x00, 2, 5, 2},
      {0x10, 0x01, 2, 3, 0x00, 2, 5, 2},
      {0x00, 0x00, 2, 3, 0x00, 2, 0, 2},  // identity unknown: status asked again
      {0x01, 0x20, 2, 0, 0x80, 2, 0, 1},  // no links: the table is read again
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << "cat " << int{c.category} << " sub "
                                      << int{c.subcategory} << " engine " << int{c.engine}
                                      << " links " << int{c.linkCount});
    MergeFixture f;
    DeviceRecord& live = Put(*f.live, 1, kDimmer);
    DeviceRecord& stored = Put(*f.loaded, 1, kDimmer);
    stored.category = c.category;
    stored.subcategory = c.subcategory;
    stored.engineVersion = c.engine;
    stored.versionTries = 9;
    stored.linkCount = c.linkCount;
    stored.level = 0x80;
    stored.get_statusTries = 5;
    stored.aldbReadState = 2;
    f.live->MergeStored(*f.loaded);
    EXPECT_EQ(live.level, c.level);
    EXPECT_EQ(live.engineVersion, c.engineAfter);
    EXPECT_EQ(live.versionTries, 0);
    EXPECT_EQ(live.get_statusTries, c.statusTries);
    EXPECT_EQ(live.aldbReadState, c.readState);
  }
}

TEST(DeviceDatabase, MergeFollowsDevicesKnownOnlyFromLinks) {
  MergeFixture f;
  DeviceRecord& keypad = Put(*f.live, 1, kKeypad);
  DeviceRecord& storedKeypad = Put(*f.loaded, 1, kKeypad);
  storedKeypad.category = 0x01;
  PutLink(storedKeypad, 0, 0xE2, 1, kRemote);
  // The remote was saved as a group-0 record last time, with a link of its own.
  DeviceRecord& storedRemote = Put(*f.loaded, 0, kRemote);
  std::strcpy(storedRemote.name, "Bedside remote");
  storedRemote.category = 0x00;
  storedRemote.subcategory = 0x05;
  PutLink(storedRemote, 0, 0xE2, 1, kDimmer);

  f.live->MergeStored(*f.loaded);
  EXPECT_EQ(keypad.category, 0x01);
  ASSERT_EQ(f.live->count, 3u);
  EXPECT_EQ(f.live->records[1].id, kRemote);
  EXPECT_STREQ(f.live->records[1].name, "Bedside remote") << "the discovered record is merged too";
  EXPECT_EQ(f.live->records[2].id, kDimmer) << "and its links discover in turn";
  EXPECT_EQ(f.live->records[2].group, 0);
}

TEST(DeviceDatabase, MergeBoundsDamagedStoredRecords) {
  MergeFixture f;
  DeviceRecord& live = Put(*f.live, 1, kKeypad);
  DeviceRecord& stored = Put(*f.loaded, 1, kKeypad);
  PutLink(stored, 32, 0xE2, 1, kRemote);
  stored.linkCount = 0xFF;
  std::memset(stored.name, 'A', sizeof stored.name);
  f.live->MergeStored(*f.loaded);
  EXPECT_EQ(live.linkCount, kLinksPerDevice);
  EXPECT_EQ(std::string(live.name), std::string(kNameWidth - 1, 'A'));
  EXPECT_EQ(f.live->FindDevice(kRemote), 1);
}

TEST(DeviceDatabase, MergeFillsTheTableNoFurtherThanCapacity) {
  MergeFixture f;
  DeviceRecord& live = Put(*f.live, 1, kKeypad);
  for (uint32_t i = 1; i < kMaxDevices - 1; ++i) Put(*f.live, 1, Numbered(1000 + i));
  DeviceRecord& stored = Put(*f.loaded, 1, kKeypad);
  for (int k = 0; k < kLinksPerDevice; ++k) PutLink(stored, k, 0xE2, 1, Numbered(static_cast<uint32_t>(k)));
  f.live->records[480].level = 0x5A;
  f.live->MergeStored(*f.loaded);
  EXPECT_EQ(f.live->count, kMaxDevices);
  EXPECT_EQ(f.live->records[478].id, Numbered(0));
  EXPECT_EQ(f.live->records[479].id, Numbered(32)) << "the last append overwrote the uncounted slot";
  EXPECT_EQ(f.live->records[480].level, 0x5A);
  EXPECT_EQ(live.linkCount, kLinksPerDevice);
}

TEST(DeviceDatabase, RepairLoadedBoundsADamagedImage) {
  auto db = NewDb();
  // A foreign or damaged file of the right size: counts far too large, link counts
  // above the slots, unterminated names and a picture that runs into byte 812.
  db->count = 5000;
  db->reserveCount = 0xFFFFFFFF;
  db->records[3].linkCount = 200;
  db->records[3].id = kKeypad;
  db->records[3].linkFlags = 0xE2;
  db->records[480].linkCount = 34;
  std::memset(db->records[5].name, 'N', kNameWidth);
  std::memcpy(db->records[6].picture, "remotelinc-2.bmp\x01", kPictureWidth);
  db->reserveTable[2].linkCount = 99;
  std::memset(db->reserveTable[4].name, 'R', kNameWidth);

  const std::string repaired = db->RepairLoaded();
  EXPECT_NE(repaired.find("count 5000 limited to 479"), std::string::npos) << repaired;
  EXPECT_NE(repaired.find("reserveCount 4294967295 limited to 33"), std::string::npos) << repaired;
  EXPECT_NE(repaired.find("linkCount limited to 33 in 2 records, first slot 3"), std::string::npos) << repaired;
  EXPECT_NE(repaired.find("name terminated in 1 records, first slot 5"), std::string::npos) << repaired;
  EXPECT_NE(repaired.find("reserve table linkCount"), std::string::npos) << repaired;
  EXPECT_NE(repaired.find("reserve table name"), std::string::npos) << repaired;
  EXPECT_EQ(db->count, kMaxDevices);
  EXPECT_EQ(db->reserveCount, static_cast<uint32_t>(kReserveSlots));
  EXPECT_EQ(db->records[3].linkCount, kLinksPerDevice);
  EXPECT_EQ(db->records[480].linkCount, kLinksPerDevice);
  EXPECT_EQ(db->reserveTable[2].linkCount, kLinksPerDevice);
  EXPECT_EQ(std::string(db->records[5].name), std::string(kNameWidth - 1, 'N'));
  EXPECT_EQ(std::string(db->reserveTable[4].name), std::string(kNameWidth - 1, 'R'));
  EXPECT_EQ(db->records[6].picture[kPictureNameWidth], 1) << "the large-tile flag stays";
  EXPECT_EQ(PictureText(db->records[6]), "remotelinc-2.bmp");

  EXPECT_EQ(db->RepairLoaded(), "") << "a sound image needs nothing";

  // The repaired copy is safe to merge and to search.
  auto live = NewDb();
  Put(*live, 0, kKeypad);
  live->MergeStored(*db);
  EXPECT_EQ(live->records[0].linkCount, kLinksPerDevice);
  EXPECT_FALSE(db->InReserveTable(kRemote));
  EXPECT_EQ(db->FindDevice(kRemote), -1);
}

TEST(DeviceDatabase, ResetKeepsRecordsAndClearAllZeroesThem) {
  auto db = NewDb();
  Put(*db, 1, kDimmer);
  db->plm.plmId = kModem;
  db->plm.plmFound = 1;
  db->plm.plmConfigAcked = 1;
  db->plm.plmConfigFlags = 0x40;
  db->dbFlags = kDbMerged;
  db->checkFlagsHourCode = 0x77;
  db->reserveCount = 2;
  db->traceHook = [](std::string_view) {};
  db->Reset();
  EXPECT_EQ(db->count, 0u);
  EXPECT_EQ(db->reserveCount, 0u);
  EXPECT_EQ(db->plm.plmFound, 0);
  EXPECT_EQ(db->plm.plmConfigAcked, 0) << "the modem is configured again";
  EXPECT_EQ(db->plm.plmConfigFlags, 0);
  EXPECT_EQ(db->plm.plmId, kModem);
  EXPECT_EQ(db->dbFlags, 0);
  EXPECT_EQ(db->checkFlagsHourCode, 3);
  EXPECT_FALSE(db->traceHook);
  EXPECT_EQ(db->records[0].id, kDimmer) << "reset does not touch the records";

  db->reserveTable[1].level = 5;
  db->ClearAll();
  EXPECT_EQ(db->records[0].id, InsteonId::From(0, 0, 0));
  EXPECT_EQ(db->records[0].linkFlags, 0);
  EXPECT_EQ(db->reserveTable[1].level, 0);
}

}  // namespace
}  // namespace quorvel

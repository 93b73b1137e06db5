#include "plm/send_queues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "automation/event_action.h"
#include "automation/event_record.h"
#include "queue_rig.h"
#include "sim/house_file.h"
#include "sim/sim_network.h"
#include "sim/sim_port.h"
#include "support/memory_file_system.h"
#include "support/sim_rig.h"

namespace quorvel {
namespace {

using testing::AckFrame;
using testing::QueueRig;
using testing::StandardFrame;
using testing::WrittenMessage;

const InsteonId kDimmer = InsteonId::From(0x1a, 0x2b, 0x3c);
const InsteonId kRelay = InsteonId::From(0x2a, 0x2b, 0x2c);
const InsteonId kUnknownKind = InsteonId::From(0x3a, 0x3b, 0x3c);
const InsteonId kMotion = InsteonId::From(0x4a, 0x4b, 0x4c);
const InsteonId kStranger = InsteonId::From(0x5a, 0x5b, 0x5c);

std::vector<WrittenMessage> SendsTo(QueueRig& q, const InsteonId& id, int cmd1 = -1) {
  std::vector<WrittenMessage> out;
  for (const WrittenMessage& m : q.WrittenWithCode(0x62))
    if (InsteonId::FromBytes(&m.bytes[2]) == id && (cmd1 < 0 || m.bytes[6] == cmd1)) out.push_back(m);
  return out;
}

int SmallestGap(const std::vector<WrittenMessage>& sends) {
  int gap = 1 << 30;
  for (size_t i = 1; i < sends.size(); ++i) gap = std::min(gap, sends[i].tick - sends[i - 1].tick);
  return gap;
}

bool AllQueuesIdle(QueueRig& q) {
  SendQueues& s = q.queues();
  return s.replyRing.Empty() && s.plainRing.Empty() && s.delayedRing.Empty() && s.modem.Empty();
}

int CountContaining(const std::vector<std::string>& lines, const std::string& part) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                        [&](const std::string& l) { return l.find(part) != std::string::npos; }));
}

// --- Pacing and retries ----------------------------------------------------------

struct PacingCase {
  const char* name;
  std::function<void(QueueRig&)> setup;
  InsteonId target;
  uint8_t cmd1;
  int sends;     // times the command goes out before the queues give it up
  int minGap;    // at least this many ticks between two of its sends
  uint8_t noResponse;
  bool held;
};

TEST(SendQueuePacing, UnansweredCommandsAreRetriedThenGivenUp) {
  const std::vector<PacingCase> cases = {
      {"powered dimmer: sent twice, then no response, not held",
       [](QueueRig& q) {
         q.AddDevice(kDimmer, 0x01, 0x20);
         SendStandard(q.ctx(), kDimmer, 0x11, 0xFF);
       },
       kDimmer, 0x11, 2, 50, 1, false},
      {"a busy network raises maxTries to 2: sent three times",
       [](QueueRig& q) {
         q.AddDevice(kDimmer, 0x01, 0x20);
         q.AddDevice(kRelay, 0x02, 0x2A);
         // The relay takes six ticks to answer its ON; the ring counts that as busy.
         SendStandard(q.ctx(), kRelay, 0x11, 0xFF);
         ASSERT_TRUE(q.TickUntil([&] { return !SendsTo(q, kRelay).empty(); }, 20));
         q.Ticks(6);
         q.Feed(AckFrame(kRelay, 0x11, 0xFF));
         ASSERT_TRUE(q.TickUntil([&] { return q.queues().replyRing.Empty(); }, 5));
         EXPECT_EQ(q.queues().replyRing.maxTries, 2);
         SendStandard(q.ctx(), kDimmer, 0x13, 0x00);
       },
       kDimmer, 0x13, 3, 50, 1, false},
      {"device of unknown kind: sent twice, then held for its next message",
       [](QueueRig& q) {
         q.AddDevice(kUnknownKind, 0x00, 0x00);
         SendStandard(q.ctx(), kUnknownKind, 0x19, 0x00);
       },
       kUnknownKind, 0x19, 2, 50, 1, true},
      {"sleeping motion sensor: held at once, never sent",
       [](QueueRig& q) {
         q.AddDevice(kMotion, 0x10, 0x01);
         SendStandard(q.ctx(), kMotion, 0x11, 0xFF);
       },
       kMotion, 0x11, 0, 0, 0, true},
      {"device not in the database: nothing at all",
       [](QueueRig& q) { SendStandard(q.ctx(), kStranger, 0x11, 0xFF); }, kStranger, 0x11, 0, 0, 0, false},
  };
  for (const PacingCase& c : cases) {
    SCOPED_TRACE(c.name);
    QueueRig q;
    c.setup(q);
    ASSERT_TRUE(q.TickUntil([&] { return AllQueuesIdle(q); }, 2000));
    q.Ticks(200);  // nothing more goes out once given up

    const std::vector<WrittenMessage> sends = SendsTo(q, c.target, c.cmd1);
    EXPECT_EQ(static_cast<int>(sends.size()), c.sends);
    if (sends.size() > 1) {
      EXPECT_GE(SmallestGap(sends), c.minGap);
    }
    const int slot = q.ctx().db.FindDevice(c.target);
    if (slot >= 0) {
      EXPECT_EQ(q.ctx().db[slot].noResponse, c.noResponse);
    }
    EXPECT_EQ(FindHeldFor(q.ctx(), c.target) >= 0, c.held);
    EXPECT_EQ(q.queues().hold.heldCount, c.held ? 1 : 0);
  }
}

TEST(SendQueuePacing, AnsweredCommandCompletesAndTheRingHoldsOff) {
  QueueRig q;
  q.AddDevice(kDimmer, 0x01, 0x20);
  q.Answering(kDimmer);
  SendStandard(q.ctx(), kDimmer, 0x11, 0xFF);
  SendStandard(q.ctx(), kDimmer, 0x13, 0x00);
  ASSERT_TRUE(q.TickUntil([&] { return AllQueuesIdle(q); }, 200));
  const std::vector<WrittenMessage> on = SendsTo(q, kDimmer, 0x11);
  const std::vector<WrittenMessage> off = SendsTo(q, kDimmer, 0x13);
  ASSERT_EQ(on.size(), 1u) << "an answered command is not sent again";
  ASSERT_EQ(off.size(), 1u);
  // Completion takes a tick, then the ring holds off 2 ticks before the OFF.
  EXPECT_GE(off[0].tick - on[0].tick, 3);
  EXPECT_LT(off[0].tick - on[0].tick, 10);
  const std::vector<uint8_t> expected = {0x02, 0x62, 0x1a, 0x2b, 0x3c, 0x0F, 0x11, 0xFF};
  EXPECT_EQ(on[0].bytes, expected);
  EXPECT_EQ(CountContaining(q.Activity(), "Sent 1a.2b.3c   On 100%"), 1);
  EXPECT_EQ(CountContaining(q.Activity(), "Sent 1a.2b.3c  Off "), 1);
}

TEST(SendQueuePacing, OnlyNamedCommandsGetASentLine) {
  QueueRig q;
  q.AddDevice(kDimmer, 0x01, 0x20);
  q.Answering(kDimmer);
  SendStandard(q.ctx(), kDimmer, 0x28, 0x0F);  // set address: no name
  SendStandard(q.ctx(), kDimmer, 0x0D, 0x00);
  ASSERT_TRUE(q.TickUntil([&] { return AllQueuesIdle(q); }, 200));
  EXPECT_EQ(SendsTo(q, kDimmer).size(), 2u);
  EXPECT_EQ(CountContaining(q.Activity(), "Sent "), 1);
  EXPECT_EQ(CountContaining(q.Activity(), "Sent 1a.2b.3c  Request IEV"), 1);
}

TEST(SendQueuePacing, DelayedRingWaitsForItsHeadAndSendsOnce) {
  QueueRig q;
  q.AddDevice(kDimmer, 0x01, 0x20);
  q.AddDevice(kRelay, 0x02, 0x2A);
  EventRecord twoMinutes{};
  twoMinutes.isLogicEvent = 1;
  twoMinutes.msgFlags = 0x0F;
  twoMinutes.targetId = kDimmer;
  twoMinutes.cmd1 = 0x11;
  twoMinutes.cmd2 = 0xFF;
  twoMinutes.delayMinutes = 2;
  EventRecord fiveSeconds = twoMinutes;
  fiveSeconds.delayMinutes = 0;
  fiveSeconds.delaySeconds = 5;
  fiveSeconds.targetId = kRelay;
  const Time queued = q.ctx().clock.Now();
  ASSERT_TRUE(RouteAction(q.ctx(), twoMinutes));
  ASSERT_TRUE(RouteAction(q.ctx(), fiveSeconds));
  EXPECT_EQ(q.queues().delayedRing.Size(), 2);

  // While the head waits, other traffic still goes out.
  q.Answering(kRelay);
  SendStandard(q.ctx(), kRelay, 0x10, 0x00);
  const uint8_t config[] = {0x73};
  EnqueueModemCommand(q.ctx(), config, sizeof config);
  q.Ticks(100);
  EXPECT_EQ(SendsTo(q, kRelay, 0x10).size(), 1u);
  EXPECT_FALSE(q.WrittenWithCode(0x73).empty());
  EXPECT_TRUE(SendsTo(q, kDimmer).empty());
  EXPECT_TRUE(SendsTo(q, kRelay, 0x11).empty()) << "the ring is first in, first out";

  ASSERT_TRUE(q.TickUntil([&] { return q.queues().delayedRing.Empty(); }, 1500));
  q.Ticks(300);
  const std::vector<WrittenMessage> first = SendsTo(q, kDimmer, 0x11);
  const std::vector<WrittenMessage> second = SendsTo(q, kRelay, 0x11);
  ASSERT_EQ(first.size(), 1u) << "a delayed message is sent exactly once";
  ASSERT_EQ(second.size(), 1u);
  const Time firstSent = queued + first[0].tick * testing::kTickMillis / 1000;
  EXPECT_GE(firstSent, queued + 120);
  EXPECT_LE(firstSent, queued + 125) << "just after the two minutes";
  EXPECT_GE(second[0].tick - first[0].tick, 8);
}

TEST(SendQueuePacing, ModemCommandIsTriedTwiceThenDroppedWithoutAWord) {
  QueueRig q;
  const uint8_t manage[] = {0x6F, 0x40, 0xA2, 0x01, 0x1a, 0x2b, 0x3c, 0x01, 0x20, 0x41};
  ASSERT_TRUE(EnqueueModemCommand(q.ctx(), manage, sizeof manage));
  const size_t linesBefore = q.Activity().size();
  ASSERT_TRUE(q.TickUntil([&] { return q.queues().modem.Empty(); }, 300));
  q.Ticks(100);
  const std::vector<WrittenMessage> sends = q.WrittenWithCode(0x6F);
  ASSERT_EQ(sends.size(), 2u);
  EXPECT_GE(SmallestGap(sends), 40);
  const std::vector<uint8_t> expected = {0x02, 0x6F, 0x40, 0xA2, 0x01, 0x1a, 0x2b, 0x3c, 0x01, 0x20, 0x41};
  EXPECT_EQ(sends[0].bytes, expected);
  EXPECT_EQ(q.Activity().size(), linesBefore);
}

TEST(SendQueuePacing, RingsAreNotServedWhileTheModemTableIsRead) {
  QueueRig q;
  q.AddDevice(kDimmer, 0x01, 0x20);
  SendStandard(q.ctx(), kDimmer, 0x11, 0xFF);
  const uint8_t next[] = {0x6A};
  EnqueueModemCommand(q.ctx(), next, sizeof next);
  for (int i = 0; i < 30; ++i) EXPECT_FALSE(q.Tick(/*tableRead=*/true));
  EXPECT_TRUE(SendsTo(q, kDimmer).empty());
  EXPECT_EQ(q.WrittenWithCode(0x6A).size(), 1u) << "the modem queue still runs";
  EXPECT_TRUE(q.Tick(/*tableRead=*/false)) << "afterwards the ring takes the tick";
}

// --- Against the simulated modem --------------------------------------------------

// The whole road of one command: queued, written through the link to the
// modem, echoed, heard by the dimmer, acknowledged, framed and handled.
TEST(SendQueuesEndToEnd, OnToASimulatedDimmerCompletesAndSetsItsLevel) {
  TestClock clock(testing::kQueueStart);
  sim::House house;
  house.devices.emplace_back(kDimmer, 0x01, 0x20, 0x41, kEngineI2);
  sim::SimNetwork net(clock, std::move(house));
  sim::SimPort port(net, 1);
  testing::MemoryFileSystem files;
  NullNotifier notifier;
  auto ctx = std::make_unique<Context>(clock, port, files, notifier);
  ASSERT_TRUE(port.Open(1));
  DeviceDatabase& db = ctx->db;
  for (uint8_t group : {uint8_t{1}, uint8_t{4}}) {
    DeviceRecord& r = db.records[db.count++];
    r.linkFlags = 0xA2;
    r.group = group;
    r.id = kDimmer;
    r.category = 0x01;
    r.subcategory = 0x20;
    r.engineVersion = kEngineI2;
  }

  SendStandard(*ctx, kDimmer, 0x11, 0xC0);
  int ticks = 0;
  for (; ticks < 100 && !ctx->queues.replyRing.Empty(); ++ticks) {
    ctx->framer.PumpReceive(*ctx);
    TransmitStep(*ctx, false);
    clock.AdvanceMillis(testing::kTickMillis);
  }
  EXPECT_LT(ticks, 20) << "answered, not given up";
  EXPECT_EQ(net.Device(kDimmer)->level, 0xC0);
  EXPECT_EQ(db[0].level, 0xC0);
  EXPECT_EQ(db[1].level, 0xC0);
  EXPECT_EQ(db[0].noResponse, 0);
  EXPECT_GT(db[0].timeLastOn, 0);
  EXPECT_EQ(ctx->queues.replyRing.slots[0].status, kEntryDone);
  EXPECT_EQ(ctx->queues.replyRing.slots[0].tries, 1) << "sent once";
  EXPECT_EQ(ctx->incoming.lastcmd1, 0x11);
}

// A keypad (i2cs) and a relay (i2), both linked to the modem.
constexpr const char* kAnsweringHouse = R"(
modem 1e.65.a2 category 03 subcategory 15 firmware 9e
device 2a.10.04 "Hall Keypad" category 01 subcategory 1c firmware 41 engine i2cs
link responder 1 1e.65.a2 ff 1c 01
link controller 1 1e.65.a2 03 00 01
device 2a.10.05 "Porch Light" category 02 subcategory 1c firmware 45 engine i2
link responder 1 1e.65.a2 ff 00 01
)";
const InsteonId kHallKeypad = InsteonId::From(0x2a, 0x10, 0x04);
const InsteonId kPorchLight = InsteonId::From(0x2a, 0x10, 0x05);

sim::House AnsweringHouse() {
  sim::House house;
  std::string error;
  EXPECT_TRUE(sim::ParseHouse(kAnsweringHouse, house, error)) << error;
  return house;
}

std::vector<uint8_t> ExtendedData(std::initializer_list<uint8_t> first) {
  std::vector<uint8_t> d(kExtendedDataBytes, 0);
  std::copy(first.begin(), first.end(), d.begin());
  return d;
}

bool RingsIdle(Context& c) { return c.queues.replyRing.Empty() && c.queues.plainRing.Empty() && c.queues.delayedRing.Empty(); }

// Messages that follow each other to one device, each once the one before is
// answered, and get acknowledgements equal byte for byte within the network's
// repeat window: each acknowledgement answers its own message, which is
// therefore sent once.
TEST(SendQueuesEndToEnd, EachAcknowledgedMessageGoesOutOnce) {
  struct Message {
    InsteonId to;
    uint8_t cmd1, cmd2;
    std::vector<uint8_t> data;  // empty: a standard message
  };
  struct Case {
    const char* name;
    std::vector<Message> messages;
  };
  const std::vector<Case> cases = {
      {"a link record read, then the record written (Link Watch's repair)",
       {{kPorchLight, 0x2F, 0x00, ExtendedData({0x00, 0x00, 0x0F, 0xF7, 0x01})},
        {kPorchLight, 0x2F, 0x00,
         ExtendedData({0x00, 0x02, 0x0F, 0xF7, 0x08, 0xA2, 0x01, 0x1E, 0x65, 0xA2, 0xFF, 0x00, 0x00})}}},
      {"the same ON twice", {{kPorchLight, 0x11, 0xFF, {}}, {kPorchLight, 0x11, 0xFF, {}}}},
      {"two settings requests to an i2cs keypad",
       {{kHallKeypad, 0x2E, 0x00, ExtendedData({0x01})}, {kHallKeypad, 0x2E, 0x00, ExtendedData({0x01})}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::SimRig rig(AnsweringHouse());
    rig.AddRecord(kHallKeypad);
    rig.AddRecord(kPorchLight);

    for (const Message& m : c.messages) {
      if (m.data.empty())
        SendStandard(*rig, m.to, m.cmd1, m.cmd2);
      else
        SendExtended(*rig, m.to, m.cmd1, m.cmd2, m.data.data());
      const int before = rig.steps;
      EXPECT_TRUE(rig.StepUntil([&] { return RingsIdle(*rig); }, 200));
      EXPECT_LT(rig.steps - before, 20) << "completed on its acknowledgement, not given up";
    }
    const std::vector<std::vector<uint8_t>> sent = rig.SentTo(c.messages[0].to, c.messages[0].cmd1);
    EXPECT_EQ(sent.size(), c.messages.size());
    for (size_t i = 0; i < sent.size() && i < c.messages.size(); ++i) {
      // D1..D13 as given; D14 may carry the i2cs checksum.
      const std::vector<uint8_t>& data = c.messages[i].data;
      if (!data.empty()) {
        EXPECT_TRUE(std::equal(data.begin(), data.end() - 1, sent[i].begin() + 8)) << "message " << i;
      }
    }
    EXPECT_EQ(rig->queues.counts.retries, 0u);
  }
}

// The keypad's engine-version reply asks for its settings once, though the
// keypad has records in two groups, and the answer completes the request.
TEST(SendQueuesEndToEnd, KeypadSettingsAreAskedOnceAndAnswered) {
  testing::SimRig rig(AnsweringHouse());
  rig.AddRecord(kHallKeypad, 1);
  rig.AddRecord(kHallKeypad, 3);
  rig->db[0].engineVersion = kEngineUnknown;
  rig->db[1].engineVersion = kEngineUnknown;
  rig.net.Device(kHallKeypad)->settings[2] = 0x5A;
  SendStandard(*rig, kHallKeypad, 0x0D, 0x00);
  ASSERT_TRUE(rig.StepUntil([&] { return rig->db[0].extData[2] == 0x5A && RingsIdle(*rig); }, 200));
  EXPECT_LT(rig.steps, 40);
  EXPECT_EQ(rig->db[0].engineVersion, kEngineI2cs);
  // Nothing more goes out once the keypad has answered.
  for (int i = 0; i < 150; ++i) rig.Step();
  EXPECT_EQ(rig.SentTo(kHallKeypad, 0x2E).size(), 1u);
  EXPECT_EQ(rig->queues.counts.retries, 0u);
}

// --- The i2cs checksum ----------------------------------------------------------

TEST(ExtendedChecksum, MatchesKnownGoodMessages) {
  struct Case {
    uint8_t cmd1, cmd2;
    std::vector<uint8_t> data;  // D1..D13 given, the rest zero
    uint8_t checksum;
  };
  const std::vector<Case> cases = {
      {0x2F, 0x00, {}, 0xD1},                                    // read the whole link table
      {0x09, 0x01, {}, 0xF6},                                    // enter linking mode, group 1
      {0x09, 0xFB, {}, 0xFC},                                    // link back to the modem in group 251
      {0x2E, 0x00, {0x01}, 0xD1},                                // ask button 1's settings
      {0x2E, 0x00, {0x00, 0x09, 0x05}, 0xC4},                    // keypad LEDs 1 and 3
      {0x2F, 0x00, {0x00, 0x02, 0x0F, 0xFF, 0x08, 0xE2, 0x01, 0x11, 0x22, 0x33, 0x01, 0x00, 0x00}, 0x6F},  // write a link
      {0x2F, 0x00, {0x00, 0x02, 0x0F, 0xF7, 0x08, 0xA2, 0x03, 0x11, 0x22, 0x33, 0xFF, 0x1C, 0x03}, 0x98},  // D13 counts
      {0xFF, 0xFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0x0F},  // carries wrap
  };
  for (const Case& c : cases) {
    uint8_t d[kExtendedDataBytes] = {};
    std::copy(c.data.begin(), c.data.end(), d);
    d[13] = 0x5A;  // whatever D14 held is not part of the sum
    EXPECT_EQ(ExtendedChecksum(c.cmd1, c.cmd2, d), c.checksum) << std::hex << int{c.cmd1} << " " << int{c.cmd2};
  }
}

TEST(ExtendedChecksum, FilledInOnlyForI2csAndTheCommandsThatCarryIt) {
  struct Case {
    const char* name;
    uint8_t engine;
    uint8_t cmd1;
    uint8_t d14;  // D14 as written to the modem
  };
  const std::vector<Case> cases = {
      {"i2cs read links", kEngineI2cs, 0x2F, 0xD1},
      {"i2cs settings", kEngineI2cs, 0x2E, 0xD1},
      {"i2cs linking mode", kEngineI2cs, 0x09, 0xF6},
      {"i2 read links keeps D14", kEngineI2, 0x2F, 0x00},
      {"i2cs other command keeps D14", kEngineI2cs, 0x20, 0x00},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QueueRig q;
    q.AddDevice(kDimmer, 0x01, 0x20, c.engine);
    uint8_t data[kExtendedDataBytes] = {};
    if (c.cmd1 == 0x2E) data[0] = 0x01;  // 0x2E 0x00 D1=1: sum 0x2F
    if (c.cmd1 == 0x09) data[0] = 0x01;  // 0x09 0x00 D1=1: sum 0x0A
    SendExtended(q.ctx(), kDimmer, c.cmd1, 0x00, data);
    ASSERT_TRUE(q.TickUntil([&] { return !SendsTo(q, kDimmer).empty(); }, 20));
    const WrittenMessage m = SendsTo(q, kDimmer)[0];
    ASSERT_EQ(m.bytes.size(), 22u);
    EXPECT_EQ(m.bytes[5], 0x1F);
    EXPECT_EQ(m.bytes[21], c.d14);
  }
}

// --- Routing of actions -----------------------------------------------------------

TEST(RouteAction, ChoosesTheRingFromDelayKindAndRetryClass) {
  struct Case {
    const char* name;
    uint8_t minutes, seconds, isTime, isLogic, retry;
    char ring;  // 'D' delayed, 'R' reply, 'P' plain
  };
  const std::vector<Case> cases = {
      {"logic event with a wait of minutes", 3, 0, 0, 1, 0, 'D'},
      {"logic event with a wait of seconds", 0, 9, 0, 1, 0, 'D'},
      {"seconds without the logic flag are not a delay", 0, 9, 0, 0, 0, 'P'},
      {"minutes alone are a delay", 1, 0, 0, 0, 5, 'D'},
      {"a time event's own offset never delays", 30, 0, 1, 0, 5, 'R'},
      {"retry class sends it to the reply ring", 0, 0, 0, 0, 5, 'R'},
      {"no retry class: plain", 0, 0, 0, 1, 0, 'P'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QueueRig q;
    EventRecord a{};
    a.msgFlags = 0x0F;
    a.targetId = kDimmer;
    a.cmd1 = 0x11;
    a.cmd2 = 0x80;
    a.delayMinutes = c.minutes;
    a.delaySeconds = c.seconds;
    a.isTimeEvent = c.isTime;
    a.isLogicEvent = c.isLogic;
    a.retryClass = c.retry;
    ASSERT_TRUE(RouteAction(q.ctx(), a));
    SendQueues& s = q.queues();
    EXPECT_EQ(s.delayedRing.Size(), c.ring == 'D' ? 1 : 0);
    EXPECT_EQ(s.replyRing.Size(), c.ring == 'R' ? 1 : 0);
    EXPECT_EQ(s.plainRing.Size(), c.ring == 'P' ? 1 : 0);
    const RingSlots& ring = c.ring == 'D' ? static_cast<RingSlots&>(s.delayedRing)
                            : c.ring == 'R' ? static_cast<RingSlots&>(s.replyRing)
                                            : static_cast<RingSlots&>(s.plainRing);
    const RingEntry& e = ring.slots[ring.head];
    EXPECT_EQ(e.id, kDimmer);
    EXPECT_EQ(e.cmd2, 0x80);
    EXPECT_EQ(e.retryClass, c.retry);
    EXPECT_EQ(e.pending, c.ring == 'R' ? 1 : 0);
    EXPECT_EQ(e.delayMinutes, c.ring == 'D' ? c.minutes : 0);
    EXPECT_EQ(e.timeQueued, q.ctx().clock.Now());
  }
}

TEST(ExecuteEventAction, SendsGroupInsteonOrX10) {
  QueueRig q;
  EventRecord group{};
  group.isGroup = 1;
  group.group = 5;
  group.cmd1 = 0x11;
  ExecuteEventAction(q.ctx(), group);
  EventRecord x10{};
  x10.targetKind = 1;
  x10.x10House = 6;  // A
  x10.x10Unit = 6;   // 1
  x10.x10Function = kX10Off;
  ExecuteEventAction(q.ctx(), x10);
  EventRecord bogusX10 = x10;
  bogusX10.x10Function = 7;
  ExecuteEventAction(q.ctx(), bogusX10);
  EventRecord device{};
  device.msgFlags = 0x0F;
  device.targetId = kStranger;  // time events do not look the target up
  device.cmd1 = 0x13;
  device.retryClass = 5;
  ExecuteEventAction(q.ctx(), device);

  EXPECT_EQ(q.queues().replyRing.Size(), 1);
  EXPECT_EQ(CountContaining(q.Activity(), "Computer Group 5 On"), 1);
  const PlmCommandQueue& m = q.queues().modem;
  ASSERT_EQ(m.Size(), 3);
  const std::vector<std::vector<uint8_t>> expected = {{0x61, 5, 0x11, 0x00}, {0x63, 0x66, 0x00}, {0x63, 0x63, 0x80}};
  for (int i = 0; i < 3; ++i) {
    const PlmCommand& c = m.entries[(m.head + i) % kModemQueueSlots];
    EXPECT_EQ(std::vector<uint8_t>(c.bytes, c.bytes + c.length), expected[i]);
  }
}

TEST(ModemQueue, X10IsFourTransmissionsAndAReadBlocksNewCommands) {
  QueueRig q;
  SendX10(q.ctx(), 6, 6, kX10On);
  size_t echoed = 0;
  for (int t = 0; t < 400 && !q.queues().modem.Empty(); ++t) {
    q.Tick();
    // The modem's X10 echo never completes the command.
    const std::vector<WrittenMessage> sent = q.WrittenWithCode(0x63);
    for (; echoed < sent.size(); ++echoed) q.Feed({0x02, 0x63, sent[echoed].bytes[2], sent[echoed].bytes[3], 0x06});
  }
  std::vector<std::vector<uint8_t>> x10;
  for (const WrittenMessage& m : q.WrittenWithCode(0x63)) x10.push_back(m.bytes);
  const std::vector<std::vector<uint8_t>> expected = {
      {0x02, 0x63, 0x66, 0x00}, {0x02, 0x63, 0x66, 0x00}, {0x02, 0x63, 0x62, 0x80}, {0x02, 0x63, 0x62, 0x80}};
  EXPECT_EQ(x10, expected);

  const uint8_t next[] = {0x6A};
  const uint8_t group[] = {0x61, 0x01, 0x11, 0x00};
  const uint8_t tooLong[13] = {0x6F};
  EXPECT_TRUE(EnqueueModemCommand(q.ctx(), next, sizeof next));
  const size_t lines = q.Activity().size();
  SendGroupCommand(q.ctx(), 1, 0x11);
  EXPECT_FALSE(EnqueueModemCommand(q.ctx(), next, sizeof next));
  EXPECT_EQ(q.queues().modem.Size(), 1) << "the modem is busy with its table";
  const std::vector<std::string> after = q.Activity();
  ASSERT_EQ(after.size(), lines + 1) << "the user's command is reported as not sent, the engine's own is not";
  EXPECT_EQ(after.back(), "PLM busy, PLM command not queued - 61 01 11 00");
  ASSERT_TRUE(q.TickUntil([&] { return !q.WrittenWithCode(0x6A).empty(); }, 20));
  q.Feed({0x02, 0x6A, 0x06});
  ASSERT_TRUE(q.TickUntil([&] { return q.queues().modem.Empty(); }, 20));
  EXPECT_FALSE(EnqueueModemCommand(q.ctx(), tooLong, sizeof tooLong)) << "13 bytes never fit";
  EXPECT_TRUE(EnqueueModemCommand(q.ctx(), group, sizeof group));
  EXPECT_EQ(q.WrittenWithCode(0x6A).size(), 1u) << "answered, so sent once";
}

TEST(ModemQueue, AReplyCompletesOnlyTheSentCommandItAnswers) {
  QueueRig q;
  const uint8_t add[] = {0x6F, 0x41, 0xA2, 0x01, 0x1a, 0x2b, 0x3c, 0x01, 0x20, 0x41};
  const uint8_t group[] = {0x61, 0x05, 0x11, 0x00};
  EnqueueModemCommand(q.ctx(), add, sizeof add);
  EnqueueModemCommand(q.ctx(), group, sizeof group);
  // The search's own identity request is answered before the add went out.
  q.Feed({0x02, 0x60, 0x11, 0x22, 0x33, 0x03, 0x15, 0x9B, 0x06});
  EXPECT_EQ(q.queues().modem.Head().status, 0) << "an unsent command is not done";
  ASSERT_TRUE(q.TickUntil([&] { return !q.WrittenWithCode(0x6F).empty(); }, 5));
  q.Feed({0x02, 0x61, 0x05, 0x11, 0x00, 0x06});  // a late echo of something else
  EXPECT_EQ(q.queues().modem.Head().status, 0);
  q.Feed({0x02, 0x6F, 0x41, 0xA2, 0x01, 0x1a, 0x2b, 0x3c, 0x01, 0x20, 0x41, 0x06});
  EXPECT_EQ(q.queues().modem.Head().status, kEntryDone);
  ASSERT_TRUE(q.TickUntil([&] { return !q.WrittenWithCode(0x61).empty(); }, 5));
  EXPECT_EQ(q.WrittenWithCode(0x6F).size(), 1u);
}

// --- Held commands ------------------------------------------------------------------

TEST(HoldQueue, SleepingWirelessDeviceGetsItsCommandWhenHeardFrom) {
  QueueRig q;
  q.AddDevice(kMotion, 0x10, 0x01);
  SendStandard(q.ctx(), kMotion, 0x11, 0xFF);
  SendStandard(q.ctx(), kMotion, 0x11, 0xFF);  // the same command again adds nothing
  SendStandard(q.ctx(), kMotion, 0x13, 0x00);
  EXPECT_EQ(q.queues().hold.heldCount, 2);
  EXPECT_EQ(CountContaining(q.Activity(), "Wireless Device, Command qued for activity - 4a.4b.4c cmd1=11, cmd2=ff"), 1);
  EXPECT_EQ(CountContaining(q.Activity(),
                            "For Motion Sensor - 4a.4b.4c ;  Press SET button, or Create Motion, or Light Change."),
            2);
  std::vector<std::string> rows = q.Queued();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].rfind("Held - 0F  4A.4B.4C   11 FF  Tries:0", 0), 0u) << rows[0];
  EXPECT_EQ(rows[1].rfind("Held - 0F  4A.4B.4C   13 00  Tries:0", 0), 0u) << rows[1];
  EXPECT_EQ(q.rig->log.Lines(LogChannel::QuedForActivity)[0].rowData, kMotion.Value());
  q.Ticks(100);
  EXPECT_TRUE(SendsTo(q, kMotion).empty()) << "a sleeping device hears nothing";

  // Any standard message from the sensor wakes it: motion ON to its group 1.
  q.Feed(StandardFrame(kMotion, InsteonId::From(0, 0, 1), 0xCF, 0x11, 0x00));
  EXPECT_EQ(q.queues().hold.heldCount, 0);
  EXPECT_EQ(FindHeldFor(q.ctx(), kMotion), -1);
  EXPECT_TRUE(q.Queued().empty()) << "the tab lists only what is still held";
  EXPECT_EQ(q.queues().replyRing.holdoff, 5);
  q.Answering(kMotion);
  ASSERT_TRUE(q.TickUntil([&] { return q.queues().replyRing.Empty(); }, 100));
  const std::vector<WrittenMessage> sends = SendsTo(q, kMotion);
  ASSERT_EQ(sends.size(), 2u);
  EXPECT_EQ(sends[0].bytes[6], 0x11);
  EXPECT_EQ(sends[1].bytes[6], 0x13);
}

TEST(HoldQueue, HeldExtendedReadOfAnI1DeviceIsDropped) {
  QueueRig q;
  DeviceRecord& remote = q.AddDevice(kMotion, 0x00, 0x05, kEngineI1);  // an old RemoteLinc
  remote.versionTries = 3;
  SendExtended(q.ctx(), kMotion, 0x2F, 0x00, nullptr);
  SendExtended(q.ctx(), kMotion, 0x2E, 0x00, nullptr);
  SendExtended(q.ctx(), kMotion, 0x2E, 0x00, nullptr);  // settings writes are all kept
  EXPECT_EQ(q.queues().hold.heldCount, 3);
  q.Feed(StandardFrame(kMotion, InsteonId::From(0, 0, 1), 0xCF, 0x13, 0x00));
  EXPECT_EQ(q.queues().hold.heldCount, 0);
  EXPECT_EQ(q.ctx().db[0].versionTries, 0) << "its engine is asked again";
  q.Answering(kMotion);
  ASSERT_TRUE(q.TickUntil([&] { return q.queues().replyRing.Empty(); }, 100));
  EXPECT_TRUE(SendsTo(q, kMotion, 0x2F).empty());
  const std::vector<WrittenMessage> settings = SendsTo(q, kMotion, 0x2E);
  ASSERT_EQ(settings.size(), 2u);
  EXPECT_EQ(settings[0].bytes.size(), 22u) << "released as the extended message it was";
}

TEST(HoldQueue, NoResponseHoldsAndRemoveHeldForKeepsTheCountTrue) {
  QueueRig q;
  q.AddDevice(kUnknownKind, 0x00, 0x00);
  q.AddDevice(kMotion, 0x10, 0x02);  // a TriggerLinc
  SendStandard(q.ctx(), kUnknownKind, 0x19, 0x00);
  SendStandard(q.ctx(), kMotion, 0x11, 0xFF);
  SendStandard(q.ctx(), kMotion, 0x13, 0x00);
  ASSERT_TRUE(q.TickUntil([&] { return q.queues().replyRing.Empty(); }, 500));
  EXPECT_EQ(CountContaining(q.Activity(), "No Response - 3a.3b.3c. Command 19 00 qued for activity."), 1);
  EXPECT_EQ(q.queues().hold.heldCount, 3);
  std::vector<std::string> rows = q.Queued();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].rfind("Held - 0F  3A.3B.3C   19 00  Tries:2", 0), 0u) << rows[2];

  RemoveHeldFor(q.ctx(), kMotion);
  EXPECT_EQ(q.queues().hold.heldCount, 1) << "the count follows the slots in use";
  EXPECT_EQ(FindHeldFor(q.ctx(), kMotion), -1);
  EXPECT_EQ(q.Queued().size(), 1u);
  // Every slot can be taken again and the count still matches.
  for (int i = 0; i < kHoldSlots; ++i) SendStandard(q.ctx(), kMotion, static_cast<uint8_t>(i), 0x00);
  int inUse = 0;
  for (const RingEntry& e : q.queues().hold.slots) inUse += HoldQueue::InUse(e) ? 1 : 0;
  EXPECT_EQ(inUse, kHoldSlots);
  EXPECT_EQ(q.queues().hold.heldCount, kHoldSlots);
}

// --- Full queues --------------------------------------------------------------------

struct FullCase {
  const char* name;
  int capacity;
  std::function<void(QueueRig&, int)> add;  // queues entry number i (distinct)
  const char* refusal;                      // part of the one line written for the refused entry
  std::function<std::vector<int>(QueueRig&)> served;  // entry numbers in the order they went out
};

std::vector<int> Cmd2OfSends(QueueRig& q, const InsteonId& id) {
  std::vector<int> out;
  for (const WrittenMessage& m : SendsTo(q, id)) out.push_back(m.bytes[7]);
  return out;
}

TEST(FullQueues, RefuseTheNewEntryAndServeEveryEarlierOneInOrder) {
  auto drain = [](QueueRig& q) { EXPECT_TRUE(q.TickUntil([&] { return AllQueuesIdle(q); }, 20000)); };
  const std::vector<FullCase> cases = {
      {"reply ring", 63, [](QueueRig& q, int i) { SendStandard(q.ctx(), kDimmer, 0x11, static_cast<uint8_t>(i)); },
       "Send queue full, command not queued - 1a.2b.3c cmd1=11, cmd2=3f",
       [&](QueueRig& q) {
         drain(q);
         return Cmd2OfSends(q, kDimmer);
       }},
      {"plain ring", 63, [](QueueRig& q, int i) { SendStandard(q.ctx(), kDimmer, 0x10, static_cast<uint8_t>(i)); },
       "Send queue full, command not queued - 1a.2b.3c cmd1=10, cmd2=3f",
       [&](QueueRig& q) {
         drain(q);
         return Cmd2OfSends(q, kDimmer);
       }},
      {"delayed ring", 63,
       [](QueueRig& q, int i) {
         EventRecord a{};
         a.isLogicEvent = 1;
         a.msgFlags = 0x0F;
         a.targetId = kDimmer;
         a.cmd1 = 0x11;
         a.cmd2 = static_cast<uint8_t>(i);
         a.delaySeconds = 1;
         RouteAction(q.ctx(), a);
       },
       "Send queue full, command not queued - 1a.2b.3c cmd1=11, cmd2=3f",
       [&](QueueRig& q) {
         drain(q);
         return Cmd2OfSends(q, kDimmer);
       }},
      {"modem command queue", 11,
       [](QueueRig& q, int i) {
         const uint8_t group[] = {0x61, static_cast<uint8_t>(i), 0x11, 0x00};
         EnqueueModemCommand(q.ctx(), group, sizeof group);
       },
       "PLM command queue full, PLM command not queued - 61 0B 11 00",
       [&](QueueRig& q) {
         std::vector<int> out;
         for (int t = 0; t < 2000 && !q.queues().modem.Empty(); ++t) {
           const size_t before = q.WrittenWithCode(0x61).size();
           q.Tick();
           const std::vector<WrittenMessage> sent = q.WrittenWithCode(0x61);
           if (sent.size() > before) {
             out.push_back(sent.back().bytes[2]);
             q.Feed({0x02, 0x61, sent.back().bytes[2], 0x11, 0x00, 0x06});
           }
         }
         return out;
       }},
      {"hold queue", kHoldSlots,
       // Commands 0x30 and up mean nothing to the incoming handling, so the
       // sensor's acknowledgements only complete them.
       [](QueueRig& q, int i) { SendStandard(q.ctx(), kMotion, static_cast<uint8_t>(0x30 + i), 0x00); },
       "Wireless hold queue full, command not queued - 4a.4b.4c cmd1=b0, cmd2=0",
       [&](QueueRig& q) {
         // Each message from the sensor releases what the reply ring can take.
         std::vector<int> out;
         for (int round = 0; round < 5 && q.queues().hold.heldCount > 0; ++round) {
           q.Feed(StandardFrame(kMotion, InsteonId::From(0, 0, 1), 0xCF, 0x11, 0x00));
           drain(q);
         }
         for (const WrittenMessage& m : SendsTo(q, kMotion)) out.push_back(m.bytes[6] - 0x30);
         return out;
       }},
  };
  for (const FullCase& c : cases) {
    SCOPED_TRACE(c.name);
    QueueRig q;
    q.AddDevice(kDimmer, 0x01, 0x20);
    q.AddDevice(kMotion, 0x10, 0x01);
    q.Answering(kDimmer);
    q.Answering(kMotion);
    for (int i = 0; i < c.capacity; ++i) c.add(q, i);
    const size_t lines = q.Activity().size();
    c.add(q, c.capacity);
    const std::vector<std::string> after = q.Activity();
    ASSERT_EQ(after.size(), lines + 1) << "one line for the refused entry";
    EXPECT_EQ(after.back(), c.refusal);
    std::vector<int> expected;
    for (int i = 0; i < c.capacity; ++i) expected.push_back(i);
    EXPECT_EQ(c.served(q), expected);
  }
}

// --- Look-ups ---------------------------------------------------------------------

TEST(FindPending, FindsOnlyRequestsStillWaitingForTheirAnswer) {
  QueueRig q;
  q.AddDevice(kDimmer, 0x01, 0x20);
  SendStandard(q.ctx(), kDimmer, 0x19, 0x00);  // reply ring
  SendStandard(q.ctx(), kDimmer, 0x0D, 0x00);  // plain ring
  EXPECT_GE(FindPending(q.ctx(), kDimmer, 0x19, 0x00), 0);
  EXPECT_GE(FindPending(q.ctx(), kDimmer, 0x0D, 0x00), 0) << "engine-version requests wait in the plain ring";
  EXPECT_EQ(FindPending(q.ctx(), kDimmer, 0x19, 0x01), -1);
  EXPECT_EQ(FindPending(q.ctx(), kRelay, 0x19, 0x00), -1);
  // Unanswered, both run out of tries; then they can be asked again.
  ASSERT_TRUE(q.TickUntil([&] { return AllQueuesIdle(q); }, 1000));
  EXPECT_EQ(FindPending(q.ctx(), kDimmer, 0x19, 0x00), -1);
  EXPECT_EQ(FindPending(q.ctx(), kDimmer, 0x0D, 0x00), -1);
}

TEST(CommandCodeFromName, NamesOfTheEventEditors) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"ON", 0x11},          {"OFF", 0x13},          {"ALL ON", 0xFF},       {"ALL OFF", 0xFE},
      {"BRIGHT", 0x15},      {"DIM", 0x16},          {"STATUS", 0x19},       {"JOIN GROUP", 0x01},
      {"UNJOIN GROUP", 0x02}, {"LINC MODE", 0x09},   {"UNLINC MODE", 0x0A},  {"SD Read ALDB", 0x2B},
      {"ED Read ALDB", 0x2F}, {"SD-PDR", 0x10},      {"ID-REQ 0x010", 0x10}, {"IEV 0x0d", 0x0D},
      {"Product Data Request", 0x03}, {"ON ", 0xFF}, {"on", 0xFF},           {"", 0xFF},
      {"TURN ON", 0xFF},     {"GO BRIGHTER", 0x15},
  };
  for (const auto& [text, cmd1] : cases) EXPECT_EQ(CommandCodeFromName(text), cmd1) << "\"" << text << "\"";
}

}  // namespace
}  // namespace quorvel

#pragma once
// A house of simulated devices behind the simulated modem, with the program's
// context over it: devices are put into the database as a read of the modem's
// and the devices' tables would put them, and Step() runs one tick the way the
// engine orders its work (receive, send rings, modem queue, link job, i1 write).
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/context.h"
#include "engine/link_operations.h"
#include "plm/send_queues.h"
#include "sim/sim_network.h"
#include "sim/sim_port.h"
#include "support/test_rig.h"

namespace quorvel::testing {

inline const InsteonId kSimModemId = InsteonId::From(0x1e, 0x65, 0xa2);

// A record of a simulated device's table.
inline sim::LinkEntry Entry(uint8_t flags, uint8_t group, const InsteonId& id, uint8_t d1, uint8_t d2,
                            uint8_t d3 = 0) {
  return sim::LinkEntry{flags, group, id, {d1, d2, d3}};
}

// Its bytes as text, so a failed comparison shows the whole record.
inline std::string Show(const sim::LinkEntry& e) {
  char text[64];
  std::snprintf(text, sizeof text, "%02X %d %02X.%02X.%02X %02X %02X %02X", e.flags, e.group, e.id.b[0], e.id.b[1],
                e.id.b[2], e.data[0], e.data[1], e.data[2]);
  return text;
}
inline constexpr Time kLinkStart = 1299999960;
inline constexpr int kLinkTickMillis = 160;

class LinkNet {
 public:
  // Devices are added to the house before Start().
  sim::SimDevice& AddSimDevice(const InsteonId& id, uint8_t category, uint8_t subcategory, uint8_t engine) {
    house_.devices.emplace_back(id, category, subcategory, 0x41, engine);
    return house_.devices.back();
  }

  void Start() {
    clock.Set(kLinkStart);
    net = std::make_unique<sim::SimNetwork>(clock, std::move(house_));
    port = std::make_unique<sim::SimPort>(*net, 1);
    ctx = std::make_unique<Context>(clock, *port, files, notifier);
    Silence(ctx->diagnostics);
    ASSERT_TRUE(port->Open(1));
    ctx->db.plm.plmId = kSimModemId;
    ctx->db.plm.plmFound = 1;
  }

  sim::SimDevice& Sim(const InsteonId& id) { return *net->Device(id); }

  // A record of the device for a modem group, holding the device's link table
  // as the simulator has it (as a full read leaves it). Returns its slot.
  int AddRecord(const InsteonId& id, uint8_t group, uint8_t engine, bool mirrorTable = true) {
    DeviceDatabase& db = ctx->db;
    const int slot = static_cast<int>(db.count++);
    DeviceRecord& r = db.records[slot];
    r.linkFlags = 0xA2;
    r.group = group;
    r.id = id;
    const sim::SimDevice& d = Sim(id);
    r.category = d.category;
    r.subcategory = d.subcategory;
    r.engineVersion = engine;
    if (mirrorTable) MirrorTable(slot);
    return slot;
  }

  void MirrorTable(int slot) {
    DeviceRecord& r = ctx->db.records[slot];
    const sim::SimDevice& d = Sim(r.id);
    r.linkCount = 0;
    for (int k = 0; k < kLinksPerDevice; ++k) {
      const sim::LinkEntry e = d.LinkAt(k);
      LinkRecord& l = r.links[k];
      l.flags = e.flags;
      l.group = e.group;
      l.id = e.id;
      for (int i = 0; i < 3; ++i) l.data[i] = e.data[i];
      // i1 reads keep a record's first byte as its address, extended reads its last.
      l.address = r.engineVersion == kEngineI1 ? sim::SlotAddress(k) - 7u : sim::SlotAddress(k);
      if (e.flags != 0) r.linkCount = static_cast<uint8_t>(k + 1);
    }
  }

  // One tick of the engine's work that link jobs take part in.
  void Step() {
    ctx->framer.PumpReceive(*ctx);
    SelectNextLinkJob(*ctx);
    if (ServeRings(*ctx)) {
      ctx->queues.modem.pause = 10;
    } else if (!ctx->queues.modem.Empty()) {
      ServeModemQueue(*ctx);
    } else if (LinkJobStarted(*ctx)) {
      progressTexts.push_back(LinkJobProgressText(*ctx));
      RunLinkJobStep(*ctx);
    } else if (I1WriteInProgress(*ctx)) {
      LinkJobs& s = ctx->linkOps.state;
      RunI1Write(*ctx, s.jobs[s.current]);
    }
    clock.AdvanceMillis(kLinkTickMillis);
    net->RunUntilNow();
    ++steps;
  }

  // Steps until no link operation runs and every queue is empty; false when
  // that took more than `limit` steps.
  bool RunToEnd(int limit = 5000) {
    for (int i = 0; i < limit; ++i) {
      Step();
      if (!LinkOperationRunning(*ctx) && Quiet()) return true;
    }
    return false;
  }

  bool Quiet() const {
    const SendQueues& q = ctx->queues;
    return q.replyRing.Empty() && q.plainRing.Empty() && q.delayedRing.Empty() && q.modem.Empty();
  }

  std::vector<std::string> Activity() const {
    std::vector<std::string> out;
    for (const LogLine& line : ctx->log.Lines(LogChannel::GeneralActivity)) {
      const std::string& t = line.text;
      const size_t bar = t.find("|   ");
      out.push_back(bar == std::string::npos ? t : t.substr(bar + 4));
    }
    return out;
  }

  // The lines of the link operations themselves, without the device trace
  // lines that the replies add to the same channel.
  std::vector<std::string> LinkLines() const {
    std::vector<std::string> out;
    for (const std::string& t : Activity()) {
      for (const char* start : {"Link", "UnLink", "PLM Group", "Please wait", "No free link slot"}) {
        if (t.rfind(start, 0) == 0) {
          out.push_back(t);
          break;
        }
      }
    }
    return out;
  }

  TestClock clock;
  MemoryFileSystem files;
  RecordingNotifier notifier;
  std::unique_ptr<sim::SimNetwork> net;
  std::unique_ptr<sim::SimPort> port;
  std::unique_ptr<Context> ctx;
  std::vector<std::string> progressTexts;
  int steps = 0;

 private:
  sim::House house_;
};

}  // namespace quorvel::testing

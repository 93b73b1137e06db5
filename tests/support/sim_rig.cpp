#include "support/sim_rig.h"

#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>

#include "engine/network_engine.h"
#include "plm/link_reader.h"
#include "plm/send_queues.h"

namespace quorvel::testing {

SimRig::SimRig(sim::House house, Time start) : clock(start), net(clock, std::move(house)) {
  ctx = std::make_unique<Context>(clock, port, files, notifier);
  Silence(ctx->diagnostics);
  ctx->db.plm.plmId = net.Modem().id;
  ctx->db.plm.plmFound = 1;
  port.Open(1);
  net.trace = [this](const std::string& line) {
    static const std::string kFromHost = "from host";
    if (line.compare(0, kFromHost.size(), kFromHost) != 0) return;
    std::istringstream in(line.substr(kFromHost.size()));
    std::vector<uint8_t> bytes;
    std::string hex;
    while (in >> hex) bytes.push_back(static_cast<uint8_t>(std::strtoul(hex.c_str(), nullptr, 16)));
    sent_.push_back(std::move(bytes));
    sentSteps_.push_back(steps);
  };
}

DeviceRecord& SimRig::AddRecord(const InsteonId& id, uint8_t group, uint8_t linkFlags) {
  DeviceDatabase& db = ctx->db;
  DeviceRecord& r = db.records[db.count++];
  r.linkFlags = linkFlags;
  r.group = group;
  r.id = id;
  if (const sim::SimDevice* d = net.Device(id)) {
    r.category = d->category;
    r.subcategory = d->subcategory;
    r.firmware = d->firmware;
    r.engineVersion = d->engine;
  }
  return r;
}

void SimRig::Step() {
  Context& c = *ctx;
  if (c.framer.PumpReceive(c)) c.tick.lastReceiveTime = clock.Now();
  if (realEngine) {
    EngineStep(c);
  } else if (!ServeRings(c)) {
    if (!c.queues.modem.Empty())
      ServeModemQueue(c);
    else if (c.linkReader.Busy())
      ReadDeviceRecord(c);
    else if (idleStep)
      idleStep();
  }
  ++steps;
  clock.AdvanceMillis(kSimTickMillis);
}

bool SimRig::StepUntil(const std::function<bool()>& done, int limit) {
  for (int i = 0; i < limit; ++i) {
    if (done()) return true;
    Step();
  }
  return done();
}

bool SimRig::IsTo(size_t i, const InsteonId& id, uint8_t cmd1) const {
  const std::vector<uint8_t>& m = sent_[i];
  return m.size() >= 8 && m[1] == 0x62 && InsteonId::FromBytes(&m[2]) == id && m[6] == cmd1;
}

std::vector<std::vector<uint8_t>> SimRig::SentTo(const InsteonId& id, uint8_t cmd1) const {
  std::vector<std::vector<uint8_t>> out;
  for (size_t i = 0; i < sent_.size(); ++i) {
    if (IsTo(i, id, cmd1)) out.push_back(sent_[i]);
  }
  return out;
}

std::vector<int> SimRig::StepsOf(const InsteonId& id, uint8_t cmd1) const {
  std::vector<int> out;
  for (size_t i = 0; i < sent_.size(); ++i) {
    if (IsTo(i, id, cmd1)) out.push_back(sentSteps_[i]);
  }
  return out;
}

}  // namespace quorvel::testing

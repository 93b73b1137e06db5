#include "plm/serial_link.h"

#include <cstdio>
#include <string>

#include "device/device_catalogue.h"
#include "engine/context.h"

namespace quorvel {

namespace {

// The counter only needs to stay above the answer window once a modem has
// answered; holding it there keeps a link that runs for years from overflowing.
constexpr int kCounterCeiling = 1000;

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[512];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

}  // namespace

bool SerialLink::IsOpen(const Context& ctx) const { return ctx.port.IsOpen(); }

bool SerialLink::OpenPort(Context& ctx, int portNumber) {
  if (ctx.port.IsOpen()) return true;
  if (!ctx.port.Open(portNumber)) return false;
  ctx.framer.Reset();
  openPort_ = portNumber;
  answered_ = false;
  settle_ = kSettleTicks;
  return true;
}

void SerialLink::ClosePort(Context& ctx) {
  const bool wasOpen = ctx.port.IsOpen();
  if (wasOpen) ctx.port.Close();
  // A partial frame from the old port must not spoil the first frame of the next.
  ctx.framer.Reset();
  answered_ = false;
  settle_ = 0;
  if (wasOpen) ctx.notifier.ConnectionChanged(false, openPort_);
  openPort_ = 0;
}

bool SerialLink::WriteBytes(Context& ctx, const uint8_t* bytes, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    switch (ctx.port.WriteByte(bytes[i])) {
      case IoStatus::Ok:
        break;
      case IoStatus::TimedOut:
        // A stalled line: the rest of this message would only stall too. The
        // send queues retry the whole message as they do for any lost reply.
        ctx.log.LogActivity(Format(kWriteTimeoutText, openPort_));
        return false;
      case IoStatus::Gone:
        OnDeviceGone(ctx);
        return false;
      case IoStatus::NotOpen:
        return false;
    }
  }
  CountWritten(ctx, bytes, n);
  return true;
}

bool SerialLink::WriteMessage(Context& ctx, const uint8_t* bytes, size_t n) {
  if (!ctx.port.IsOpen() || settle_ > 0) return false;
  return WriteBytes(ctx, bytes, n);
}

void SerialLink::CountWritten(Context& ctx, const uint8_t* bytes, size_t n) {
  if (n < 2 || bytes[0] != 0x02) return;
  TrafficCounts& counts = ctx.queues.counts;
  if (bytes[1] == 0x62)
    ++counts.insteonSent;
  else
    ++counts.modemCommandsSent;
}

void SerialLink::OnDeviceGone(Context& ctx) {
  if (!ctx.port.IsOpen()) return;
  // The descriptor of an unplugged adapter reads nothing for ever; closing it
  // lets the search open the device again once it is plugged back in.
  ctx.log.LogActivity(Format(kDeviceGoneText, openPort_));
  ClosePort(ctx);
}

void SerialLink::OnModemIdentity(Context& ctx) {
  if (!ctx.port.IsOpen()) return;
  answered_ = true;
  unansweredPorts_ = 0;
  noModemText_.clear();
  // Other ports' refusals no longer matter to anyone: the modem is found.
  ClearRefusals();
}

int SerialLink::PortCount(const Context& ctx) const {
  const int n = ctx.port.PortCount();
  return n < kNumberedPorts ? kNumberedPorts : n > kMaxPorts ? kMaxPorts : n;
}

const std::string& SerialLink::Refusal() const {
  if (!refusals_[lastRefusalPort_].empty()) return refusals_[lastRefusalPort_];
  for (const std::string& r : refusals_) {
    if (!r.empty()) return r;
  }
  return refusals_[0];
}

void SerialLink::ClearRefusals() {
  for (std::string& r : refusals_) r.clear();
  lastRefusalPort_ = 0;
}

void SerialLink::NoteRefusal(Context& ctx, int portNumber, const std::string& refusal) {
  if (portNumber < 1 || portNumber > kMaxPorts) return;
  std::string& stored = refusals_[portNumber];
  if (refusal.empty()) {
    stored.clear();
    return;
  }
  lastRefusalPort_ = portNumber;
  // A port the search keeps to is tried every two seconds: one line says it.
  if (stored == refusal) return;
  stored = refusal;
  ctx.log.LogActivity(refusal);
}

void SerialLink::NoteUnanswered(Context& ctx, int portNumber, int pinned) {
  const int count = PortCount(ctx);
  if (portNumber < 1 || portNumber > count) return;  // port 0 names no port
  unansweredPorts_ |= uint64_t{1} << portNumber;
  const uint64_t everyPort = ((uint64_t{1} << (count + 1)) - 1) & ~uint64_t{1};  // ports 1..count
  const bool searchedAll = pinned != 0 ? (unansweredPorts_ & (uint64_t{1} << pinned)) != 0
                                       : (unansweredPorts_ & everyPort) == everyPort;
  if (!searchedAll || !noModemText_.empty()) return;
  noModemText_ = pinned != 0 ? Format(kNoModemOnPortText, ctx.port.PortName(pinned).c_str()) : kNoModemText;
  ctx.log.LogActivity(noModemText_);
}

void SerialLink::Disconnect(Context& ctx) {
  ClosePort(ctx);
  ctx.options.userDisconnect = 1;
}

void SerialLink::Connect(Context& ctx) {
  ctx.options.userDisconnect = 0;
  // A new search of the user's asking: the hint comes again if it fails too.
  unansweredPorts_ = 0;
  noModemText_.clear();
  ClearRefusals();
}

void SerialLink::PortChanged(Context& ctx) {
  ClosePort(ctx);
  searchPort = -1;
  unansweredPorts_ = 0;
  noModemText_.clear();
  ClearRefusals();
}

void SerialLink::Search(Context& ctx) {
  if (settle_ > 0 && --settle_ == 0 && ctx.port.IsOpen()) ctx.notifier.ConnectionChanged(true, openPort_);

  if (searchPort == -1) {
    searchPort = ctx.options.comPort;
    ctx.port.Rescan();
  }
  if (searchPort < 0) searchPort = 0;
  // A port the user pinned: the device named outright, or the setup dialog's
  // forced port. The search then tries nothing else.
  int pinned = ctx.port.PinnedPort();
  const bool pinnedByDevice = pinned != 0;
  if (!pinnedByDevice && ctx.options.forcePort == 1 && ctx.options.forcedPortNumber >= 1 &&
      ctx.options.forcedPortNumber <= 16) {
    pinned = static_cast<int>(ctx.options.forcedPortNumber);
  }
  if (pinned != 0) searchPort = pinned;
  if (searchPort > PortCount(ctx)) {
    // Port 0 names no port: its attempt fails and the search goes on with 1.
    searchPort = 0;
    ctx.log.ClearActivity();
    // The hint stays the one line the cleared channel starts with, with what
    // still keeps a port from opening.
    if (!noModemText_.empty()) ctx.log.LogActivity(noModemText_);
    for (const std::string& refusal : refusals_) {
      if (!refusal.empty()) ctx.log.LogActivity(refusal);
    }
    // Adapters plugged in or pulled out since the last round.
    ctx.port.Rescan();
  }

  if (!ctx.port.IsOpen() && ctx.options.userDisconnect == 0) {
    ++searchCounter;
    if (searchCounter > kAnswerTicks) {
      searchCounter = 0;
      identityLogged_ = false;
      if (!pinnedByDevice && searchPort > kNumberedPorts)
        ctx.log.LogActivity(Format(kExtraPortText, searchPort, ctx.port.PortName(searchPort).c_str()));
      if (OpenPort(ctx, searchPort)) {
        ctx.log.LogActivity(Format(kPortOpenText, searchPort));
        NoteRefusal(ctx, searchPort, {});
        // A device named outright, or an adapter found by name, is not one of
        // the numbered ports: the user's port number stays as it was.
        if (!pinnedByDevice && searchPort <= kNumberedPorts) ctx.options.comPort = searchPort;
        ++searchPort;
        ctx.log.LogActivity(kSearchingText);
        static constexpr uint8_t kGetImInfo[] = {0x02, 0x60};
        WriteBytes(ctx, kGetImInfo, sizeof kGetImInfo);
        ctx.engine.engineState = 0;
      } else {
        ctx.log.LogActivity(Format(kPortFailText, searchPort));
        NoteRefusal(ctx, searchPort, ctx.port.OpenRefusal());
        NoteUnanswered(ctx, searchPort, pinned);
        ++searchPort;
      }
    }
  }

  if (searchCounter < kCounterCeiling) ++searchCounter;
  if (searchCounter > kAnswerTicks) {
    if (!answered_ && ctx.port.IsOpen()) {
      const int silent = openPort_;
      ClosePort(ctx);
      NoteUnanswered(ctx, silent, pinned);
    }
    if (answered_ && !identityLogged_) {
      searchPort = pinnedByDevice ? pinned : openPort_ > kNumberedPorts ? openPort_ : ctx.options.comPort;
      identityLogged_ = true;
      const PlmInfo& plm = ctx.db.plm;
      const std::string name(ProductName(plm.plmCategory, plm.plmSubcategory));
      ctx.log.LogActivity(Format(kModemIdentityText, plm.plmId.b[0], plm.plmId.b[1], plm.plmId.b[2],
                                 name.c_str(), plm.plmFirmware >> 4, plm.plmFirmware & 0x0F));
      ctx.notifier.Refresh(ViewRefresh::DeviceTree);
    }
  }
}

void PortSearch(Context& ctx) { ctx.link.Search(ctx); }

}  // namespace quorvel

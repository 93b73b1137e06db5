#pragma once
// The context of one fuzz input. The context is large, so one block of storage
// serves the whole run and the context is built anew in it for each input:
// every input meets a fresh program and a crash reproduces from it alone. It
// is destroyed when the input is done, and its diagnostics are kept out of the
// fuzzer's output.
//
// What holds nothing an input can see is handed from one input's context to
// the next: the buffer files are read into, and the storage of the log's rows,
// each list made as new first. Allocated anew for every input, they would cost
// more than the input's own work.
#include <memory>
#include <utility>
#include <vector>

#include "engine/context.h"

namespace quorvel::fuzzing {

inline constexpr LogChannel kAllChannels[kLogChannelCount] = {
    LogChannel::GeneralActivity, LogChannel::InsteonTraffic, LogChannel::QuedForActivity, LogChannel::OnLog,
    LogChannel::LinkReport};

struct ContextStorage {
  alignas(Context) unsigned char bytes[sizeof(Context)];
  // Kept between two inputs' contexts.
  std::vector<uint8_t> readBuffer;
  std::vector<TraceList> logLists;
};

class FreshContext {
 public:
  FreshContext(ContextStorage& storage, Clock& clock, SerialPort& port, FileSystem& files, Notifier& notifier)
      : storage_(storage),
        ctx_(std::construct_at(reinterpret_cast<Context*>(storage.bytes), clock, port, files, notifier)) {
    Silence(ctx_->diagnostics);
    storage_.readBuffer.clear();
    ctx_->configFiles.readBuffer.swap(storage_.readBuffer);
    for (size_t i = 0; i < storage_.logLists.size(); ++i) ctx_->log.List(kAllChannels[i]) = std::move(storage_.logLists[i]);
    storage_.logLists.clear();
  }
  ~FreshContext() {
    ctx_->configFiles.readBuffer.swap(storage_.readBuffer);
    ctx_->log.Reset();
    for (LogChannel c : kAllChannels) storage_.logLists.push_back(std::move(ctx_->log.List(c)));
    std::destroy_at(ctx_);
  }
  FreshContext(const FreshContext&) = delete;
  FreshContext& operator=(const FreshContext&) = delete;

  Context& operator*() const { return *ctx_; }
  Context* operator->() const { return ctx_; }

 private:
  ContextStorage& storage_;
  Context* ctx_;
};

// Makes the receive side of a context that lives for the whole run as a fresh
// context holds it: the framer and the log. Enough for a target that drives
// nothing but the framer, and far cheaper than the whole context.
inline void RenewReceiveSide(Context& ctx) {
  std::destroy_at(&ctx.framer);
  std::construct_at(&ctx.framer);
  ctx.framer.handler = &ctx.incoming;
  ctx.log.Reset();
}

// True when no send ring and no modem command waits: every further transmit
// step would do nothing, so a target may stop stepping.
inline bool SendQueuesIdle(const Context& ctx) {
  const SendQueues& q = ctx.queues;
  return q.replyRing.Empty() && q.delayedRing.Empty() && q.plainRing.Empty() && q.modem.Empty();
}

}  // namespace quorvel::fuzzing

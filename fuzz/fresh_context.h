#pragma once
// The context of one fuzz input. The context is large, so it is built anew in
// the same storage for each input: every input meets a fresh program and a
// crash reproduces from it alone. It is destroyed when the input is done, and
// its diagnostics are kept out of the fuzzer's output.
#include <memory>

#include "engine/context.h"

namespace quorvel::fuzzing {

struct ContextStorage {
  alignas(Context) unsigned char bytes[sizeof(Context)];
};

class FreshContext {
 public:
  FreshContext(ContextStorage& storage, Clock& clock, SerialPort& port, FileSystem& files, Notifier& notifier)
      : ctx_(std::construct_at(reinterpret_cast<Context*>(storage.bytes), clock, port, files, notifier)) {
    Silence(ctx_->diagnostics);
  }
  ~FreshContext() { std::destroy_at(ctx_); }
  FreshContext(const FreshContext&) = delete;
  FreshContext& operator=(const FreshContext&) = delete;

  Context& operator*() const { return *ctx_; }
  Context* operator->() const { return ctx_; }

 private:
  Context* ctx_;
};

}  // namespace quorvel::fuzzing

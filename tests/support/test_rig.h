#pragma once
// A fresh run for a test: virtual clock, fake port, in-memory files, a notifier
// that records, and the context built over them. The context is large (two
// device tables), so it lives on the heap.
#include <memory>
#include <string>
#include <vector>

#include "engine/context.h"
#include "support/fake_serial_port.h"
#include "support/memory_file_system.h"

namespace quorvel::testing {

class RecordingNotifier : public Notifier {
 public:
  void Refresh(ViewRefresh what) override { refreshes.push_back(what); }
  void ShowMessage(std::string_view title, std::string_view text) override {
    messages.emplace_back(std::string(title) + ": " + std::string(text));
  }
  std::vector<ViewRefresh> refreshes;
  std::vector<std::string> messages;
};

struct TestRig {
  TestClock clock;
  FakeSerialPort port;
  MemoryFileSystem files;
  RecordingNotifier notifier;
  std::unique_ptr<Context> ctx = std::make_unique<Context>(clock, port, files, notifier);

  TestRig() { Silence(ctx->diagnostics); }
  Context& operator*() { return *ctx; }
  Context* operator->() { return ctx.get(); }
  // Texts of a channel's lines with their time stamps cut off.
  std::vector<std::string> Texts(LogChannel channel) const;
};

}  // namespace quorvel::testing

#pragma once
// One run of the program without its window: the real seams (clock, serial
// port or simulated modem, configuration folder, a notifier that prints), the
// Context over them, the configuration loaded at start and saved at the end,
// and the main tick, callable one at a time. The headless loop drives it from
// main(); the window drives the same Tick() from its own 160 ms timer.
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

#include "app/session_options.h"
#include "app/sim_process.h"
#include "config/config_files.h"
#include "engine/context.h"
#include "engine/device_command.h"
#include "log/log_printer.h"
#include "platform/file_system.h"
#include "plm/posix_serial_port.h"
#include "sim/sim_network.h"
#include "sim/sim_port.h"

namespace quorvel {

// A clock that moves only when the run moves it, reading local time in the
// machine's time zone; a long simulated run then takes no real time.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(int64_t startMillis) : millis_(startMillis) {}
  int64_t NowMillis() const override { return millis_; }
  LocalTime Local(Time t) const override { return system_.Local(t); }
  void AdvanceMillis(int64_t ms) { millis_ += ms; }

 private:
  SystemClock system_;
  int64_t millis_;
};

// Prints what the program would show in message boxes and its progress window.
class PrintingNotifier final : public Notifier {
 public:
  explicit PrintingNotifier(std::FILE* out) : out_(out) {}
  void ShowMessage(std::string_view title, std::string_view text) override;
  void ProgressBegin(std::string_view title, int total) override;
  void ProgressEnd() override;

 private:
  std::FILE* out_;
};

// An --until-idle run in virtual time gives up after this much virtual time.
inline constexpr int64_t kUntilIdleVirtualSeconds = 6 * 3600;

// Under the user's data folder, the data home of simulated runs given no --data.
inline constexpr const char* kSimulatedDataHome = "quorvel-simulated";

class Session {
 public:
  // `out` receives the log lines and messages; nullptr prints nothing. The
  // window hands in its own notifier; without one, messages are printed. A
  // file system given here (a test's) stands in for the real one.
  explicit Session(SessionOptions options, std::FILE* out = stdout, const char* argv0 = nullptr,
                   Notifier* notifier = nullptr, FileSystem* files = nullptr);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Builds the seams, starts the simulator if asked, loads the configuration.
  // False with a reason in `error`; nothing is saved then.
  bool Start(std::string& error);
  // One main tick. In virtual time the clock then moves on by one tick.
  void Tick();
  // Closes the port, saves the configuration, stops the simulator. Runs once;
  // later calls do nothing.
  void Stop();
  // What the save at Stop wrote.
  const SaveResult& exitSave() const { return exitSave_; }

  // Ticks every 160 ms (or at once in virtual time) until `stop` is raised or
  // the run-time limit is reached, then stops. Returns the exit status: 1 also
  // when a configuration file could not be saved (each is named in the output).
  int RunLoop(const volatile std::sig_atomic_t* stop);

  // Run time since Start, on the run's clock.
  int64_t ElapsedMillis() const;
  bool LimitReached() const;
  // The --until-idle run: whether the network settled before the run ended.
  bool settled() const { return settled_; }

  Context& context() { return *ctx_; }
  Clock& clock() { return *clock_; }
  // The in-process network under --virtual-time; null otherwise.
  sim::SimNetwork* network() { return network_.get(); }
  // The virtual clock under --virtual-time; null otherwise.
  VirtualClock* virtualClock() { return virtualClock_; }
  const SessionOptions& options() const { return options_; }
  bool started() const { return ctx_ != nullptr; }
  // The --link run: its state and report once RunLoop has ended.
  const LinkCommandRun& linkRun() const { return linkRun_; }
  // The --on, --off or --status run: its state and answer once RunLoop has ended.
  const DeviceCommandRun& deviceRun() const { return deviceRun_; }
  // Where failures go (a device that did not answer, a file not saved); the
  // output stream unless set.
  void SetErrorStream(std::FILE* err) { err_ = err; }

  // The shipped example house, found beside the program or in the source tree.
  static std::string DefaultHouseFile(const char* argv0);

 private:
  SessionOptions options_;
  std::FILE* out_;
  std::FILE* err_;
  std::string argv0_;

  std::unique_ptr<Clock> clock_;
  VirtualClock* virtualClock_ = nullptr;
  std::unique_ptr<sim::SimNetwork> network_;
  std::unique_ptr<SerialPort> port_;
  std::unique_ptr<PosixFileSystem> posixFiles_;
  FileSystem* files_ = nullptr;
  std::unique_ptr<PrintingNotifier> printingNotifier_;
  Notifier* notifier_ = nullptr;
  std::unique_ptr<LogPrinter> printer_;
  SimProcess simulator_;
  std::unique_ptr<Context> ctx_;
  int64_t startMillis_ = 0;
  bool stopped_ = false;
  LinkCommandRun linkRun_;
  DeviceCommandRun deviceRun_;
  SaveResult exitSave_;
  bool settled_ = false;
};

}  // namespace quorvel

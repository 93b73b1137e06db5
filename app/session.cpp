#include "app/session.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <climits>
#include <thread>
#include <utility>
#include <vector>

#include "config/config_files.h"
#include "engine/link_watch.h"
#include "engine/main_tick.h"
#include "engine/network_engine.h"
#include "engine/run_summary.h"
#include "platform/install_paths.h"
#include "sim/house_file.h"

namespace quorvel {

namespace {

constexpr const char* kExampleHouse = "example_house.txt";

void Print(std::FILE* out, std::string_view a, std::string_view b = "") {
  if (out == nullptr) return;
  const std::string line = std::string(a) + std::string(b) + "\n";
  std::fputs(line.c_str(), out);
  std::fflush(out);
}

}  // namespace

void PrintingNotifier::ShowMessage(std::string_view title, std::string_view text) {
  Print(out_, "Message: " + std::string(title) + (title.empty() ? "" : ": "), text);
}

void PrintingNotifier::ProgressBegin(std::string_view title, int total) {
  Print(out_, "Progress: " + std::string(title) + " (" + std::to_string(total) + ")");
}

void PrintingNotifier::ProgressEnd() { Print(out_, "Progress: done"); }

Session::Session(SessionOptions options, std::FILE* out, const char* argv0, Notifier* notifier, FileSystem* files)
    : options_(std::move(options)), out_(out), err_(out), argv0_(argv0 != nullptr ? argv0 : ""), files_(files),
      notifier_(notifier) {}

Session::~Session() { Stop(); }

std::string Session::DefaultHouseFile(const char* argv0) {
  const std::string here = ProgramFolder(argv0);
  const std::string relative = std::string("houses/") + kExampleHouse;
  const std::vector<std::string> trees = {
      here + "/" + relative,
      here + "/../../sim/" + relative,
#ifdef QUORVEL_SOURCE_DIR
      std::string(QUORVEL_SOURCE_DIR) + "/sim/" + relative,
#endif
  };
  const std::string found = FindShipped(here, relative, trees);
  return found.empty() ? trees.back() : found;
}

bool Session::Start(std::string& error) {
  if (ctx_ != nullptr) return true;
  stopped_ = false;
  std::string dataHome = options_.dataDir;
  if (dataHome.empty() && (options_.simulate || options_.virtualTime)) {
    // A simulated house saved over the user's own configuration would replace
    // the real network's device data: simulated runs keep theirs apart.
    const std::string base = PosixFileSystem().AppDataFolder();
    if (!base.empty()) dataHome = base + "/" + kSimulatedDataHome;
  }
  if (files_ == nullptr) {
    posixFiles_ = std::make_unique<PosixFileSystem>(dataHome);
    files_ = posixFiles_.get();
  }
  // A device command is scripted: it prints its answer alone unless asked for the log.
  std::FILE* logOut = options_.deviceCommandRequested && !options_.verbose ? nullptr : out_;
  if (notifier_ == nullptr) {
    printingNotifier_ = std::make_unique<PrintingNotifier>(logOut);
    notifier_ = printingNotifier_.get();
  }

  if (options_.virtualTime) {
    sim::House house;
    const std::string houseFile =
        options_.houseFile.empty() ? DefaultHouseFile(argv0_.c_str()) : options_.houseFile;
    if (!sim::LoadHouseFile(houseFile, house, error)) return false;
    auto clock = std::make_unique<VirtualClock>(SystemClock().NowMillis());
    virtualClock_ = clock.get();
    clock_ = std::move(clock);
    network_ = std::make_unique<sim::SimNetwork>(*clock_, std::move(house));
    auto port = std::make_unique<sim::SimPort>(*network_, 1);
    port->PinToModemPort();
    port_ = std::move(port);
  } else {
    clock_ = std::make_unique<SystemClock>();
    auto port = std::make_unique<PosixSerialPort>();
    if (options_.simulate) {
      // The simulator gets the house this program found, so both agree on it.
      const std::string house = options_.houseFile.empty() ? DefaultHouseFile(argv0_.c_str()) : options_.houseFile;
      if (!simulator_.Start(SimProcess::Locate(argv0_.c_str()), house)) {
        error = simulator_.error();
        return false;
      }
      port->ForcePath(simulator_.ptyPath());
    } else if (!options_.serialPath.empty()) {
      port->ForcePath(options_.serialPath);
    }
    port_ = std::move(port);
  }

  ctx_ = std::make_unique<Context>(*clock_, *port_, *files_, *notifier_);
  if (logOut != nullptr) {
    printer_ = std::make_unique<LogPrinter>(logOut);
    ctx_->log.AddSink(printer_.get());
    // The diagnostics share the printed output: each on a line of its own
    // rather than run into the next log line.
    ctx_->diagnostics.sink = [out = logOut](std::string_view text) {
      while (!text.empty() && text.front() == '\n') text.remove_prefix(1);
      while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
      if (!text.empty()) Print(out, text);
    };
  } else if (printingNotifier_ != nullptr) {
    Silence(ctx_->diagnostics);  // a run that prints nothing, or only its answer
  }
  if (options_.deviceCommandRequested) {
    deviceRun_.command = options_.deviceCommand;
    deviceRun_.Attach(*ctx_);
  }
  LoadAtStart(*ctx_);
  WireConfigFiles(*ctx_);
  WireLinkWatch(*ctx_);
  WireEngine(*ctx_);
  startMillis_ = clock_->NowMillis();
  return true;
}

void Session::Tick() {
  if (ctx_ == nullptr || stopped_) return;
  RunMainTick(*ctx_);
  if (virtualClock_ != nullptr) virtualClock_->AdvanceMillis(kTickMillis);
  if (options_.simulate) simulator_.Drain();
}

void Session::Stop() {
  if (ctx_ == nullptr || stopped_) return;
  stopped_ = true;
  // The port first, so the modem is left alone before the files are written.
  ctx_->link.ClosePort(*ctx_);
  deviceRun_.Detach(*ctx_);
  exitSave_ = SaveAtExit(*ctx_);
  // Each file whose last save failed, with its cause: what it held since is lost.
  const ConfigFilesState& state = ctx_->configFiles;
  for (int i = 0; i < kConfigFileCount; ++i) {
    const FileError error = state.stored[i].saveError;
    if (error == FileError::None) continue;
    const std::string cause = state.folder.empty() ? "the folder for the configuration files was not found."
                              : state.folderError != FileError::None
                                  ? "could not create the folder: " + FileErrorText(state.folderError, state.folder)
                                  : FileErrorText(error, state.folder + "/" + ConfigFileName(i));
    Print(err_, "quorvel: " + std::string(ConfigFileName(i)) + " was not saved: ", cause);
  }
  simulator_.Stop();
  if (printer_ != nullptr) ctx_->log.RemoveSink(printer_.get());
}

int64_t Session::ElapsedMillis() const { return clock_ != nullptr ? clock_->NowMillis() - startMillis_ : 0; }

bool Session::LimitReached() const {
  int64_t seconds = options_.secondsLimit;
  if (seconds == 0 && options_.untilIdle && virtualClock_ != nullptr) seconds = kUntilIdleVirtualSeconds;
  return seconds > 0 && ElapsedMillis() >= seconds * 1000;
}

int Session::RunLoop(const volatile std::sig_atomic_t* stop) {
  if (ctx_ == nullptr) return 1;
  using Steady = std::chrono::steady_clock;
  auto next = Steady::now();
  int status = 0;
  linkRun_ = LinkCommandRun{};
  linkRun_.command = options_.link;
  while ((stop == nullptr || *stop == 0) && !LimitReached()) {
    Tick();
    if (options_.untilIdle && NetworkSettled(*ctx_)) {
      settled_ = true;
      break;
    }
    if (options_.linkRequested && StepLinkCommand(*ctx_, linkRun_)) {
      for (const std::string& line : linkRun_.report) Print(out_, line);
      status = linkRun_.ok ? 0 : 1;
      break;
    }
    if (options_.deviceCommandRequested && deviceRun_.Step(*ctx_)) {
      if (deviceRun_.ok)
        Print(out_, deviceRun_.report);
      else
        Print(err_, "quorvel: ", deviceRun_.report);
      status = deviceRun_.ok ? 0 : 1;
      break;
    }
    if (virtualClock_ != nullptr) continue;
    next += std::chrono::milliseconds(kTickMillis);
    const auto now = Steady::now();
    // After a long stall (a suspended machine) the ticks do not try to catch up.
    if (now > next + std::chrono::seconds(1)) next = now;
    std::this_thread::sleep_until(next);
  }
  if (options_.linkRequested && linkRun_.phase != LinkCommandRun::Phase::kDone) {
    Print(out_, "Link not made: the run ended first");
    status = 1;
  }
  if (options_.deviceCommandRequested && deviceRun_.phase != DeviceCommandRun::Phase::kDone) {
    Print(err_, "quorvel: the run ended before ", IdText(options_.deviceCommand.id) + " answered");
    status = 1;
  }
  if (options_.untilIdle) {
    std::string summary = RunSummary(*ctx_);
    const int64_t ms = ElapsedMillis();
    char line[160];
    std::snprintf(line, sizeof line, "  run time       %lld.%lld s of %s time, %s", static_cast<long long>(ms / 1000),
                  static_cast<long long>(ms % 1000 / 100), virtualClock_ != nullptr ? "virtual" : "real",
                  settled_ ? "settled" : "stopped before the network settled");
    summary += line;  // Print ends the last line
    Print(out_, summary);
    if (!settled_) status = 1;
  }
  Stop();
  if (FilesNotSaved(*ctx_) != 0) status = 1;
  return status;
}

}  // namespace quorvel

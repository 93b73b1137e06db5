// The program's entry point: the window, or with --headless (or where no window
// can open) the tick loop with the log channels printed to standard output.
#include <signal.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>

#include "app/link_report.h"
#include "app/install_report.h"
#include "app/session.h"
#include "app/session_options.h"
#ifdef QUORVEL_WITH_WINDOW
#include "app/qt_notifier.h"
#include "app/serial_choice.h"
#include "app/window_run.h"
#endif

namespace {

volatile std::sig_atomic_t stopRequested = 0;

// The first Ctrl-C or SIGTERM asks the run to end cleanly (the files are saved);
// a second one ends the program at once.
void OnSignal(int signal) {
  if (stopRequested != 0) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  stopRequested = 1;
}

// Installed before anything else is done, and without restarting: a call that
// waits (the simulator's first line, a read from a device) then returns with
// EINTR instead of holding the program. The signals are unblocked too, in case
// the program was started with them blocked.
void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  sigprocmask(SIG_UNBLOCK, &stops, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quorvel;
  const auto started = std::chrono::steady_clock::now();
  CatchStopSignals();
  SessionOptions options;
  std::string error;
  if (!ParseArguments(argc, argv, options, error)) {
    // A device command with a malformed id fails as one that got no answer does.
    if (options.deviceCommandRefused) {
      std::fprintf(stderr, "quorvel: %s\n", error.c_str());
      return 1;
    }
    std::fprintf(stderr, "quorvel: %s\n%s", error.c_str(), UsageText().c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::puts("quorvel 0.1.0");
    return 0;
  }
  if (options.listPorts) {
    std::fputs(SerialPortsText().c_str(), stdout);
    return 0;
  }
  if (options.showPaths) {
    std::string text;
    const bool found = ShippedPathsText(argv[0], text);
    std::fputs(text.c_str(), stdout);
    return found ? 0 : 1;
  }

  // A report with no modem to talk to comes from the data file alone; nothing is
  // searched, run or saved.
  const bool network = options.virtualTime || options.simulate || !options.serialPath.empty();
  if (options.linkReport >= 0 && !network) {
    std::string text;
    if (!StoredLinkReport(options.dataDir, options.linkReport, text, error)) {
      std::fprintf(stderr, "quorvel: %s\n", error.c_str());
      return 1;
    }
    std::fputs(text.c_str(), stdout);
    return 0;
  }

#ifdef QUORVEL_WITH_WINDOW
  // The serial device chosen in the Setup dialog, unless this run names one.
  if (options.serialPath.empty() && !options.simulate && !options.virtualTime) options.serialPath = StoredSerialDevice();
  // Runs that end by themselves are scripted: they print, they open no window.
  if (options.secondsLimit > 0 || options.untilIdle || options.linkReport >= 0 || options.linkRequested ||
      options.deviceCommandRequested)
    options.headless = true;
  if (!options.headless && !WindowPossible()) {
    std::fputs("quorvel: no display to open the window on; running headless\n", stderr);
    options.headless = true;
  }
  if (!options.headless) {
    QtNotifier notifier;
    Session session(options, nullptr, argv[0], &notifier);
    return RunWindow(argc, argv, session, notifier, started, &stopRequested);
  }
#endif
  (void)started;
  Session session(options, stdout, argv[0]);
  session.SetErrorStream(stderr);
  if (!session.Start(error)) {
    std::fprintf(stderr, "quorvel: %s\n", error.c_str());
    return 1;
  }
  const int status = session.RunLoop(&stopRequested);
  if (options.linkReport >= 0) std::fputs(RunLinkReport(session.context(), options.linkReport).c_str(), stdout);
  return status;
}

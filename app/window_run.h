#pragma once
// The program with its window: the Qt application around the run object, the
// start-up and shutdown of the window classes, and the options of a run
// without a user (a screenshot, the start-up times).
#include <chrono>
#include <string>

namespace quorvel {

class Session;
class QtNotifier;

struct WindowOptions {
  // Write a PNG of the main window once the modem's link table is read (or
  // when the bound runs out), then close.
  std::string screenshotFile;
  // The bound, in seconds, for the screenshot and for the start-up times.
  int screenshotAfterSeconds = 60;
  // Print "startup: window shown N ms" and "startup: modem link table read N ms"
  // and close once the table is read.
  bool startupTimes = false;
};

// Runs the window until it is closed; the session is started and stopped here
// in the document's place. Returns the exit status.
int RunWindow(int& argc, char** argv, Session& session, QtNotifier& notifier, const WindowOptions& options,
              std::chrono::steady_clock::time_point started);

}  // namespace quorvel

#pragma once
// The program with its window: the Qt application around the run object, and
// what a run without a user does (a screenshot, the start-up times; see
// SessionOptions).
#include <QIcon>
#include <chrono>
#include <csignal>

namespace quorvel {

class Session;
class QtNotifier;

// The files --screenshot-dialogs writes into its folder.
inline constexpr char kSetupDialogPicture[] = "setup_dialog.png";
inline constexpr char kHelpWindowPicture[] = "help_window.png";

// Runs the window until it is closed. The session stands in for the document:
// starting it loads the five files, stopping it saves them. `notifier` must be
// the one the session was made with. Returns the exit status.
// A raised `stop` (a signal) closes the window as the user would.
int RunWindow(int& argc, char** argv, Session& session, QtNotifier& notifier,
              std::chrono::steady_clock::time_point started, const volatile std::sig_atomic_t* stop);

// Whether a window can be opened here: a display, or a Qt platform named.
bool WindowPossible();

// The program's icon in every size it is drawn in (built into the program).
QIcon ProgramIcon();

}  // namespace quorvel

#pragma once
// The program's command line. Every option is one row of the table in
// session_options.cpp: its name, its value's name, its help line and what it
// sets; adding an option is a field here and a row there.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/device_command.h"
#include "engine/link_command.h"

namespace quorvel {

struct SessionOptions {
  bool headless = false;     // the tick loop with the log printed, no window
  bool simulate = false;     // quorvel-sim on a pseudo-terminal
  bool virtualTime = false;  // the simulated network in this process, on a clock that never waits
  std::string serialPath;    // one device named outright (--serial, or QUORVEL_SERIAL)
  std::string houseFile;     // the simulated house; empty: the shipped example house
  std::string dataDir;       // the data home holding the "quorvel" folder; empty: the user's
  int64_t secondsLimit = 0;  // stop after this much run time; 0 runs until stopped
  // Run until the network is settled, print the run's summary and end; with
  // --virtual-time bounded by six virtual hours unless --seconds says otherwise.
  bool untilIdle = false;
  int linkReport = -1;       // the Link Watch report (0..9) to print, -1 none
  bool linkRequested = false;  // --link: make one link, report it and end
  LinkCommand link;
  // --on, --off, --status: switch or ask one device, print its answer and end.
  // Such a run prints only the answer unless `verbose` asks for the log too.
  bool deviceCommandRequested = false;
  bool deviceCommandRefused = false;  // its id or level was malformed: the run fails with 1, not 2
  DeviceCommand deviceCommand;
  bool verbose = false;
  bool listPorts = false;  // --ports: the serial devices present, then the end
  bool showPaths = false;  // --paths: where the shipped files are found, then the end
  // With the window: a PNG of it once the modem's link table is read, or once
  // screenshotAfter seconds have passed, and then the end of the run.
  std::string screenshotFile;
  int64_t screenshotAfter = 60;
  // With the window: at the same moment, PNGs of the Setup dialog and of the
  // help window ("setup_dialog.png", "help_window.png") in this folder.
  std::string screenshotDialogs;
  // With the window: one PNG per tab and pane, and the Device Setup tab with the
  // modem, a dimmer and a keypad selected, into this folder; then the end.
  std::string screenshotDir;
  // With the window: print the times to the window shown and to the modem's
  // link table read (bounded by screenshotAfter), then end.
  bool startupTimes = false;
  // A ".cfg" named on the command line; taken and left unread.
  std::string ignoredDocument;
  bool version = false;
  bool help = false;
};

// Reads argv[1..argc-1] into `out`, starting from the environment's defaults
// (QUORVEL_SERIAL). False with a message in `error` for an unknown option or a
// bad value.
bool ParseArguments(int argc, const char* const* argv, SessionOptions& out, std::string& error);

// The usage text, made from the option table.
std::string UsageText();
// Every option's name ("--seconds"), in the table's order.
std::vector<std::string> OptionNames();

}  // namespace quorvel

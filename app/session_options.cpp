#include "app/session_options.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <limits>

#include "engine/link_watch.h"

namespace quorvel {

namespace {

struct OptionRow {
  const char* name;   // "--seconds"
  const char* value;  // the value's name, or nullptr for a switch
  const char* help;
  // Applies the value (empty for a switch); false with `error` set when it is bad.
  std::function<bool(SessionOptions&, const std::string& value, std::string& error)> apply;
  // Values the option takes from the words after it; more than one arrive
  // joined by newlines, and cannot be given with "=".
  int valueCount = 1;
  // Further values it takes when the next words are no options ("--on ID 50").
  int optionalCount = 0;
};

bool ReadCount(const std::string& text, int64_t& out) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str() || *end != '\0' || v < 0) return false;
  // A limit beyond a century is no limit anyone means; it would only overflow the millisecond sums.
  if (v > 100LL * 365 * 24 * 3600) return false;
  out = v;
  return true;
}

auto Switch(bool SessionOptions::*field) {
  return [field](SessionOptions& o, const std::string&, std::string&) {
    o.*field = true;
    return true;
  };
}

// --on ID [LEVEL], --off ID, --status ID: one of them per run.
auto Device(DeviceCommandKind kind) {
  return [kind](SessionOptions& o, const std::string& v, std::string& error) {
    if (o.deviceCommandRequested) {
      error = "give only one of --on, --off and --status";
      return false;
    }
    const size_t nl = v.find('\n');
    const std::string id = v.substr(0, nl);
    const std::string level = nl == std::string::npos ? std::string() : v.substr(nl + 1);
    const char* name = kind == DeviceCommandKind::kOn ? "--on" : kind == DeviceCommandKind::kOff ? "--off" : "--status";
    if (!ParseDeviceCommand(kind, id, level, o.deviceCommand, error)) {
      error = std::string(name) + ": " + error;
      o.deviceCommandRefused = true;
      return false;
    }
    o.deviceCommandRequested = true;
    return true;
  };
}

auto Text(std::string SessionOptions::*field, const char* what) {
  return [field, what](SessionOptions& o, const std::string& v, std::string& error) {
    if (v.empty()) {
      error = std::string(what) + " must not be empty";
      return false;
    }
    o.*field = v;
    return true;
  };
}

const std::vector<OptionRow>& Rows() {
  static const std::vector<OptionRow> rows = {
      {"--headless", nullptr, "run without a window: the tick loop, with every log line printed",
       Switch(&SessionOptions::headless)},
      {"--simulate", nullptr, "start quorvel-sim on a pseudo-terminal and use its simulated modem",
       Switch(&SessionOptions::simulate)},
      {"--virtual-time", nullptr,
       "simulate the house in this process on a clock that moves 160 ms per tick without waiting",
       Switch(&SessionOptions::virtualTime)},
      {"--serial", "PATH",
       "use the modem on this device only: a path, or an adapter's name in /dev/serial/by-id as --ports lists "
       "them (also: QUORVEL_SERIAL)",
       Text(&SessionOptions::serialPath, "the serial device")},
      {"--house", "FILE", "the house the simulator runs (default: the shipped example house)",
       Text(&SessionOptions::houseFile, "the house file")},
      {"--data", "DIR", "keep the configuration files in DIR/quorvel instead of $XDG_DATA_HOME/quorvel\n"
       "                    (simulated runs: $XDG_DATA_HOME/quorvel-simulated/quorvel)",
       Text(&SessionOptions::dataDir, "the data folder")},
      {"--seconds", "N", "stop after N seconds of run time (virtual seconds with --virtual-time)",
       [](SessionOptions& o, const std::string& v, std::string& error) {
         if (ReadCount(v, o.secondsLimit)) return true;
         error = "--seconds needs a whole number of seconds, not \"" + v + "\"";
         return false;
       }},
      {"--until-idle", nullptr,
       "run until every powered device is identified and its link table read, print a summary, end",
       Switch(&SessionOptions::untilIdle)},
      {"--link-report", "N",
       "print the Link Watch report N (0 all responding devices .. 9 not responding) as indented text: "
       "alone from the stored data file, with --virtual-time, --simulate or --serial after the run",
       [](SessionOptions& o, const std::string& v, std::string& error) {
         int64_t n = 0;
         if (ReadCount(v, n) && n < kReportCategories) {
           o.linkReport = static_cast<int>(n);
           return true;
         }
         error = "--link-report needs a report number from 0 to 9, not \"" + v + "\"";
         return false;
       }},
      {"--link", "CONTROLLER RESPONDER GROUP",
       "link a controller's group (ids as AA.BB.CC; the modem's id for a computer group) to a responder, "
       "report and end",
       [](SessionOptions& o, const std::string& v, std::string& error) {
         const size_t a = v.find('\n');
         const size_t b = a == std::string::npos ? a : v.find('\n', a + 1);
         if (b == std::string::npos) {
           error = "--link needs CONTROLLER RESPONDER GROUP";
           return false;
         }
         if (!ParseLinkCommand(v.substr(0, a), v.substr(a + 1, b - a - 1), v.substr(b + 1), o.link, error)) {
           error = "--link: " + error;
           return false;
         }
         o.linkRequested = true;
         return true;
       },
       3},
      {"--on", "ID [LEVEL]",
       "switch device ID (as 2A.10.02) on, to LEVEL percent (default 100); print its new level, end",
       Device(DeviceCommandKind::kOn), 1, 1},
      {"--off", "ID", "switch device ID off; print its answer, end", Device(DeviceCommandKind::kOff)},
      {"--status", "ID", "ask device ID for its level; print it, end (status 1 when it does not answer)",
       Device(DeviceCommandKind::kStatus)},
      {"--verbose", nullptr, "with --on, --off or --status: print the log lines as well",
       Switch(&SessionOptions::verbose)},
      {"--ports", nullptr, "list the serial devices present (stable by-id names and their ttys), then end",
       Switch(&SessionOptions::listPorts)},
      {"--paths", nullptr, "print where the device pictures, the example house and quorvel-sim are found, then end",
       Switch(&SessionOptions::showPaths)},
      {"--screenshot", "FILE", "write a PNG of the window once the modem's link table is read, then end",
       Text(&SessionOptions::screenshotFile, "the screenshot file")},
      {"--screenshot-dialogs", "DIR",
       "with the window: write PNGs of the Setup dialog and the help window into DIR at the same moment, then end",
       Text(&SessionOptions::screenshotDialogs, "the screenshot folder")},
      {"--screenshots", "DIR",
       "write a PNG of every tab and pane, and of Device Setup with the modem, a dimmer and a keypad, into DIR",
       Text(&SessionOptions::screenshotDir, "the screenshot folder")},
      {"--screenshot-after", "N", "wait at most N seconds for the link table before the picture (default 60)",
       [](SessionOptions& o, const std::string& v, std::string& error) {
         if (ReadCount(v, o.screenshotAfter)) return true;
         error = "--screenshot-after needs a whole number of seconds, not \"" + v + "\"";
         return false;
       }},
      {"--startup-times", nullptr, "print the times to the window shown and to the link table read, then end",
       Switch(&SessionOptions::startupTimes)},
      {"--version", nullptr, "print the version and end", Switch(&SessionOptions::version)},
      {"--help", nullptr, "print this help and end", Switch(&SessionOptions::help)},
  };
  return rows;
}

}  // namespace

bool ParseArguments(int argc, const char* const* argv, SessionOptions& out, std::string& error) {
  if (const char* env = std::getenv("QUORVEL_SERIAL"); env != nullptr && *env != '\0') out.serialPath = env;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i] != nullptr ? argv[i] : "";
    std::string value;
    bool valueInline = false;
    if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
      valueInline = true;
    }
    // A configuration document handed over by the desktop (a ".cfg" opened or
    // dropped) is not read: the configuration is always the five files.
    if (arg.rfind('-', 0) != 0 && arg.size() > 4 && arg.compare(arg.size() - 4, 4, ".cfg") == 0) {
      out.ignoredDocument = arg;
      continue;
    }
    const OptionRow* row = nullptr;
    for (const OptionRow& r : Rows()) {
      if (arg == r.name) row = &r;
    }
    if (row == nullptr) {
      error = "unknown option \"" + arg + "\"";
      return false;
    }
    if (row->valueCount > 1 && valueInline) {
      error = arg + " takes " + row->value + " as separate words";
      return false;
    }
    if (row->value != nullptr && !valueInline) {
      for (int n = 0; n < row->valueCount; ++n) {
        if (i + 1 >= argc || argv[i + 1] == nullptr) {
          error = arg + " needs " + row->value;
          return false;
        }
        if (n > 0) value += '\n';
        value += argv[++i];
      }
      // An optional value is a word that is no option; "-5" is a bad value, not an option.
      for (int n = 0; n < row->optionalCount && i + 1 < argc && argv[i + 1] != nullptr; ++n) {
        const std::string next = argv[i + 1];
        const bool option = next.size() > 1 && next[0] == '-' && (next[1] < '0' || next[1] > '9');
        if (next.empty() || option) break;
        value += '\n' + next;
        ++i;
      }
    } else if (row->value == nullptr && valueInline) {
      error = arg + " takes no value";
      return false;
    }
    if (!row->apply(out, value, error)) return false;
  }
  if (out.simulate && out.virtualTime) {
    error = "--simulate and --virtual-time each bring their own simulator; choose one";
    return false;
  }
  if (out.deviceCommandRequested && (out.linkRequested || out.untilIdle || out.linkReport >= 0)) {
    error = "--on, --off and --status end the run with the device's answer: give them without --link, "
            "--until-idle or --link-report";
    return false;
  }
  return true;
}

std::vector<std::string> OptionNames() {
  std::vector<std::string> names;
  for (const OptionRow& r : Rows()) names.emplace_back(r.name);
  return names;
}

std::string UsageText() {
  std::string text = "usage: quorvel [options]\n";
  for (const OptionRow& r : Rows()) {
    std::string left = std::string("  ") + r.name;
    if (r.value != nullptr) left += std::string(" ") + r.value;
    if (left.size() < 20) left.resize(20, ' ');
    else left += "  ";
    text += left + r.help + "\n";
  }
  return text;
}

}  // namespace quorvel

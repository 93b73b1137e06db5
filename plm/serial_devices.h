#pragma once
// The serial devices of this machine as a user names them: the stable names
// udev gives USB adapters under /dev/serial/by-id (a ttyUSB number changes
// between boots, the adapter's name does not), and, when a device will not
// open, a line that says why and what to do about it.
#include <string>
#include <vector>

namespace quorvel {

inline constexpr const char* kSerialByIdFolder = "/dev/serial/by-id";

// One serial device present.
struct SerialDeviceEntry {
  std::string name;  // the by-id name ("usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"); empty for a bare tty
  std::string path;  // what to open: the by-id link, or the tty itself
  std::string tty;   // the device it stands for now ("/dev/ttyUSB0")
  int portNumber = 0;  // 1..16 when the tty is one of the numbered ports, else 0
};

// The adapters of `byIdFolder` in name order (links that lead nowhere and
// names that are no plain file name are left out), then the numbered ports
// present that none of them stands for.
std::vector<SerialDeviceEntry> ListSerialDevices(const std::string& byIdFolder = kSerialByIdFolder);

// The adapters of `byIdFolder` whose device is none of the numbered ports 1..16:
// the search tries them after those, as ports 17 on.
std::vector<std::string> ExtraSerialPaths(const std::string& byIdFolder = kSerialByIdFolder);

// How a user sees one device in a list: "usb-FTDI_..._A1B2C3-if00-port0
// (/dev/ttyUSB0, port 1)", or "/dev/ttyS0 (port 13)" for a port known only by its tty.
std::string SerialDeviceLabel(const SerialDeviceEntry& entry);

// What `--serial` and the Setup dialog's choice name: a path stays as it is; a
// bare name is an adapter of `byIdFolder`, else a device of /dev.
std::string ResolveSerialName(const std::string& text, const std::string& byIdFolder = kSerialByIdFolder);

// --- Why a device did not open ------------------------------------------------

// What the device itself says about who may open it, and what this login has.
struct PortAccess {
  std::string path;
  bool known = false;  // the device could be examined
  std::string owner;   // its owning user's name
  std::string group;   // its owning group's name
  unsigned mode = 0;   // its permission bits
  std::string user;    // the user this program runs as
  bool listedInGroup = false;  // the group database names the user a member of `group`
  bool groupInLogin = false;   // this process holds `group` now
};

// Reads the facts of `path` with stat and the user and group databases.
PortAccess ReadPortAccess(const std::string& path);

// The one line for a device that may not be opened (EACCES, EPERM): the path,
// and the fix, which is membership of the device's own group and a new login.
std::string DeniedPortText(const PortAccess& access);

// The line for a device another program holds; `holder` names it ("minicom,
// process 812"), empty when it could not be found.
std::string InUseText(const std::string& path, const std::string& holder);
// The program holding `path` open, as "NAME, process PID"; empty when none is
// found (or the processes may not be looked at).
std::string FindHolder(const std::string& path);

// The line for an open of `path` that failed with `err` (an errno value);
// empty for a device that is simply not there, which the search's "Fail" line
// already says.
std::string OpenRefusalText(const std::string& path, int err);

}  // namespace quorvel

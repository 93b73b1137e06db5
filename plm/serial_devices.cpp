#include "plm/serial_devices.h"

#include <grp.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "plm/posix_serial_port.h"

namespace quorvel {

namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[768];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

// A name udev could have made: printable, no folder parts, of a sane length.
// Anything else in the folder is left alone rather than shown or opened.
bool PlainFileName(const std::string& name) {
  if (name.empty() || name.size() > NAME_MAX || name == "." || name == "..") return false;
  return std::all_of(name.begin(), name.end(),
                     [](char c) { return static_cast<unsigned char>(c) > 0x20 && c != 0x7F && c != '/'; });
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return {};
  return resolved;
}

bool IsCharacterDevice(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

int NumberedPortOf(const std::string& tty) {
  for (int n = 1; n <= kSerialPortCount; ++n) {
    if (SerialDevicePath(n) == tty) return n;
  }
  return 0;
}

std::vector<SerialDeviceEntry> ByIdEntries(const std::string& byIdFolder) {
  std::vector<SerialDeviceEntry> out;
  std::error_code ec;
  std::filesystem::directory_iterator it(byIdFolder, ec);
  if (ec) return out;
  for (const std::filesystem::directory_entry& e : it) {
    const std::string name = e.path().filename().string();
    if (!PlainFileName(name)) continue;
    SerialDeviceEntry entry;
    entry.name = name;
    entry.path = byIdFolder + "/" + name;
    entry.tty = RealPath(entry.path);
    if (entry.tty.empty()) continue;  // an adapter unplugged while its link stays
    entry.portNumber = NumberedPortOf(entry.tty);
    out.push_back(std::move(entry));
    if (out.size() >= 64) break;  // more adapters than anyone has: the rest are noise
  }
  std::sort(out.begin(), out.end(), [](const SerialDeviceEntry& a, const SerialDeviceEntry& b) { return a.name < b.name; });
  return out;
}

}  // namespace

std::vector<SerialDeviceEntry> ListSerialDevices(const std::string& byIdFolder) {
  std::vector<SerialDeviceEntry> out = ByIdEntries(byIdFolder);
  for (int n = 1; n <= kSerialPortCount; ++n) {
    const std::string tty(SerialDevicePath(n));
    if (!IsCharacterDevice(tty)) continue;
    const bool named = std::any_of(out.begin(), out.end(), [&](const SerialDeviceEntry& e) { return e.tty == tty; });
    if (!named) out.push_back(SerialDeviceEntry{"", tty, tty, n});
  }
  return out;
}

std::vector<std::string> ExtraSerialPaths(const std::string& byIdFolder) {
  std::vector<std::string> out;
  for (const SerialDeviceEntry& e : ByIdEntries(byIdFolder)) {
    if (e.portNumber == 0) out.push_back(e.path);
  }
  return out;
}

std::string SerialDeviceLabel(const SerialDeviceEntry& e) {
  const std::string port = e.portNumber > 0 ? ", port " + std::to_string(e.portNumber) : std::string();
  if (e.name.empty()) return e.portNumber > 0 ? e.tty + " (port " + std::to_string(e.portNumber) + ")" : e.tty;
  return e.name + " (" + e.tty + port + ")";
}

std::string ResolveSerialName(const std::string& text, const std::string& byIdFolder) {
  if (text.empty() || text.find('/') != std::string::npos) return text;
  if (!PlainFileName(text)) return "/dev/" + text;  // opens nothing; the search says it failed
  const std::string byId = byIdFolder + "/" + text;
  struct stat st {};
  if (lstat(byId.c_str(), &st) == 0) return byId;
  const std::string dev = "/dev/" + text;
  if (lstat(dev.c_str(), &st) == 0) return dev;
  // Neither is there now. A by-id name keeps its folder, so the adapter opens
  // once it is plugged in; anything else is a device of /dev.
  return text.rfind("usb-", 0) == 0 || text.rfind("pci-", 0) == 0 ? byId : dev;
}

PortAccess ReadPortAccess(const std::string& path) {
  PortAccess a;
  a.path = path;
  const uid_t uid = geteuid();
  if (const passwd* pw = getpwuid(uid); pw != nullptr && pw->pw_name != nullptr) {
    a.user = pw->pw_name;
  } else {
    a.user = std::to_string(uid);
  }
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return a;
  a.known = true;
  a.mode = st.st_mode & 07777;
  if (const passwd* owner = getpwuid(st.st_uid); owner != nullptr && owner->pw_name != nullptr) {
    a.owner = owner->pw_name;
  } else {
    a.owner = std::to_string(st.st_uid);
  }
  const group* g = getgrgid(st.st_gid);
  a.group = g != nullptr && g->gr_name != nullptr ? g->gr_name : std::to_string(st.st_gid);
  if (g != nullptr && g->gr_mem != nullptr) {
    for (char** m = g->gr_mem; *m != nullptr; ++m) {
      if (a.user == *m) a.listedInGroup = true;
    }
  }
  if (const passwd* pw = getpwuid(uid); pw != nullptr && pw->pw_gid == st.st_gid) a.listedInGroup = true;
  if (getegid() == st.st_gid) a.groupInLogin = true;
  gid_t held[NGROUPS_MAX];
  const int n = getgroups(NGROUPS_MAX, held);
  for (int i = 0; i < n; ++i) {
    if (held[i] == st.st_gid) a.groupInLogin = true;
  }
  return a;
}

std::string DeniedPortText(const PortAccess& a) {
  const char* path = a.path.c_str();
  if (!a.known) {
    return Format("Permission denied on %s: add yourself to the group that owns it (usually dialout), "
                  "then log out and back in",
                  path);
  }
  // The modem is opened for reading and writing: the group needs both.
  const bool groupMayOpen = (a.mode & 060) == 060;
  if (!groupMayOpen) {
    return Format("Permission denied on %s: its mode %03o lets only its owner %s open it; have it given to a group "
                  "(a udev rule with MODE=\"0660\"), join that group, then log out and back in",
                  path, a.mode & 0777, a.owner.c_str());
  }
  if (a.groupInLogin) {
    return Format("Permission denied on %s, although this login is in its group %s: check the device's access "
                  "control list and the security policy",
                  path, a.group.c_str());
  }
  if (a.listedInGroup) {
    return Format("Permission denied on %s: you are in its group %s, but this login began before you joined it; "
                  "log out and back in",
                  path, a.group.c_str());
  }
  return Format("Permission denied on %s: add yourself to its group %s (sudo usermod -aG %s %s), "
                "then log out and back in",
                path, a.group.c_str(), a.group.c_str(), a.user.c_str());
}

std::string InUseText(const std::string& path, const std::string& holder) {
  const std::string who = holder.empty() ? std::string() : " (" + holder + ")";
  return Format("%s is in use by another program%s: close it, and the search opens the port", path.c_str(),
                who.c_str());
}

std::string FindHolder(const std::string& path) {
  const std::string device = RealPath(path);
  if (device.empty()) return {};
  std::error_code ec;
  std::filesystem::directory_iterator procs("/proc", ec);
  if (ec) return {};
  for (const std::filesystem::directory_entry& p : procs) {
    const std::string pid = p.path().filename().string();
    if (pid.empty() || !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    std::error_code fdError;
    std::filesystem::directory_iterator fds(p.path() / "fd", fdError);
    if (fdError) continue;  // another user's process, or one that just ended
    for (const std::filesystem::directory_entry& fd : fds) {
      std::error_code linkError;
      const std::filesystem::path target = std::filesystem::read_symlink(fd.path(), linkError);
      if (linkError || target.string() != device) continue;
      std::ifstream comm(p.path() / "comm");
      std::string name;
      std::getline(comm, name);
      if (name.empty()) name = "a program";
      return name + ", process " + pid;
    }
  }
  return {};
}

std::string OpenRefusalText(const std::string& path, int err) {
  switch (err) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case EIO:
      return {};  // no such device, or no hardware behind it: the usual absent port
    case EACCES:
    case EPERM:
      return DeniedPortText(ReadPortAccess(path));
    case EBUSY:
    case EWOULDBLOCK:
      return InUseText(path, FindHolder(path));
    case ENOTTY:
      return Format("%s is not a serial device", path.c_str());
    default:
      return Format("Cannot open %s: %s", path.c_str(), std::strerror(err));
  }
}

}  // namespace quorvel

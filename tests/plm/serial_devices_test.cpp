// The serial devices by their stable names, through a folder of symbolic links
// laid out as udev lays out /dev/serial/by-id, and the line that explains a
// device that may not be opened.
#include "plm/serial_devices.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/scratch.h"

namespace quorvel {
namespace {

using testing::TempFolder;

// dev/ holds two stand-in devices; by-id/ links to them the way udev does
// (relative links), plus a link whose adapter is gone and a name no udev makes.
struct ByIdFolder {
  ByIdFolder() {
    namespace fs = std::filesystem;
    fs::create_directories(root.path() + "/dev");
    fs::create_directories(byId());
    for (const char* tty : {"ttyFake0", "ttyFake1"}) std::ofstream(root.path() + "/dev/" + tty).put('x');
    fs::create_symlink("../dev/ttyFake1", byId() + "/usb-Zeta_Serial_Z9-if00-port0");
    fs::create_symlink(root.path() + "/dev/ttyFake0", byId() + "/usb-Alpha_PLM_A1B2C3-if00-port0");
    fs::create_symlink("../dev/ttyGone", byId() + "/usb-Gone_Adapter-if00-port0");
    fs::create_symlink("../dev/ttyFake0", byId() + "/bad\x01name");
  }
  std::string byId() const { return root.path() + "/by-id"; }
  std::string Dev(const char* tty) const { return root.path() + "/dev/" + tty; }
  TempFolder root;
};

std::vector<SerialDeviceEntry> Named(const std::vector<SerialDeviceEntry>& all) {
  std::vector<SerialDeviceEntry> out;
  for (const SerialDeviceEntry& e : all)
    if (!e.name.empty()) out.push_back(e);
  return out;
}

TEST(SerialDevices, TheByIdAdaptersAreListedByNameWithTheirDevices) {
  ByIdFolder f;
  ASSERT_FALSE(f.root.path().empty());
  const std::vector<SerialDeviceEntry> named = Named(ListSerialDevices(f.byId()));
  ASSERT_EQ(named.size(), 2u) << "the gone adapter and the odd name are left out";
  EXPECT_EQ(named[0].name, "usb-Alpha_PLM_A1B2C3-if00-port0");
  EXPECT_EQ(named[0].path, f.byId() + "/usb-Alpha_PLM_A1B2C3-if00-port0");
  EXPECT_EQ(named[0].tty, f.Dev("ttyFake0"));
  EXPECT_EQ(named[0].portNumber, 0);
  EXPECT_EQ(named[1].name, "usb-Zeta_Serial_Z9-if00-port0");
  EXPECT_EQ(named[1].tty, f.Dev("ttyFake1"));
  // Neither is a numbered port, so the search tries both after port 16.
  EXPECT_EQ(ExtraSerialPaths(f.byId()),
            (std::vector<std::string>{named[0].path, named[1].path}));
  EXPECT_TRUE(Named(ListSerialDevices(f.root.path() + "/nowhere")).empty());
}

TEST(SerialDevices, AnAdapterOnANumberedPortIsNotTriedTwice) {
  struct stat st {};
  if (stat("/dev/ttyS0", &st) != 0 || !S_ISCHR(st.st_mode)) GTEST_SKIP() << "no /dev/ttyS0 on this machine";
  TempFolder root;
  std::filesystem::create_symlink("/dev/ttyS0", root.path() + "/pci-serial0");
  const std::vector<SerialDeviceEntry> named = Named(ListSerialDevices(root.path()));
  ASSERT_EQ(named.size(), 1u);
  EXPECT_EQ(named[0].portNumber, 13);
  EXPECT_TRUE(ExtraSerialPaths(root.path()).empty());
  for (const SerialDeviceEntry& e : ListSerialDevices(root.path()))
    EXPECT_TRUE(e.tty != "/dev/ttyS0" || !e.name.empty()) << "listed once, by its name";
}

TEST(SerialDevices, NamesGivenToSerialAreResolved) {
  ByIdFolder f;
  struct Case {
    std::string text;
    std::string path;
  };
  const std::vector<Case> cases = {
      {"/dev/ttyUSB3", "/dev/ttyUSB3"},
      {"usb-Alpha_PLM_A1B2C3-if00-port0", f.byId() + "/usb-Alpha_PLM_A1B2C3-if00-port0"},
      // Unplugged: it opens under this name once it is plugged in again.
      {"usb-Gone_Adapter-if00-port0", f.byId() + "/usb-Gone_Adapter-if00-port0"},
      {"usb-Not_Here_Yet-if00-port0", f.byId() + "/usb-Not_Here_Yet-if00-port0"},
      {"ttyUSB0", "/dev/ttyUSB0"},
      {"../etc/passwd", "../etc/passwd"},  // a path, as typed
      {"..", "/dev/.."},                   // no file name: opens nothing
      {"a\x01" "b", "/dev/a\x01" "b"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ResolveSerialName(c.text, f.byId()), c.path) << c.text;
}

TEST(SerialDevices, LabelsShowTheNameTheDeviceAndThePortNumber) {
  struct Case {
    SerialDeviceEntry entry;
    std::string label;
  };
  const std::vector<Case> cases = {
      {{"usb-FTDI_FT232R_A1-if00-port0", "/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0", "/dev/ttyUSB0", 1},
       "usb-FTDI_FT232R_A1-if00-port0 (/dev/ttyUSB0, port 1)"},
      {{"usb-FTDI_FT232R_B2-if00-port0", "/dev/serial/by-id/usb-FTDI_FT232R_B2-if00-port0", "/dev/ttyUSB9", 0},
       "usb-FTDI_FT232R_B2-if00-port0 (/dev/ttyUSB9)"},
      {{"", "/dev/ttyS0", "/dev/ttyS0", 13}, "/dev/ttyS0 (port 13)"},
  };
  for (const Case& c : cases) EXPECT_EQ(SerialDeviceLabel(c.entry), c.label);
}

TEST(DeniedPortText, NamesThePathAndTheFix) {
  struct Case {
    const char* what;
    PortAccess access;
    std::string text;
  };
  auto facts = [](unsigned mode, bool listed, bool inLogin) {
    PortAccess a;
    a.path = "/dev/ttyUSB0";
    a.known = true;
    a.owner = "root";
    a.group = "dialout";
    a.mode = mode;
    a.user = "ann";
    a.listedInGroup = listed;
    a.groupInLogin = inLogin;
    return a;
  };
  PortAccess unknown;
  unknown.path = "/dev/ttyUSB1";
  unknown.user = "ann";
  const std::vector<Case> cases = {
      {"not in the group", facts(0660, false, false),
       "Permission denied on /dev/ttyUSB0: add yourself to its group dialout (sudo usermod -aG dialout ann), "
       "then log out and back in"},
      {"joined, not logged in again", facts(0660, true, false),
       "Permission denied on /dev/ttyUSB0: you are in its group dialout, but this login began before you joined "
       "it; log out and back in"},
      {"the group may not open it", facts(0600, false, false),
       "Permission denied on /dev/ttyUSB0: its mode 600 lets only its owner root open it; have it given to a group "
       "(a udev rule with MODE=\"0660\"), join that group, then log out and back in"},
      {"the group may only write", facts(0620, false, false),
       "Permission denied on /dev/ttyUSB0: its mode 620 lets only its owner root open it; have it given to a group "
       "(a udev rule with MODE=\"0660\"), join that group, then log out and back in"},
      {"in the group and still refused", facts(0660, true, true),
       "Permission denied on /dev/ttyUSB0, although this login is in its group dialout: check the device's access "
       "control list and the security policy"},
      {"gone before it could be looked at", unknown,
       "Permission denied on /dev/ttyUSB1: add yourself to the group that owns it (usually dialout), then log out "
       "and back in"},
  };
  for (const Case& c : cases) EXPECT_EQ(DeniedPortText(c.access), c.text) << c.what;
}

TEST(OpenRefusalText, AnAbsentPortNeedsNoWordsOtherFailuresDo) {
  EXPECT_EQ(OpenRefusalText("/dev/ttyUSB0", ENOENT), "");
  EXPECT_EQ(OpenRefusalText("/dev/ttyS3", EIO), "");
  EXPECT_EQ(OpenRefusalText("/tmp/file", ENOTTY), "/tmp/file is not a serial device");
  EXPECT_EQ(OpenRefusalText("/dev/quorvel-none", EBUSY),
            "/dev/quorvel-none is in use by another program: close it, and the search opens the port");
  EXPECT_EQ(OpenRefusalText("/dev/ttyUSB0", EMFILE), "Cannot open /dev/ttyUSB0: Too many open files");
  EXPECT_EQ(InUseText("/dev/ttyUSB0", "minicom, process 812"),
            "/dev/ttyUSB0 is in use by another program (minicom, process 812): close it, and the search opens the "
            "port");
}

}  // namespace
}  // namespace quorvel

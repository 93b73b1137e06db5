// The tty port against a real pseudo-terminal: line settings, exclusive use,
// bytes both ways, a vanished device and a stalled line.
#include "plm/posix_serial_port.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "plm/serial_devices.h"
#include "support/scratch.h"

namespace quorvel {
namespace {

// The far end of a pseudo-terminal: what a modem would be.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    const char* name = ptsname(master_);
    if (name != nullptr) path_ = name;
  }
  ~PseudoTerminal() { CloseMaster(); }
  const std::string& Path() const { return path_; }
  int Master() const { return master_; }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  bool Send(const std::vector<uint8_t>& bytes) {
    return ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // Reads what arrives within a generous bound; readiness, not a timed wait.
  std::vector<uint8_t> Receive(size_t want) {
    std::vector<uint8_t> out;
    while (out.size() < want) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 5000) <= 0) break;
      uint8_t buf[64];
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) break;
      out.insert(out.end(), buf, buf + n);
    }
    return out;
  }

 private:
  int master_ = -1;
  std::string path_;
};

// Waits until the port has bytes to read (the pty hands them over shortly).
bool WaitReadable(const PosixSerialPort& port) {
  pollfd p{port.Descriptor(), POLLIN, 0};
  return poll(&p, 1, 5000) > 0;
}

class PosixPort : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(pty_.Path().empty()) << "no pseudo-terminal on this machine";
    port_.ForcePath(pty_.Path());
  }
  PseudoTerminal pty_;
  PosixSerialPort port_;
};

TEST(SerialDevicePaths, NumbersMapToUsbThenAcmThenBuiltInPorts) {
  struct Case {
    int number;
    std::string path;
  };
  const Case cases[] = {{0, ""},           {1, "/dev/ttyUSB0"}, {8, "/dev/ttyUSB7"}, {9, "/dev/ttyACM0"},
                        {12, "/dev/ttyACM3"}, {13, "/dev/ttyS0"},  {16, "/dev/ttyS3"},  {17, ""},
                        {-1, ""}};
  for (const Case& c : cases) EXPECT_EQ(SerialDevicePath(c.number), c.path) << c.number;
  PosixSerialPort port;
  EXPECT_EQ(port.PortName(9), "/dev/ttyACM0");
  EXPECT_EQ(port.PinnedPort(), 0);
  EXPECT_FALSE(port.Open(0));
}

TEST_F(PosixPort, OpensTheForcedPathRaw19200EightNOne) {
  EXPECT_EQ(port_.PinnedPort(), 1);
  EXPECT_EQ(port_.PortName(1), pty_.Path());
  EXPECT_FALSE(port_.Open(2)) << "only port 1 names a forced device";
  ASSERT_TRUE(port_.Open(1));
  termios tio{};
  ASSERT_EQ(tcgetattr(port_.Descriptor(), &tio), 0);
  EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B19200));
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B19200));
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_NE(tio.c_cflag & CREAD, 0u);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | ISTRIP), 0u);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);
  EXPECT_EQ(tio.c_cc[VMIN], 0);
  EXPECT_EQ(tio.c_cc[VTIME], 0);
  EXPECT_NE(fcntl(port_.Descriptor(), F_GETFL) & O_NONBLOCK, 0);
}

TEST_F(PosixPort, ASecondOpenerIsRefusedUntilTheFirstCloses) {
  ASSERT_TRUE(port_.Open(1));
  PosixSerialPort other;
  other.ForcePath(pty_.Path());
  EXPECT_FALSE(other.Open(1));
  EXPECT_FALSE(other.IsOpen());
  port_.Close();
  EXPECT_TRUE(other.Open(1));
}

TEST_F(PosixPort, CarriesBytesBothWaysWithoutWaiting) {
  ASSERT_TRUE(port_.Open(1));
  uint8_t buf[127];
  size_t got = 99;
  EXPECT_EQ(port_.Read(buf, sizeof buf, got), IoStatus::Ok);  // nothing there: no wait, no bytes
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(port_.Available(), 0);

  // Bytes that a cooked line would change: CR, NL, XOFF, XON, DEL and 0xFF.
  const std::vector<uint8_t> reply = {0x02, 0x60, 0x0D, 0x0A, 0x13, 0x11, 0x7F, 0xFF, 0x06};
  ASSERT_TRUE(pty_.Send(reply));
  ASSERT_TRUE(WaitReadable(port_));
  EXPECT_EQ(port_.Available(), static_cast<int>(reply.size()));
  ASSERT_EQ(port_.Read(buf, 4, got), IoStatus::Ok);  // at most max
  std::vector<uint8_t> in(buf, buf + got);
  ASSERT_EQ(port_.Read(buf, sizeof buf, got), IoStatus::Ok);
  in.insert(in.end(), buf, buf + got);
  EXPECT_EQ(in, reply);

  const std::vector<uint8_t> request = {0x02, 0x62, 0x0D, 0x0A, 0x13, 0x11, 0x00, 0xFF};
  for (uint8_t b : request) ASSERT_EQ(port_.WriteByte(b), IoStatus::Ok);
  EXPECT_EQ(pty_.Receive(request.size()), request);
}

TEST_F(PosixPort, AVanishedDeviceIsReportedGone) {
  ASSERT_TRUE(port_.Open(1));
  pty_.CloseMaster();
  EXPECT_LT(port_.Available(), 0);
  uint8_t buf[16];
  size_t got = 0;
  EXPECT_EQ(port_.Read(buf, sizeof buf, got), IoStatus::Gone);
  EXPECT_EQ(port_.WriteByte(0x02), IoStatus::Gone);
  port_.Close();
  EXPECT_FALSE(port_.Open(1)) << "the device path is gone with its far end";
}

TEST_F(PosixPort, AStalledLineTimesOutInsteadOfBlocking) {
  ASSERT_TRUE(port_.Open(1));
  port_.SetWriteTimeoutMillis(0);
  // Nobody reads the far end, so the line's buffers fill and a byte must wait.
  IoStatus last = IoStatus::Ok;
  for (int i = 0; i < (1 << 21) && last == IoStatus::Ok; ++i) last = port_.WriteByte(0x55);
  EXPECT_EQ(last, IoStatus::TimedOut);
  EXPECT_TRUE(port_.IsOpen());
}

TEST_F(PosixPort, ASecondOpenerIsToldWhichProgramHoldsThePort) {
  ASSERT_TRUE(port_.Open(1));
  PosixSerialPort other;
  other.ForcePath(pty_.Path());
  EXPECT_FALSE(other.Open(1));
  std::ifstream comm("/proc/self/comm");
  std::string name;
  std::getline(comm, name);
  EXPECT_EQ(other.OpenRefusal(), InUseText(pty_.Path(), name + ", process " + std::to_string(getpid())));
  port_.Close();
  EXPECT_TRUE(other.Open(1));
  EXPECT_EQ(other.OpenRefusal(), "") << "a port that opens has nothing to explain";
}

// The adapters of the by-id folder that are none of the numbered ports come
// after port 16; a bare name given outright is looked up there.
TEST_F(PosixPort, AdaptersByNameAreThePortsAfter16AndBareNamesResolve) {
  testing::TempFolder byId;
  const std::string name = "usb-Quorvel_Test_PLM_Q1-if00-port0";
  std::filesystem::create_symlink(pty_.Path(), byId.path() + "/" + name);
  PosixSerialPort search;
  search.SetByIdFolder(byId.path());
  EXPECT_EQ(search.PortCount(), 16) << "nothing listed before the first rescan";
  search.Rescan();
  EXPECT_EQ(search.PortCount(), 17);
  EXPECT_EQ(search.PortName(17), byId.path() + "/" + name);
  EXPECT_FALSE(search.Open(18));
  ASSERT_TRUE(search.Open(17));
  search.Close();

  PosixSerialPort named;
  named.SetByIdFolder(byId.path());
  named.ForcePath(name);
  EXPECT_EQ(named.PortName(1), byId.path() + "/" + name);
  EXPECT_TRUE(named.Open(1));
}

TEST(PosixPortRefusals, AFileThatIsNoTtyOrNoFileAtAllIsExplainedOrNot) {
  testing::TempFolder dir;
  const std::string file = dir.path() + "/not-a-tty";
  std::ofstream(file).put('x');
  PosixSerialPort port;
  port.ForcePath(file);
  EXPECT_FALSE(port.Open(1));
  EXPECT_EQ(port.OpenRefusal(), file + " is not a serial device");
  port.ForcePath(dir.path() + "/absent");
  EXPECT_FALSE(port.Open(1));
  EXPECT_EQ(port.OpenRefusal(), "") << "the search's Fail line says it all";
}

// Opened as a user who may not: as root, by a child that becomes nobody; as
// anyone else, a device of mode 000. The line names the device, its group
// and the new login the fix needs.
TEST(PosixPortRefusals, ADeviceThisUserMayNotOpenNamesItsGroupAndTheFix) {
  testing::TempFolder dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  const std::string device = dir.path() + "/ttyDenied";
  std::ofstream(device).put('x');
  if (geteuid() != 0) {
    ASSERT_EQ(chmod(device.c_str(), 0), 0);
    PosixSerialPort port;
    port.ForcePath(device);
    EXPECT_FALSE(port.Open(1));
    const std::string text = port.OpenRefusal();
    EXPECT_EQ(text.rfind("Permission denied on " + device + ": its mode 000", 0), 0u) << text;
    EXPECT_NE(text.find("log out and back in"), std::string::npos) << text;
    return;
  }
  const group* dialout = getgrnam("dialout");
  const gid_t gid = dialout != nullptr ? dialout->gr_gid : 0;
  const group* g = getgrgid(gid);
  ASSERT_NE(g, nullptr);
  const std::string groupName = g->gr_name;
  ASSERT_EQ(chown(device.c_str(), 0, gid), 0);
  ASSERT_EQ(chmod(device.c_str(), 0660), 0);

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    std::string text;
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) {
      text = "could not become nobody";
    } else {
      PosixSerialPort port;
      port.ForcePath(device);
      text = port.Open(1) ? "opened" : port.OpenRefusal();
    }
    const ssize_t written = write(fds[1], text.data(), text.size());
    _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::string text;
  char buf[512];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(text.rfind("Permission denied on " + device + ": add yourself to its group " + groupName, 0), 0u)
      << text;
  EXPECT_NE(text.find("usermod -aG " + groupName + " "), std::string::npos) << text;
  EXPECT_NE(text.find("log out and back in"), std::string::npos) << text;
}

TEST(PosixPortMissing, ADeviceThatDoesNotExistFailsToOpen) {
  PosixSerialPort port;
  port.ForcePath("/dev/quorvel-no-such-device");
  EXPECT_FALSE(port.Open(1));
  EXPECT_FALSE(port.IsOpen());
  uint8_t b[4];
  size_t got = 7;
  EXPECT_EQ(port.Read(b, sizeof b, got), IoStatus::NotOpen);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(port.WriteByte(0x02), IoStatus::NotOpen);
  EXPECT_EQ(port.Available(), 0);
}

}  // namespace
}  // namespace quorvel

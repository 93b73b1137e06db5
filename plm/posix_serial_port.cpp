#include "plm/posix_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "plm/serial_devices.h"

namespace quorvel {

namespace {

constexpr std::string_view kDevicePaths[kSerialPortCount] = {
    "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB3", "/dev/ttyUSB4", "/dev/ttyUSB5",
    "/dev/ttyUSB6", "/dev/ttyUSB7", "/dev/ttyACM0", "/dev/ttyACM1", "/dev/ttyACM2", "/dev/ttyACM3",
    "/dev/ttyS0",   "/dev/ttyS1",   "/dev/ttyS2",   "/dev/ttyS3",
};

// The errors by which a tty says its device is no longer there: an unplugged
// USB adapter leaves a descriptor that answers only with these.
bool IsGoneError(int err) { return err == EIO || err == ENXIO || err == ENODEV || err == EPIPE; }

// The modem's line: raw bytes at 19200 baud, 8 data bits, no parity, one stop
// bit, no hardware or software flow control, reads that return at once.
bool ConfigureLine(int fd) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return false;
  cfmakeraw(&tio);
  tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (cfsetispeed(&tio, B19200) != 0 || cfsetospeed(&tio, B19200) != 0) return false;
  if (tcsetattr(fd, TCSANOW, &tio) != 0) return false;
  // Bytes left over from whatever used the line before belong to no frame of ours.
  tcflush(fd, TCIOFLUSH);
  return true;
}

}  // namespace

std::string_view SerialDevicePath(int portNumber) {
  if (portNumber < 1 || portNumber > kSerialPortCount) return {};
  return kDevicePaths[portNumber - 1];
}

PosixSerialPort::~PosixSerialPort() { Close(); }

std::string PosixSerialPort::PathOf(int portNumber) const {
  const std::string& byId = byIdFolder_.empty() ? std::string(kSerialByIdFolder) : byIdFolder_;
  if (!forcedPath_.empty()) return portNumber == 1 ? ResolveSerialName(forcedPath_, byId) : std::string();
  if (portNumber > kSerialPortCount && portNumber <= PortCount()) return extraPaths_[portNumber - kSerialPortCount - 1];
  return std::string(SerialDevicePath(portNumber));
}

void PosixSerialPort::Rescan() {
  extraPaths_ = ExtraSerialPaths(byIdFolder_.empty() ? std::string(kSerialByIdFolder) : byIdFolder_);
  // The search numbers ports in a 64-bit mask: 16 extra adapters are plenty.
  if (extraPaths_.size() > kSerialPortCount) extraPaths_.resize(kSerialPortCount);
}

std::string PosixSerialPort::PortName(int portNumber) const {
  const std::string path = PathOf(portNumber);
  return path.empty() ? "port " + std::to_string(portNumber) : path;
}

bool PosixSerialPort::Open(int portNumber) {
  if (fd_ >= 0) return true;
  refusal_.clear();
  const std::string path = PathOf(portNumber);
  if (path.empty()) return false;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    refusal_ = OpenRefusalText(path, errno);
    return false;
  }
  // TIOCEXCL keeps other programs off the tty; the advisory lock also holds
  // against a privileged second opener, which TIOCEXCL lets through.
  if (ioctl(fd, TIOCEXCL) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0 || !ConfigureLine(fd)) {
    const int err = errno;
    ::close(fd);
    refusal_ = OpenRefusalText(path, err);
    return false;
  }
  fd_ = fd;
  return true;
}

void PosixSerialPort::Close() {
  if (fd_ < 0) return;
  ioctl(fd_, TIOCNXCL);
  ::close(fd_);  // also releases the lock
  fd_ = -1;
}

bool PosixSerialPort::HungUp() const {
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, 0) < 0) return false;
  return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

int PosixSerialPort::Available() {
  if (fd_ < 0) return 0;
  int waiting = 0;
  if (ioctl(fd_, FIONREAD, &waiting) != 0) return IsGoneError(errno) ? -1 : 0;
  if (waiting > 0) return waiting;
  return HungUp() ? -1 : 0;
}

IoStatus PosixSerialPort::Read(uint8_t* buf, size_t max, size_t& got) {
  got = 0;
  if (fd_ < 0) return IoStatus::NotOpen;
  if (max == 0) return IoStatus::Ok;
  for (;;) {
    const ssize_t n = ::read(fd_, buf, max);
    if (n > 0) {
      got = static_cast<size_t>(n);
      return IoStatus::Ok;
    }
    if (n == 0) return HungUp() ? IoStatus::Gone : IoStatus::Ok;  // a hung-up tty reads as end of file
    if (errno == EINTR) continue;
    if (IsGoneError(errno)) return IoStatus::Gone;
    return IoStatus::Ok;  // nothing buffered, or a passing error: no bytes this time
  }
}

IoStatus PosixSerialPort::WriteByte(uint8_t byte) {
  if (fd_ < 0) return IoStatus::NotOpen;
  using Steady = std::chrono::steady_clock;
  const Steady::time_point deadline = Steady::now() + std::chrono::milliseconds(writeTimeoutMs_);
  for (;;) {
    const ssize_t n = ::write(fd_, &byte, 1);
    if (n == 1) return IoStatus::Ok;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && IsGoneError(errno)) return IoStatus::Gone;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return IoStatus::TimedOut;
    // The line's output is full: wait for room, but never past the bound.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
    if (left <= 0) return IoStatus::TimedOut;
    pollfd p{fd_, POLLOUT, 0};
    const int r = poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return IoStatus::TimedOut;
    if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return IoStatus::Gone;
  }
}

}  // namespace quorvel

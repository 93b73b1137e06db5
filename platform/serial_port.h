#pragma once
// The serial port seam: the raw device under the modem link. The real one is
// POSIX termios (plm/posix_serial_port); tests use a fake or the simulated modem.
#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvel {

enum class IoStatus {
  Ok,
  TimedOut,  // the bound ran out before the byte went
  Gone,      // the device vanished (unplugged adapter, hang-up): close and search again
  NotOpen,
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens port number 1..16 exclusively at 19200 8N1 with flow control off.
  virtual bool Open(int portNumber) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // Bytes waiting to be read; never blocks. Negative when the device is gone.
  virtual int Available() = 0;
  // Reads at most max bytes that are already buffered into buf; got receives the count.
  virtual IoStatus Read(uint8_t* buf, size_t max, size_t& got) = 0;
  // Writes one byte, bounded by the port's write timeout.
  virtual IoStatus WriteByte(uint8_t byte) = 0;

  // Device path or name of a port number, for log lines.
  virtual std::string PortName(int portNumber) const = 0;

  // A port number the search must keep to (the user named one device outright),
  // or 0 to walk ports 1..16.
  virtual int PinnedPort() const { return 0; }

  // Why the last Open failed, as a line the user can act on (the device may
  // not be opened by this user, another program holds it); empty when the
  // failure needs no more words (no such device).
  virtual std::string OpenRefusal() const { return {}; }
  // The port numbers the search walks, 1..PortCount(): the 16 numbered ports
  // and whatever further adapters the last Rescan found.
  virtual int PortCount() const { return 16; }
  // Lists the further adapters again; the search calls it as it starts each round.
  virtual void Rescan() {}
};

}  // namespace quorvel

#pragma once
// The modem link over a serial port: the search for the modem, opening and
// closing, and bounded writes. The only path to the modem.
#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvel {

struct Context;

// Texts of the search, written to the General Activity channel.
inline constexpr const char* kPortOpenText = "Serial Port On %d : Open";
inline constexpr const char* kPortFailText = "Serial Port On %d : Fail";
inline constexpr const char* kSearchingText = "Searching for Power Line Modem #2413U,2412S,2412U";
inline constexpr const char* kModemIdentityText = "%02x.%02x.%02x   %s  FirmWare %x.%x";
inline constexpr const char* kDeviceGoneText = "Serial Port On %d : Device gone, searching again";
inline constexpr const char* kWriteTimeoutText = "Serial Port On %d : Write timed out, message dropped";
// The ports after the numbered 16 are adapters found by name: which one it is.
inline constexpr const char* kExtraPortText = "Serial Port On %d is %s";
// Said once the search has tried every port (or the one port it keeps to)
// without an answer: what the user can check. The search goes on regardless.
inline constexpr const char* kNoModemText =
    "No modem answered on serial ports 1 to 16: check that the modem's adapter is plugged in, "
    "name its device with --serial PATH (for example --serial /dev/ttyUSB0), "
    "and that you may open it (a member of the dialout group)";
inline constexpr const char* kNoModemOnPortText =
    "No modem answered on %s: check that the modem's adapter is plugged in, "
    "that --serial names its device, and that you may open it (a member of the dialout group)";

class SerialLink {
 public:
  // Ticks the modem has to answer Get IM Info on a newly opened port.
  static constexpr int kAnswerTicks = 20;
  // Ticks after an open during which nothing but the Get IM Info goes out, so a
  // USB adapter that has just been opened can settle (about 200 ms).
  static constexpr int kSettleTicks = 2;
  // The numbered ports; the search may walk further adapters after them, up to kMaxPorts.
  static constexpr int kNumberedPorts = 16;
  static constexpr int kMaxPorts = 32;

  bool IsOpen(const Context& ctx) const;
  // Writes one whole message a byte at a time. When a byte times out the rest of
  // the message is dropped (the send queues retry it) and false is returned.
  // Nothing is written, and false returned, while no port is open or the port
  // is settling after its open.
  bool WriteMessage(Context& ctx, const uint8_t* bytes, size_t n);
  // The receive pump reports a vanished device (unplugged adapter) here.
  void OnDeviceGone(Context& ctx);
  // The modem's identity reply (0x60 with ACK) arrived on the open port.
  void OnModemIdentity(Context& ctx);

  // The setup dialog's Disconnect and Connect.
  void Disconnect(Context& ctx);
  void Connect(Context& ctx);
  // The device the search keeps to was changed (the Setup dialog's choice):
  // the open port is closed and the search starts afresh, hints and all.
  void PortChanged(Context& ctx);

  // The modem answered Get IM Info on the port that is open now.
  bool Answered() const { return answered_; }
  // Port number of the open port, or 0.
  int OpenPortNumber() const { return openPort_; }
  bool Settling() const { return settle_ > 0; }
  // The no-modem hint once a whole search went unanswered, until a modem answers
  // (or the user connects again); empty before.
  const std::string& NoModemText() const { return noModemText_; }
  // Why the port tried last was refused (denied to this user, held by another
  // program), while that still stands and no modem has answered; empty otherwise.
  const std::string& Refusal() const;

  // One step of the search, run first in every tick.
  void Search(Context& ctx);
  void ClosePort(Context& ctx);

  int searchPort = -1;     // next port to try; -1: take it from the options
  int searchCounter = 10;  // ticks, counted as the search describes

 private:
  bool OpenPort(Context& ctx, int portNumber);
  bool WriteBytes(Context& ctx, const uint8_t* bytes, size_t n);
  // An attempt on `portNumber` ended without an answer (it failed to open, or
  // its device stayed silent); once every port of the search has, say so.
  void NoteUnanswered(Context& ctx, int portNumber, int pinned);
  // An open of `portNumber` failed with `refusal` (empty: nothing to explain).
  // A refusal is logged once, and again only when it changes.
  void NoteRefusal(Context& ctx, int portNumber, const std::string& refusal);
  void ClearRefusals();
  int PortCount(const Context& ctx) const;
  // Counts a message written whole, for the run summary.
  static void CountWritten(Context& ctx, const uint8_t* bytes, size_t n);

  bool identityLogged_ = false;
  bool answered_ = false;  // per connection: cleared by each open, set by the 0x60 ACK
  int openPort_ = 0;
  int settle_ = 0;
  uint64_t unansweredPorts_ = 0;  // bit n: port n tried without an answer since the last one
  std::string noModemText_;
  std::string refusals_[kMaxPorts + 1];  // by port number; [0] stays empty
  int lastRefusalPort_ = 0;
};

// One step of the search for the modem, run first in every tick.
void PortSearch(Context& ctx);

}  // namespace quorvel

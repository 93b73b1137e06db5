#include "plm/traffic_text.h"

#include <cstring>

#include "plm/x10_tables.h"

namespace quorvel {

namespace {

constexpr uint8_t kCmdStatusRequest = 0x19;
constexpr uint8_t kCmdReadDeviceLinks = 0x2F;

// X10 function names by 4-bit function code.
constexpr std::string_view kX10FunctionNames[16] = {
    "All Units Off", "All Lights On", "On",     "Off",       "Dim",       "Bright",
    "All Lights Off", "X Code",       "Req",    "Ack",       "",          "",
    "X Data",        "Status On",     "Satus Off", "Status",
};

constexpr uint8_t kX10FlagAddress = 0x00;
constexpr uint8_t kX10FlagFunction = 0x80;

constexpr char kHexLower[] = "0123456789abcdef";

}  // namespace

void TrafficLine::Append(std::string_view s) {
  const size_t room = kTrafficTextMax - length_;
  const size_t n = s.size() < room ? s.size() : room;
  std::memcpy(text_ + length_, s.data(), n);
  length_ += n;
  text_[length_] = '\0';
}

void TrafficLine::AppendDecimal(unsigned value) {
  char digits[12];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 && n < sizeof digits);
  char text[12];
  for (size_t i = 0; i < n; ++i) text[i] = digits[n - 1 - i];
  Append(std::string_view(text, n));
}

void TrafficLine::AppendAddress(const uint8_t* id) {
  char text[11] = {' ', 0, 0, '.', 0, 0, '.', 0, 0, ' ', ' '};
  for (int i = 0; i < 3; ++i) {
    text[1 + 3 * i] = kHexLower[id[i] >> 4];
    text[2 + 3 * i] = kHexLower[id[i] & 0x0F];
  }
  Append(std::string_view(text, sizeof text));
}

TrafficLine TrafficText::CommandText(uint8_t cmd1, uint8_t cmd2) const {
  TrafficLine out;
  const unsigned percent = cmd2 * 100u / 255u;
  if (lastSentCmd1_ == kCmdStatusRequest) {
    out.Append(" Status ");
    out.AppendDecimal(percent);
    out.Append("%");
    return out;
  }
  switch (cmd1) {
    case 0x09: out.Append("Enter Linking Mode"); break;
    case 0x0D: out.Append("Request IEV"); break;
    case 0x10: out.Append("Request Catagory"); break;
    case 0x11:
      out.Append(" On ");
      out.AppendDecimal(percent);
      out.Append("%");
      break;
    case 0x13: out.Append("Off "); break;
    case 0x15: out.Append("Bri "); break;
    case 0x17: out.Append("Dim "); break;
    case 0x1F: out.Append("Get OP Flags"); break;
    case 0x20: out.Append("Set OP Flags"); break;
    case kCmdReadDeviceLinks: out.Append("Read Device Links"); break;
    default: break;
  }
  return out;
}

TrafficLine TrafficText::RenderTrafficText(Time /*arrival*/, size_t lastIndex, const uint8_t* frame) {
  TrafficLine out;
  if (frame == nullptr || lastIndex < 3) return out;
  switch (frame[1]) {
    case 0x50:
    case 0x51: {
      if (lastIndex < 10) return out;
      out.Append(" From");
      out.AppendAddress(frame + 2);
      out.Append("    To");
      out.AppendAddress(frame + 5);
      const uint8_t cmd1 = frame[9];
      if (cmd1 != kCmdReadDeviceLinks) {
        out.Append(CommandText(cmd1, frame[10]).view());
      } else if (frame[1] == 0x51 && lastIndex >= 23) {
        // A link record out of the device's table: where it lies, then the
        // linked device and the record's three data bytes.
        out.AppendAddress(frame + 13);
        out.Append(CommandText(kCmdReadDeviceLinks, 0).view());
        out.AppendAddress(frame + 18);
        out.Append(CommandText(frame[21], 0).view());
        out.Append(CommandText(frame[22], 0).view());
        out.Append(CommandText(frame[23], 0).view());
      }
      return out;
    }
    case 0x62:
      if (lastIndex < 7) return out;
      lastSentId_ = InsteonId::FromBytes(frame + 2);
      lastSentCmd1_ = frame[6];
      out.AppendAddress(frame + 2);
      out.Append(CommandText(frame[6], 0).view());
      out.Append(CommandText(frame[7], 0).view());
      return out;
    case 0x52:
    case 0x63:
      RenderX10(frame, out);
      return out;
    default:
      return out;
  }
}

void TrafficText::RenderX10(const uint8_t* frame, TrafficLine& out) {
  const uint8_t house = frame[2] >> 4;
  const uint8_t low = frame[2] & 0x0F;
  if (frame[3] == kX10FlagAddress) {
    if (x10UnitCount_ < kX10StackDepth) x10Units_[x10UnitCount_++] = low;
    return;
  }
  if (frame[3] != kX10FlagFunction) return;
  out.Append(std::string_view(&kX10HouseLetters[house], 1));
  for (int i = x10UnitCount_ - 1; i >= 0; --i) {
    out.AppendDecimal(kX10UnitNumbers[x10Units_[i] & 0x0F]);
    out.Append(", ");
  }
  out.Append("  ");
  out.Append(kX10FunctionNames[low]);
  out.Append("  ");
  x10UnitCount_ = 0;
}

}  // namespace quorvel

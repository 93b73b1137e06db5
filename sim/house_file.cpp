#include "sim/house_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <type_traits>
#include <vector>

namespace quorvel::sim {

namespace {

struct Token {
  std::string text;
  bool quoted = false;
};

// Splits a line into words and "quoted texts", dropping a # comment.
bool Tokenize(std::string_view line, std::vector<Token>& out, std::string& error) {
  size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == '#') break;
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    Token t;
    if (c == '"') {
      const size_t end = line.find('"', i + 1);
      if (end == std::string_view::npos) {
        error = "a quoted text has no end";
        return false;
      }
      t.text = std::string(line.substr(i + 1, end - i - 1));
      t.quoted = true;
      i = end + 1;
    } else {
      size_t end = i;
      while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r' && line[end] != '#') {
        ++end;
      }
      t.text = std::string(line.substr(i, end - i));
      i = end;
    }
    out.push_back(std::move(t));
  }
  return true;
}

bool ParseNumber(const std::string& text, int base, long max, long& out) {
  std::string digits = text;
  if (base == 16 && digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits = digits.substr(2);
  }
  if (digits.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(digits.c_str(), &end, base);
  if (errno != 0 || end == nullptr || *end != '\0' || v < 0 || v > max) return false;
  out = v;
  return true;
}

class Parser {
 public:
  explicit Parser(House& house) : house_(house) {}

  bool Line(std::vector<Token>& t, std::string& error) {
    if (t.empty()) return true;
    const std::string& word = t[0].text;
    size_t next = 1;
    if (word == "seed") {
      if (t.size() != 2 || !ParseUnsigned(t[1].text, house_.faults.seed)) return Fail(error, "seed wants one number");
      return true;
    }
    if (word == "repeats") {
      long v = 0;
      if (t.size() != 2 || !ParseNumber(t[1].text, 10, 10, v)) return Fail(error, "repeats wants 0..10");
      house_.repeats = static_cast<int>(v);
      return true;
    }
    if (word == "fault") return Fault(t, error);
    if (word == "modem") {
      if (t.size() < 2 || !ParseInsteonId(t[1].text, house_.modem.id)) return Fail(error, "modem wants an id");
      inModem_ = true;
      device_ = -1;
      next = 2;
    } else if (word == "device") {
      SimDevice d;
      if (t.size() < 2 || !ParseInsteonId(t[1].text, d.id)) return Fail(error, "device wants an id");
      next = 2;
      if (t.size() > 2 && t[2].quoted) {
        d.name = t[2].text;
        next = 3;
      }
      house_.devices.push_back(std::move(d));
      device_ = static_cast<int>(house_.devices.size()) - 1;
      inModem_ = false;
    } else if (word == "link") {
      return Link(t, error);
    } else {
      next = 0;  // attributes of the block named last
    }
    return Attributes(t, next, error);
  }

  bool Finish(std::string& error) {
    for (size_t i = 0; i < house_.devices.size(); ++i) {
      const SimDevice& d = house_.devices[i];
      if (d.id == house_.modem.id) return Fail(error, "device " + IdText(d.id) + " has the modem's id");
      for (size_t j = 0; j < i; ++j) {
        if (house_.devices[j].id == d.id) return Fail(error, "device " + IdText(d.id) + " is named twice");
      }
    }
    return true;
  }

 private:
  static bool Fail(std::string& error, std::string text) {
    error = std::move(text);
    return false;
  }
  static bool ParseUnsigned(const std::string& text, uint64_t& out) {
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || errno != 0 || *end != '\0') return false;
    out = v;
    return true;
  }

  bool Fault(const std::vector<Token>& t, std::string& error) {
    if (t.size() != 3) return Fail(error, "fault wants a kind and a percentage");
    char* end = nullptr;
    const double percent = std::strtod(t[2].text.c_str(), &end);
    if (end == nullptr || *end != '\0' || !(percent >= 0 && percent <= 100)) {
      return Fail(error, "a fault's percentage is 0..100");
    }
    const double p = percent / 100.0;
    if (t[1].text == "busy") {
      house_.faults.busyNak = p;
    } else if (t[1].text == "drop") {
      house_.faults.dropByte = p;
    } else if (t[1].text == "garble") {
      house_.faults.garbleByte = p;
    } else {
      return Fail(error, "unknown fault '" + t[1].text + "' (busy, drop, garble)");
    }
    return true;
  }

  bool Link(const std::vector<Token>& t, std::string& error) {
    if (t.size() != 4 && t.size() != 7) return Fail(error, "link wants a side, a group, an id and three data bytes");
    LinkEntry e;
    if (t[1].text == "controller") {
      e.flags = 0xE2;
    } else if (t[1].text == "responder") {
      e.flags = 0xA2;
    } else if (t[1].text == "removed") {
      e.flags = 0x02;
    } else {
      return Fail(error, "a link is controller, responder or removed");
    }
    long v = 0;
    if (!ParseNumber(t[2].text, 10, 255, v)) return Fail(error, "a link's group is 0..255");
    e.group = static_cast<uint8_t>(v);
    if (!ParseInsteonId(t[3].text, e.id)) return Fail(error, "a link wants an id");
    for (size_t i = 0; i < 3 && t.size() == 7; ++i) {
      if (!ParseNumber(t[4 + i].text, 16, 255, v)) return Fail(error, "a link's data bytes are hexadecimal 00..ff");
      e.data[i] = static_cast<uint8_t>(v);
    }
    if (inModem_) {
      if (!e.InUse()) return true;  // the modem keeps no removed records
      if (!house_.modem.Add(e)) return Fail(error, "the modem holds this link twice");
      return true;
    }
    if (device_ < 0) return Fail(error, "a link before any modem or device");
    SimDevice& d = house_.devices[static_cast<size_t>(device_)];
    int slot = 0;
    while (slot < kLinkSlots && (d.LinkAt(slot).flags & (kLinkInUse | kLinkUsedBefore)) != 0) ++slot;
    if (slot >= kLinkSlots) return Fail(error, "the device's link table is full");
    const uint8_t delta = d.aldbDelta;  // the file's links are the table as it stands
    d.SetLinkAt(slot, e);
    d.aldbDelta = delta;
    return true;
  }

  bool Attributes(const std::vector<Token>& t, size_t i, std::string& error) {
    if (!inModem_ && device_ < 0) return Fail(error, "'" + t[i].text + "' before any modem or device");
    SimDevice* d = inModem_ ? nullptr : &house_.devices[static_cast<size_t>(device_)];
    SimModem& m = house_.modem;
    while (i < t.size()) {
      const std::string& key = t[i].text;
      if (key == "sleeper" && d) {
        d->sleeper = true;
        ++i;
        continue;
      }
      if (key == "deaf" && d) {
        d->deaf = true;
        ++i;
        continue;
      }
      if (i + 1 >= t.size()) return Fail(error, "'" + key + "' wants a value");
      const std::string& value = t[i + 1].text;
      long v = 0;
      auto hexByte = [&](uint8_t& field) {
        if (!ParseNumber(value, 16, 255, v)) return false;
        field = static_cast<uint8_t>(v);
        return true;
      };
      auto decimal = [&](long max, auto& field) {
        if (!ParseNumber(value, 10, max, v)) return false;
        field = static_cast<std::remove_reference_t<decltype(field)>>(v);
        return true;
      };
      bool ok = false;
      if (key == "category") {
        ok = hexByte(d ? d->category : m.category);
      } else if (key == "subcategory") {
        ok = hexByte(d ? d->subcategory : m.subcategory);
      } else if (key == "firmware") {
        ok = hexByte(d ? d->firmware : m.firmware);
      } else if (key == "config" && !d) {
        ok = hexByte(m.config);
      } else if (d == nullptr) {
        return Fail(error, "the modem has no '" + key + "'");
      } else if (key == "engine") {
        ok = true;
        if (value == "i1") {
          d->engine = kEngineI1;
        } else if (value == "i2") {
          d->engine = kEngineI2;
        } else if (value == "i2cs") {
          d->engine = kEngineI2cs;
        } else {
          ok = false;
        }
      } else if (key == "level") {
        ok = decimal(255, d->level);
      } else if (key == "level2") {
        ok = decimal(255, d->level2);
      } else if (key == "opflags") {
        ok = hexByte(d->opFlags);
      } else if (key == "opflags2") {
        ok = hexByte(d->opFlags2);
      } else if (key == "delta") {
        ok = hexByte(d->aldbDelta);
      } else if (key == "hops") {
        ok = decimal(3, d->hops);
      } else if (key == "slow") {
        ok = decimal(60000, d->slowMillis);
      } else if (key == "awake") {
        ok = decimal(86400, d->awakeSeconds);
      } else {
        return Fail(error, "unknown attribute '" + key + "'");
      }
      if (!ok) return Fail(error, "bad value '" + value + "' for '" + key + "'");
      i += 2;
    }
    return true;
  }

  House& house_;
  bool inModem_ = false;
  int device_ = -1;
};

}  // namespace

bool ParseHouse(std::string_view text, House& house, std::string& error) {
  house = House{};
  Parser parser(house);
  size_t lineNumber = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    ++lineNumber;
    std::vector<Token> tokens;
    std::string why;
    if (!Tokenize(text.substr(start, end - start), tokens, why) || !parser.Line(tokens, why)) {
      error = "line " + std::to_string(lineNumber) + ": " + why;
      return false;
    }
    start = end + 1;
  }
  std::string why;
  if (!parser.Finish(why)) {
    error = why;
    return false;
  }
  return true;
}

bool LoadHouseFile(const std::string& path, House& house, std::string& error) {
  // A FIFO or a device would hold the open, or never end.
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    error = path + " is not a regular file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (!ParseHouse(text.str(), house, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace quorvel::sim

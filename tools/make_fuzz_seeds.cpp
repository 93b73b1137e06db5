// Writes the seed corpora of the receive-path and file-loading fuzz targets
// from the simulator: the bytes the simulated modem sends up while a host reads
// its table, asks each device for its identity, status and links and people
// press buttons, and the five configuration files of the house as the program
// saves them (as patches over empty files, the small ones whole, and a few
// damaged forms).
//
//   make-fuzz-seeds <house file> <corpus folder>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "automation/x10_widget.h"
#include "config/config_files.h"
#include "fuzz/fuzz_house.h"
#include "sim/house_database.h"
#include "sim/house_file.h"
#include "sim/sim_network.h"
#include "tools/memory_files.h"
#include "tools/memory_port.h"

namespace {

using namespace quorvel;
using Bytes = std::vector<uint8_t>;

void WriteSeed(const std::filesystem::path& folder, const std::string& name, const Bytes& bytes) {
  std::filesystem::create_directories(folder);
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A host session against the simulated house: commands written, the clock
// moved, and everything the modem sent up kept.
class Session {
 public:
  explicit Session(sim::House house) : net_(clock_, std::move(house)) { net_.SetHostConnected(true); }

  void Write(const Bytes& command, int waitMillis = 400) {
    for (uint8_t b : command) net_.HostWrite(b);
    Wait(waitMillis);
  }
  void Standard(const InsteonId& to, uint8_t cmd1, uint8_t cmd2, int waitMillis = 400) {
    Write({0x02, 0x62, to.b[0], to.b[1], to.b[2], 0x0F, cmd1, cmd2}, waitMillis);
  }
  void Extended(const InsteonId& to, uint8_t cmd1, uint8_t cmd2, Bytes data, int waitMillis = 400) {
    data.resize(kExtendedDataBytes, 0);
    data[13] = ExtendedChecksum(cmd1, cmd2, data.data());
    Bytes cmd{0x02, 0x62, to.b[0], to.b[1], to.b[2], 0x1F, cmd1, cmd2};
    cmd.insert(cmd.end(), data.begin(), data.end());
    Write(cmd, waitMillis);
  }
  void Wait(int millis) {
    for (int t = 0; t < millis; t += 20) {
      clock_.AdvanceMillis(20);
      net_.RunUntilNow();
      uint8_t buf[256];
      size_t n = 0;
      while ((n = net_.HostRead(buf, sizeof buf)) > 0) received_.insert(received_.end(), buf, buf + n);
    }
  }
  sim::SimNetwork& Net() { return net_; }
  // The receive-path input: read size, time between reads, waiting requests, then the bytes.
  Bytes Seed(uint8_t chunk, uint8_t step, uint8_t setup) const {
    Bytes out{chunk, step, setup};
    out.insert(out.end(), received_.begin(), received_.end());
    return out;
  }

 private:
  TestClock clock_{fuzzing::kFuzzStart};
  sim::SimNetwork net_;
  Bytes received_;
};

const InsteonId kCeiling = InsteonId::From(0x2a, 0x10, 0x01);
const InsteonId kKeypad = InsteonId::From(0x2a, 0x10, 0x04);
const InsteonId kPorch = InsteonId::From(0x2a, 0x10, 0x05);
const InsteonId kGarage = InsteonId::From(0x2a, 0x10, 0x07);
const InsteonId kMotion = InsteonId::From(0x2a, 0x10, 0x08);
const InsteonId kStairs = InsteonId::From(0x2a, 0x10, 0x0a);

void ReceiveSeeds(const sim::House& house, const std::filesystem::path& folder) {
  {
    // Start-up: the modem's identity, its configuration, its whole link table.
    Session s(house);
    s.Write({0x02, 0x60});
    s.Write({0x02, 0x73});
    s.Write({0x02, 0x6B, 0x40});
    s.Write({0x02, 0x69});
    for (size_t i = 0; i <= house.modem.links.size(); ++i) s.Write({0x02, 0x6A});
    WriteSeed(folder, "modem_table_read", s.Seed(11, 10, 0x04));
    WriteSeed(folder, "modem_table_read_bytewise", s.Seed(1, 1, 0x0C));
  }
  {
    // Polling: identity, engine version, status and settings of every device.
    Session s(house);
    for (const InsteonId& id : {kCeiling, kKeypad, kPorch, kGarage, kStairs}) {
      s.Standard(id, 0x10, 0x00, 800);
      s.Standard(id, 0x0D, 0x00);
      s.Standard(id, 0x19, 0x00);
      s.Standard(id, 0x19, 0x01);
      s.Standard(id, 0x1F, 0x00);
    }
    s.Extended(kKeypad, 0x2E, 0x00, {0x01});
    WriteSeed(folder, "polling", s.Seed(127, 10, 0x01));
  }
  {
    // Link tables: an extended read of an i2cs device, peeks of an i1 device.
    Session s(house);
    s.Extended(kKeypad, 0x2F, 0x00, {0x00, 0x00, 0x00, 0x00, 0x00}, 3000);
    s.Standard(kStairs, 0x28, 0x0F);
    for (uint8_t lsb = 0xF8; lsb >= 0xE0; lsb = static_cast<uint8_t>(lsb - 8)) {
      for (uint8_t i = 0; i < 8; ++i) s.Standard(kStairs, 0x2B, static_cast<uint8_t>(lsb + i));
    }
    WriteSeed(folder, "link_tables", s.Seed(64, 5, 0x00));
  }
  {
    // People at home: presses, a sleeper waking, a group command of the modem,
    // and linking.
    Session s(house);
    s.Write({0x02, 0x6B, 0x40});
    s.Net().Press(kCeiling, 1, 0x11);
    s.Wait(1500);
    s.Net().Press(kKeypad, 3, 0x13);
    s.Wait(1500);
    s.Net().Press(kMotion, 1, 0x11);
    s.Wait(1500);
    s.Net().PressSet(kMotion);
    s.Wait(1500);
    s.Write({0x02, 0x61, 0x01, 0x11, 0x00}, 2000);
    s.Write({0x02, 0x64, 0x01, 0x01}, 200);
    s.Net().PressSet(kPorch);
    s.Wait(2000);
    s.Write({0x02, 0x63, 0x66, 0x00}, 600);
    s.Write({0x02, 0x63, 0x62, 0x80}, 600);
    WriteSeed(folder, "presses_and_linking", s.Seed(20, 12, 0x03));
  }
  {
    // The same polling on a bad line: busy refusals, lost and changed bytes.
    sim::House noisy = house;
    noisy.faults.busyNak = 0.1;
    noisy.faults.dropByte = 0.02;
    noisy.faults.garbleByte = 0.02;
    noisy.faults.seed = 3;
    Session s(noisy);
    for (const InsteonId& id : {kCeiling, kKeypad, kPorch, kGarage, kStairs, kMotion}) {
      s.Standard(id, 0x19, 0x00);
      s.Standard(id, 0x10, 0x00, 800);
    }
    s.Net().Press(kKeypad, 1, 0x11);
    s.Wait(1500);
    WriteSeed(folder, "noisy_line", s.Seed(7, 200, 0x07));
  }
}

// load_all inputs: a selector byte, then the file or patches.
Bytes Raw(int file, const Bytes& image) {
  Bytes out{static_cast<uint8_t>(file)};
  out.insert(out.end(), image.begin(), image.end());
  return out;
}

// Patches that write the non-zero runs of `image` over a zeroed file.
Bytes Patches(int file, const Bytes& image, uint8_t extra = 0) {
  Bytes out{static_cast<uint8_t>(file | 0x10 | extra)};
  size_t i = 0;
  while (i < image.size()) {
    if (image[i] == 0) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < image.size() && end - i < 255 && (image[end] != 0 || (end + 1 < image.size() && image[end + 1] != 0)))
      ++end;
    out.push_back(static_cast<uint8_t>(i));
    out.push_back(static_cast<uint8_t>(i >> 8));
    out.push_back(static_cast<uint8_t>(i >> 16));
    out.push_back(static_cast<uint8_t>(end - i));
    out.insert(out.end(), image.begin() + static_cast<std::ptrdiff_t>(i), image.begin() + static_cast<std::ptrdiff_t>(end));
    i = end;
  }
  return out;
}

// One patch over the fuzz target's own house file.
Bytes Patch(int file, size_t at, const Bytes& bytes, uint8_t extra = 0) {
  Bytes out{static_cast<uint8_t>(file | 0x08 | extra), static_cast<uint8_t>(at), static_cast<uint8_t>(at >> 8),
            static_cast<uint8_t>(at >> 16), static_cast<uint8_t>(bytes.size())};
  out.insert(out.end(), bytes.begin(), bytes.end());
  return out;
}

bool FileSeeds(const sim::House& house, const std::filesystem::path& folder) {
  TestClock clock(fuzzing::kFuzzStart);
  tools::MemoryPort port;
  tools::MemoryFiles files;
  NullNotifier notifier;
  auto ctx = std::make_unique<Context>(clock, port, files, notifier);
  Silence(ctx->diagnostics);
  fuzzing::LoadHouse(*ctx);
  sim::FillDatabase(house, ctx->db, fuzzing::kFuzzStart);
  ctx->groups.SetGroupLabel(2, "Kitchen Scene");
  for (const char* typed : {"A1", "C3", "J11", "P16"}) ctx->widgets.Add(MakeX10Widget(typed));
  if (SaveAll(*ctx).written != kAllConfigFiles) return false;
  const char* names[5] = {kOptionsFileName, kDataFileName, kEventsFileName, kGroupsFileName, kWidgetsFileName};
  const char* seeds[5] = {"options", "data", "events", "groups", "widgets"};
  for (int f = 0; f < 5; ++f) {
    const Bytes& image = *files.Get(std::string("/data/") + kConfigSubfolder + "/" + names[f]);
    WriteSeed(folder, std::string(seeds[f]) + "_patches", Patches(f, image));
    if (image.size() <= kOptionsFileSize) WriteSeed(folder, std::string(seeds[f]) + "_whole", Raw(f, image));
    if (f == 3) WriteSeed(folder, "groups_short", Raw(f, Bytes(image.begin(), image.begin() + 1000)));
    if (f == 4) WriteSeed(folder, "widgets_partial_record", Raw(f, Bytes(image.begin(), image.end() - 30)));
  }
  // Damaged forms over the target's own files: counts past their tables, texts
  // without an end, a port number out of range, all five files at once.
  WriteSeed(folder, "data_count_too_large", Patch(1, kDeviceSlots * sizeof(DeviceRecord), {0xFF, 0xFF, 0, 0}));
  WriteSeed(folder, "data_link_count_too_large", Patch(1, offsetof(DeviceRecord, linkCount), {0xF0}));
  WriteSeed(folder, "data_name_unterminated",
            Patch(1, sizeof(DeviceRecord) + offsetof(DeviceRecord, name), Bytes(kNameWidth, 'x')));
  WriteSeed(folder, "events_count_too_large", Patch(2, offsetof(EventTable, eventCount), {0x90, 0x01, 0, 0}));
  WriteSeed(folder, "options_coordinates_unterminated",
            Patch(0, offsetof(OptionsRecord, latitude), Bytes(2 * kCoordinateWidth, '9')));
  WriteSeed(folder, "options_port_out_of_range", Patch(0, offsetof(OptionsRecord, comPort), {0x40, 0, 0, 0}, 0x60));
  WriteSeed(folder, "groups_label_unterminated",
            Patch(3, 7 * sizeof(GroupRecord) + offsetof(GroupRecord, label), Bytes(kGroupLabelWidth, 'g'), 0x40));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make-fuzz-seeds <house file> <corpus folder>\n";
    return 2;
  }
  sim::House house;
  std::string error;
  if (!sim::LoadHouseFile(argv[1], house, error)) {
    std::cerr << "make-fuzz-seeds: " << error << "\n";
    return 1;
  }
  const std::filesystem::path corpus(argv[2]);
  ReceiveSeeds(house, corpus / "receive_path");
  if (!FileSeeds(house, corpus / "load_all")) {
    std::cerr << "make-fuzz-seeds: the house's files could not be saved\n";
    return 1;
  }
  return 0;
}

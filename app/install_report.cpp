#include "app/install_report.h"

#include "app/session.h"
#include "app/sim_process.h"
#include "platform/install_paths.h"
#include "plm/serial_devices.h"
#include "views/common/device_picture_model.h"

namespace quorvel {

namespace {

void Row(std::string& text, const char* what, const std::string& path) {
  text += std::string(what) + (path.empty() ? "not found" : path) + "\n";
}

}  // namespace

bool ShippedPathsText(const char* argv0, std::string& text) {
  const std::string here = ProgramFolder(argv0);
  const std::string images = FindImagesFolder(here,
#ifdef QUORVEL_SOURCE_DIR
                                              QUORVEL_SOURCE_DIR
#else
                                              ""
#endif
  );
  const std::string house = FirstExisting({Session::DefaultHouseFile(argv0)});
  // Locate falls back to a bare name for PATH to find: that is not found here.
  std::string simulator = SimProcess::Locate(argv0);
  simulator = simulator.find('/') == std::string::npos ? std::string() : FirstExisting({simulator});
  text.clear();
  Row(text, "program        ", here);
  Row(text, "pictures       ", images);
  Row(text, "example house  ", house);
  Row(text, "simulator      ", simulator);
  return !images.empty() && !house.empty() && !simulator.empty();
}

std::string SerialPortsText() {
  const std::vector<SerialDeviceEntry> devices = ListSerialDevices();
  if (devices.empty()) return "No serial devices found (no adapter under " + std::string(kSerialByIdFolder) +
                              ", none of the numbered ports present)\n";
  std::string text;
  for (const SerialDeviceEntry& e : devices) {
    text += SerialDeviceLabel(e) + "\n";
    text += "    --serial " + (e.name.empty() ? e.path : e.name) + "\n";
  }
  return text;
}

}  // namespace quorvel

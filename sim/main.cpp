// quorvel-sim: a simulated modem with a house of devices behind it, on a
// pseudo-terminal. The first line of standard output is the path of the
// terminal's device; point the program at it (--serial PATH). Runs on the real
// clock until killed.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/install_paths.h"
#include "sim/house_file.h"
#include "sim/sim_network.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void OnSignal(int) { stopRequested = 1; }

constexpr const char* kHouseName = "example_house.txt";

// The shipped house: in the installed layout's shared folder, beside the
// program, in the source tree two folders up from a build folder, or where
// CMake says the source is.
std::string DefaultHousePath() {
  const std::string here = quorvel::ProgramFolder();
  const std::string relative = std::string("houses/") + kHouseName;
  const std::vector<std::string> trees = {
      here + "/" + relative,
      here + "/../../sim/" + relative,
#ifdef QUORVEL_SOURCE_DIR
      std::string(QUORVEL_SOURCE_DIR) + "/sim/" + relative,
#endif
  };
  const std::string found = quorvel::FindShipped(here, relative, trees);
  return found.empty() ? trees.back() : found;
}

void Usage() {
  std::fprintf(stderr,
               "usage: quorvel-sim [--house FILE] [--seed N] [--activity SECONDS] [--verbose]\n"
               "  --house FILE        the network to simulate (default: the shipped example house)\n"
               "  --seed N            seed for the faults the house file switches on\n"
               "  --activity SECONDS  press a random button about this often, so the network lives\n"
               "  --verbose           print every command and answer to standard error\n");
}

// Puts the terminal's far end into raw mode, so nothing the modem sends is
// changed before the program sets its own line settings.
void MakeRaw(int fd) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return;
  cfmakeraw(&tio);
  cfsetispeed(&tio, B19200);
  cfsetospeed(&tio, B19200);
  tcsetattr(fd, TCSANOW, &tio);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quorvel;
  std::string housePath;
  bool seedGiven = false;
  unsigned long long seed = 0;
  long activitySeconds = 0;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--house" && i + 1 < argc) {
      housePath = argv[++i];
    } else if (a == "--seed" && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
      seedGiven = true;
    } else if (a == "--activity" && i + 1 < argc) {
      activitySeconds = std::strtol(argv[++i], nullptr, 10);
    } else if (a == "--verbose") {
      verbose = true;
    } else {
      Usage();
      return a == "--help" ? 0 : 2;
    }
  }
  if (housePath.empty()) housePath = DefaultHousePath();

  sim::House house;
  std::string error;
  if (!sim::LoadHouseFile(housePath, house, error)) {
    std::fprintf(stderr, "quorvel-sim: %s\n", error.c_str());
    return 1;
  }
  if (seedGiven) house.faults.seed = seed;

  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname(master) == nullptr) {
    std::fprintf(stderr, "quorvel-sim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
    return 1;
  }
  const std::string slavePath = ptsname(master);
  // Keeping the far end open ourselves means the terminal survives the
  // program closing and reopening its port during the search.
  const int keeper = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (keeper < 0) {
    std::fprintf(stderr, "quorvel-sim: cannot open %s: %s\n", slavePath.c_str(), std::strerror(errno));
    return 1;
  }
  MakeRaw(keeper);

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGPIPE, SIG_IGN);

  std::printf("%s\n", slavePath.c_str());
  std::fflush(stdout);
  std::fprintf(stderr, "quorvel-sim: %zu devices from %s, modem %s on %s\n", house.devices.size(), housePath.c_str(),
               IdText(house.modem.id).c_str(), slavePath.c_str());

  SystemClock clock;
  sim::SimNetwork network(clock, std::move(house));
  if (verbose) network.trace = [](const std::string& line) { std::fprintf(stderr, "quorvel-sim: %s\n", line.c_str()); };
  // The terminal is always there; a program that has not opened it yet just
  // leaves the answers unread, and its open flushes them.
  network.SetHostConnected(true);

  sim::SimRandom activity(network.CurrentFaults().seed ^ 0x5eedull);
  int64_t nextPress = activitySeconds > 0 ? clock.NowMillis() + activitySeconds * 1000 : -1;

  while (stopRequested == 0) {
    const int64_t now = clock.NowMillis();
    int64_t wake = network.NextEventMillis();
    if (nextPress >= 0 && (wake < 0 || nextPress < wake)) wake = nextPress;
    const int timeout = wake < 0 ? 200 : static_cast<int>(std::clamp<int64_t>(wake - now, 0, 200));
    pollfd p{master, POLLIN, 0};
    const int r = poll(&p, 1, timeout);
    if (r > 0 && (p.revents & POLLIN) != 0) {
      uint8_t buf[256];
      const ssize_t n = read(master, buf, sizeof buf);
      for (ssize_t i = 0; i < n; ++i) network.HostWrite(buf[i]);
    }
    uint8_t out[256];
    size_t n;
    while ((n = network.HostRead(out, sizeof out)) > 0) {
      // A full terminal means nobody is reading: the modem's bytes are lost,
      // as they would be on a real line.
      if (write(master, out, n) < 0 && errno != EAGAIN) break;
    }
    if (nextPress >= 0 && clock.NowMillis() >= nextPress) {
      // Someone presses a button of a device that controls something.
      std::vector<const sim::SimDevice*> controllers;
      for (const sim::SimDevice& d : network.Devices()) {
        for (const sim::LinkEntry& e : d.Links()) {
          if (e.Controller() && e.group == 1) {
            controllers.push_back(&d);
            break;
          }
        }
      }
      if (!controllers.empty()) {
        const sim::SimDevice& d = *controllers[activity.Below(static_cast<uint32_t>(controllers.size()))];
        const uint8_t cmd1 = activity.Below(2) == 0 ? 0x11 : 0x13;
        network.Press(d.id, 1, cmd1);
        if (verbose) std::fprintf(stderr, "quorvel-sim: pressed %s %s\n", d.name.c_str(), cmd1 == 0x11 ? "ON" : "OFF");
      }
      nextPress = clock.NowMillis() + activitySeconds * 1000;
    }
  }
  close(keeper);
  close(master);
  return 0;
}

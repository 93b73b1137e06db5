#include "app/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <vector>

namespace quorvel {

namespace {
bool IsExecutable(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string DirOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}
}  // namespace

std::string SimProcess::Locate(const char* argv0) {
  if (const char* env = std::getenv("QUORVEL_SIM"); env != nullptr && *env != '\0') return env;
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string exe = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string(argv0 ? argv0 : "");
  const std::string dir = DirOf(exe);
  for (const std::string& candidate : {dir + "/quorvel-sim", dir + "/../quorvel-sim", dir + "/../sim/quorvel-sim"}) {
    if (IsExecutable(candidate)) return candidate;
  }
  return "quorvel-sim";  // let the PATH find it
}

bool SimProcess::Start(const std::string& executable, const std::string& houseFile, int timeoutMs) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error_ = "cannot create a pipe to the simulator";
    return false;
  }
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    error_ = "cannot start the simulator";
    return false;
  }
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    std::vector<const char*> argv{executable.c_str()};
    if (!houseFile.empty()) {
      argv.push_back("--house");
      argv.push_back(houseFile.c_str());
    }
    argv.push_back(nullptr);
    execvp(executable.c_str(), const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  close(fds[1]);
  pid_ = pid;
  out_ = fds[0];

  // The first line names the pseudo-terminal.
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
    char c;
    const ssize_t got = read(out_, &c, 1);
    if (got <= 0) break;
    if (c == '\n') {
      ptyPath_ = line;
      fcntl(out_, F_SETFL, fcntl(out_, F_GETFL) | O_NONBLOCK);
      return true;
    }
    if (line.size() < 4096) line.push_back(c);
  }
  error_ = "the simulator did not name its pseudo-terminal (" + executable + ")";
  Stop();
  return false;
}

void SimProcess::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  if (out_ >= 0) {
    close(out_);
    out_ = -1;
  }
}

void SimProcess::Drain() {
  if (out_ < 0) return;
  char buf[512];
  while (read(out_, buf, sizeof buf) > 0) {
  }
}

SimProcess::~SimProcess() { Stop(); }

}  // namespace quorvel

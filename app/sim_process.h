#pragma once
// Starts quorvel-sim as a child process and learns the pseudo-terminal it serves
// the simulated modem on, so the program can connect as to a real modem.
#include <string>
#include <sys/types.h>

namespace quorvel {

class SimProcess {
 public:
  SimProcess() = default;
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;
  ~SimProcess();

  // Starts `executable` with `args`; waits up to timeoutMs for the first line
  // of its standard output, which names the pseudo-terminal. False with a
  // reason in error() when it cannot.
  bool Start(const std::string& executable, const std::string& houseFile, int timeoutMs = 5000);
  void Stop();
  // Discards what the simulator prints after its first line, so its pipe never fills.
  void Drain();

  const std::string& ptyPath() const { return ptyPath_; }
  const std::string& error() const { return error_; }

  // quorvel-sim beside this program, or in the build tree's top folder.
  static std::string Locate(const char* argv0);

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string ptyPath_;
  std::string error_;
};

}  // namespace quorvel

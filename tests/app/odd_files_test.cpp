// The program as its own process against what may stand under a configuration
// file's name on a real disk: a FIFO, a folder, a link to a device, a file
// nobody may read. None of them holds the program; a stop signal at any point,
// start-up included, ends it cleanly.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "config/config_files.h"
#include "platform/file_system.h"
#include "support/scratch.h"

namespace quorvel {
namespace {

using testing::TempFolder;

struct ProgramRun {
  int status = -1;  // the exit status; -1 when it did not exit by itself
  bool timedOut = false;
  std::string output;  // standard output and error together
};

// Runs the program with `args`, bounded by the child's output ending rather
// than by sleeping; a program that hangs is killed after `limitSeconds`. With
// `stopAtStart`, a SIGTERM is waiting for it before its first instruction.
ProgramRun RunProgram(const std::vector<std::string>& args, bool stopAtStart = false, int limitSeconds = 60) {
  ProgramRun run;
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return run;
  const std::string program = std::string(QUORVEL_BINARY_DIR) + "/app/quorvel";
  std::vector<const char*> argv{program.c_str()};
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(out[1], STDERR_FILENO);
    if (stopAtStart) {
      sigset_t term;
      sigemptyset(&term);
      sigaddset(&term, SIGTERM);
      sigprocmask(SIG_BLOCK, &term, nullptr);
      kill(getpid(), SIGTERM);  // pending across exec until the program takes it
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    execv(program.c_str(), const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  close(out[1]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
  char buf[4096];
  while (true) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    pollfd p{out[0], POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) {
      run.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    const ssize_t n = read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    run.output.append(buf, static_cast<size_t>(n));
  }
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!run.timedOut && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  return run;
}

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

bool IsRegular(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<std::string> VirtualArgs(const std::string& data, const char* seconds) {
  return {"--headless", "--virtual-time", "--house", std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt",
          "--data",     data,             "--seconds", seconds};
}

enum class Odd { Fifo, Folder, LinkToZero };

const char* OddName(Odd odd) {
  switch (odd) {
    case Odd::Fifo: return "a FIFO";
    case Odd::Folder: return "a folder";
    case Odd::LinkToZero: return "a link to /dev/zero";
  }
  return "";
}

bool MakeOdd(Odd odd, const std::string& path) {
  switch (odd) {
    case Odd::Fifo: return mkfifo(path.c_str(), 0600) == 0;
    case Odd::Folder: return mkdir(path.c_str(), 0700) == 0;
    case Odd::LinkToZero: return symlink("/dev/zero", path.c_str()) == 0;
  }
  return false;
}

// Each odd thing as each file: refused at once with one line naming it, the
// run goes on and saves; a folder, which no file can replace, ends the run
// with a failure naming it.
TEST(OddFiles, WhatIsNoRegularFileIsRefusedAtOnceAndTheRunGoesOn) {
  for (const char* name : {kOptionsFileName, kDataFileName, kEventsFileName, kGroupsFileName, kWidgetsFileName}) {
    for (Odd odd : {Odd::Fifo, Odd::Folder, Odd::LinkToZero}) {
      SCOPED_TRACE(std::string(name) + " is " + OddName(odd));
      TempFolder data;
      ASSERT_FALSE(data.path().empty());
      const std::string folder = data.path() + "/quorvel";
      const std::string path = folder + "/" + name;
      ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
      ASSERT_TRUE(MakeOdd(odd, path));

      const ProgramRun run = RunProgram(VirtualArgs(data.path(), "60"));
      ASSERT_FALSE(run.timedOut) << "the program hung:\n" << run.output;
      const std::string refused = "Not loaded: " + path + " is not a regular file.";
      EXPECT_EQ(Count(run.output, "|   " + refused), 1) << run.output;
      EXPECT_NE(run.output.find("1e.65.a2   PLM 2413U"), std::string::npos) << "the run went on";
      if (odd == Odd::Folder) {
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.output.find(std::string("quorvel: ") + name + " was not saved: " + path +
                                  " is not a regular file."),
                  std::string::npos)
            << run.output;
      } else {
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_TRUE(IsRegular(path)) << "the program's own file took its place";
      }
      // The others were saved as files, whole.
      for (const char* other : {kOptionsFileName, kEventsFileName, kGroupsFileName}) {
        if (other == std::string(name)) continue;
        EXPECT_TRUE(IsRegular(folder + "/" + other)) << other;
      }
    }
  }
}

// A report from the stored data alone, with a FIFO where the data file goes.
TEST(OddFiles, ALinkReportFromAFifoEndsAtOnceAndSaysWhy) {
  TempFolder data;
  const std::string folder = data.path() + "/quorvel";
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  ASSERT_TRUE(MakeOdd(Odd::Fifo, folder + "/" + kDataFileName));
  const ProgramRun run = RunProgram({"--link-report", "1", "--data", data.path()});
  ASSERT_FALSE(run.timedOut) << run.output;
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find(folder + "/" + kDataFileName + " is not a regular file"), std::string::npos) << run.output;
}

// SIGTERM already waiting when the program starts: start-up goes on to its end
// (no file is left half loaded), the run ends at once, and the files are saved
// whole. A FIFO among the files does not hold it either. Without the signal
// this run would never end.
TEST(OddFiles, AStopSignalDuringStartUpEndsTheRunCleanly) {
  TempFolder data;
  const std::string folder = data.path() + "/quorvel";
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  ASSERT_TRUE(MakeOdd(Odd::Fifo, folder + "/" + kEventsFileName));
  const ProgramRun run = RunProgram(VirtualArgs(data.path(), "0"), true);
  ASSERT_FALSE(run.timedOut) << "the signal was lost:\n" << run.output;
  EXPECT_EQ(run.status, 0) << run.output;
  struct stat st {};
  ASSERT_EQ(stat((folder + "/" + kOptionsFileName).c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 1176);
  ASSERT_EQ(stat((folder + "/" + kEventsFileName).c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_size, 73976);
  EXPECT_FALSE(IsRegular(folder + "/" + kDataFileName)) << "the modem's table was never read";
}

// A file of mode 000: the program, not root, cannot read it, yet keeps it
// beside itself before it writes its own.
TEST(OddFiles, AFileNobodyMayReadIsKeptBeforeItIsReplaced) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads a file of mode 000";
  TempFolder data;
  const std::string folder = data.path() + "/quorvel";
  const std::string events = folder + "/" + kEventsFileName;
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  PosixFileSystem files;
  const std::vector<uint8_t> original(73976, 0x3C);
  ASSERT_TRUE(WriteFileAtomic(files, events, {original}).Ok());
  ASSERT_EQ(chmod(events.c_str(), 0), 0);
  const ProgramRun run = RunProgram(VirtualArgs(data.path(), "30"));
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.status, 0) << run.output;
  const size_t at = run.output.find("OrvoEvents3.cfg could not be loaded (Access to " + events +
                                    " was denied); the original is kept as " + events + ".damaged-");
  ASSERT_NE(at, std::string::npos) << run.output;
  const size_t name = run.output.find(events + ".damaged-", at);
  const std::string copy = run.output.substr(name, run.output.find('\n', name) - name);
  ASSERT_EQ(chmod(copy.c_str(), 0600), 0);
  std::vector<uint8_t> kept;
  ASSERT_TRUE(files.ReadFile(copy, 100000, kept).Ok()) << copy;
  EXPECT_EQ(kept, original);
  EXPECT_TRUE(IsRegular(events));
}

}  // namespace
}  // namespace quorvel

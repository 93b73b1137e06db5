// The installed program: `cmake --install` into a temporary DESTDIR, then the
// installed copy run from another working folder finds its pictures, its
// example house and its simulator under its own prefix, settles the house and
// drives a device. And the files the desktop reads pass Debian's validators.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/session_options.h"
#include "support/scratch.h"

namespace quorvel {
namespace {

using testing::TempFolder;

struct Ran {
  int status = -1;  // the exit status; -1 when it did not end by itself
  std::string out;
  std::string err;
};

// Runs `argv` in `cwd` with `env` added, its two output streams kept apart,
// bounded by the child's output ending rather than by a timed wait.
Ran RunIn(const std::string& cwd, const std::vector<std::string>& argv,
          const std::vector<std::string>& env = {}, int limitSeconds = 120) {
  Ran ran;
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return ran;
  const pid_t pid = fork();
  if (pid < 0) return ran;
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* into[2] = {&ran.out, &ran.err};
  int open = 2;
  while (open > 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0 || poll(fds, 2, static_cast<int>(left)) <= 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[4096];
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        into[i]->append(buf, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  const bool ended = open == 0;
  if (!ended) kill(pid, SIGKILL);
  for (const pollfd& p : fds)
    if (p.fd >= 0) close(p.fd);
  int status = 0;
  waitpid(pid, &status, 0);
  if (ended && WIFEXITED(status)) ran.status = WEXITSTATUS(status);
  return ran;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The whole installed tree, made once for the suite: installing copies the
// programs and nothing is built.
class Installed : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = new TempFolder;
    const Ran ran = RunIn(root_->path(), {QUORVEL_CMAKE_COMMAND, "--install", QUORVEL_BINARY_DIR, "--prefix", "/usr"},
                          {"DESTDIR=" + root_->path() + "/dest"});
    installLog_ = new std::string(ran.out + ran.err);
    installed_ = ran.status == 0;
  }
  static void TearDownTestSuite() {
    delete root_;
    delete installLog_;
    root_ = nullptr;
    installLog_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(installed_) << *installLog_;
    elsewhere_ = std::make_unique<TempFolder>();
  }
  static std::string Prefix() { return root_->path() + "/dest/usr"; }
  // The installed program, run from a folder that holds none of its files, with
  // the user's own settings and data out of the way.
  Ran Quorvel(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {Prefix() + "/bin/quorvel"};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string home = elsewhere_->path();
    return RunIn(home, argv, {"XDG_CONFIG_HOME=" + home + "/config", "XDG_DATA_HOME=" + home + "/data"});
  }
  std::string Data() const { return elsewhere_->path() + "/q"; }

  static TempFolder* root_;
  static std::string* installLog_;
  static bool installed_;
  std::unique_ptr<TempFolder> elsewhere_;
};

TempFolder* Installed::root_ = nullptr;
std::string* Installed::installLog_ = nullptr;
bool Installed::installed_ = false;

TEST_F(Installed, EveryFileLandsWhereTheDesktopAndTheProgramLookForIt) {
  const std::string p = Prefix();
  std::vector<std::string> files = {
      p + "/bin/quorvel",
      p + "/bin/quorvel-sim",
      p + "/bin/quorvel-decode",
      p + "/share/quorvel/images/2476d.png",
      p + "/share/quorvel/images/default.png",
      p + "/share/quorvel/houses/example_house.txt",
      p + "/share/applications/org.example.quorvel.desktop",
      p + "/share/applications/org.example.quorvel.simulated.desktop",
      p + "/share/metainfo/org.example.quorvel.metainfo.xml",
      p + "/share/icons/hicolor/scalable/apps/quorvel.svg",
      p + "/share/man/man1/quorvel.1.gz",
  };
  for (const int size : {16, 24, 32, 48, 64, 128, 256})
    files.push_back(p + "/share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) +
                    "/apps/quorvel.png");
  for (const std::string& f : files) EXPECT_TRUE(Exists(f)) << f;
  for (const char* program : {"quorvel", "quorvel-sim", "quorvel-decode"})
    EXPECT_EQ(access((p + "/bin/" + program).c_str(), X_OK), 0) << program;
}

TEST_F(Installed, TheInstalledProgramFindsItsOwnFilesFromAnyWorkingFolder) {
  const Ran ran = Quorvel({"--paths"});
  EXPECT_EQ(ran.status, 0) << ran.out << ran.err;
  const std::string p = Prefix();
  EXPECT_NE(ran.out.find("pictures       " + p + "/share/quorvel/images\n"), std::string::npos) << ran.out;
  EXPECT_NE(ran.out.find("example house  " + p + "/share/quorvel/houses/example_house.txt\n"), std::string::npos)
      << ran.out;
  EXPECT_NE(ran.out.find("simulator      " + p + "/bin/quorvel-sim\n"), std::string::npos) << ran.out;
}

TEST_F(Installed, TheInstalledProgramSettlesTheExampleHouseAndDrivesADevice) {
  const Ran idle = Quorvel({"--virtual-time", "--until-idle", "--data", Data()});
  EXPECT_EQ(idle.status, 0) << idle.err;
  EXPECT_NE(idle.out.find("s of virtual time, settled"), std::string::npos) << idle.out.substr(0, 2000);

  const Ran on = Quorvel({"--virtual-time", "--data", Data(), "--on", "2a.10.02", "50"});
  EXPECT_EQ(on.status, 0) << on.err;
  EXPECT_EQ(on.out, "2a.10.02 SwitchLinc Dimmer DB: on, level 50%\n");

  const Ran bad = Quorvel({"--virtual-time", "--data", Data(), "--status", "2a.10.9"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(bad.err, "quorvel: --status: \"2a.10.9\" is not a device id like 2A.10.02\n");
}

// The manual page and the program's own help list the same options.
TEST(ManualPage, ListsEveryOption) {
  const std::string page = ReadFile(std::string(QUORVEL_SOURCE_DIR) + "/packaging/quorvel.1");
  ASSERT_FALSE(page.empty());
  const std::string usage = UsageText();
  for (const std::string& name : OptionNames()) {
    std::string roff;
    for (const char c : name) roff += c == '-' ? std::string("\\-") : std::string(1, c);
    const bool entry = page.find("\n.B " + roff + "\n") != std::string::npos ||
                       page.find("\n.BI " + roff + " \"") != std::string::npos;
    EXPECT_TRUE(entry) << name << " has no entry in the manual page";
    EXPECT_NE(usage.find("  " + name + " "), std::string::npos) << name << " is missing from --help";
  }
}

// Debian's validators, where this machine has them.
std::string Tool(const char* name) {
  for (const char* dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"}) {
    const std::string path = std::string(dir) + name;
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

TEST(DesktopFiles, TheDesktopEntriesPassDesktopFileValidate) {
  const std::string tool = Tool("desktop-file-validate");
  if (tool.empty()) GTEST_SKIP() << "desktop-file-validate is not installed (Debian: desktop-file-utils)";
  const std::string dir = std::string(QUORVEL_SOURCE_DIR) + "/packaging/";
  for (const char* entry : {"org.example.quorvel.desktop", "org.example.quorvel.simulated.desktop"}) {
    const Ran ran = RunIn(dir, {tool, dir + entry});
    EXPECT_EQ(ran.status, 0) << entry << "\n" << ran.out << ran.err;
    EXPECT_EQ(ran.out + ran.err, "") << "no warnings either";
  }
}

TEST(DesktopFiles, TheMetainfoPassesAppstreamcli) {
  const std::string tool = Tool("appstreamcli");
  if (tool.empty()) GTEST_SKIP() << "appstreamcli is not installed (Debian: appstream)";
  const std::string dir = std::string(QUORVEL_SOURCE_DIR) + "/packaging/";
  const Ran ran = RunIn(dir, {tool, "validate", "--no-net", "--pedantic", dir + "org.example.quorvel.metainfo.xml"});
  EXPECT_EQ(ran.status, 0) << ran.out << ran.err;
}

}  // namespace
}  // namespace quorvel

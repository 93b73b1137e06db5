// quorvel-sim as the program meets it: started as its own process, it names its
// pseudo-terminal on the first line of standard output, and a tty port opened
// on that path talks to the example house's modem.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plm/posix_serial_port.h"

namespace quorvel {
namespace {

class SimProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      const std::string program = std::string(QUORVEL_BINARY_DIR) + "/quorvel-sim";
      execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    stdout_ = out[0];
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "quorvel-sim did not end cleanly";
    }
    if (stdout_ >= 0) close(stdout_);
  }
  // The first line of the program's output; bounded by readiness, not by sleeping.
  std::string FirstLine() {
    std::string line;
    char c = 0;
    while (line.size() < 512) {
      pollfd p{stdout_, POLLIN, 0};
      if (poll(&p, 1, 20000) <= 0 || read(stdout_, &c, 1) != 1 || c == '\n') break;
      line += c;
    }
    return line;
  }
  std::vector<uint8_t> ReadFrom(PosixSerialPort& port, size_t want) {
    std::vector<uint8_t> got;
    while (got.size() < want) {
      pollfd p{port.Descriptor(), POLLIN, 0};
      if (poll(&p, 1, 20000) <= 0) break;
      uint8_t buf[64];
      size_t n = 0;
      if (port.Read(buf, sizeof buf, n) != IoStatus::Ok) break;
      got.insert(got.end(), buf, buf + n);
    }
    return got;
  }

  pid_t pid_ = -1;
  int stdout_ = -1;
};

TEST_F(SimProgram, NamesItsTerminalAndAnswersAsTheExampleModem) {
  const std::string path = FirstLine();
  ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << "first line: '" << path << "'";
  PosixSerialPort port;
  port.ForcePath(path);
  ASSERT_TRUE(port.Open(1));
  for (uint8_t b : {0x02, 0x60}) ASSERT_EQ(port.WriteByte(b), IoStatus::Ok);
  EXPECT_EQ(ReadFrom(port, 9), (std::vector<uint8_t>{0x02, 0x60, 0x1e, 0x65, 0xa2, 0x03, 0x15, 0x9e, 0x06}));

  // Status of the kitchen ceiling dimmer: the echo, then the dimmer's answer.
  const std::vector<uint8_t> status = {0x02, 0x62, 0x2a, 0x10, 0x01, 0x0F, 0x19, 0x00};
  for (uint8_t b : status) ASSERT_EQ(port.WriteByte(b), IoStatus::Ok);
  const std::vector<uint8_t> got = ReadFrom(port, 20);
  ASSERT_EQ(got.size(), 20u);
  EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 9),
            (std::vector<uint8_t>{0x02, 0x62, 0x2a, 0x10, 0x01, 0x0F, 0x19, 0x00, 0x06}));
  EXPECT_EQ(std::vector<uint8_t>(got.begin() + 9, got.begin() + 18),
            (std::vector<uint8_t>{0x02, 0x50, 0x2a, 0x10, 0x01, 0x1e, 0x65, 0xa2, 0x2B}));

  // The program's search closes and reopens its port; the terminal stays.
  port.Close();
  ASSERT_TRUE(port.Open(1));
  for (uint8_t b : {0x02, 0x60}) ASSERT_EQ(port.WriteByte(b), IoStatus::Ok);
  EXPECT_EQ(ReadFrom(port, 9).size(), 9u);
}

}  // namespace
}  // namespace quorvel

#pragma once
// Where a capture's bytes come from: a file, standard input or a stream held
// in memory. A read returns what is there as soon as anything is, so a decoder
// on a pipe follows a capture that is still being written.
#include <errno.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <exception>
#include <istream>
#include <string>

namespace quorvel::tools {

class CaptureSource {
 public:
  virtual ~CaptureSource() = default;
  // At most `max` bytes into `buf`, waiting only until some come; 0 at the end
  // of the input or on an error.
  virtual size_t Read(char* buf, size_t max) = 0;
  // After a read of 0: why the input could not be read, empty at a plain end.
  const std::string& Error() const { return error_; }
  // "standard input" or the file's path, for messages.
  const std::string& Name() const { return name_; }

 protected:
  explicit CaptureSource(std::string name) : name_(std::move(name)) {}
  std::string error_;

 private:
  std::string name_;
};

// An open file descriptor; the caller keeps and closes it.
class FdSource final : public CaptureSource {
 public:
  FdSource(int fd, std::string name) : CaptureSource(std::move(name)), fd_(fd) {}
  size_t Read(char* buf, size_t max) override {
    if (!error_.empty()) return 0;
    for (;;) {
      const ssize_t n = ::read(fd_, buf, max);
      if (n >= 0) return static_cast<size_t>(n);
      if (errno == EINTR) continue;
      error_ = std::strerror(errno);
      return 0;
    }
  }

 private:
  int fd_;
};

// A std::istream, as tests and fuzz targets hand captures in.
class StreamSource final : public CaptureSource {
 public:
  explicit StreamSource(std::istream& in, std::string name = "standard input")
      : CaptureSource(std::move(name)), in_(in) {}
  size_t Read(char* buf, size_t max) override {
    if (!error_.empty()) return 0;
    try {
      in_.read(buf, static_cast<std::streamsize>(max));
      const std::streamsize n = in_.gcount();
      if (n == 0 && in_.bad()) error_ = "read error";
      return static_cast<size_t>(n);
    } catch (const std::exception& e) {
      // A stream set to throw, such as a file stream on a folder.
      error_ = e.what();
      return 0;
    }
  }

 private:
  std::istream& in_;
};

}  // namespace quorvel::tools

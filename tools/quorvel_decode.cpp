// quorvel-decode: reads a captured modem byte stream and prints every frame as
// the program logs it, its Insteon Traffic hex line and its decoded line.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "tools/capture_source.h"
#include "tools/trace_decoder.h"

namespace {

constexpr const char* kUsage =
    "usage: quorvel-decode [--raw] [FILE]\n"
    "Reads a modem byte stream from FILE, or standard input when FILE is absent or -,\n"
    "and prints for every frame its Insteon Traffic hex line and its decoded line.\n"
    "Input is hex text (\"02 50 1A ...\" or \"02501A...\", many frames per line);\n"
    "with --raw it is the bytes themselves. Bytes outside frames are reported.\n";

}  // namespace

int main(int argc, char** argv) {
  bool raw = false;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--raw") == 0) {
      raw = true;
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << kUsage;
      return 0;
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      std::cerr << "quorvel-decode: unknown option " << argv[i] << '\n' << kUsage;
      return 2;
    } else if (path == nullptr) {
      path = argv[i];
    } else {
      std::cerr << "quorvel-decode: one input file at most\n" << kUsage;
      return 2;
    }
  }

  // Read straight from the descriptor: a read returns what a pipe holds, so
  // `tail -f capture | quorvel-decode` prints each frame as it comes.
  const bool standardInput = path == nullptr || std::strcmp(path, "-") == 0;
  const std::string name = standardInput ? "standard input" : path;
  int fd = STDIN_FILENO;
  if (!standardInput) {
    fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      std::cerr << "quorvel-decode: cannot open " << name << ": " << std::strerror(errno) << '\n';
      return 2;
    }
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    std::cerr << "quorvel-decode: " << name << " is a directory, not a capture\n";
    return 2;
  }
  quorvel::tools::FdSource source(fd, name);
  quorvel::tools::TraceDecoder decoder(std::cout);
  const int status = quorvel::tools::DecodeCapture(decoder, source, std::cerr, raw);
  if (!standardInput) ::close(fd);
  return status;
}

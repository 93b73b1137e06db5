// quorvel-decode: reads a captured modem byte stream and prints every frame as
// the program logs it, its Insteon Traffic hex line and its decoded line.
#include <cstring>
#include <fstream>
#include <iostream>

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

  if (path == nullptr || std::strcmp(path, "-") == 0) {
    return quorvel::tools::DecodeCapture(std::cin, std::cout, std::cerr, raw);
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::cerr << "quorvel-decode: cannot open " << path << '\n';
    return 2;
  }
  return quorvel::tools::DecodeCapture(file, std::cout, std::cerr, raw);
}

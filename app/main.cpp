// The program's entry point. Until the window exists it runs headless.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("quorvel 0.1.0");
      return 0;
    }
  }
  std::puts("quorvel: the headless runner is being built");
  return 0;
}

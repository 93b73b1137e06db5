#include "platform/install_paths.h"

#include <limits.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace quorvel {

std::string ProgramFolder(const char* argv0) {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  const std::string exe = n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string(argv0 ? argv0 : "");
  const size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : exe.substr(0, slash);
}

std::string FirstExisting(const std::vector<std::string>& candidates) {
  for (const std::string& c : candidates) {
    if (c.empty() || c.front() != '/') continue;
    if (access(c.c_str(), R_OK) != 0) continue;
    std::error_code ec;
    const std::filesystem::path clean = std::filesystem::weakly_canonical(c, ec);
    return ec ? c : clean.string();
  }
  return {};
}

std::string FindShipped(const std::string& programDir, const std::string& relative,
                        const std::vector<std::string>& fallbacks) {
  std::vector<std::string> candidates;
  if (!programDir.empty() && programDir.front() == '/')
    candidates.push_back(programDir + "/" + kInstalledDataFolder + "/" + relative);
  candidates.insert(candidates.end(), fallbacks.begin(), fallbacks.end());
  return FirstExisting(candidates);
}

}  // namespace quorvel

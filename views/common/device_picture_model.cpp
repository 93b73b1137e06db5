#include "views/common/device_picture_model.h"

#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/install_paths.h"

namespace quorvel {

namespace {

// Formats the program can draw, best first: a stem shipped twice takes the first.
constexpr const char* kFormats[] = {".png", ".bmp", ".jpg"};

int FormatRank(const std::string& extension) {
  for (int i = 0; i < static_cast<int>(std::size(kFormats)); ++i)
    if (extension == kFormats[i]) return i;
  return -1;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return out;
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec);
}

}  // namespace

bool SafePictureName(std::string_view name) {
  if (name.empty() || name.find_first_of("/\\") != std::string_view::npos || name.find("..") != std::string_view::npos)
    return false;
  for (const char ch : name) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x20 || b == 0x7F) return false;
  }
  return true;
}

std::string PictureStem(std::string_view name) {
  const size_t dot = name.rfind('.');
  return Lower(dot == std::string_view::npos ? name : name.substr(0, dot));
}

PictureFolder::PictureFolder(std::string folder) : folder_(std::move(folder)) {
  std::error_code ec;
  if (!IsFolder(folder_)) return;
  std::map<std::string, int> rank;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, ec)) {
    std::error_code fileError;
    if (!entry.is_regular_file(fileError)) continue;
    const std::string file = entry.path().filename().string();
    const int r = FormatRank(Lower(entry.path().extension().string()));
    if (r < 0) continue;
    const std::string stem = PictureStem(file);
    const auto it = rank.find(stem);
    if (it != rank.end() && it->second <= r) continue;
    rank[stem] = r;
    byStem_[stem] = file;
  }
}

std::string PictureFolder::Resolve(std::string_view stored) const {
  if (!SafePictureName(stored)) return {};
  const auto it = byStem_.find(PictureStem(stored));
  if (it == byStem_.end()) return {};
  return folder_ + "/" + it->second;
}

std::string FindImagesFolder(const std::string& programDir, const std::string& sourceDir) {
  std::vector<std::string> candidates;
  // A relative program folder would name the working folder's files.
  if (!programDir.empty() && programDir.front() == '/') {
    candidates.push_back(programDir + "/" + kInstalledDataFolder + "/images");
    candidates.push_back(programDir + "/images");
  }
  if (!sourceDir.empty() && sourceDir.front() == '/') candidates.push_back(sourceDir + "/images");
  for (const std::string& c : candidates) {
    if (!IsFolder(c)) continue;
    std::error_code ec;
    const std::filesystem::path clean = std::filesystem::weakly_canonical(c, ec);
    return ec ? c : clean.string();
  }
  return {};
}

}  // namespace quorvel

#pragma once
// Device pictures: the names the catalogue and the data file give ("2476d.bmp",
// "2413u.bmp") resolved to the files the program ships, without Qt. The stored
// names stay as they are; a file of the same stem, in any case and of any of
// the shipped formats, stands for the name.
#include <map>
#include <string>
#include <string_view>

namespace quorvel {

inline constexpr const char* kDefaultPictureStem = "default";

// A stored name that may be joined to the pictures folder: not empty, no
// folder parts ("/", "\" or ".."), nothing unprintable.
bool SafePictureName(std::string_view name);
// The name without its extension, in lower case: "2476D.BMP" gives "2476d".
std::string PictureStem(std::string_view name);

// The shipped pictures of one folder, listed once.
class PictureFolder {
 public:
  explicit PictureFolder(std::string folder);
  // The file a stored name stands for, as a full path; empty when the name is
  // refused or no file has its stem (the caller then draws "default").
  std::string Resolve(std::string_view stored) const;
  const std::string& folder() const { return folder_; }
  size_t size() const { return byStem_.size(); }

 private:
  std::string folder_;
  std::map<std::string, std::string> byStem_;  // lower-case stem -> file name
};

// The pictures folder of a program in `programDir` (absolute): the installed
// layout's ../share/quorvel/images, then images/ beside the program, then the
// source tree's images/. Never the working folder; empty when none exists.
std::string FindImagesFolder(const std::string& programDir, const std::string& sourceDir);

}  // namespace quorvel

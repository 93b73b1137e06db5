#pragma once
// A plain in-memory file system for tools and fuzz targets that save and load
// the configuration files without touching the disk. (Tests use the one in
// tests/support, which can also fail and crash.)
#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace quorvel::tools {

class MemoryFiles final : public FileSystem {
 public:
  std::string AppDataFolder() override { return "/data"; }
  FileError CreateFolders(const std::string& /*path*/) override { return FileError::None; }
  FileResult ReadFile(const std::string& path, size_t limit, std::vector<uint8_t>& bytes) override {
    bytes.clear();
    const auto it = files_.find(path);
    if (it == files_.end()) return FileResult{FileError::NotFound, FileStep::Open, 0};
    const size_t n = std::min(limit, it->second.size());
    CopyInto(bytes, 0, it->second.data(), n);
    return FileResult{FileError::None, FileStep::None, it->second.size()};
  }
  FileError OpenForWrite(const std::string& path, int& handle) override {
    handle = nextHandle_++;
    open_[handle] = path;
    Slot(path).clear();
    return FileError::None;
  }
  FileError Write(int handle, std::span<const uint8_t> bytes) override {
    const auto it = open_.find(handle);
    if (it == open_.end()) return FileError::InvalidHandle;
    std::vector<uint8_t>& f = Slot(it->second);
    CopyInto(f, f.size(), bytes.data(), bytes.size());
    return FileError::None;
  }
  FileError Flush(int handle) override { return open_.count(handle) != 0 ? FileError::None : FileError::InvalidHandle; }
  FileError Close(int handle) override { return open_.erase(handle) != 0 ? FileError::None : FileError::InvalidHandle; }
  FileError Rename(const std::string& from, const std::string& to) override {
    const auto it = files_.find(from);
    if (it == files_.end()) return FileError::NotFound;
    Slot(to).swap(it->second);
    Remove(from);
    return FileError::None;
  }
  FileError FlushFolder(const std::string& /*folder*/) override { return FileError::None; }
  void Remove(const std::string& path) override {
    const auto it = files_.find(path);
    if (it == files_.end()) return;
    spare_.push_back(std::move(it->second));
    files_.erase(it);
  }

  FileError KeepCopy(const std::string& from, const std::string& to) override {
    const auto it = files_.find(from);
    if (it == files_.end()) return FileError::NotFound;
    if (files_.count(to) != 0) return FileError::AlreadyExists;
    const std::vector<uint8_t> bytes = it->second;
    Put(to, bytes);
    return FileError::None;
  }

  void Put(const std::string& path, const std::vector<uint8_t>& bytes) {
    CopyInto(Slot(path), 0, bytes.data(), bytes.size());
  }
  const std::vector<uint8_t>* Get(const std::string& path) const {
    const auto it = files_.find(path);
    return it == files_.end() ? nullptr : &it->second;
  }
  void Clear() {
    while (!files_.empty()) Remove(files_.begin()->first);
    open_.clear();
  }

 private:
  // Sets `to` to its first `at` bytes followed by `n` bytes from `from`. Copied
  // with memcpy: a fuzz target moves whole files for every input, and under
  // AddressSanitizer a vector's own copy goes through a much slower memmove.
  static void CopyInto(std::vector<uint8_t>& to, size_t at, const uint8_t* from, size_t n) {
    to.resize(at + n);
    if (n > 0) std::memcpy(to.data() + at, from, n);
  }

  // Buffers of removed files are kept for the next files: a fuzz target saves
  // and loads the same large files again and again.
  std::vector<uint8_t>& Slot(const std::string& path) {
    auto it = files_.find(path);
    if (it != files_.end()) return it->second;
    std::vector<uint8_t> buffer;
    if (!spare_.empty()) {
      buffer = std::move(spare_.back());
      spare_.pop_back();
      buffer.clear();
    }
    return files_.emplace(path, std::move(buffer)).first->second;
  }

  std::map<std::string, std::vector<uint8_t>> files_;
  std::map<int, std::string> open_;
  std::vector<std::vector<uint8_t>> spare_;
  int nextHandle_ = 3;
};

}  // namespace quorvel::tools

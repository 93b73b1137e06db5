#pragma once
// A file system with no files, for tools that run part of the program on a
// capture: nothing is there to read, and nothing may be written.
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace quorvel::tools {

class NoFiles final : public FileSystem {
 public:
  std::string AppDataFolder() override { return {}; }
  FileError CreateFolders(const std::string& /*path*/) override { return FileError::AccessDenied; }
  FileResult ReadFile(const std::string& /*path*/, size_t /*limit*/, std::vector<uint8_t>& bytes) override {
    bytes.clear();
    return FileResult{FileError::NotFound, FileStep::Open, 0};
  }
  FileError OpenForWrite(const std::string& /*path*/, int& handle) override {
    handle = -1;
    return FileError::AccessDenied;
  }
  FileError Write(int /*handle*/, std::span<const uint8_t> /*bytes*/) override { return FileError::InvalidHandle; }
  FileError Flush(int /*handle*/) override { return FileError::InvalidHandle; }
  FileError Close(int /*handle*/) override { return FileError::InvalidHandle; }
  FileError Rename(const std::string& /*from*/, const std::string& /*to*/) override {
    return FileError::AccessDenied;
  }
  FileError FlushFolder(const std::string& /*folder*/) override { return FileError::AccessDenied; }
  void Remove(const std::string& /*path*/) override {}
};

}  // namespace quorvel::tools

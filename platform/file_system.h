#pragma once
// The files seam: the app-data folder and whole-file reads and crash-safe writes.
// (Filled in with the configuration files.)
namespace quorvel {
class FileSystem {
 public:
  virtual ~FileSystem() = default;
};
}  // namespace quorvel

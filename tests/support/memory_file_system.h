#pragma once
// An in-memory disk for tests. Besides holding files it can fail any step of a
// write, run full, or crash part-way through a save and then "restart" with only
// what had reached the disk, so tests can check what a save leaves behind.
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace quorvel::testing {

class MemoryFileSystem : public FileSystem {
 public:
  static constexpr const char* kDefaultAppData = "/home/tester/.local/share";

  MemoryFileSystem();

  std::string AppDataFolder() override { return appData_; }
  FileError CreateFolders(const std::string& path) override;
  FileResult ReadFile(const std::string& path, size_t limit, std::vector<uint8_t>& bytes) override;
  FileError OpenForWrite(const std::string& path, int& handle) override;
  FileError Write(int handle, std::span<const uint8_t> bytes) override;
  FileError Flush(int handle) override;
  FileError Close(int handle) override;
  FileError Rename(const std::string& from, const std::string& to) override;
  FileError FlushFolder(const std::string& folder) override;
  void Remove(const std::string& path) override;
  // A second name for the same file, as a hard link gives it; one disk step.
  FileError KeepCopy(const std::string& from, const std::string& to) override;

  // --- Test controls ---

  // "" makes the folder query fail.
  void SetAppDataFolder(std::string folder) { appData_ = std::move(folder); }
  // A file as if it had been on the disk for long (its folders are made too).
  void Put(const std::string& path, std::vector<uint8_t> bytes);
  // What a reader would see now; nothing when absent.
  std::optional<std::vector<uint8_t>> Get(const std::string& path) const;
  bool Exists(const std::string& path) const { return files_.count(path) != 0; }
  void Delete(const std::string& path) { files_.erase(path); }
  std::vector<std::string> Paths() const;
  bool FolderExists(const std::string& path) const { return folders_.count(path) != 0; }

  // Steps that change the disk (open for writing, write, flush, close, rename,
  // folder flush) done so far.
  int StepsDone() const { return steps_; }
  // The n-th step from now (1 = the next one) fails with `error` and changes nothing.
  void FailStep(int n, FileError error);
  // The n-th step from now does not happen, nor anything after it: the machine
  // went down there. Restart() brings it back.
  void CrashAtStep(int n);
  // After a crash: each file holds what was last flushed. Creating, truncating,
  // renaming and removing are taken to reach the disk at once, which is the
  // worst case for a writer that forgets to flush.
  void Restart();
  bool Crashed() const { return crashed_; }
  // Bytes the disk holds in all; a write past it stores what fits and fails.
  void SetCapacity(size_t bytes) { capacity_ = bytes; }
  // Reading this file fails after the open.
  void FailReads(const std::string& path, FileError error) { failReads_[path] = error; }
  // This file cannot be opened, to read or to write: by default as a file of
  // mode 000 (access denied); NotRegularFile stands for a FIFO, a device or a
  // folder. Like a mode, it goes with the file when it is renamed or linked,
  // and a file renamed over it is openable.
  void FailOpens(const std::string& path, FileError error = FileError::AccessDenied) { failOpens_[path] = error; }
  // The disk is mounted read-only: nothing that changes it succeeds.
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  // No file can be kept under a second name, for this cause.
  void FailCopies(FileError error) { copyError_ = error; }
  // Folders that do not exist yet cannot be made, for this cause.
  void FailNewFolders(FileError error) { newFolderError_ = error; }
  void ClearFailures();

 private:
  struct Inode {
    std::vector<uint8_t> data;
    std::vector<uint8_t> durable;
  };
  // Counts a step; returns the error it must fail with, if any.
  FileError Step();
  size_t Used() const;

  std::string appData_ = kDefaultAppData;
  std::set<std::string> folders_;
  std::map<std::string, std::shared_ptr<Inode>> files_;
  std::map<int, std::shared_ptr<Inode>> handles_;
  int nextHandle_ = 3;
  int steps_ = 0;
  int failAt_ = -1;
  FileError failWith_ = FileError::None;
  int crashAt_ = -1;
  bool crashed_ = false;
  size_t capacity_ = static_cast<size_t>(-1);
  std::map<std::string, FileError> failReads_;
  std::map<std::string, FileError> failOpens_;
  bool readOnly_ = false;
  FileError newFolderError_ = FileError::None;
  FileError copyError_ = FileError::None;
};

}  // namespace quorvel::testing

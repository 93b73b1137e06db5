#pragma once
// The files seam: the per-user application-data folder, whole-file reads, and
// the steps a crash-safe replace is built from. The program uses the POSIX
// version; tests use an in-memory one that can fail any step or crash mid-save.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace quorvel {

// Why a file operation failed, in the terms the user is told.
enum class FileError : uint8_t {
  None,
  Generic,
  NotFound,
  BadPath,
  TooManyOpenFiles,
  AccessDenied,
  InvalidHandle,
  DirectoryFull,
  BadSeek,
  HardwareError,
  SharingViolation,
  LockViolation,
  DiskFull,
  EndOfFile,
  ReadOnlyFileSystem,
  // A FIFO, a device, a folder or a link to one where a file should be: never
  // opened, since opening a FIFO or a device can block or act on the device.
  NotRegularFile,
  AlreadyExists,
};

// Which step of an operation failed. A file that cannot be opened for reading is
// simply absent to its reader; a failure after the open is an error to report.
enum class FileStep : uint8_t { None, Open, Read, Write, Flush, Close, Rename, FlushFolder };

struct FileResult {
  FileError error = FileError::None;
  FileStep step = FileStep::None;
  uint64_t length = 0;  // a read: the whole length of the file

  bool Ok() const { return error == FileError::None; }
  bool NotOpened() const { return step == FileStep::Open; }
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The per-user folder for application data; empty when it cannot be found.
  virtual std::string AppDataFolder() = 0;
  // Creates the folder and its missing parents; an existing folder is no error.
  virtual FileError CreateFolders(const std::string& path) = 0;
  // Reads at most `limit` bytes from the start of the file into `bytes` and
  // reports the file's whole length. Only a regular file (or a link to one) is
  // opened; anything else fails at once with NotRegularFile.
  virtual FileResult ReadFile(const std::string& path, size_t limit, std::vector<uint8_t>& bytes) = 0;

  // The steps of a replace (see WriteFileAtomic). Open creates or truncates.
  virtual FileError OpenForWrite(const std::string& path, int& handle) = 0;
  // Writes all of the bytes or reports why not.
  virtual FileError Write(int handle, std::span<const uint8_t> bytes) = 0;
  // Returns only when the file's contents are on the disk.
  virtual FileError Flush(int handle) = 0;
  virtual FileError Close(int handle) = 0;
  // Puts `from` in the place of `to` in one step, replacing what was there.
  virtual FileError Rename(const std::string& from, const std::string& to) = 0;
  // Returns only when the folder's entries (a rename) are on the disk.
  virtual FileError FlushFolder(const std::string& folder) = 0;
  virtual void Remove(const std::string& path) = 0;

  // Puts the file at `from` under the name `to` as well, byte for byte, without
  // changing `from` and never replacing anything at `to` (AlreadyExists). It
  // must work for a file that cannot be read. This version reads and writes a
  // copy; real file systems link the file instead.
  virtual FileError KeepCopy(const std::string& from, const std::string& to);
};

// Replaces the file at `path` with the blocks written back to back so that it is
// always either wholly the old file or wholly the new one, whatever fails: a
// full disk, a crash or a power cut. The new contents go to a temporary file
// beside it, are flushed, and are renamed over the old file; then the folder is
// flushed. On failure the temporary file is removed and the old file is kept.
FileResult WriteFileAtomic(FileSystem& files, const std::string& path,
                           std::span<const std::span<const uint8_t>> blocks);
inline FileResult WriteFileAtomic(FileSystem& files, const std::string& path,
                                  std::initializer_list<std::span<const uint8_t>> blocks) {
  return WriteFileAtomic(files, path, std::span<const std::span<const uint8_t>>(blocks.begin(), blocks.size()));
}

// The temporary file a replace of `path` writes first.
std::string TemporaryPathFor(const std::string& path);
// The folder part of a path ("" for a bare name).
std::string FolderOf(const std::string& path);

// The real file system. On Linux the application-data folder is $XDG_DATA_HOME,
// or ~/.local/share when it is not set; a folder given here is used instead.
class PosixFileSystem final : public FileSystem {
 public:
  explicit PosixFileSystem(std::string appDataFolder = {}) : appDataFolder_(std::move(appDataFolder)) {}

  std::string AppDataFolder() override;
  FileError CreateFolders(const std::string& path) override;
  FileResult ReadFile(const std::string& path, size_t limit, std::vector<uint8_t>& bytes) override;
  FileError OpenForWrite(const std::string& path, int& handle) override;
  FileError Write(int handle, std::span<const uint8_t> bytes) override;
  FileError Flush(int handle) override;
  FileError Close(int handle) override;
  FileError Rename(const std::string& from, const std::string& to) override;
  FileError FlushFolder(const std::string& folder) override;
  void Remove(const std::string& path) override;
  FileError KeepCopy(const std::string& from, const std::string& to) override;

  // The cause of an errno value.
  static FileError FromErrno(int error);

 private:
  std::string appDataFolder_;
};

}  // namespace quorvel

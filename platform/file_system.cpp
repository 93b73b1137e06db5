#include "platform/file_system.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace quorvel {

std::string TemporaryPathFor(const std::string& path) { return path + ".tmp"; }

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

FileResult WriteFileAtomic(FileSystem& files, const std::string& path,
                           std::span<const std::span<const uint8_t>> blocks) {
  const std::string temporary = TemporaryPathFor(path);
  int handle = -1;
  if (FileError e = files.OpenForWrite(temporary, handle); e != FileError::None) {
    return {e, FileStep::Open};
  }
  FileResult result;
  for (std::span<const uint8_t> block : blocks) {
    if (FileError e = files.Write(handle, block); e != FileError::None) {
      result = {e, FileStep::Write};
      break;
    }
  }
  // Without the flush a power cut after the rename could leave an empty or
  // partial file under the real name.
  if (result.Ok()) {
    if (FileError e = files.Flush(handle); e != FileError::None) result = {e, FileStep::Flush};
  }
  if (FileError e = files.Close(handle); e != FileError::None && result.Ok()) {
    result = {e, FileStep::Close};
  }
  if (!result.Ok()) {
    files.Remove(temporary);
    return result;
  }
  if (FileError e = files.Rename(temporary, path); e != FileError::None) {
    files.Remove(temporary);
    return {e, FileStep::Rename};
  }
  if (FileError e = files.FlushFolder(FolderOf(path)); e != FileError::None) {
    return {e, FileStep::FlushFolder};
  }
  return result;
}

FileError FileSystem::KeepCopy(const std::string& from, const std::string& to) {
  std::vector<uint8_t> bytes;
  const FileResult there = ReadFile(to, 0, bytes);
  if (there.Ok() || !there.NotOpened() || there.error != FileError::NotFound) return FileError::AlreadyExists;
  const FileResult r = ReadFile(from, static_cast<size_t>(-1), bytes);
  if (!r.Ok()) return r.error;
  return WriteFileAtomic(*this, to, {std::span<const uint8_t>(bytes)}).error;
}

// ---------------------------------------------------------------------------

FileError PosixFileSystem::FromErrno(int error) {
  switch (error) {
    case 0: return FileError::None;
    case ENOENT: return FileError::NotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EISDIR:
      return FileError::BadPath;
    case EMFILE:
    case ENFILE:
      return FileError::TooManyOpenFiles;
    case EACCES:
    case EPERM:
      return FileError::AccessDenied;
    case EROFS: return FileError::ReadOnlyFileSystem;
    case EEXIST: return FileError::AlreadyExists;
    case EBADF: return FileError::InvalidHandle;
    case EMLINK: return FileError::DirectoryFull;
    case ESPIPE: return FileError::BadSeek;
    case EIO: return FileError::HardwareError;
    case EBUSY:
    case ETXTBSY:
      return FileError::SharingViolation;
    case ENOLCK:
    case EDEADLK:
      return FileError::LockViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return FileError::DiskFull;
    default: return FileError::Generic;
  }
}

std::string PosixFileSystem::AppDataFolder() {
  if (!appDataFolder_.empty()) return appDataFolder_;
  // Only an absolute XDG_DATA_HOME counts; a relative one would move with the
  // working directory.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') return xdg;
  std::string home;
  if (const char* h = std::getenv("HOME"); h != nullptr && h[0] == '/') {
    home = h;
  } else if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr &&
                                                     pw->pw_dir[0] == '/') {
    home = pw->pw_dir;
  }
  if (home.empty()) return {};
  if (home.size() > 1 && home.back() == '/') home.pop_back();
  return home + "/.local/share";
}

FileError PosixFileSystem::CreateFolders(const std::string& path) {
  if (path.empty()) return FileError::BadPath;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    const std::string part = path.substr(0, pos);
    if (part.empty()) continue;
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return FromErrno(errno);
  }
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return FromErrno(errno);
  return S_ISDIR(st.st_mode) ? FileError::None : FileError::BadPath;
}

FileResult PosixFileSystem::ReadFile(const std::string& path, size_t limit, std::vector<uint8_t>& bytes) {
  bytes.clear();
  // Looked at before it is opened: opening a FIFO waits for a writer, and
  // opening a device can act on it.
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return {FromErrno(errno), FileStep::Open};
  if (!S_ISREG(st.st_mode)) return {FileError::NotRegularFile, FileStep::Open};
  // Non-blocking as well, in case something else was put there meanwhile.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return {FromErrno(errno), FileStep::Open};
  if (fstat(fd, &st) != 0) {
    const FileError e = FromErrno(errno);
    close(fd);
    return {e, FileStep::Open};
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    return {FileError::NotRegularFile, FileStep::Open};
  }
  FileResult result;
  result.length = static_cast<uint64_t>(st.st_size);
  const size_t want = result.length < limit ? static_cast<size_t>(result.length) : limit;
  bytes.resize(want);
  size_t got = 0;
  while (got < want) {
    const ssize_t n = read(fd, bytes.data() + got, want - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      result.error = FromErrno(errno);
      result.step = FileStep::Read;
      break;
    }
    if (n == 0) {  // the file shrank under us
      result.error = FileError::EndOfFile;
      result.step = FileStep::Read;
      break;
    }
    got += static_cast<size_t>(n);
  }
  if (close(fd) != 0 && errno != EINTR && result.Ok()) {
    result.error = FromErrno(errno);
    result.step = FileStep::Close;
  }
  if (!result.Ok()) bytes.clear();
  return result;
}

FileError PosixFileSystem::OpenForWrite(const std::string& path, int& handle) {
  handle = -1;
  // Only a regular file is written: a FIFO under the name would hold the open
  // until a reader came, a device would be acted on, a link written through.
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return FileError::NotRegularFile;
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) return errno == ELOOP ? FileError::NotRegularFile : FromErrno(errno);
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return FileError::NotRegularFile;
  }
  handle = fd;
  return FileError::None;
}

FileError PosixFileSystem::Write(int handle, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(handle, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return FromErrno(errno);
    }
    if (n == 0) return FileError::DiskFull;
    done += static_cast<size_t>(n);
  }
  return FileError::None;
}

FileError PosixFileSystem::Flush(int handle) {
  return fsync(handle) == 0 ? FileError::None : FromErrno(errno);
}

FileError PosixFileSystem::Close(int handle) {
  // On Linux the descriptor is gone even when close reports EINTR.
  return close(handle) == 0 || errno == EINTR ? FileError::None : FromErrno(errno);
}

FileError PosixFileSystem::Rename(const std::string& from, const std::string& to) {
  if (rename(from.c_str(), to.c_str()) == 0) return FileError::None;
  // A folder stands where the file goes.
  return errno == EISDIR ? FileError::NotRegularFile : FromErrno(errno);
}

FileError PosixFileSystem::FlushFolder(const std::string& folder) {
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return FromErrno(errno);
  FileError e = FileError::None;
  // Some file systems cannot flush a folder at all; their renames are as safe
  // as they get.
  if (fsync(fd) != 0 && errno != EINVAL && errno != EROFS) e = FromErrno(errno);
  close(fd);
  return e;
}

void PosixFileSystem::Remove(const std::string& path) { unlink(path.c_str()); }

FileError PosixFileSystem::KeepCopy(const std::string& from, const std::string& to) {
  // A second name for the same file: exact, instant, and possible for a file
  // nobody may read. link() never replaces what is at `to`.
  if (link(from.c_str(), to.c_str()) == 0) return FileError::None;
  const int linkError = errno;
  if (linkError == EEXIST || linkError == ENOENT || linkError == EROFS || linkError == ENOSPC)
    return FromErrno(linkError);
  // A file system without hard links: the file moves to the new name, still
  // without replacing anything there. Its old name is about to be written anyway.
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return FileError::None;
  return FromErrno(errno == EINVAL ? linkError : errno);
}

}  // namespace quorvel

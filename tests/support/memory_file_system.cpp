#include "support/memory_file_system.h"

#include <algorithm>

namespace quorvel::testing {

MemoryFileSystem::MemoryFileSystem() { CreateFolders(kDefaultAppData); }

FileError MemoryFileSystem::CreateFolders(const std::string& path) {
  if (crashed_) return FileError::HardwareError;
  if (path.empty() || path[0] != '/') return FileError::BadPath;
  if (folders_.count(path) == 0) {
    if (readOnly_) return FileError::ReadOnlyFileSystem;
    if (newFolderError_ != FileError::None) return newFolderError_;
  }
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    folders_.insert(path.substr(0, pos));
  }
  return FileError::None;
}

FileResult MemoryFileSystem::ReadFile(const std::string& path, size_t limit, std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (crashed_) return {FileError::HardwareError, FileStep::Open};
  if (const auto f = failOpens_.find(path); f != failOpens_.end()) return {f->second, FileStep::Open};
  const auto it = files_.find(path);
  if (it == files_.end()) return {FileError::NotFound, FileStep::Open};
  FileResult r;
  r.length = it->second->data.size();
  if (const auto f = failReads_.find(path); f != failReads_.end()) {
    r.error = f->second;
    r.step = FileStep::Read;
    return r;
  }
  const size_t n = std::min(limit, it->second->data.size());
  bytes.assign(it->second->data.begin(), it->second->data.begin() + static_cast<std::ptrdiff_t>(n));
  return r;
}

FileError MemoryFileSystem::Step() {
  ++steps_;
  if (crashed_) return FileError::HardwareError;
  if (crashAt_ == steps_) {
    crashed_ = true;
    return FileError::HardwareError;
  }
  if (failAt_ == steps_) {
    failAt_ = -1;
    return failWith_;
  }
  return readOnly_ ? FileError::ReadOnlyFileSystem : FileError::None;
}

FileError MemoryFileSystem::OpenForWrite(const std::string& path, int& handle) {
  handle = -1;
  if (FileError e = Step(); e != FileError::None) return e;
  if (const auto f = failOpens_.find(path); f != failOpens_.end()) return f->second;
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos || folders_.count(slash == 0 ? "/" : path.substr(0, slash)) == 0) {
    return FileError::NotFound;
  }
  std::shared_ptr<Inode>& inode = files_[path];
  if (inode) {
    inode->data.clear();
    inode->durable.clear();
  } else {
    inode = std::make_shared<Inode>();
  }
  handle = nextHandle_++;
  handles_[handle] = inode;
  return FileError::None;
}

FileError MemoryFileSystem::Write(int handle, std::span<const uint8_t> bytes) {
  if (FileError e = Step(); e != FileError::None) return e;
  const auto it = handles_.find(handle);
  if (it == handles_.end()) return FileError::InvalidHandle;
  const size_t used = Used();
  const size_t room = capacity_ > used ? capacity_ - used : 0;
  const size_t n = std::min(room, bytes.size());
  it->second->data.insert(it->second->data.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
  return n < bytes.size() ? FileError::DiskFull : FileError::None;
}

FileError MemoryFileSystem::Flush(int handle) {
  if (FileError e = Step(); e != FileError::None) return e;
  const auto it = handles_.find(handle);
  if (it == handles_.end()) return FileError::InvalidHandle;
  it->second->durable = it->second->data;
  return FileError::None;
}

FileError MemoryFileSystem::Close(int handle) {
  const FileError e = Step();
  // The handle is gone whatever the close reports.
  const bool known = handles_.erase(handle) != 0;
  if (e != FileError::None) return e;
  return known ? FileError::None : FileError::InvalidHandle;
}

FileError MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  if (FileError e = Step(); e != FileError::None) return e;
  const auto it = files_.find(from);
  if (it == files_.end()) return FileError::NotFound;
  std::shared_ptr<Inode> inode = it->second;
  files_.erase(it);
  files_[to] = std::move(inode);
  // What cannot be opened is the file, as its mode would be: it moves with it.
  const auto f = failOpens_.find(from);
  if (f != failOpens_.end()) {
    failOpens_[to] = f->second;
    failOpens_.erase(from);
  } else {
    failOpens_.erase(to);
  }
  return FileError::None;
}

FileError MemoryFileSystem::FlushFolder(const std::string& folder) {
  if (FileError e = Step(); e != FileError::None) return e;
  return folders_.count(folder) != 0 ? FileError::None : FileError::NotFound;
}

void MemoryFileSystem::Remove(const std::string& path) {
  if (!crashed_ && !readOnly_) files_.erase(path);
}

FileError MemoryFileSystem::KeepCopy(const std::string& from, const std::string& to) {
  if (FileError e = Step(); e != FileError::None) return e;
  if (copyError_ != FileError::None) return copyError_;
  const auto it = files_.find(from);
  if (it == files_.end()) return FileError::NotFound;
  if (files_.count(to) != 0) return FileError::AlreadyExists;
  files_[to] = it->second;
  if (const auto f = failOpens_.find(from); f != failOpens_.end()) failOpens_[to] = f->second;
  return FileError::None;
}

void MemoryFileSystem::Put(const std::string& path, std::vector<uint8_t> bytes) {
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) CreateFolders(path.substr(0, slash));
  auto inode = std::make_shared<Inode>();
  inode->data = bytes;
  inode->durable = std::move(bytes);
  files_[path] = std::move(inode);
}

std::optional<std::vector<uint8_t>> MemoryFileSystem::Get(const std::string& path) const {
  const auto it = files_.find(path);
  if (it == files_.end()) return std::nullopt;
  return it->second->data;
}

std::vector<std::string> MemoryFileSystem::Paths() const {
  std::vector<std::string> out;
  for (const auto& [path, inode] : files_) out.push_back(path);
  return out;
}

void MemoryFileSystem::FailStep(int n, FileError error) {
  failAt_ = steps_ + n;
  failWith_ = error;
}

void MemoryFileSystem::CrashAtStep(int n) { crashAt_ = steps_ + n; }

void MemoryFileSystem::Restart() {
  for (auto& [path, inode] : files_) inode->data = inode->durable;
  handles_.clear();
  crashed_ = false;
  crashAt_ = -1;
}

void MemoryFileSystem::ClearFailures() {
  failAt_ = -1;
  crashAt_ = -1;
  failReads_.clear();
  failOpens_.clear();
  capacity_ = static_cast<size_t>(-1);
  readOnly_ = false;
  newFolderError_ = FileError::None;
  copyError_ = FileError::None;
}

size_t MemoryFileSystem::Used() const {
  std::set<const Inode*> seen;
  size_t used = 0;
  auto count = [&](const std::shared_ptr<Inode>& inode) {
    if (seen.insert(inode.get()).second) used += std::max(inode->data.size(), inode->durable.size());
  };
  for (const auto& [path, inode] : files_) count(inode);
  for (const auto& [handle, inode] : handles_) count(inode);
  return used;
}

}  // namespace quorvel::testing

#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/scratch.h"

namespace quorvel {
namespace {

using testing::ScopedEnv;

std::vector<uint8_t> Bytes(std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(PosixFileSystem, TheDataFolderComesFromTheEnvironment) {
  struct Case {
    const char* xdg;
    const char* home;
    const char* given;
    std::string folder;
  };
  const Case cases[] = {
      {"/data/xdg", "/home/ann", nullptr, "/data/xdg"},
      {nullptr, "/home/ann", nullptr, "/home/ann/.local/share"},
      {nullptr, "/home/ann/", nullptr, "/home/ann/.local/share"},
      {"relative/xdg", "/home/ann", nullptr, "/home/ann/.local/share"},
      {"", "/home/ann", nullptr, "/home/ann/.local/share"},
      {"/data/xdg", "/home/ann", "/opt/given", "/opt/given"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    ScopedEnv xdg("XDG_DATA_HOME", c.xdg);
    ScopedEnv home("HOME", c.home);
    PosixFileSystem files(c.given != nullptr ? c.given : "");
    EXPECT_EQ(files.AppDataFolder(), c.folder);
  }
}

TEST(PosixFileSystem, ReplacesAFileWholeAndReadsItBack) {
  testing::TempFolder scratch;
  ASSERT_FALSE(scratch.path().empty());
  PosixFileSystem files;
  const std::string folder = scratch.path() + "/a/b/quorvel";
  ASSERT_EQ(files.CreateFolders(folder), FileError::None);
  EXPECT_EQ(files.CreateFolders(folder), FileError::None) << "an existing folder is no error";
  const std::string path = folder + "/OrvoOptions3.cfg";

  const std::vector<uint8_t> first = Bytes("first contents");
  ASSERT_TRUE(WriteFileAtomic(files, path, {first}).Ok());
  const std::vector<uint8_t> head = Bytes("new "), tail = Bytes("and longer contents");
  ASSERT_TRUE(WriteFileAtomic(files, path, {head, tail}).Ok());

  std::vector<uint8_t> read;
  FileResult r = files.ReadFile(path, 1000, read);
  ASSERT_TRUE(r.Ok());
  EXPECT_EQ(r.length, 23u);
  EXPECT_EQ(read, Bytes("new and longer contents"));
  EXPECT_FALSE(std::filesystem::exists(TemporaryPathFor(path)));

  r = files.ReadFile(path, 3, read);
  ASSERT_TRUE(r.Ok());
  EXPECT_EQ(r.length, 23u) << "the whole length, even when reading less";
  EXPECT_EQ(read, Bytes("new"));
}

TEST(PosixFileSystem, FailuresNameTheirStepAndCause) {
  testing::TempFolder scratch;
  ASSERT_FALSE(scratch.path().empty());
  PosixFileSystem files;
  std::vector<uint8_t> read = Bytes("stale");
  const std::vector<uint8_t> some = Bytes("x");

  FileResult r = files.ReadFile(scratch.path() + "/absent.cfg", 100, read);
  EXPECT_EQ(r.error, FileError::NotFound);
  EXPECT_TRUE(r.NotOpened());
  EXPECT_TRUE(read.empty());

  r = files.ReadFile(scratch.path(), 100, read);
  EXPECT_TRUE(r.NotOpened()) << "a folder under the file's name is no file";

  r = WriteFileAtomic(files, scratch.path() + "/missing/OrvoOrv3.cfg", {some});
  EXPECT_EQ(r.error, FileError::NotFound);
  EXPECT_EQ(r.step, FileStep::Open);

  // A path through a plain file.
  ASSERT_TRUE(WriteFileAtomic(files, scratch.path() + "/plain", {some}).Ok());
  EXPECT_EQ(files.CreateFolders(scratch.path() + "/plain/sub"), FileError::BadPath);

  // A device that is always full.
  if (access("/dev/full", W_OK) == 0) {
    int handle = -1;
    ASSERT_EQ(files.OpenForWrite("/dev/full", handle), FileError::None);
    EXPECT_EQ(files.Write(handle, some), FileError::DiskFull);
    files.Close(handle);
  }
}

TEST(PosixFileSystem, ErrnoValuesMapToTheirCauses) {
  struct Case {
    int error;
    FileError cause;
  };
  const Case cases[] = {
      {0, FileError::None},
      {ENOENT, FileError::NotFound},
      {ENOTDIR, FileError::BadPath},
      {ENAMETOOLONG, FileError::BadPath},
      {EMFILE, FileError::TooManyOpenFiles},
      {EACCES, FileError::AccessDenied},
      {EROFS, FileError::AccessDenied},
      {EBADF, FileError::InvalidHandle},
      {EMLINK, FileError::DirectoryFull},
      {ESPIPE, FileError::BadSeek},
      {EIO, FileError::HardwareError},
      {EBUSY, FileError::SharingViolation},
      {ENOLCK, FileError::LockViolation},
      {ENOSPC, FileError::DiskFull},
      {EDQUOT, FileError::DiskFull},
      {EINVAL, FileError::Generic},
  };
  for (const Case& c : cases) EXPECT_EQ(PosixFileSystem::FromErrno(c.error), c.cause) << c.error;
}

}  // namespace
}  // namespace quorvel

#include "platform/file_system.h"

#include <fcntl.h>
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

  // A device that is always full: written to, it reports a full disk; as a
  // file to write it is refused without being opened.
  if (access("/dev/full", W_OK) == 0) {
    const int fd = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(files.Write(fd, some), FileError::DiskFull);
    close(fd);
    int handle = -1;
    EXPECT_EQ(files.OpenForWrite("/dev/full", handle), FileError::NotRegularFile);
    EXPECT_EQ(handle, -1);
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
      {EPERM, FileError::AccessDenied},
      {EROFS, FileError::ReadOnlyFileSystem},
      {EEXIST, FileError::AlreadyExists},
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

// What stands under a configuration file's name may be no file at all. None of
// these is opened: a FIFO would hold the open until a writer came, and a
// device read through a link would never end.
TEST(PosixFileSystem, OnlyRegularFilesAreOpened) {
  testing::TempFolder scratch;
  ASSERT_FALSE(scratch.path().empty());
  const std::string fifo = scratch.path() + "/fifo.cfg";
  const std::string folder = scratch.path() + "/folder.cfg";
  const std::string zero = scratch.path() + "/zero.cfg";
  const std::string plain = scratch.path() + "/plain.cfg";
  const std::string toPlain = scratch.path() + "/link-to-plain.cfg";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
  PosixFileSystem files;
  const std::vector<uint8_t> some = Bytes("abc");
  ASSERT_TRUE(WriteFileAtomic(files, plain, {some}).Ok());
  ASSERT_EQ(symlink(plain.c_str(), toPlain.c_str()), 0);

  std::vector<uint8_t> read = Bytes("stale");
  for (const std::string& path : {fifo, folder, zero}) {
    SCOPED_TRACE(path);
    const FileResult r = files.ReadFile(path, 1 << 20, read);
    EXPECT_EQ(r.error, FileError::NotRegularFile);
    EXPECT_TRUE(r.NotOpened());
    EXPECT_TRUE(read.empty());
    int handle = -1;
    EXPECT_EQ(files.OpenForWrite(path, handle), FileError::NotRegularFile);
    EXPECT_EQ(handle, -1);
  }
  // A link to a regular file is that file.
  const FileResult r = files.ReadFile(toPlain, 100, read);
  EXPECT_TRUE(r.Ok());
  EXPECT_EQ(read, some);
  // The temporary file is never written through a link either.
  const std::string linkedTemporary = TemporaryPathFor(scratch.path() + "/other.cfg");
  ASSERT_EQ(symlink(plain.c_str(), linkedTemporary.c_str()), 0);
  EXPECT_EQ(WriteFileAtomic(files, scratch.path() + "/other.cfg", {Bytes("new")}).error, FileError::NotRegularFile);
  ASSERT_TRUE(files.ReadFile(plain, 100, read).Ok());
  EXPECT_EQ(read, some);
  // A folder where the file goes is no file to replace.
  EXPECT_EQ(WriteFileAtomic(files, folder, {some}).error, FileError::NotRegularFile);
  struct stat st {};
  ASSERT_EQ(stat(folder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST(PosixFileSystem, AKeptCopyIsTheFileByteForByteAndNeverReplacesAnother) {
  testing::TempFolder scratch;
  ASSERT_FALSE(scratch.path().empty());
  PosixFileSystem files;
  const std::string path = scratch.path() + "/OrvoEvents3.cfg";
  const std::string copy = path + ".damaged-20261211-1203";
  const std::vector<uint8_t> original = Bytes("seventy-three thousand bytes, give or take");
  ASSERT_TRUE(WriteFileAtomic(files, path, {original}).Ok());
  // Nobody may read it, yet it can be kept.
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  EXPECT_EQ(files.KeepCopy(path, copy), FileError::None);
  ASSERT_EQ(chmod(copy.c_str(), 0600), 0);
  std::vector<uint8_t> read;
  ASSERT_TRUE(files.ReadFile(copy, 1000, read).Ok());
  EXPECT_EQ(read, original);
  ASSERT_TRUE(files.ReadFile(path, 1000, read).Ok()) << "the original stays where it was";
  EXPECT_EQ(read, original);

  // Replacing the file leaves the copy as it was.
  ASSERT_TRUE(WriteFileAtomic(files, path, {Bytes("new")}).Ok());
  ASSERT_TRUE(files.ReadFile(copy, 1000, read).Ok());
  EXPECT_EQ(read, original);

  // A second copy under the same name is refused, and the first one stays.
  EXPECT_EQ(files.KeepCopy(path, copy), FileError::AlreadyExists);
  ASSERT_TRUE(files.ReadFile(copy, 1000, read).Ok());
  EXPECT_EQ(read, original);
  EXPECT_EQ(files.KeepCopy(scratch.path() + "/absent.cfg", copy + "-2"), FileError::NotFound);
}

}  // namespace
}  // namespace quorvel

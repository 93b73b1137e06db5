#include "config/config_files.h"

#include <cstring>
#include <span>

#include "config/options.h"
#include "engine/context.h"
#include "platform/bytes.h"

namespace quorvel {

static_assert(sizeof(OptionsRecord) == kOptionsFileSize);
static_assert(sizeof(EventTable) == kEventsFileSize);
static_assert(sizeof(GroupTable) == kGroupsFileSize);
static_assert(sizeof(WidgetRecord) == kWidgetFileRecordSize);
static_assert(sizeof(DeviceDatabase::records) + sizeof(uint32_t) + sizeof(DeviceDatabase::reserveTable) +
                  sizeof(uint32_t) ==
              kDataFileSize);

namespace {

constexpr std::string_view kMessageTitle = "quorvel";
constexpr size_t kRecordsBlock = sizeof(DeviceDatabase::records);
constexpr size_t kReserveBlock = sizeof(DeviceDatabase::reserveTable);

template <typename T>
std::span<const uint8_t> BytesOf(const T& object) {
  return {reinterpret_cast<const uint8_t*>(&object), sizeof(T)};
}

std::string PathOf(const std::string& folder, const char* name) { return folder + "/" + name; }

bool SameFile(uint8_t mask, ConfigFile file) { return (mask & file) != 0; }

void ReportFailure(Context& ctx, const std::string& path, const FileResult& result) {
  ctx.notifier.ShowMessage(kMessageTitle, FileErrorText(result.error, path));
}

// Writes one file and reports it: the "Writing" line once it is safely on the
// disk, a failure line and the cause otherwise.
void SaveFile(Context& ctx, SaveResult& out, ConfigFile which, const std::string& path,
              const char* what, std::initializer_list<std::span<const uint8_t>> blocks) {
  size_t size = 0;
  for (const auto& b : blocks) size += b.size();
  const FileResult r = WriteFileAtomic(ctx.files, path, blocks);
  if (r.Ok()) {
    out.written |= which;
    if (ctx.configFiles.saveLogEnabled) {
      ctx.log.LogActivity(std::string("Writing ") + what + " to file: " + path + ", size " +
                          std::to_string(size) + " bytes.");
    }
    return;
  }
  out.failed |= which;
  if (ctx.configFiles.saveLogEnabled) ctx.log.LogActivity("Could not write " + path);
  // Unlike a missing file on reading, a file that cannot be written is always
  // news to the user: the save did not happen.
  ReportFailure(ctx, path, r);
}

// Reads a file for a loader. False when it is absent (silently) or unreadable
// (reported); then the loader keeps its table as it is.
bool ReadForLoad(Context& ctx, const std::string& path, size_t limit, FileResult& result) {
  std::vector<uint8_t>& bytes = ctx.configFiles.readBuffer;
  result = ctx.files.ReadFile(path, limit, bytes);
  if (result.Ok()) return true;
  if (!result.NotOpened()) ReportFailure(ctx, path, result);
  return false;
}

void LogRepairs(Context& ctx, const char* file, const std::string& repairs) {
  if (!repairs.empty()) ctx.log.LogActivity(std::string("Repaired ") + file + " on load: " + repairs);
}

void AddRepair(std::string& repairs, const std::string& what) {
  if (!repairs.empty()) repairs += "; ";
  repairs += what;
}

void ClampComPort(Context& ctx, std::string* repairs) {
  const int32_t port = ctx.options.comPort;
  if (port >= 1 && port <= 16) return;
  ctx.options.comPort = 1;
  if (repairs != nullptr) AddRepair(*repairs, "comPort " + std::to_string(port) + " set to 1");
}

bool LoadOptions(Context& ctx, const std::string& folder) {
  const std::string path = PathOf(folder, kOptionsFileName);
  FileResult r;
  // A wrong length is taken as no file: a truncated or foreign record would put
  // garbage into every setting.
  const bool read = ReadForLoad(ctx, path, kOptionsFileSize, r) && r.length == kOptionsFileSize;
  std::string repairs;
  if (read) {
    std::memcpy(&ctx.options, ctx.configFiles.readBuffer.data(), kOptionsFileSize);
    if (TerminateFixedText(ctx.options.latitude, kCoordinateWidth)) AddRepair(repairs, "latitude terminated");
    if (TerminateFixedText(ctx.options.longitude, kCoordinateWidth)) AddRepair(repairs, "longitude terminated");
  }
  ClampComPort(ctx, read ? &repairs : nullptr);
  LogRepairs(ctx, kOptionsFileName, repairs);
  return read;
}

bool LoadData(Context& ctx, const std::string& folder) {
  const std::string path = PathOf(folder, kDataFileName);
  FileResult r;
  if (!ReadForLoad(ctx, path, kDataFileSize, r) || r.length != kDataFileSize) return false;
  const uint8_t* p = ctx.configFiles.readBuffer.data();
  DeviceDatabase& loaded = ctx.loaded;
  std::memcpy(loaded.records, p, kRecordsBlock);
  p += kRecordsBlock;
  std::memcpy(&loaded.count, p, sizeof loaded.count);
  p += sizeof loaded.count;
  std::memcpy(loaded.reserveTable, p, kReserveBlock);
  p += kReserveBlock;
  std::memcpy(&loaded.reserveCount, p, sizeof loaded.reserveCount);
  LogRepairs(ctx, kDataFileName, loaded.RepairLoaded());
  return true;
}

bool LoadEvents(Context& ctx, const std::string& folder) {
  const std::string path = PathOf(folder, kEventsFileName);
  FileResult r;
  if (!ReadForLoad(ctx, path, kEventsFileSize, r) || r.length != kEventsFileSize) return false;
  std::memcpy(&ctx.events, ctx.configFiles.readBuffer.data(), kEventsFileSize);
  std::string repairs;
  if (ctx.events.eventCount > static_cast<uint32_t>(kUsableEventSlots)) {
    AddRepair(repairs, "eventCount " + std::to_string(ctx.events.eventCount) + " limited to " +
                           std::to_string(kUsableEventSlots));
    ctx.events.eventCount = kUsableEventSlots;
  }
  LogRepairs(ctx, kEventsFileName, repairs);
  return true;
}

bool LoadGroups(Context& ctx, const std::string& folder) {
  const std::string path = PathOf(folder, kGroupsFileName);
  FileResult r;
  if (!ReadForLoad(ctx, path, kGroupsFileSize, r)) return false;
  // A shorter file fills the table partly; the rest is empty.
  const std::vector<uint8_t>& bytes = ctx.configFiles.readBuffer;
  ctx.groups.Clear();
  if (!bytes.empty()) std::memcpy(static_cast<void*>(&ctx.groups), bytes.data(), bytes.size());
  LogRepairs(ctx, kGroupsFileName, ctx.groups.RepairLoaded());
  return true;
}

bool LoadWidgets(Context& ctx, const std::string& folder) {
  const std::string path = PathOf(folder, kWidgetsFileName);
  FileResult r;
  if (!ReadForLoad(ctx, path, kMaxStoredWidgets * kWidgetFileRecordSize, r)) return false;
  const std::vector<uint8_t>& bytes = ctx.configFiles.readBuffer;
  // A trailing partial record is ignored. Every widget gets a new key.
  const size_t n = bytes.size() / kWidgetFileRecordSize;
  ctx.widgets.widgets.clear();
  size_t terminated = 0;
  size_t first = 0;
  for (size_t i = 0; i < n; ++i) {
    WidgetRecord w;
    std::memcpy(&w, bytes.data() + i * kWidgetFileRecordSize, sizeof w);
    if (TerminateFixedText(w.addressText, kWidgetAddressWidth) && terminated++ == 0) first = i;
    ctx.widgets.Add(w);
  }
  std::string repairs;
  if (terminated > 0) {
    repairs = "addressText terminated in " + std::to_string(terminated) + " widgets, first record " +
              std::to_string(first);
  }
  if (r.length > kMaxStoredWidgets * kWidgetFileRecordSize) {
    AddRepair(repairs, "records beyond " + std::to_string(kMaxStoredWidgets) + " ignored");
  }
  LogRepairs(ctx, kWidgetsFileName, repairs);
  return true;
}

}  // namespace

std::string ConfigFolder(Context& ctx) {
  const std::string base = ctx.files.AppDataFolder();
  if (!base.empty()) {
    ctx.configFiles.folder = (base.back() == '/' ? base : base + "/") + kConfigSubfolder;
    // Its result is not checked here: a folder that cannot be made shows up as
    // the first write's failure, with its cause.
    ctx.files.CreateFolders(ctx.configFiles.folder);
  }
  return ctx.configFiles.folder;
}

SaveResult SaveAll(Context& ctx) {
  SaveResult out;
  const std::string folder = ConfigFolder(ctx);
  if (folder.empty()) {
    // Without the user's folder the files would land wherever the program
    // happens to run.
    if (ctx.configFiles.saveLogEnabled) {
      ctx.log.LogActivity("Configuration not saved: the folder for the configuration files was not found.");
    }
    out.failed = kAllConfigFiles;
    return out;
  }

  SaveFile(ctx, out, kOptionsFile, PathOf(folder, kOptionsFileName), "options", {BytesOf(ctx.options)});

  const DeviceDatabase& db = ctx.db;
  if ((db.dbFlags & kDbMerged) != 0) {
    SaveFile(ctx, out, kDataFile, PathOf(folder, kDataFileName), "Insteon Data",
             {std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(db.records), kRecordsBlock),
              BytesOf(db.count),
              std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(db.reserveTable), kReserveBlock),
              BytesOf(db.reserveCount)});
  } else {
    // Until the modem's table has been read and the stored details merged, the
    // live table is empty or partial; writing it would wipe the user's devices.
    out.dataGated = true;
    if (ctx.configFiles.saveLogEnabled) {
      ctx.log.LogActivity("Insteon Data not saved: the PLM link table has not been read yet.");
    }
  }

  SaveFile(ctx, out, kEventsFile, PathOf(folder, kEventsFileName), "events", {BytesOf(ctx.events)});
  SaveFile(ctx, out, kGroupsFile, PathOf(folder, kGroupsFileName), "groups", {BytesOf(ctx.groups)});

  // The widgets stay in memory: they are replaced only by a reload that read
  // the file just written.
  std::vector<uint8_t> widgets(ctx.widgets.widgets.size() * kWidgetFileRecordSize);
  size_t at = 0;
  for (const auto& [key, w] : ctx.widgets.widgets) {
    std::memcpy(widgets.data() + at, &w, kWidgetFileRecordSize);
    at += kWidgetFileRecordSize;
  }
  SaveFile(ctx, out, kWidgetsFile, PathOf(folder, kWidgetsFileName), "widgets", {std::span<const uint8_t>(widgets)});
  return out;
}

uint8_t LoadAll(Context& ctx, uint8_t files) {
  const std::string folder = ConfigFolder(ctx);
  uint8_t read = 0;
  if (folder.empty()) {
    if (SameFile(files, kOptionsFile)) ClampComPort(ctx, nullptr);
    return read;
  }
  if (SameFile(files, kOptionsFile) && LoadOptions(ctx, folder)) read |= kOptionsFile;
  if (SameFile(files, kDataFile) && LoadData(ctx, folder)) read |= kDataFile;
  if (SameFile(files, kEventsFile) && LoadEvents(ctx, folder)) read |= kEventsFile;
  if (SameFile(files, kGroupsFile) && LoadGroups(ctx, folder)) read |= kGroupsFile;
  if (SameFile(files, kWidgetsFile) && LoadWidgets(ctx, folder)) read |= kWidgetsFile;
  return read;
}

SaveResult SaveCommand(Context& ctx) {
  const SaveResult saved = SaveAll(ctx);
  LoadAll(ctx, saved.written);
  return saved;
}

void WireConfigFiles(Context& ctx) {
  ctx.engine.saveCommand = [](Context& c) { SaveCommand(c); };
}

void LoadAtStart(Context& ctx) {
  ctx.configFiles.saveLogEnabled = true;
  LoadAll(ctx);
  ApplyStartupRules(ctx.options);
}

SaveResult SaveAtExit(Context& ctx) {
  ctx.configFiles.saveLogEnabled = false;
  return SaveAll(ctx);
}

std::string FileErrorText(FileError error, std::string_view path) {
  const char* text = "An unknown error occurred while accessing %1.";
  switch (error) {
    case FileError::None:
    case FileError::Generic: break;
    case FileError::NotFound: text = "%1 was not found."; break;
    case FileError::BadPath: text = "%1 contains an incorrect path."; break;
    case FileError::TooManyOpenFiles: text = "Could not open %1 because there are too many open files."; break;
    case FileError::AccessDenied: text = "Access to %1 was denied."; break;
    case FileError::InvalidHandle: text = "An incorrect file handle was associated with %1."; break;
    case FileError::DirectoryFull: text = "Could not create %1 because the directory is full."; break;
    case FileError::BadSeek: text = "Seek failed on %1"; break;
    case FileError::HardwareError: text = "Encountered a hardware I/O error while accessing %1."; break;
    case FileError::SharingViolation: text = "Encountered a sharing violation while accessing %1."; break;
    case FileError::LockViolation: text = "Encountered a locking violation while accessing %1."; break;
    case FileError::DiskFull: text = "Disk full while accessing %1."; break;
    case FileError::EndOfFile: text = "Attempted to access %1 past its end."; break;
  }
  std::string out(text);
  const size_t at = out.find("%1");
  out.replace(at, 2, path);
  return out;
}

}  // namespace quorvel

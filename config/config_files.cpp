#include "config/config_files.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdio>
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
constexpr size_t kReserveOffset = kRecordsBlock + sizeof(uint32_t);
// Copies of one damaged file made within the same minute get a number each.
constexpr int kMaxCopiesPerMinute = 100;

constexpr const char* kFileNames[kConfigFileCount] = {kOptionsFileName, kDataFileName, kEventsFileName,
                                                      kGroupsFileName, kWidgetsFileName};
constexpr const char* kWhat[kConfigFileCount] = {"options", "Insteon Data", "events", "groups", "widgets"};
constexpr int kOptionsIndex = 0;
constexpr int kDataIndex = 1;
constexpr int kEventsIndex = 2;
constexpr int kGroupsIndex = 3;
constexpr int kWidgetsIndex = 4;

// What a device record holds that the user gave it rather than the network:
// these are saved within seconds of an edit, the rest with the learned data.
// The picture's name comes with the device's kind; only its last byte, the
// tile's large flag, is the user's.
struct FieldRange {
  size_t offset;
  size_t width;
};
constexpr FieldRange kUserFields[] = {
    {offsetof(DeviceRecord, name), kNameWidth},
    {offsetof(DeviceRecord, showInControllerList), 1},
    {offsetof(DeviceRecord, tileRect), sizeof(DeviceRecord::tileRect)},
    {offsetof(DeviceRecord, picture) + kPictureNameWidth, 1},
};

template <typename T>
std::span<const uint8_t> BytesOf(const T& object) {
  return {reinterpret_cast<const uint8_t*>(&object), sizeof(T)};
}

std::string PathOf(const std::string& folder, const char* name) { return folder + "/" + name; }

bool SameFile(uint8_t mask, ConfigFile file) { return (mask & file) != 0; }

void ReportFailure(Context& ctx, const std::string& path, const FileResult& result) {
  ctx.notifier.ShowMessage(kMessageTitle, FileErrorText(result.error, path));
}

// A line for General Activity that the user is also shown as a message.
void Tell(Context& ctx, const std::string& text, bool message = true) {
  ctx.log.LogActivity(text);
  if (message) ctx.notifier.ShowMessage(kMessageTitle, text);
}

std::string WithoutFullStop(std::string text) {
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

// The blocks of a file's image as the save writes them.
struct Image {
  std::array<std::span<const uint8_t>, 4> blocks;
  size_t count = 0;
  std::span<const std::span<const uint8_t>> Blocks() const { return {blocks.data(), count}; }
  size_t Size() const {
    size_t n = 0;
    for (size_t i = 0; i < count; ++i) n += blocks[i].size();
    return n;
  }
};

Image ImageOf(Context& ctx, int index) {
  Image image;
  auto add = [&image](std::span<const uint8_t> block) { image.blocks[image.count++] = block; };
  switch (index) {
    case kOptionsIndex: add(BytesOf(ctx.options)); break;
    case kDataIndex: {
      const DeviceDatabase& db = ctx.db;
      add({reinterpret_cast<const uint8_t*>(db.records), kRecordsBlock});
      add(BytesOf(db.count));
      add({reinterpret_cast<const uint8_t*>(db.reserveTable), kReserveBlock});
      add(BytesOf(db.reserveCount));
      break;
    }
    case kEventsIndex: add(BytesOf(ctx.events)); break;
    case kGroupsIndex: add(BytesOf(ctx.groups)); break;
    default: {
      std::vector<uint8_t>& bytes = ctx.configFiles.widgetImage;
      bytes.resize(ctx.widgets.widgets.size() * kWidgetFileRecordSize);
      size_t at = 0;
      for (const auto& [key, w] : ctx.widgets.widgets) {
        std::memcpy(bytes.data() + at, &w, kWidgetFileRecordSize);
        at += kWidgetFileRecordSize;
      }
      add(std::span<const uint8_t>(bytes));
      break;
    }
  }
  return image;
}

// Whether the disk holds exactly this image, as far as the program knows.
bool OnDisk(const StoredFile& f, const Image& image) {
  if (!f.known || f.bytes.size() != image.Size()) return false;
  size_t at = 0;
  for (std::span<const uint8_t> block : image.Blocks()) {
    if (!block.empty() && std::memcmp(f.bytes.data() + at, block.data(), block.size()) != 0) return false;
    at += block.size();
  }
  return true;
}

void Remember(StoredFile& f, const Image& image) {
  f.known = true;
  f.bytes.resize(image.Size());
  size_t at = 0;
  for (std::span<const uint8_t> block : image.Blocks()) {
    if (!block.empty()) std::memcpy(f.bytes.data() + at, block.data(), block.size());
    at += block.size();
  }
}

// Whether what the user gave the devices differs from the data file on the disk.
bool UserFieldsChanged(const StoredFile& f, const DeviceDatabase& db) {
  if (!f.known || f.bytes.size() != kDataFileSize) return true;
  auto differs = [&f](const DeviceRecord& r, size_t at) {
    const auto* live = reinterpret_cast<const uint8_t*>(&r);
    for (const FieldRange& field : kUserFields) {
      if (std::memcmp(live + field.offset, f.bytes.data() + at + field.offset, field.width) != 0) return true;
    }
    return false;
  };
  for (int i = 0; i < kDeviceSlots; ++i) {
    if (differs(db.records[i], static_cast<size_t>(i) * sizeof(DeviceRecord))) return true;
  }
  for (int i = 0; i < kReserveSlots; ++i) {
    if (differs(db.reserveTable[i], kReserveOffset + static_cast<size_t>(i) * sizeof(DeviceRecord))) return true;
  }
  return false;
}

// "-20261211-1203": the local minute a damaged copy was kept.
std::string CopyStamp(const Context& ctx) {
  const LocalTime t = ctx.clock.LocalNow();
  if (!t.valid) return "00000000-0000";
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d", t.year, t.month + 1, t.day, t.hour, t.minute);
  return text;
}

// Keeps the damaged original of a file beside it, never over an earlier copy,
// and says so. False when no copy could be kept: then it must not be replaced.
bool KeepDamaged(Context& ctx, int index, const std::string& path, bool quietRepeat) {
  StoredFile& f = ctx.configFiles.stored[index];
  const std::string base = path + ".damaged-" + CopyStamp(ctx);
  std::string copy = base;
  FileError e = FileError::AlreadyExists;
  for (int n = 1; n <= kMaxCopiesPerMinute && e == FileError::AlreadyExists; ++n) {
    copy = n == 1 ? base : base + "-" + std::to_string(n);
    e = ctx.files.KeepCopy(path, copy);
  }
  const std::string loaded = std::string(kFileNames[index]) + " could not be loaded (" + f.damage + ")";
  if (e == FileError::NotFound) {
    // Gone since it was loaded: there is nothing left to keep.
    f.keepBeforeSave = false;
    return true;
  }
  if (e != FileError::None) {
    const bool repeat = quietRepeat && f.saveError == e;
    f.saveError = e;
    Tell(ctx, loaded + " and no copy of it could be kept (" + WithoutFullStop(FileErrorText(e, copy)) +
                  "); it is not saved over.",
         !repeat);
    return false;
  }
  ctx.files.FlushFolder(FolderOf(path));
  f.keepBeforeSave = false;
  f.keptAs = copy;
  Tell(ctx, loaded + "; the original is kept as " + copy);
  return true;
}

// Writes one file and reports it: the "Writing" line once it is safely on the
// disk, a failure line and the cause otherwise. A periodic save that fails again
// for the same cause says so in the log only, and waits before it tries again.
void SaveFile(Context& ctx, SaveResult& out, int index, const std::string& folder, bool periodic) {
  ConfigFilesState& state = ctx.configFiles;
  StoredFile& f = state.stored[index];
  const ConfigFile which = ConfigFileBit(index);
  const std::string path = PathOf(folder, kFileNames[index]);
  const int64_t now = ctx.clock.NowMillis();
  if (f.keepBeforeSave && !KeepDamaged(ctx, index, path, periodic)) {
    out.failed |= which;
    f.retryAtMillis = now + kFailedSaveRetryMillis;
    return;
  }
  const Image image = ImageOf(ctx, index);
  const FileResult r = WriteFileAtomic(ctx.files, path, image.Blocks());
  if (r.Ok()) {
    out.written |= which;
    Remember(f, image);
    f.damage.clear();
    f.keptAs.clear();
    f.saveError = FileError::None;
    if (index == kDataIndex) state.lastDataSaveMillis = now;
    if (state.saveLogEnabled) {
      ctx.log.LogActivity(std::string("Writing ") + kWhat[index] + " to file: " + path + ", size " +
                          std::to_string(image.Size()) + " bytes.");
    }
    return;
  }
  out.failed |= which;
  const bool repeat = periodic && f.saveError == r.error;
  f.saveError = r.error;
  f.retryAtMillis = now + kFailedSaveRetryMillis;
  if (state.saveLogEnabled) ctx.log.LogActivity("Could not write " + path);
  // Unlike a missing file on reading, a file that cannot be written is always
  // news to the user: the save did not happen.
  // Something that is no file under the temporary name is named as it stands.
  const bool temporary = r.step == FileStep::Open && r.error == FileError::NotRegularFile;
  if (!repeat) ReportFailure(ctx, temporary ? TemporaryPathFor(path) : path, r);
}

// Writes the chosen files in save order.
SaveResult SaveFiles(Context& ctx, uint8_t files, bool periodic) {
  SaveResult out;
  ConfigFilesState& state = ctx.configFiles;
  const std::string folder = ConfigFolder(ctx);
  if (folder.empty()) {
    // Without the user's folder the files would land wherever the program
    // happens to run.
    if (state.saveLogEnabled && !periodic) {
      ctx.log.LogActivity("Configuration not saved: the folder for the configuration files was not found.");
    }
    const int64_t now = ctx.clock.NowMillis();
    for (int i = 0; i < kConfigFileCount; ++i) {
      if (!SameFile(files, ConfigFileBit(i))) continue;
      state.stored[i].saveError = FileError::NotFound;
      state.stored[i].retryAtMillis = now + kFailedSaveRetryMillis;
    }
    out.failed = files;
    return out;
  }
  if (state.folderError != FileError::None) {
    // One report for the folder, not one "was not found" per file.
    bool repeat = periodic;
    const int64_t now = ctx.clock.NowMillis();
    for (int i = 0; i < kConfigFileCount; ++i) {
      if (!SameFile(files, ConfigFileBit(i))) continue;
      StoredFile& f = state.stored[i];
      if (f.saveError != state.folderError) repeat = false;
      f.saveError = state.folderError;
      f.retryAtMillis = now + kFailedSaveRetryMillis;
    }
    Tell(ctx, "Could not create the folder for the configuration files: " + FileErrorText(state.folderError, folder),
         !repeat);
    out.failed = files;
    return out;
  }
  for (int i = 0; i < kConfigFileCount; ++i) {
    if (SameFile(files, ConfigFileBit(i))) SaveFile(ctx, out, i, folder, periodic);
  }
  return out;
}

// Reads back files just written: the loaded copy of the device table is then
// what the next merge must restore. The disk holds what was written, so nothing
// found there is kept as damaged.
void ReadBack(Context& ctx, uint8_t files) {
  ConfigFilesState& state = ctx.configFiles;
  std::array<std::vector<uint8_t>, kConfigFileCount> written;
  for (int i = 0; i < kConfigFileCount; ++i) {
    if (SameFile(files, ConfigFileBit(i))) written[i] = state.stored[i].bytes;
  }
  state.readingBack = true;
  LoadAll(ctx, files);
  state.readingBack = false;
  for (int i = 0; i < kConfigFileCount; ++i) {
    if (!SameFile(files, ConfigFileBit(i))) continue;
    StoredFile& f = state.stored[i];
    f.known = true;
    f.bytes = std::move(written[i]);
    f.damage.clear();
    f.keepBeforeSave = false;
  }
}

// Reads a file for a loader. False when it is absent (silently), not a regular
// file (reported, never opened) or unreadable (marked damaged; reported when it
// was just written); then the loader keeps its table as it is.
bool ReadForLoad(Context& ctx, int index, const std::string& path, size_t limit, FileResult& result) {
  ConfigFilesState& state = ctx.configFiles;
  StoredFile& f = state.stored[index];
  f.known = false;
  f.damage.clear();
  f.keepBeforeSave = false;
  std::vector<uint8_t>& bytes = state.readBuffer;
  result = ctx.files.ReadFile(path, limit, bytes);
  if (result.Ok()) return true;
  if (result.NotOpened() && result.error == FileError::NotFound) return false;
  if (result.error == FileError::NotRegularFile) {
    f.damage = WithoutFullStop(FileErrorText(result.error, path));
    Tell(ctx, "Not loaded: " + FileErrorText(result.error, path));
    return false;
  }
  // Mode 000, a bad sector: the file is there and holds the user's data.
  f.damage = WithoutFullStop(FileErrorText(result.error, path));
  f.keepBeforeSave = true;
  if (state.readingBack) ReportFailure(ctx, path, result);
  return false;
}

// A file that was read but cannot be taken as it stands.
void MarkDamaged(Context& ctx, int index, const std::string& why) {
  StoredFile& f = ctx.configFiles.stored[index];
  f.known = false;
  if (!f.damage.empty()) f.damage += "; ";
  f.damage += why;
  f.keepBeforeSave = true;
}

// A clean load: the disk holds these bytes.
void MarkLoaded(Context& ctx, int index, size_t size) {
  StoredFile& f = ctx.configFiles.stored[index];
  const std::vector<uint8_t>& bytes = ctx.configFiles.readBuffer;
  f.known = true;
  f.bytes.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(size, bytes.size())));
}

std::string LengthText(uint64_t length, size_t expected) {
  return "its length is " + std::to_string(length) + " bytes, not " + std::to_string(expected);
}

void LogRepairs(Context& ctx, int index, const std::string& repairs) {
  if (repairs.empty()) return;
  ctx.log.LogActivity(std::string("Repaired ") + kFileNames[index] + " on load: " + repairs);
  MarkDamaged(ctx, index, "repaired on load: " + repairs);
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
  bool read = ReadForLoad(ctx, kOptionsIndex, path, kOptionsFileSize, r);
  // A wrong length is taken as no file: a truncated or foreign record would put
  // garbage into every setting.
  if (read && r.length != kOptionsFileSize) {
    MarkDamaged(ctx, kOptionsIndex, LengthText(r.length, kOptionsFileSize));
    read = false;
  }
  std::string repairs;
  if (read) {
    MarkLoaded(ctx, kOptionsIndex, kOptionsFileSize);
    std::memcpy(&ctx.options, ctx.configFiles.readBuffer.data(), kOptionsFileSize);
    if (TerminateFixedText(ctx.options.latitude, kCoordinateWidth)) AddRepair(repairs, "latitude terminated");
    if (TerminateFixedText(ctx.options.longitude, kCoordinateWidth)) AddRepair(repairs, "longitude terminated");
  }
  ClampComPort(ctx, read ? &repairs : nullptr);
  LogRepairs(ctx, kOptionsIndex, repairs);
  return read;
}

bool LoadData(Context& ctx, const std::string& folder) {
  const std::string path = PathOf(folder, kDataFileName);
  FileResult r;
  if (!ReadForLoad(ctx, kDataIndex, path, kDataFileSize, r)) return false;
  if (r.length != kDataFileSize) {
    MarkDamaged(ctx, kDataIndex, LengthText(r.length, kDataFileSize));
    return false;
  }
  MarkLoaded(ctx, kDataIndex, kDataFileSize);
  const uint8_t* p = ctx.configFiles.readBuffer.data();
  DeviceDatabase& loaded = ctx.loaded;
  std::memcpy(loaded.records, p, kRecordsBlock);
  p += kRecordsBlock;
  std::memcpy(&loaded.count, p, sizeof loaded.count);
  p += sizeof loaded.count;
  std::memcpy(loaded.reserveTable, p, kReserveBlock);
  p += kReserveBlock;
  std::memcpy(&loaded.reserveCount, p, sizeof loaded.reserveCount);
  LogRepairs(ctx, kDataIndex, loaded.RepairLoaded());
  return true;
}

bool LoadEvents(Context& ctx, const std::string& folder) {
  const std::string path = PathOf(folder, kEventsFileName);
  FileResult r;
  if (!ReadForLoad(ctx, kEventsIndex, path, kEventsFileSize, r)) return false;
  if (r.length != kEventsFileSize) {
    MarkDamaged(ctx, kEventsIndex, LengthText(r.length, kEventsFileSize));
    return false;
  }
  MarkLoaded(ctx, kEventsIndex, kEventsFileSize);
  std::memcpy(&ctx.events, ctx.configFiles.readBuffer.data(), kEventsFileSize);
  std::string repairs;
  if (ctx.events.eventCount > static_cast<uint32_t>(kUsableEventSlots)) {
    AddRepair(repairs, "eventCount " + std::to_string(ctx.events.eventCount) + " limited to " +
                           std::to_string(kUsableEventSlots));
    ctx.events.eventCount = kUsableEventSlots;
  }
  LogRepairs(ctx, kEventsIndex, repairs);
  return true;
}

bool LoadGroups(Context& ctx, const std::string& folder) {
  const std::string path = PathOf(folder, kGroupsFileName);
  FileResult r;
  if (!ReadForLoad(ctx, kGroupsIndex, path, kGroupsFileSize, r)) return false;
  // A shorter file fills the table partly; the rest is empty. Either way it is
  // not what a save wrote, so the original is kept.
  const std::vector<uint8_t>& bytes = ctx.configFiles.readBuffer;
  ctx.groups.Clear();
  if (!bytes.empty()) std::memcpy(static_cast<void*>(&ctx.groups), bytes.data(), bytes.size());
  if (r.length != kGroupsFileSize) {
    MarkDamaged(ctx, kGroupsIndex, LengthText(r.length, kGroupsFileSize));
  } else {
    MarkLoaded(ctx, kGroupsIndex, kGroupsFileSize);
  }
  LogRepairs(ctx, kGroupsIndex, ctx.groups.RepairLoaded());
  return true;
}

bool LoadWidgets(Context& ctx, const std::string& folder) {
  const std::string path = PathOf(folder, kWidgetsFileName);
  FileResult r;
  if (!ReadForLoad(ctx, kWidgetsIndex, path, kMaxStoredWidgets * kWidgetFileRecordSize, r)) return false;
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
  if (r.length % kWidgetFileRecordSize != 0) {
    MarkDamaged(ctx, kWidgetsIndex,
                "its length of " + std::to_string(r.length) + " bytes is not a whole number of " +
                    std::to_string(kWidgetFileRecordSize) + "-byte records");
  } else {
    MarkLoaded(ctx, kWidgetsIndex, n * kWidgetFileRecordSize);
  }
  std::string repairs;
  if (terminated > 0) {
    repairs = "addressText terminated in " + std::to_string(terminated) + " widgets, first record " +
              std::to_string(first);
  }
  if (r.length > kMaxStoredWidgets * kWidgetFileRecordSize) {
    AddRepair(repairs, "records beyond " + std::to_string(kMaxStoredWidgets) + " ignored");
  }
  LogRepairs(ctx, kWidgetsIndex, repairs);
  return true;
}

bool RetryDue(const StoredFile& f, int64_t now) {
  if (f.saveError == FileError::None) return true;
  // A clock set back must not hold the retry off for as long.
  return now >= f.retryAtMillis || now < f.retryAtMillis - kFailedSaveRetryMillis;
}

}  // namespace

const char* ConfigFileName(int index) { return kFileNames[index]; }
ConfigFile ConfigFileBit(int index) { return static_cast<ConfigFile>(1u << index); }
int ConfigFileIndex(ConfigFile file) { return std::countr_zero(static_cast<unsigned>(file)); }

uint8_t FilesNotSaved(const Context& ctx) {
  uint8_t out = 0;
  for (int i = 0; i < kConfigFileCount; ++i) {
    if (ctx.configFiles.stored[i].saveError != FileError::None) out |= ConfigFileBit(i);
  }
  return out;
}

std::string ConfigFolder(Context& ctx) {
  const std::string base = ctx.files.AppDataFolder();
  if (!base.empty()) {
    ctx.configFiles.folder = (base.back() == '/' ? base : base + "/") + kConfigSubfolder;
    // A folder that cannot be made is reported by the save, once, with its cause.
    ctx.configFiles.folderError = ctx.files.CreateFolders(ctx.configFiles.folder);
  }
  return ctx.configFiles.folder;
}

SaveResult SaveAll(Context& ctx) {
  const bool merged = (ctx.db.dbFlags & kDbMerged) != 0;
  SaveResult out = SaveFiles(ctx, merged ? kAllConfigFiles : (kAllConfigFiles & ~kDataFile), false);
  if (!merged) {
    // Until the modem's table has been read and the stored details merged, the
    // live table is empty or partial; writing it would wipe the user's devices.
    out.dataGated = true;
    if (ctx.configFiles.saveLogEnabled && !ctx.configFiles.folder.empty()) {
      ctx.log.LogActivity("Insteon Data not saved: the PLM link table has not been read yet.");
    }
  }
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
  ReadBack(ctx, saved.written);
  return saved;
}

void SaveChanges(Context& ctx) {
  ConfigFilesState& state = ctx.configFiles;
  const int64_t now = ctx.clock.NowMillis();
  if (state.lastChangeCheckMillis != std::numeric_limits<int64_t>::min()) {
    // A clock set back checks at once rather than after the time it went back.
    const int64_t since = now - state.lastChangeCheckMillis;
    if (since >= 0 && since < kChangeCheckMillis) return;
  }
  state.lastChangeCheckMillis = now;

  uint8_t due = 0;
  for (int i : {kOptionsIndex, kEventsIndex, kGroupsIndex, kWidgetsIndex}) {
    const StoredFile& f = state.stored[i];
    if (RetryDue(f, now) && !OnDisk(f, ImageOf(ctx, i))) due |= ConfigFileBit(i);
  }
  const StoredFile& data = state.stored[kDataIndex];
  if ((ctx.db.dbFlags & kDbMerged) != 0 && RetryDue(data, now)) {
    const int64_t age = now - state.lastDataSaveMillis;
    const bool learnedDue = age >= kLearnedDataSaveMillis || age < 0;
    if (UserFieldsChanged(data, ctx.db) || (learnedDue && !OnDisk(data, ImageOf(ctx, kDataIndex))))
      due |= kDataFile;
  }
  if (due == 0) return;
  const SaveResult saved = SaveFiles(ctx, due, true);
  // The options, events, groups and widgets in memory are what was written;
  // reloading them would only renumber the widgets under the views' feet.
  if (SameFile(saved.written, kDataFile)) ReadBack(ctx, kDataFile);
}

void WireConfigFiles(Context& ctx) {
  ctx.engine.saveCommand = [](Context& c) { SaveCommand(c); };
  ctx.engine.saveChanges = [](Context& c) { SaveChanges(c); };
}

void LoadAtStart(Context& ctx) {
  ConfigFilesState& state = ctx.configFiles;
  state.saveLogEnabled = true;
  LoadAll(ctx);
  // The damaged originals are kept now, before any save can replace them, so
  // the user hears of them at start.
  for (int i = 0; i < kConfigFileCount; ++i) {
    if (state.stored[i].keepBeforeSave) KeepDamaged(ctx, i, PathOf(state.folder, kFileNames[i]), false);
  }
  state.lastDataSaveMillis = ctx.clock.NowMillis();
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
    case FileError::ReadOnlyFileSystem: text = "%1 is on a read-only file system."; break;
    case FileError::NotRegularFile: text = "%1 is not a regular file."; break;
    case FileError::AlreadyExists: text = "%1 already exists."; break;
  }
  std::string out(text);
  const size_t at = out.find("%1");
  out.replace(at, 2, path);
  return out;
}

}  // namespace quorvel

#pragma once
// The five configuration files: the folder they live in, what each holds, and
// saving and loading them as one set. Every file is a raw image of one table,
// so the record layouts are the file formats.
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace quorvel {

struct Context;

inline constexpr char kConfigSubfolder[] = "quorvel";
inline constexpr char kOptionsFileName[] = "OrvoOptions3.cfg";
inline constexpr char kDataFileName[] = "OrvoOrv3.cfg";
inline constexpr char kEventsFileName[] = "OrvoEvents3.cfg";
inline constexpr char kGroupsFileName[] = "OrvoGroups3.cfg";
inline constexpr char kWidgetsFileName[] = "OrvoWidgets3.cfg";

inline constexpr size_t kOptionsFileSize = 1176;
inline constexpr size_t kEventsFileSize = 73976;
inline constexpr size_t kGroupsFileSize = 137216;
inline constexpr size_t kWidgetFileRecordSize = 72;
// A widgets file is read up to this many records; nothing the user can do in
// the widgets dialog comes near it, so more means a damaged file.
inline constexpr size_t kMaxStoredWidgets = 65536;

// One bit per file, in save and load order.
enum ConfigFile : uint8_t {
  kOptionsFile = 0x01,
  kDataFile = 0x02,
  kEventsFile = 0x04,
  kGroupsFile = 0x08,
  kWidgetsFile = 0x10,
  kAllConfigFiles = 0x1F,
};

inline constexpr int kConfigFileCount = 5;

// The saves nobody asks for: what the user keeps is compared with the files this
// often, and what the network taught us is written at least this often while it
// changes. A file whose save failed is tried again after the retry time.
inline constexpr int64_t kChangeCheckMillis = 2000;
inline constexpr int64_t kLearnedDataSaveMillis = 10 * 60 * 1000;
inline constexpr int64_t kFailedSaveRetryMillis = 60 * 1000;

// What the program knows of one of the files on the disk.
struct StoredFile {
  // Its bytes as last read or written. Not `known` when the disk may hold
  // anything else (absent, not loaded as it stands, not yet saved): then the
  // next change check saves it.
  bool known = false;
  std::vector<uint8_t> bytes;
  // Why the file on the disk could not be loaded as it stands; empty when it could.
  std::string damage;
  // The damaged original is kept beside it under another name before anything
  // replaces it; `keptAs` is that name once it was.
  bool keepBeforeSave = false;
  std::string keptAs;
  // The cause of the last failed save; None once a save went through.
  FileError saveError = FileError::None;
  int64_t retryAtMillis = 0;
};

struct ConfigFilesState {
  // When set, each file a save writes is reported in General Activity. On from
  // the start of the run until the save at exit.
  bool saveLogEnabled = false;
  // The last folder obtained; empty until the first.
  std::string folder;
  // Why that folder could not be made; None when it is there.
  FileError folderError = FileError::None;
  // Kept between loads so a reload does not allocate again.
  std::vector<uint8_t> readBuffer;
  // In save order: options, data, events, groups, widgets.
  std::array<StoredFile, kConfigFileCount> stored;
  // Set while the files just written are read back.
  bool readingBack = false;
  int64_t lastChangeCheckMillis = std::numeric_limits<int64_t>::min();
  int64_t lastDataSaveMillis = 0;
  std::vector<uint8_t> widgetImage;  // scratch for the widgets file's bytes
};

struct SaveResult {
  uint8_t written = 0;     // files replaced by the new contents
  uint8_t failed = 0;      // files whose write failed; their old contents are kept
  bool dataGated = false;  // the data file was held back: the modem's table is not merged yet
};

// The folder of the configuration files, created if missing. When the user's
// data folder cannot be found, the folder of the previous call; empty when
// none was ever found, and then no file is read or written.
std::string ConfigFolder(Context& ctx);

// Writes the five files, each replaced whole or kept as it was; a damaged
// original is first kept under another name, and not replaced when that fails.
// The data file is written only once the stored device details have been merged into the live
// table in this run (bit 1 of the live dbFlags), so a run without the modem
// cannot overwrite it with an empty table; the other four are always written.
SaveResult SaveAll(Context& ctx);

// Reads the chosen files into the options, the loaded copy of the device table,
// the events, the groups and the widgets. A file that is absent, of the wrong
// length or unreadable leaves its table as it was (the options with no file stay
// as they are, all zero at program start). Returns the files read. A file that
// is there but cannot be loaded as it stands (wrong length, unreadable, repaired)
// is marked damaged: the next save keeps the original before replacing it. One
// that is not a regular file is never opened, and is reported.
uint8_t LoadAll(Context& ctx, uint8_t files = kAllConfigFiles);

// The saves of the user's edits, run by the engine at every step; they need no
// caller to mark an edit. Every 2 seconds the options, the events, the groups,
// the widgets and what the user gives each device (its name, picture, tile
// place and controller-list tick) are compared with the files, and a file that
// differs is written at once; the rest of the device data (identity, levels,
// link tables, times) is written when it differs and the data file is 10
// minutes old. The data file waits for the merge like every save. Nothing is
// reloaded but the loaded copy of the device table, and the modem's table is
// not read again.
void SaveChanges(Context& ctx);

// The files whose last save failed, as ConfigFile bits.
uint8_t FilesNotSaved(const Context& ctx);
// The file name and the bit of the n-th file in save order.
const char* ConfigFileName(int index);
ConfigFile ConfigFileBit(int index);
int ConfigFileIndex(ConfigFile file);

// The "Save" command, the auto-save, the document's store hook and "PLM Read
// ALDB": saves, then reloads what was written so memory and disk agree and the
// loaded copy holds what the next merge must restore. A file that was not
// written is not reloaded, so edits that could not be saved stay in memory.
SaveResult SaveCommand(Context& ctx);

// Hands the network engine its save command (NetworkEngine::saveCommand), which
// its auto-save runs when the network is quiet, and the saves of the user's
// edits (NetworkEngine::saveChanges), which run at every step.
void WireConfigFiles(Context& ctx);

// Program start: switches the save log on, loads the five files, keeps a copy
// of each file that could not be loaded as it stands (reporting it), and
// applies the options' start-up rules.
void LoadAtStart(Context& ctx);
// Program exit, after the modem's port is closed: switches the save log off and saves.
SaveResult SaveAtExit(Context& ctx);

// The text shown for a failed file operation on `path`.
std::string FileErrorText(FileError error, std::string_view path);

}  // namespace quorvel

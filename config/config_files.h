#pragma once
// The five configuration files: the folder they live in, what each holds, and
// saving and loading them as one set. Every file is a raw image of one table,
// so the record layouts are the file formats.
#include <cstddef>
#include <cstdint>
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

struct ConfigFilesState {
  // When set, each file a save writes is reported in General Activity. On from
  // the start of the run until the save at exit.
  bool saveLogEnabled = false;
  // The last folder obtained; empty until the first.
  std::string folder;
  // Kept between loads so a reload does not allocate again.
  std::vector<uint8_t> readBuffer;
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

// Writes the five files, each replaced whole or kept as it was. The data file is
// written only once the stored device details have been merged into the live
// table in this run (bit 1 of the live dbFlags), so a run without the modem
// cannot overwrite it with an empty table; the other four are always written.
SaveResult SaveAll(Context& ctx);

// Reads the chosen files into the options, the loaded copy of the device table,
// the events, the groups and the widgets. A file that is absent, of the wrong
// length or unreadable leaves its table as it was (the options with no file stay
// as they are, all zero at program start). Returns the files read.
uint8_t LoadAll(Context& ctx, uint8_t files = kAllConfigFiles);

// The "Save" command, the auto-save, the document's store hook and "PLM Read
// ALDB": saves, then reloads what was written so memory and disk agree and the
// loaded copy holds what the next merge must restore. A file that was not
// written is not reloaded, so edits that could not be saved stay in memory.
SaveResult SaveCommand(Context& ctx);

// Hands the network engine its save command (NetworkEngine::saveCommand), which
// its auto-save runs when the network is quiet.
void WireConfigFiles(Context& ctx);

// Program start: switches the save log on, loads the five files and applies the
// options' start-up rules.
void LoadAtStart(Context& ctx);
// Program exit, after the modem's port is closed: switches the save log off and saves.
SaveResult SaveAtExit(Context& ctx);

// The text shown for a failed file operation on `path`.
std::string FileErrorText(FileError error, std::string_view path);

}  // namespace quorvel

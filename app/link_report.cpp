#include "app/link_report.h"

#include <memory>

#include "config/config_files.h"
#include "engine/context.h"
#include "engine/link_watch.h"
#include "platform/file_system.h"
#include "platform/notifier.h"
#include "plm/posix_serial_port.h"

namespace quorvel {

std::string RunLinkReport(Context& ctx, int category) {
  DeviceDatabase& table = (ctx.db.dbFlags & kDbMerged) != 0 ? ctx.db : ctx.loaded;
  LinkReport report;
  if (!BuildReport(table, ctx.clock, category, report)) return {};
  return ReportText(report);
}

bool StoredLinkReport(const std::string& dataDir, int category, std::string& text, std::string& error) {
  SystemClock clock;
  PosixSerialPort port;  // never opened
  PosixFileSystem files(dataDir);
  NullNotifier notifier;
  auto ctx = std::make_unique<Context>(clock, port, files, notifier);
  if ((LoadAll(*ctx, kDataFile) & kDataFile) == 0) {
    const std::string folder = ConfigFolder(*ctx);
    const std::string& damage = ctx->configFiles.stored[ConfigFileIndex(kDataFile)].damage;
    error = "no readable data file " + std::string(kDataFileName) + (folder.empty() ? "" : " in " + folder) +
            (damage.empty() ? "" : " (" + damage + ")");
    return false;
  }
  text = RunLinkReport(*ctx, category);
  return true;
}

}  // namespace quorvel

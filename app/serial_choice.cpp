#include "app/serial_choice.h"

#include <QSettings>

#include "app/main_frame.h"

namespace quorvel {

std::string StoredSerialDevice() {
  // Named outright: a headless run has no application object to name the store.
  const QString path = QSettings(kSettingsCompany, kSettingsProgram).value(kSerialDeviceKey).toString();
  // A device path is a line of printable text; anything else was not written by us.
  for (const QChar c : path) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) return {};
  }
  return path.size() <= 4096 ? path.toStdString() : std::string();
}

void StoreSerialDevice(const std::string& path) {
  QSettings settings(kSettingsCompany, kSettingsProgram);
  if (path.empty()) {
    settings.remove(kSerialDeviceKey);
  } else {
    settings.setValue(kSerialDeviceKey, QString::fromStdString(path));
  }
}

}  // namespace quorvel

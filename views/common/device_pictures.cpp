#include "views/common/device_pictures.h"

#include <QCoreApplication>
#include <QHash>
#include <QImage>
#include <cstdio>
#include <string>

namespace quorvel {

const PictureFolder& ShippedPictures() {
  static const PictureFolder folder(FindImagesFolder(QCoreApplication::applicationDirPath().toStdString(),
#ifdef QUORVEL_SOURCE_DIR
                                                     QUORVEL_SOURCE_DIR
#else
                                                     ""
#endif
                                                     ));
  return folder;
}

QHash<QString, QPixmap>& PictureCache() {
  static QHash<QString, QPixmap>* cache = [] {
    auto* c = new QHash<QString, QPixmap>;
    // Pixmaps must go while the application still stands.
    qAddPostRoutine([] { PictureCache().clear(); });
    return c;
  }();
  return *cache;
}

QPixmap DevicePicture(std::string_view storedName) {
  QHash<QString, QPixmap>& cache = PictureCache();
  const QString key = QString::fromLatin1(storedName.data(), static_cast<qsizetype>(storedName.size()));
  const auto it = cache.constFind(key);
  if (it != cache.constEnd()) return *it;
  const PictureFolder& folder = ShippedPictures();
  std::string file = folder.Resolve(storedName);
  QPixmap picture;
  if (!file.empty()) picture = QPixmap::fromImage(QImage(QString::fromStdString(file)));
  if (picture.isNull()) {
    std::fprintf(stderr, "quorvel: no picture for \"%.*s\" in %s; drawing the default\n",
                 static_cast<int>(storedName.size()), storedName.data(),
                 folder.folder().empty() ? "(no images folder)" : folder.folder().c_str());
    file = folder.Resolve(kDefaultPictureStem);
    if (!file.empty()) picture = QPixmap::fromImage(QImage(QString::fromStdString(file)));
  }
  cache.insert(key, picture);
  return picture;
}

}  // namespace quorvel

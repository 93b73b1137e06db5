#pragma once
// The device pictures as the windows draw them: the shipped folder found once
// for the run (FindImagesFolder), each picture loaded once, and the "default"
// picture for a name that is refused or has no file.
#include <QHash>
#include <QPixmap>
#include <QString>
#include <string_view>

#include "views/common/device_picture_model.h"

namespace quorvel {

// The pictures of this run's folder (beside the program, or the source tree's).
const PictureFolder& ShippedPictures();
// The picture for a stored name ("2476d.bmp"). A missing one is told once on
// the standard error stream and drawn as "default"; null only when not even
// that is shipped.
QPixmap DevicePicture(std::string_view storedName);
// The pictures loaded so far; emptied as the application ends. Other caches of
// drawn pictures may live beside it.
QHash<QString, QPixmap>& PictureCache();

}  // namespace quorvel

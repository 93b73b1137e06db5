#include "views/link_views/device_list_pane.h"

#include <QTreeWidget>

namespace quorvel {

CDPane_PLM_Groups::CDPane_PLM_Groups(Context& ctx, QWidget* parent)
    : QDockWidget(QString::fromLatin1(kDeviceListCaption), parent), ctx_(ctx) {
  setObjectName(QStringLiteral("DeviceListPane"));
  setProperty("controlId", kDeviceListId);
  tree_ = new QTreeWidget(this);
  tree_->setHeaderHidden(true);
  setWidget(tree_);
}

}  // namespace quorvel

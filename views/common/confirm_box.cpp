#include "views/common/confirm_box.h"

#include <QMessageBox>

namespace quorvel {

bool ConfirmOkCancel(QWidget* parent, const std::string& title, const std::string& text) {
  QMessageBox box(QMessageBox::Warning, QString::fromLatin1(title.c_str()), QString::fromLatin1(text.c_str()),
                  QMessageBox::Ok | QMessageBox::Cancel, parent);
  box.setObjectName(QStringLiteral("ConfirmBox"));
  box.setDefaultButton(QMessageBox::Cancel);
  return box.exec() == QMessageBox::Ok;
}

}  // namespace quorvel

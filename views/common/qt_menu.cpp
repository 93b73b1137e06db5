#include "views/common/qt_menu.h"

#include <QAction>
#include <QMenu>
#include <vector>

namespace quorvel {

int ExecMenu(const Menu& entries, QWidget* parent, const QPoint& globalPos, const char* objectName) {
  QMenu menu(parent);
  menu.setObjectName(QString::fromLatin1(objectName));
  std::vector<QMenu*> stack = {&menu};
  for (const MenuEntry& e : entries) {
    QMenu* at = stack.back();
    const QString text = QString::fromLatin1(e.text.data(), static_cast<qsizetype>(e.text.size()));
    switch (e.kind) {
      case MenuEntry::Kind::kSeparator: at->addSeparator(); break;
      case MenuEntry::Kind::kSubmenuBegin: stack.push_back(at->addMenu(text)); break;
      case MenuEntry::Kind::kSubmenuEnd:
        if (stack.size() > 1) stack.pop_back();
        break;
      case MenuEntry::Kind::kItem: {
        QAction* a = at->addAction(text);
        a->setEnabled(e.enabled);
        if (e.checked) {
          a->setCheckable(true);
          a->setChecked(true);
        }
        a->setData(e.command);
        break;
      }
    }
  }
  const QAction* chosen = menu.exec(globalPos);
  return chosen != nullptr ? chosen->data().toInt() : 0;
}

}  // namespace quorvel

#pragma once
// Opens a context menu that a window's model built (views/common/menu_entry.h)
// and gives back the command chosen.
#include <QPoint>

#include "views/common/menu_entry.h"

class QWidget;

namespace quorvel {

// The chosen entry's command; 0 when the menu was closed or a title chosen.
int ExecMenu(const Menu& entries, QWidget* parent, const QPoint& globalPos, const char* objectName);

}  // namespace quorvel

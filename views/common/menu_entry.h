#pragma once
// A context menu as its window's model builds it: items with their command,
// check mark and greying, separators and submenus. The widgets turn it into a
// QMenu, so the menus are tested without a display.
#include <string>
#include <vector>

namespace quorvel {

struct MenuEntry {
  enum class Kind { kItem, kSeparator, kSubmenuBegin, kSubmenuEnd };
  Kind kind = Kind::kItem;
  std::string text;  // the item's or the submenu's text
  int command = 0;   // 0: a title or an information line, never chosen
  bool checked = false;
  bool enabled = true;
};

using Menu = std::vector<MenuEntry>;

inline void AddItem(Menu& m, std::string text, int command, bool checked = false, bool enabled = true) {
  m.push_back(MenuEntry{MenuEntry::Kind::kItem, std::move(text), command, checked, enabled});
}
inline void AddLine(Menu& m, std::string text) { AddItem(m, std::move(text), 0, false, false); }
inline void AddSeparator(Menu& m) { m.push_back(MenuEntry{MenuEntry::Kind::kSeparator, {}, 0, false, true}); }
inline void BeginSubmenu(Menu& m, std::string text) {
  m.push_back(MenuEntry{MenuEntry::Kind::kSubmenuBegin, std::move(text), 0, false, true});
}
inline void EndSubmenu(Menu& m) { m.push_back(MenuEntry{MenuEntry::Kind::kSubmenuEnd, {}, 0, false, true}); }

}  // namespace quorvel

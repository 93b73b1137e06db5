#pragma once
// The help page shipped with the program (help/quorvel_help.html, built into
// the program as a resource, so it is found wherever the program runs from),
// shown in a plain viewer window that F1 and "Help Topics" open.
#include <QWidget>

class QTextBrowser;

namespace quorvel {

inline constexpr char kHelpWindowTitle[] = "Orvo-PLM Help";
inline constexpr char kHelpPageUrl[] = "qrc:/help/quorvel_help.html";

class CHelpWindow : public QWidget {
 public:
  explicit CHelpWindow(QWidget* parent = nullptr);

  QTextBrowser* Browser() const { return browser_; }
  // Whether the page was there to load (the resource is part of the program).
  bool PageLoaded() const;

 private:
  QTextBrowser* browser_ = nullptr;
};

}  // namespace quorvel

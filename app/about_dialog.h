#pragma once
// "About Orvo": the program's icon, its version and build date, what it does,
// and a link to the maker's site.
#include <QDialog>

namespace quorvel {

inline constexpr char kMakerSite[] = "https://quorvel.example.org/";

class CAboutDlg : public QDialog {
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace quorvel

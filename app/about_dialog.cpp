#include "app/about_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QStyle>

namespace quorvel {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutDialog"));
  setWindowTitle(QStringLiteral("About Orvo-PLM"));
  auto* icon = new QLabel(this);
  const QIcon programIcon = QApplication::windowIcon();
  icon->setPixmap((programIcon.isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon) : programIcon).pixmap(48, 48));
  auto* version = new QLabel(QStringLiteral("Orvo-PLM Version %1 (built %2)")
                                 .arg(QApplication::applicationVersion(), QStringLiteral(__DATE__)),
                             this);
  version->setObjectName(QStringLiteral("VersionLine"));
  auto* about = new QLabel(
      QStringLiteral("Sets up and controls an Insteon network through a PowerLinc Modem: finds the modem,\n"
                     "reads the link tables of the modem and its devices, links and repairs links, switches\n"
                     "devices, runs time and logic events, and logs the traffic on the power line."),
      this);
  auto* link = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(QString::fromLatin1(kMakerSite)), this);
  link->setObjectName(QStringLiteral("MakerLink"));
  link->setOpenExternalLinks(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* grid = new QGridLayout(this);
  grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
  grid->addWidget(version, 0, 1);
  grid->addWidget(about, 1, 1);
  grid->addWidget(link, 2, 1);
  grid->addWidget(buttons, 3, 0, 1, 2);
}

}  // namespace quorvel

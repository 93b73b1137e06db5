#include "app/help_window.h"

#include <QDialogButtonBox>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace quorvel {

CHelpWindow::CHelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QString::fromLatin1(kHelpWindowTitle));
  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("HelpText"));
  // Links inside the page move within it; the few to the outside open in the
  // desktop's browser.
  browser_->setOpenExternalLinks(true);
  browser_->setSource(QUrl(QString::fromLatin1(kHelpPageUrl)));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &QWidget::close);
  auto* box = new QVBoxLayout(this);
  box->addWidget(browser_);
  box->addWidget(buttons);
  resize(760, 640);
}

bool CHelpWindow::PageLoaded() const { return !browser_->toPlainText().trimmed().isEmpty(); }

}  // namespace quorvel

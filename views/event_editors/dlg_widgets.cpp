#include "views/event_editors/dlg_widgets.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/context.h"
#include "views/event_editors/event_widgets.h"

namespace quorvel {

dlgWidgets::dlgWidgets(Context& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx), state_(OpenWidgetsDialog(ctx)) {
  setObjectName(QStringLiteral("dlgWidgets"));
  setProperty("controlId", kDlgWidgetsId);
  setWindowTitle(QString::fromLatin1(kWidgetsDialogCaption));
  setModal(true);
  auto* page = new QVBoxLayout(this);

  page->addWidget(new QLabel(QString::fromLatin1(kDefineWidgetText), this));
  types_ = new QComboBox(this);
  types_->setObjectName(QStringLiteral("WidgetType"));
  types_->setProperty("controlId", 1000);
  for (const char* t : kWidgetTypeNames) types_->addItem(QString::fromLatin1(t));
  types_->setCurrentIndex(state_.type);
  connect(types_, &QComboBox::currentIndexChanged, this, [this](int row) {
    ChangeWidgetType(state_, row);
    Show();
  });
  page->addWidget(types_);

  typeLabel_ = new QLabel(this);
  typeLabel_->setObjectName(QStringLiteral("TypeLabel"));
  typeLabel_->setProperty("controlId", 1032);
  page->addWidget(typeLabel_);
  x10_ = new QLineEdit(this);
  x10_->setObjectName(QStringLiteral("X10Address"));
  x10_->setProperty("controlId", 1031);
  x10_->setMaxLength(kX10AddressMaxLength);
  page->addWidget(x10_);
  for (int i = 0; i < 3; ++i) {
    email_[i] = new QLineEdit(this);
    email_[i]->setObjectName(QStringLiteral("Email%1").arg(i));
    email_[i]->setProperty("controlId", 1034 + i);
    email_[i]->setMaxLength(kEmailTextMax);
    page->addWidget(email_[i]);
  }
  create_ = new QPushButton(QStringLiteral("Create"), this);
  create_->setObjectName(QStringLiteral("Create"));
  create_->setProperty("controlId", kCmdCreateWidget);
  create_->setAutoDefault(false);
  connect(create_, &QPushButton::clicked, this, [this] { Create(); });
  auto* createRow = new QHBoxLayout;
  createRow->addStretch();
  createRow->addWidget(create_);
  page->addLayout(createRow);

  page->addSpacing(8);
  page->addWidget(new QLabel(QString::fromLatin1(kAvailableWidgetsText), this));
  list_ = new QComboBox(this);
  list_->setObjectName(QStringLiteral("WidgetList"));
  list_->setProperty("controlId", 1033);
  page->addWidget(list_);

  // OK and Cancel only close it: what "Create" made is kept either way.
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  page->addWidget(buttons);

  setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Available Widget List (select)")) + 80);
  Show();
}

void dlgWidgets::Show() {
  typeLabel_->setText(QString::fromLatin1(state_.typeLabel.c_str()));
  x10_->setVisible(state_.x10EditShown);
  for (QLineEdit* e : email_) e->setVisible(state_.emailEditsShown);
  const QSignalBlocker block(list_);
  list_->clear();
  for (const std::string& entry : state_.list) list_->addItem(RecordText(entry));
  list_->setCurrentIndex(state_.selected);
}

void dlgWidgets::Create() {
  const CreateOutcome out =
      CreateWidget(ctx_, state_, x10_->text().toLatin1().toStdString(), email_[0]->text().toLatin1().toStdString());
  if (out.HasBox()) ctx_.notifier.ShowMessage(out.title, out.text);
  Show();
}

}  // namespace quorvel

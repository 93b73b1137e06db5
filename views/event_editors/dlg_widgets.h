#pragma once
// The widgets dialog of the second toolbar: choose a widget type, type a new
// X10 address and "Create" it; the list shows the widgets kept. A thin view
// over widgets_dialog_model; what it creates is kept however it is closed.
#include <QDialog>

#include "views/event_editors/widgets_dialog_model.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvel {

struct Context;

inline constexpr int kDlgWidgetsId = 316;

class dlgWidgets : public QDialog {
 public:
  dlgWidgets(Context& ctx, QWidget* parent = nullptr);

  // "Create" with what the edits hold.
  void Create();

  const WidgetsDialogState& State() const { return state_; }
  QComboBox* TypeList() const { return types_; }
  QLabel* TypeLabel() const { return typeLabel_; }
  QLineEdit* X10Edit() const { return x10_; }
  QLineEdit* EmailEdit(int i) const { return email_[i]; }
  QPushButton* CreateButton() const { return create_; }
  QComboBox* WidgetList() const { return list_; }

 private:
  void Show();

  Context& ctx_;
  WidgetsDialogState state_;
  QComboBox* types_ = nullptr;
  QLabel* typeLabel_ = nullptr;
  QLineEdit* x10_ = nullptr;
  QLineEdit* email_[3] = {};
  QPushButton* create_ = nullptr;
  QComboBox* list_ = nullptr;
};

}  // namespace quorvel

#pragma once
// The two link lists as Qt tables over their models: CListCtrlALDB (the Device
// Setup tab's links of one device) and CListCtrlDevALDB (the Controller Setup
// tab's responders of one button group). A check box in the first column
// marks a row for deletion, the Group, level and rate cells open a drop-down
// or a text editor placed over the cell, and a click on the last column (or
// Enter in it) saves. The editors follow the lists' own Tab, Enter, Escape
// and Up; the rows, the checks and every save are the models'.
#include <QTableWidget>
#include <functional>

#include "views/device_setup/link_edit_model.h"

class QComboBox;

namespace quorvel {

struct Context;
class ControllerSetupModel;

// Object names of the editors, as the lists' own controls.
inline constexpr char kComboALDBName[] = "COwnComboALDB";
inline constexpr char kEditALDBName[] = "InPlaceEditALDB";
inline constexpr char kComboDevALDBName[] = "COwnerDrawComboBox";
inline constexpr char kEditDevALDBName[] = "InPlaceEditDevALDB";
inline constexpr int kLinkEditorId = 10074;

class LinkListCtrl : public QTableWidget {
 public:
  LinkListCtrl(Context& ctx, const char* comboName, const char* editName, QWidget* parent);

  // The rows as the model holds them now.
  void ShowRows();
  // Opens the cell's editor; false when the cell has none.
  bool OpenEditor(int row, int column);
  // The save cell of a row: what its pending change or delete asks.
  void SaveRow(int row);
  // Follows the link jobs of rows being saved.
  void FollowJobs();
  // Told after a save or a refill changed what the list shows.
  std::function<void()> changed;

  // For the delegate: what the cell's editor is and what it offers.
  virtual const LinkRowList& Rows() const = 0;
  virtual EditorKind EditorOf(int row, int column) const = 0;
  virtual CellChoices ChoicesOf(int row, int column) const = 0;
  virtual int TextLimit(int column) const;
  void EditorChose(int row, int column, const CellChoices& choices, int entry);
  void EditorTyped(int row, int column, const QString& text);
  // A key that ended an edit: the next editor opens as the list's rules say.
  void EditorKey(int row, int column, EditKey key);
  const char* ComboName() const { return comboName_; }
  const char* EditName() const { return editName_; }

 protected:
  virtual LinkRowList& MutableRows() = 0;
  virtual void Chosen(int row, int column, const CellChoices& choices, int entry) = 0;
  virtual SaveOutcome Typed(int row, int column, const std::string& text) = 0;
  virtual SaveOutcome Save(int row) = 0;
  virtual SaveOutcome Confirmed(bool ok) = 0;
  virtual bool Follow() = 0;
  // The list no longer matches the table: fill it again.
  virtual void Refill() = 0;
  // Puts the outcome of a save on the screen, asking the "Confirm" box when it wants.
  void Carry(const SaveOutcome& outcome);
  void ShowRow(int row);
  void resizeEvent(QResizeEvent* event) override;
  virtual void SizeColumns() = 0;
  Context& ctx_;

 private:
  void OnCellClicked(int row, int column);
  void OnItemChanged(QTableWidgetItem* item);
  const char* comboName_;
  const char* editName_;
  bool showing_ = false;
};

class CListCtrlALDB : public LinkListCtrl {
 public:
  explicit CListCtrlALDB(Context& ctx, QWidget* parent = nullptr);
  // FillDeviceLinks for the device the key names; edits of that device survive.
  DeviceLinks Fill(DeviceKey device);
  DeviceLinkList& Model() { return model_; }
  const LinkRowList& Rows() const override { return model_; }
  EditorKind EditorOf(int row, int column) const override { return model_.Editor(row, column); }
  CellChoices ChoicesOf(int row, int column) const override;

 protected:
  LinkRowList& MutableRows() override { return model_; }
  void Chosen(int row, int column, const CellChoices& choices, int entry) override;
  SaveOutcome Typed(int, int, const std::string&) override { return {}; }
  SaveOutcome Save(int row) override;
  SaveOutcome Confirmed(bool ok) override;
  bool Follow() override;
  void Refill() override;
  void SizeColumns() override;

 private:
  DeviceLinkList model_;
};

class CListCtrlDevALDB : public LinkListCtrl {
 public:
  CListCtrlDevALDB(Context& ctx, ControllerSetupModel& model, QWidget* parent = nullptr);
  const LinkRowList& Rows() const override;
  EditorKind EditorOf(int row, int column) const override;
  CellChoices ChoicesOf(int row, int column) const override;
  int TextLimit(int column) const override;

 protected:
  LinkRowList& MutableRows() override;
  void Chosen(int row, int column, const CellChoices& choices, int entry) override;
  SaveOutcome Typed(int row, int column, const std::string& text) override;
  SaveOutcome Save(int row) override;
  SaveOutcome Confirmed(bool ok) override;
  bool Follow() override;
  void Refill() override;
  void SizeColumns() override;

 private:
  ControllerSetupModel& model_;
};

}  // namespace quorvel

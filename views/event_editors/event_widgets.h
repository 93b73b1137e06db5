#pragma once
// Pieces both event windows are made of: the step-by-step instructions (with
// their tab stops and line breaks), the weekday toggles with their presets, and
// the list tree filled from the model's items.
#include <QTreeWidget>
#include <QWidget>
#include <functional>

#include "views/event_editors/event_form_model.h"

class QPushButton;
class QRadioButton;

namespace quorvel {

// The instructions, verbatim: "\r\n" breaks the line, "\t" goes to the next tab stop.
// They ask for the size the window gives them, and grow smaller before they are
// cut where the window is too short to hold them: their size never makes the
// window taller, which would make them larger still.
class StepsText : public QWidget {
 public:
  StepsText(const char* text, QWidget* parent = nullptr);
  // The pixel height asked for; the font is as near it as the space allows.
  void SetPixelSize(int pixels);
  int PixelSize() const { return requested_; }
  const QString& Text() const { return text_; }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  int TextHeight(const QFont& font, int width) const;
  int HintWidth() const;
  static int TabStop(const QFontMetrics& metrics);
  void Fit();
  QString text_;
  int requested_ = 12;
};

// The seven radio-style day buttons (Sunday first), each flipping on its own
// click, and the three presets that set them.
class WeekdayControls : public QWidget {
 public:
  explicit WeekdayControls(QWidget* parent = nullptr);
  uint8_t Days() const { return days_; }
  void SetDays(uint8_t days);
  QPushButton* Day(int weekday) const { return dayButtons_[weekday]; }
  QRadioButton* Preset(WeekdayPreset preset) const { return presets_[static_cast<int>(preset)]; }
  // Told after every change of the days.
  std::function<void(uint8_t)> changed;

 private:
  void Show();
  uint8_t days_ = kAllWeekDays;
  QPushButton* dayButtons_[7] = {};
  QRadioButton* presets_[3] = {};
};

// What a list line was when the user pointed at it.
struct EventLine {
  uint32_t value = 0;
  uint32_t parent = 0;
  std::string text;
};
EventLine LineOf(const QTreeWidgetItem* item);

// An event list: the model's items with their values in Qt::UserRole, the
// root and every header expanded.
class EventListTree : public QTreeWidget {
 public:
  explicit EventListTree(QWidget* parent = nullptr);
  // Refills it; the item that was current stays current when it is still listed.
  void Fill(const EventTreeItem& root);
  static uint32_t Value(const QTreeWidgetItem* item);
  QTreeWidgetItem* ItemForValue(uint32_t value) const;
  // A right click makes the item under the pointer current, then asks for the menu.
  std::function<void(QTreeWidgetItem*, const QPoint& globalPos)> menuRequested;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
};

// "Ariel", which falls back to a sans-serif face, at a pixel height.
QFont EventWindowFont(int pixels, bool bold = false);
// A radio-style toggle that shows plainly whether it is set.
void StyleToggle(QPushButton* button);
// The panel the form's controls sit on, readable over the day and the night sky.
QWidget* MakeFormPanel(QWidget* parent);
// Text of the records (single-byte) for a label.
QString RecordText(const std::string& text);

}  // namespace quorvel

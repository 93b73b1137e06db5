#pragma once
// The rows of one log channel, without any drawing: the entry limit with its
// deletion notice, the selection, copying as text, and whether the view follows
// the newest row. A view (the output pane, a printer) reads it row by row.
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "log/log_channel.h"

namespace quorvel {

class TraceList {
 public:
  // The lowest limit SetMaxEntries accepts.
  static constexpr int kMinimumLimit = 20;
  // The storage of a row's text built with TakeSpareText: room for a stamped
  // frame or decoded line. Removed rows hand it on to new ones, so a full list
  // takes lines without allocating and its memory stays the same however long
  // it runs; a longer line gets storage of its own, let go with its row.
  static constexpr size_t kRowTextCapacity = 128;

  explicit TraceList(LogChannel channel) : channel_(channel) {}

  // Appends an entry and returns its row. While the limit is on and the list is
  // full, the oldest rows after row 0 go (the first entry ever added stays) and
  // row 1 becomes a notice with the running total removed.
  int AddEntry(TraceEvent entry, uint32_t rowData = 0);
  // Limit of at least kMinimumLimit, switched on; trims the oldest rows at once.
  void SetMaxEntries(int n);
  // Empties the list. The removal count is kept, so a later notice counts on.
  void Clear();
  // Makes the list as it was made, without limit, counts or view; the storage
  // of its rows is kept for the lines to come. A run that starts over with the
  // same lists (a fuzz target, a decoder between captures) then need not
  // allocate them again.
  void Reset();
  // An empty string with room for kRowTextCapacity characters, the storage of
  // a removed row when there is one: a caller that builds its entry in it adds
  // lines without allocating once the list is full.
  std::string TakeSpareText();

  int Count() const { return static_cast<int>(rows_.size()); }
  const LogRows& Rows() const { return rows_; }
  const LogLine& Row(int row) const { return rows_[static_cast<size_t>(row)]; }
  LogChannel Channel() const { return channel_; }

  int MaxEntries() const { return maxEntries_; }
  bool LimitEnabled() const { return limitEnabled_; }
  // How many times the limit has removed rows since the list was made.
  long long RemovedCount() const { return removedCount_; }
  // Entries (not notices) the limit has removed since the list was made.
  long long DroppedEntries() const { return droppedEntries_; }

  // Selection: every click toggles a row. Rows out of range are ignored.
  void ToggleSelected(int row);
  void SetSelected(int row, bool selected);
  bool IsSelected(int row) const;
  std::vector<int> SelectedRows() const;  // ascending
  void SelectAll();
  void UnSelectAll();
  // The selected rows' texts in row order, each followed by "\r\n"; empty when
  // nothing is selected.
  std::string CopySelected() const;

  // Scrolling, in the view's pixels. Until a view gives its geometry the list
  // does not scroll by itself.
  void SetViewport(int lineHeight, int visibleHeight);
  void SetTopRow(int row);
  int TopRow() const { return topRow_; }
  // Brings the last row into view at the bottom.
  void ScrollToLastRow();

 private:
  void DeleteRow(int row);
  void KeepSpare(std::string&& text);
  bool LastRowVisible() const;
  void ClampTopRow();

  LogChannel channel_;
  LogRows rows_;
  RowRing<uint8_t> rowFlags_;  // per row: selected, notice
  std::vector<std::string> spare_;  // texts of removed rows, for reuse
  int maxEntries_ = INT_MAX;
  bool limitEnabled_ = false;
  long long removedCount_ = 0;
  long long droppedEntries_ = 0;
  int topRow_ = 0;
  int lineHeight_ = 0;
  int visibleHeight_ = 0;
};

}  // namespace quorvel

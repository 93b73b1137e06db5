#include "log/trace_list.h"

#include <algorithm>
#include <utility>

namespace quorvel {

namespace {
constexpr uint8_t kSelected = 0x01;
constexpr uint8_t kNotice = 0x02;

constexpr size_t kSpareTexts = 4;

// The capacity a row's storage gets, as this library rounds it.
size_t RowTextCapacity() {
  static const size_t capacity = [] {
    std::string s;
    s.reserve(TraceList::kRowTextCapacity);
    return s.capacity();
  }();
  return capacity;
}
}  // namespace

void TraceList::KeepSpare(std::string&& text) {
  if (spare_.capacity() < kSpareTexts) spare_.reserve(kSpareTexts);
  // Only storage of the one row size goes round again. A long line's would pass
  // from row to row and in time give every row of a full list the size of the
  // longest line ever: a busy line would grow the log for hours.
  if (spare_.size() < kSpareTexts && text.capacity() == RowTextCapacity()) spare_.push_back(std::move(text));
}

std::string TraceList::TakeSpareText() {
  if (spare_.empty()) {
    std::string s;
    s.reserve(kRowTextCapacity);
    return s;
  }
  std::string s = std::move(spare_.back());
  spare_.pop_back();
  s.clear();
  return s;
}

void TraceList::DeleteRow(int row) {
  KeepSpare(std::move(rows_.take(static_cast<size_t>(row)).text));
  rowFlags_.take(static_cast<size_t>(row));
}

int TraceList::AddEntry(TraceEvent entry, uint32_t rowData) {
  bool trimmed = false;
  if (limitEnabled_ && Count() >= maxEntries_) {
    // Row 0, the oldest entry, is never removed: it shows when the log began.
    // The first deletion of a call takes the previous notice away.
    bool firstPass = true;
    while (Count() >= maxEntries_ && Count() > 1) {
      for (int n = firstPass ? 2 : 1; n > 0 && Count() > 1; --n) {
        if ((rowFlags_[1] & kNotice) == 0) ++droppedEntries_;
        DeleteRow(1);
      }
      firstPass = false;
      ++removedCount_;
    }
    trimmed = true;
  }
  if (trimmed) {
    LogLine notice{TraceComment(""), channel_, 0};
    notice.text = TakeSpareText();
    AppendDeletionNotice(notice.text, removedCount_ + 1);
    rows_.insert(1, std::move(notice));
    rowFlags_.insert(1, kNotice);
  }

  // A user who scrolled up to read something keeps his place.
  const bool following = rows_.empty() || LastRowVisible();
  rows_.push_back(LogLine{std::move(entry), channel_, rowData});
  rowFlags_.push_back(0);
  const int newRow = Count() - 1;
  ClampTopRow();
  if (following && lineHeight_ > 0 &&
      static_cast<long long>(newRow - topRow_ + 1) * lineHeight_ >= visibleHeight_ && topRow_ + 1 <= newRow) {
    ++topRow_;
  }
  return newRow;
}

void TraceList::SetMaxEntries(int n) {
  maxEntries_ = std::max(n, kMinimumLimit);
  limitEnabled_ = true;
  while (Count() >= maxEntries_) {
    if ((rowFlags_[0] & kNotice) == 0) ++droppedEntries_;
    DeleteRow(0);
  }
  ClampTopRow();
}

void TraceList::Clear() {
  rows_.clear();
  rowFlags_.clear();
  topRow_ = 0;
}

void TraceList::Reset() {
  for (LogLine& row : rows_) {
    if (row.text.capacity() == RowTextCapacity()) spare_.push_back(std::move(row.text));
  }
  rows_.clear();
  rowFlags_.clear();
  maxEntries_ = INT_MAX;
  limitEnabled_ = false;
  removedCount_ = 0;
  droppedEntries_ = 0;
  topRow_ = 0;
  lineHeight_ = 0;
  visibleHeight_ = 0;
}

void TraceList::ToggleSelected(int row) {
  if (row < 0 || row >= Count()) return;
  rowFlags_[static_cast<size_t>(row)] ^= kSelected;
}

void TraceList::SetSelected(int row, bool selected) {
  if (row < 0 || row >= Count()) return;
  uint8_t& f = rowFlags_[static_cast<size_t>(row)];
  f = selected ? static_cast<uint8_t>(f | kSelected) : static_cast<uint8_t>(f & ~kSelected);
}

bool TraceList::IsSelected(int row) const {
  if (row < 0 || row >= Count()) return false;
  return (rowFlags_[static_cast<size_t>(row)] & kSelected) != 0;
}

std::vector<int> TraceList::SelectedRows() const {
  std::vector<int> out;
  for (int i = 0; i < Count(); ++i)
    if (IsSelected(i)) out.push_back(i);
  return out;
}

void TraceList::SelectAll() {
  for (uint8_t& f : rowFlags_) f |= kSelected;
}

void TraceList::UnSelectAll() {
  for (uint8_t& f : rowFlags_) f &= static_cast<uint8_t>(~kSelected);
}

std::string TraceList::CopySelected() const {
  std::string out;
  for (int i = 0; i < Count(); ++i) {
    if (!IsSelected(i)) continue;
    out += Row(i).Text();
    out += "\r\n";
  }
  return out;
}

void TraceList::SetViewport(int lineHeight, int visibleHeight) {
  lineHeight_ = std::max(lineHeight, 0);
  visibleHeight_ = std::max(visibleHeight, 0);
}

void TraceList::SetTopRow(int row) {
  topRow_ = row;
  ClampTopRow();
}

void TraceList::ScrollToLastRow() {
  int perPage = 1;
  if (lineHeight_ > 0) perPage = std::max(1, visibleHeight_ / lineHeight_);
  topRow_ = std::max(0, Count() - perPage);
}

bool TraceList::LastRowVisible() const {
  if (lineHeight_ <= 0) return true;
  const int last = Count() - 1;
  return static_cast<long long>(last - topRow_) * lineHeight_ < visibleHeight_;
}

void TraceList::ClampTopRow() {
  topRow_ = std::clamp(topRow_, 0, std::max(0, Count() - 1));
}

}  // namespace quorvel

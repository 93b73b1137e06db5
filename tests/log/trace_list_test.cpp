#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/trace_list.h"

namespace quorvel {
namespace {

std::string Entry(int n) { return "entry " + std::to_string(n); }

// A list holding entries 1..n, added one by one.
TraceList Filled(int limit, int n) {
  TraceList list(LogChannel::GeneralActivity);
  list.SetMaxEntries(limit);
  for (int i = 1; i <= n; ++i) list.AddEntry(TraceComment(Entry(i)));
  return list;
}

TEST(TraceEvent, DataRowsShowNonPrintableBytesEscaped) {
  struct Case {
    std::string bytes;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {"A\tB\r\n", "A\\tB\\r\\n"},
      {"\x01", "\\x01"},
      {"\x07\x08\x0b\x0c", "\\a\\b\\v\\f"},
      {std::string("\0", 1), "\\x00"},
      {"\x1f \x7e\x7f", "\\x1f ~\\x7f"},
      {"\xe9\x80\xff", "\\xe9\\x80\\xff"},
      {"\"quoted\" back\\slash", "\"quoted\" back\\slash"},
      {"02 50 1a 2b 3c", "02 50 1a 2b 3c"},
  };
  for (const Case& c : cases) {
    const TraceEvent data = TraceData(c.bytes);
    EXPECT_EQ(data.Text(), c.shown) << "bytes of length " << c.bytes.size();
    EXPECT_EQ(data.text, c.bytes) << "the entry keeps the bytes as given";
  }
  EXPECT_EQ(TraceData("A\tB\r\n").Text().size(), 8u);
  EXPECT_EQ(TraceComment("A\tB").Text(), "A\tB") << "only data rows are escaped";
}

TEST(TraceEvent, EachKindHasItsColour) {
  struct Case {
    TraceEvent entry;
    TraceColor color;
  };
  const std::vector<Case> cases = {
      {TraceComment("x"), {0, 0, 0}},
      {TraceCommentOn("x"), {0, 136, 0}},
      {TraceCommentOff("x"), {136, 0, 0}},
      {TraceData("x"), {0, 0, 128}},
      {DeletionNotice(2), {0, 0, 0}},
  };
  for (const Case& c : cases) {
    const TraceColor got = c.entry.TextColor();
    EXPECT_EQ(got, c.color) << c.entry.text << " kind " << static_cast<int>(c.entry.kind) << " gave "
                            << int{got.red} << "," << int{got.green} << "," << int{got.blue};
  }
  EXPECT_EQ(DeletionNotice(2).Text(), "Entries have been deleted from log (2)");
}

TEST(TraceList, OverflowKeepsTheFirstEntryAndCountsInTheNotice) {
  TraceList list = Filled(1000, 1000);
  ASSERT_EQ(list.Count(), 1000);
  EXPECT_EQ(list.RemovedCount(), 0);

  EXPECT_EQ(list.AddEntry(TraceComment(Entry(1001))), 999);
  ASSERT_EQ(list.Count(), 1000);
  EXPECT_EQ(list.Row(0).text, Entry(1));
  EXPECT_EQ(list.Row(1).text, "Entries have been deleted from log (2)");
  EXPECT_EQ(list.Row(2).text, Entry(4)) << "entries 2 and 3 went";
  EXPECT_EQ(list.Row(999).text, Entry(1001));
  EXPECT_EQ(list.DroppedEntries(), 2);

  list.AddEntry(TraceComment(Entry(1002)));
  ASSERT_EQ(list.Count(), 1000);
  EXPECT_EQ(list.Row(0).text, Entry(1));
  EXPECT_EQ(list.Row(1).text, "Entries have been deleted from log (3)") << "the old notice went, not a second one";
  EXPECT_EQ(list.Row(2).text, Entry(5));
  EXPECT_EQ(list.Row(999).text, Entry(1002));
  EXPECT_EQ(list.DroppedEntries(), 3);

  // Steady overflow: first entry, one notice, the 998 newest.
  for (int i = 1003; i <= 1500; ++i) list.AddEntry(TraceComment(Entry(i)));
  EXPECT_EQ(list.Count(), 1000);
  EXPECT_EQ(list.Row(1).text, "Entries have been deleted from log (501)");
  EXPECT_EQ(list.Row(2).text, Entry(503));
  int notices = 0;
  for (const LogLine& row : list.Rows()) notices += row.text.rfind("Entries have been deleted", 0) == 0;
  EXPECT_EQ(notices, 1);
}

TEST(TraceList, AListWithoutLimitKeepsEverything) {
  TraceList list(LogChannel::QuedForActivity);
  for (int i = 1; i <= 1200; ++i) list.AddEntry(TraceComment(Entry(i)));
  EXPECT_EQ(list.Count(), 1200);
  EXPECT_FALSE(list.LimitEnabled());
  EXPECT_EQ(list.Row(1).text, Entry(2));
}

TEST(TraceList, SetMaxEntriesHasAFloorAndTrimsAtOnce) {
  struct Case {
    int asked;
    int limit;
  };
  for (const Case c : std::vector<Case>{{5, 20}, {0, 20}, {-7, 20}, {20, 20}, {21, 21}, {1000, 1000}}) {
    TraceList list(LogChannel::LinkReport);
    list.SetMaxEntries(c.asked);
    EXPECT_EQ(list.MaxEntries(), c.limit) << "asked " << c.asked;
    EXPECT_TRUE(list.LimitEnabled());
  }

  TraceList list(LogChannel::LinkReport);
  for (int i = 1; i <= 30; ++i) list.AddEntry(TraceComment(Entry(i)));
  list.SetMaxEntries(25);
  EXPECT_EQ(list.Count(), 24) << "oldest rows go until the list is below its limit";
  EXPECT_EQ(list.Row(0).text, Entry(7));
  EXPECT_EQ(list.RemovedCount(), 0) << "trimming to a new limit leaves no notice";
}

TEST(TraceList, ClearingKeepsTheRemovalCount) {
  TraceList list = Filled(20, 22);
  EXPECT_EQ(list.Row(1).text, "Entries have been deleted from log (3)");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  for (int i = 1; i <= 21; ++i) list.AddEntry(TraceComment(Entry(100 + i)));
  EXPECT_EQ(list.Count(), 20);
  EXPECT_EQ(list.Row(0).text, Entry(101));
  EXPECT_EQ(list.Row(1).text, "Entries have been deleted from log (4)") << "counts on from before the clear";
}

TEST(TraceList, CopySelectedTakesRowsInOrderWithLineEnds) {
  TraceList list(LogChannel::InsteonTraffic);
  list.AddEntry(TraceData("zero"));
  list.AddEntry(TraceData("one\r"));
  list.AddEntry(TraceData("two"));
  list.AddEntry(TraceData("three\x01"));
  EXPECT_EQ(list.CopySelected(), "") << "nothing selected copies an empty text";

  list.ToggleSelected(3);
  list.ToggleSelected(1);
  EXPECT_EQ(list.SelectedRows(), (std::vector<int>{1, 3}));
  EXPECT_EQ(list.CopySelected(), "one\\r\r\nthree\\x01\r\n");

  list.ToggleSelected(3);
  EXPECT_EQ(list.CopySelected(), "one\\r\r\n") << "a second click deselects";
  list.ToggleSelected(-1);
  list.ToggleSelected(4);
  list.SelectAll();
  EXPECT_EQ(list.CopySelected(), "zero\r\none\\r\r\ntwo\r\nthree\\x01\r\n");
  list.UnSelectAll();
  EXPECT_TRUE(list.SelectedRows().empty());
}

TEST(TraceList, SelectionStaysWithItsEntryWhenTheLimitRemovesRows) {
  TraceList list = Filled(20, 20);
  list.ToggleSelected(1);  // entry 2: removed by the overflow
  list.ToggleSelected(9);  // entry 10
  list.AddEntry(TraceComment(Entry(21)));
  EXPECT_EQ(list.CopySelected(), Entry(10) + "\r\n");
  EXPECT_FALSE(list.IsSelected(1)) << "the notice takes row 1 unselected";
  EXPECT_FALSE(list.IsSelected(list.Count() - 1)) << "a new row starts unselected";
}

TEST(TraceList, FollowsTheEndOnlyWhileTheUserIsAtTheEnd) {
  TraceList list(LogChannel::GeneralActivity);
  list.SetMaxEntries(20);
  list.SetViewport(10, 45);  // four and a half rows
  for (int i = 1; i <= 4; ++i) list.AddEntry(TraceComment(Entry(i)));
  EXPECT_EQ(list.TopRow(), 0) << "row 3 ends at 40, above the bottom edge";
  list.AddEntry(TraceComment(Entry(5)));
  EXPECT_EQ(list.TopRow(), 1) << "row 4 reaches the bottom edge";
  for (int i = 6; i <= 12; ++i) list.AddEntry(TraceComment(Entry(i)));
  EXPECT_EQ(list.TopRow(), 8);

  list.SetTopRow(2);  // the user scrolls up to read
  list.AddEntry(TraceComment(Entry(13)));
  list.AddEntry(TraceComment(Entry(14)));
  EXPECT_EQ(list.TopRow(), 2) << "new rows do not move a view scrolled away from the end";

  // An overflow keeps the top row index as it was.
  for (int i = 15; i <= 25; ++i) list.AddEntry(TraceComment(Entry(i)));
  EXPECT_EQ(list.Count(), 20);
  EXPECT_EQ(list.TopRow(), 2);

  list.ScrollToLastRow();
  EXPECT_EQ(list.TopRow(), 16) << "four whole rows fit";
  for (int i = 26; i <= 30; ++i) {
    list.AddEntry(TraceComment(Entry(i)));
    EXPECT_LE(list.Count() - 1, list.TopRow() + 3) << "back at the end, the newest row stays in view";
  }
  list.Clear();
  for (int i = 1; i <= 6; ++i) list.AddEntry(TraceComment(Entry(i)));
  EXPECT_EQ(list.TopRow(), 2) << "after a clear the view follows from the top";
}

}  // namespace
}  // namespace quorvel

// The ring behind the log rows must behave exactly as a double-ended queue
// would, across wraps and growth, for every position a list inserts or removes at.
#include <gtest/gtest.h>

#include <deque>
#include <random>

#include "log/row_ring.h"

namespace quorvel {
namespace {

TEST(RowRing, MatchesADequeUnderMixedInsertsAndRemovals) {
  RowRing<int> ring;
  std::deque<int> model;
  std::mt19937 rng(7);
  for (int step = 0; step < 20000; ++step) {
    const int op = static_cast<int>(rng() % 10);
    if (op < 5 || model.empty()) {
      ring.push_back(step);
      model.push_back(step);
    } else if (op < 7) {
      const size_t at = rng() % (model.size() + 1);
      ring.insert(at, -step);
      model.insert(model.begin() + static_cast<long>(at), -step);
    } else {
      const size_t at = rng() % model.size();
      ASSERT_EQ(ring.take(at), model[at]);
      model.erase(model.begin() + static_cast<long>(at));
    }
    if (step % 4096 == 0) {
      ring.clear();
      model.clear();
    }
    ASSERT_EQ(ring.size(), model.size());
    if (!model.empty()) {
      ASSERT_EQ(ring.front(), model.front());
      ASSERT_EQ(ring.back(), model.back());
    }
  }
  ASSERT_TRUE(std::equal(ring.begin(), ring.end(), model.begin(), model.end()));
}

TEST(RowRing, TakeHandsBackTheRemovedValue) {
  RowRing<std::string> ring;
  for (const char* s : {"first", "second", "third"}) ring.push_back(s);
  EXPECT_EQ(ring.take(1), "second");
  ASSERT_EQ(ring.size(), 2u);
  EXPECT_EQ(ring[0], "first");
  EXPECT_EQ(ring[1], "third");
}

}  // namespace
}  // namespace quorvel

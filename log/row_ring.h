#pragma once
// The rows of a log channel in one block of storage used as a ring. A full list
// drops the row after the first one on every line it adds; in a ring that moves
// one row and never touches the heap once the block has grown to the limit, so
// a busy line can be logged for hours without allocating.
#include <cstddef>
#include <iterator>
#include <utility>
#include <vector>

namespace quorvel {

template <typename T>
class RowRing {
 public:
  template <bool Const>
  class Iter {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = std::conditional_t<Const, const T*, T*>;
    using reference = std::conditional_t<Const, const T&, T&>;
    using Ring = std::conditional_t<Const, const RowRing, RowRing>;

    Iter() = default;
    Iter(Ring* ring, size_t index) : ring_(ring), index_(index) {}
    reference operator*() const { return (*ring_)[index_]; }
    pointer operator->() const { return &(*ring_)[index_]; }
    reference operator[](difference_type n) const { return (*ring_)[index_ + n]; }
    Iter& operator++() { ++index_; return *this; }
    Iter operator++(int) { Iter t = *this; ++index_; return t; }
    Iter& operator--() { --index_; return *this; }
    Iter operator--(int) { Iter t = *this; --index_; return t; }
    Iter& operator+=(difference_type n) { index_ += n; return *this; }
    Iter& operator-=(difference_type n) { index_ -= n; return *this; }
    friend Iter operator+(Iter it, difference_type n) { return it += n; }
    friend Iter operator+(difference_type n, Iter it) { return it += n; }
    friend Iter operator-(Iter it, difference_type n) { return it -= n; }
    friend difference_type operator-(const Iter& a, const Iter& b) {
      return static_cast<difference_type>(a.index_) - static_cast<difference_type>(b.index_);
    }
    friend bool operator==(const Iter& a, const Iter& b) { return a.index_ == b.index_; }
    friend auto operator<=>(const Iter& a, const Iter& b) { return a.index_ <=> b.index_; }

   private:
    Ring* ring_ = nullptr;
    size_t index_ = 0;
  };
  using iterator = Iter<false>;
  using const_iterator = Iter<true>;
  using value_type = T;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](size_t i) { return slots_[Slot(i)]; }
  const T& operator[](size_t i) const { return slots_[Slot(i)]; }
  T& front() { return (*this)[0]; }
  const T& front() const { return (*this)[0]; }
  T& back() { return (*this)[size_ - 1]; }
  const T& back() const { return (*this)[size_ - 1]; }
  iterator begin() { return {this, 0}; }
  iterator end() { return {this, size_}; }
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size_}; }

  void push_back(T value) {
    Grow();
    slots_[Slot(size_)] = std::move(value);
    ++size_;
  }

  // Inserts before row i (0 <= i <= size), moving the shorter side.
  void insert(size_t i, T value) {
    Grow();
    if (i < size_ / 2) {
      head_ = (head_ + slots_.size() - 1) % slots_.size();
      for (size_t k = 0; k < i; ++k) (*this)[k] = std::move((*this)[k + 1]);
    } else {
      for (size_t k = size_; k > i; --k) slots_[Slot(k)] = std::move(slots_[Slot(k - 1)]);
    }
    ++size_;
    (*this)[i] = std::move(value);
  }

  // Removes row i and hands its value back, so a caller may reuse what it holds.
  T take(size_t i) {
    T out = std::move((*this)[i]);
    if (i < size_ / 2) {
      for (size_t k = i; k > 0; --k) (*this)[k] = std::move((*this)[k - 1]);
      head_ = (head_ + 1) % slots_.size();
    } else {
      for (size_t k = i; k + 1 < size_; ++k) (*this)[k] = std::move((*this)[k + 1]);
    }
    --size_;
    return out;
  }

  // Empties the ring; its storage stays for the rows to come.
  void clear() {
    for (size_t k = 0; k < size_; ++k) (*this)[k] = T{};
    head_ = 0;
    size_ = 0;
  }

 private:
  size_t Slot(size_t i) const { return (head_ + i) % slots_.size(); }

  void Grow() {
    if (size_ < slots_.size()) return;
    std::vector<T> bigger(slots_.empty() ? 16 : slots_.size() * 2);
    for (size_t k = 0; k < size_; ++k) bigger[k] = std::move((*this)[k]);
    slots_ = std::move(bigger);
    head_ = 0;
  }

  std::vector<T> slots_;
  size_t head_ = 0;
  size_t size_ = 0;
};

}  // namespace quorvel

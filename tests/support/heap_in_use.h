#pragma once
// Bytes the process holds on its heap right now, from the allocator's own
// accounting: glibc's in a plain build, the sanitizer's when AddressSanitizer
// has replaced the allocator. Single-threaded tests only (glibc reports its
// main arena).
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define QUORVEL_HEAP_FROM_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVEL_HEAP_FROM_SANITIZER 1
#endif
#endif

#ifdef QUORVEL_HEAP_FROM_SANITIZER
// From the sanitizer runtime; declared here, as not every compiler ships its header.
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#else
#include <malloc.h>
#endif

namespace quorvel::testing {

inline size_t HeapInUse() {
#ifdef QUORVEL_HEAP_FROM_SANITIZER
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;  // small blocks in the arena, large ones mapped on their own
#endif
}

// The highest HeapInUse seen by Sample since Reset, above the level at Reset.
class HeapPeak {
 public:
  HeapPeak() { Reset(); }
  void Reset() {
    base_ = HeapInUse();
    peak_ = base_;
  }
  void Sample() {
    const size_t now = HeapInUse();
    if (now > peak_) peak_ = now;
  }
  size_t Growth() const { return peak_ - base_; }

 private:
  size_t base_ = 0;
  size_t peak_ = 0;
};

}  // namespace quorvel::testing

// Median selection over a small set of samples: the partial selection sort
// and the nearest-three median that RkGetMedianValue exposes, and the fixed
// sorting networks that give the same order statistics on the filter's hot
// path.
#pragma once

#include <algorithm>
#include <cstdint>

namespace rk::filters {

// Copies count values to work and runs passes - 1 passes of a selection
// sort (exchanging on a strictly greater earlier value), then returns
// work[index]. With passes = index + 2 the index + 1 smallest values are in
// order: work[index] is the index-th smallest. index < count, count >= 1.
int16_t SortedMedian(const int16_t* values, int16_t* work, int count, int passes, int index);

// Keeps the three values nearest values[0] (of equal distances the earlier
// wins) and returns their median; places never filled count as 0.
int16_t NearestThreeMedian(const int16_t* values, int count);

// Compare-exchange: after it, a <= b.
template <class T>
inline void Order(T& a, T& b) {
  const T lo = std::min(a, b);
  b = std::max(a, b);
  a = lo;
}

// The 4th smallest of nine (the median), by the 19-exchange network of
// Paeth's "median of nine"; the same value the selection sort gives with
// count 9, passes 6, index 4.
template <class T>
inline T MedianOf9(T p0, T p1, T p2, T p3, T p4, T p5, T p6, T p7, T p8) {
  Order(p1, p2); Order(p4, p5); Order(p7, p8);
  Order(p0, p1); Order(p3, p4); Order(p6, p7);
  Order(p1, p2); Order(p4, p5); Order(p7, p8);
  p3 = std::max(p0, p3); p5 = std::min(p5, p8); Order(p4, p7);
  p6 = std::max(p3, p6); p4 = std::max(p1, p4); p2 = std::min(p2, p5);
  p4 = std::min(p4, p7); Order(p4, p2); p4 = std::max(p6, p4);
  return std::min(p4, p2);
}

// The 2nd smallest of five (count 5, passes 4, index 2).
template <class T>
inline T MedianOf5(T a, T b, T c, T d, T e) {
  Order(a, b); Order(d, e);
  Order(a, d); Order(b, e);  // a is the smallest, e the largest of a, b, d, e
  Order(b, c); Order(c, d);  // now the median lies in b, c (c <= d)
  Order(b, c);
  (void)a; (void)e;
  return c;
}

}  // namespace rk::filters

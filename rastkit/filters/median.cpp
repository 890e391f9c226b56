// RkGetMedianValue and the two selections behind it.
#include "median.h"

#include <cstdlib>

#include "rastkit.h"

namespace rk::filters {

int16_t SortedMedian(const int16_t* values, int16_t* work, int count, int passes, int index) {
  for (int i = 0; i < count; ++i) work[i] = values[i];
  // Passes beyond count - 1 would compare nothing: the inner loop is empty.
  const int last = std::min(passes - 1, count - 1);
  for (int i = 1; i <= last; ++i)
    for (int j = i; j < count; ++j)
      if (work[i - 1] > work[j]) std::swap(work[i - 1], work[j]);
  return work[index];
}

int16_t NearestThreeMedian(const int16_t* values, int count) {
  // Three places ordered by distance, empty ones at distance 256 (beyond
  // any two 8-bit samples). A value enters in front of the first place whose
  // distance is strictly larger, so of equal distances the earlier stays.
  int distance[3] = {256, 256, 256};
  int16_t kept[3] = {0, 0, 0};
  const int centre = values[0];
  for (int i = 0; i < count; ++i) {
    const int d = std::abs(centre - values[i]);
    for (int k = 0; k < 3; ++k) {
      if (d < distance[k]) {
        for (int m = 2; m > k; --m) {
          distance[m] = distance[m - 1];
          kept[m] = kept[m - 1];
        }
        distance[k] = d;
        kept[k] = values[i];
        break;
      }
    }
  }
  Order(kept[0], kept[1]);
  Order(kept[1], kept[2]);
  Order(kept[0], kept[1]);
  return kept[1];
}

}  // namespace rk::filters

extern "C" RK_API int16_t RkGetMedianValue(const MedianValueRec* rec, uint32_t mode) {
  // Nothing to choose from, or a place outside the values: nothing is read.
  if (rec == nullptr || rec->values == nullptr || rec->count < 1 || rec->index >= rec->count) return 0;
  if (mode != 0) return rk::filters::NearestThreeMedian(rec->values, rec->count);
  if (rec->work == nullptr) return 0;
  return rk::filters::SortedMedian(rec->values, rec->work, rec->count, rec->passes, rec->index);
}

// Baseline sequential JPEG decoding (RkDecompressImageByJPEG), with the
// number of threads open to tests and benchmarks.
#pragma once

#include "rastkit.h"
#include "status.h"

namespace rk {

// Pictures of at least this many pixels whose data has restart intervals
// are decoded in two slices of whole intervals at once (when the machine
// has two cores): below it a thread's start costs more than it saves.
inline constexpr uint32_t kSlicedDecodeMinPixels = 1u << 20;

// threads: 0 = as the export does (two slices for a large
// picture with restart intervals); 1 = one slice; 2 = two slices whenever
// the picture has at least two restart intervals, whatever its size (tests
// hold both to the same pixels).
Status DecodeBaseline(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress, int threads = 0);

}  // namespace rk

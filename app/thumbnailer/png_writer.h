// A PNG writer for 8-bit RGB pictures (colour type 2, no interlace),
// compressed with zlib; each row takes the filter whose output has the
// smallest sum of absolute values, the usual heuristic.
#pragma once

#include <cstdint>
#include <vector>

namespace corvid::thumbnailer {

struct Image;

// The whole PNG file, or an empty vector when zlib fails.
std::vector<uint8_t> EncodePng(const Image& image);

}  // namespace corvid::thumbnailer

// The desktop reading path over arbitrary bytes: the content check the Qt
// plugin makes on a file's first bytes, inspection (CAM container, the
// embedded JPEG's frame), decoding at the natural size, and the
// thumbnailer's whole work (decode, resample by area, PNG). Every byte of
// a picture that comes out is read, so uninitialised memory shows.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cam_read.h"
#include "png_writer.h"
#include "thumbnail.h"

namespace {

// Embedded JPEG frames beyond 1024 x 1024 are not decoded here: their
// headers are checked like any other, and decoding them would only slow
// the search down.
constexpr int64_t kMaxFuzzPixels = 1 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvid;
  (void)camread::LooksLikeCam(data, size < 65536 ? size : 65536);
  camread::CamFile found;
  if (camread::Inspect(data, size, &found) != camread::Status::kOk) return 0;
  if (int64_t{found.size.width} * found.size.height > kMaxFuzzPixels) return 0;
  // The thumbnail size comes from the input too, so that odd ratios occur.
  const int thumbSize = 1 + (size > 0 ? data[size - 1] % 97 : 0);
  thumbnailer::Image thumbnail;
  if (thumbnailer::MakeThumbnail(data, size, thumbSize, &thumbnail) != camread::Status::kOk) return 0;
  const std::vector<uint8_t> png = thumbnailer::EncodePng(thumbnail);
  volatile uint32_t sink = 0;
  uint32_t sum = 0;
  for (uint8_t v : thumbnail.rgb) sum += v;
  for (uint8_t v : png) sum += v;
  sink = sink + sum;
  return 0;
}

#include "thumbnail.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "png_writer.h"

namespace corvid::thumbnailer {
namespace {

constexpr int kChannels = 3;

// The source pixels an output pixel covers along one axis, with their
// weights. Lengths are counted in 1/to of a source pixel: output pixel i
// covers [i x from, (i + 1) x from), source pixel j covers [j x to,
// (j + 1) x to), and the weight is their overlap; the weights of one output
// pixel add up to `from`.
struct Tap {
  int source;
  uint32_t weight;
};
std::vector<std::vector<Tap>> AxisTaps(int from, int to) {
  std::vector<std::vector<Tap>> taps(static_cast<size_t>(to));
  for (int i = 0; i < to; ++i) {
    const int64_t start = int64_t{i} * from;
    const int64_t end = start + from;
    for (int64_t j = start / to; j * to < end; ++j) {
      const int64_t overlap = std::min(end, (j + 1) * to) - std::max(start, j * to);
      if (overlap > 0) taps[static_cast<size_t>(i)].push_back({static_cast<int>(j), static_cast<uint32_t>(overlap)});
    }
  }
  return taps;
}

std::string SystemError(const std::string& path) { return path + ": " + std::strerror(errno); }

// Reads a whole regular file of at most kMaxFileBytes.
camread::Status ReadFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = SystemError(path);
    return camread::Status::kReadError;
  }
  struct stat info{};
  camread::Status status = camread::Status::kOk;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    status = camread::Status::kReadError;
  } else if (info.st_size > camread::kMaxFileBytes) {
    status = camread::Status::kTooLarge;
  } else {
    bytes->resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < bytes->size()) {
      const ssize_t n = read(fd, bytes->data() + done, bytes->size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    if (done != bytes->size()) status = camread::Status::kReadError;
  }
  close(fd);
  if (status != camread::Status::kOk) *error = path + ": " + camread::StatusText(status);
  return status;
}

// Writes the bytes to a temporary file beside `path` and renames it over
// `path`; on any failure the temporary file is removed and `path` is left
// as it was.
bool WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  std::string temp = path + ".XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    *error = SystemError(path);
    return false;
  }
  // mkstemp makes the file private (0600); a thumbnail gets the usual
  // permissions of a new file, 0666 less the umask.
  const mode_t mask = umask(0);
  umask(mask);
  bool ok = fchmod(fd, 0666 & ~mask) == 0;
  size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  if (!ok) *error = SystemError(path);
  if (close(fd) != 0 && ok) {
    ok = false;
    *error = SystemError(path);
  }
  if (ok && rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    *error = SystemError(path);
  }
  if (!ok) unlink(temp.c_str());
  return ok;
}

}  // namespace

camread::Size FitWithin(camread::Size picture, int size) {
  const int longer = std::max(picture.width, picture.height);
  if (longer <= size || size <= 0) return picture;
  auto shrink = [&](int side) {
    const int64_t scaled = (int64_t{side} * size * 2 + longer) / (2 * int64_t{longer});
    return static_cast<int>(std::max<int64_t>(1, scaled));
  };
  return {shrink(picture.width), shrink(picture.height)};
}

Image Resample(const Image& source, camread::Size to) {
  Image out{to.width, to.height, {}};
  out.rgb.resize(static_cast<size_t>(to.width) * static_cast<size_t>(to.height) * kChannels);
  const auto columns = AxisTaps(source.width, to.width);
  const auto rows = AxisTaps(source.height, to.height);
  // Row by row: each output row adds up the source rows it covers, each of
  // them first summed across (sums of at most 255 x source width: 32 bits
  // hold 255 x 65535), then weighted down (64 bits). Only two rows of sums
  // are held, not a plane: every page this process touches costs a page
  // fault, and a thumbnailer's time is mostly its start.
  const size_t rowSums = static_cast<size_t>(to.width) * kChannels;
  std::vector<uint32_t> across(rowSums);
  std::vector<uint64_t> acc(rowSums);
  // Every output value is a weighted sum divided by the total weight, the
  // source area in (1/to.width) x (1/to.height) units: width x height.
  const uint64_t total = uint64_t(source.width) * uint64_t(source.height);
  for (int y = 0; y < to.height; ++y) {
    std::fill(acc.begin(), acc.end(), 0);
    for (const Tap& r : rows[static_cast<size_t>(y)]) {
      const uint8_t* in = source.rgb.data() + static_cast<size_t>(r.source) * static_cast<size_t>(source.width) * kChannels;
      std::fill(across.begin(), across.end(), 0);
      for (int x = 0; x < to.width; ++x) {
        for (const Tap& t : columns[static_cast<size_t>(x)]) {
          for (int c = 0; c < kChannels; ++c) across[x * kChannels + c] += t.weight * in[t.source * kChannels + c];
        }
      }
      for (size_t i = 0; i < rowSums; ++i) acc[i] += uint64_t{r.weight} * across[i];
    }
    uint8_t* dst = out.rgb.data() + rowSums * static_cast<size_t>(y);
    for (size_t i = 0; i < rowSums; ++i) dst[i] = static_cast<uint8_t>((acc[i] + total / 2) / total);
  }
  return out;
}

camread::Status MakeThumbnail(const uint8_t* file, size_t fileSize, int size, Image* thumbnail) {
  camread::CamFile found;
  if (const camread::Status s = camread::Inspect(file, fileSize, &found); s != camread::Status::kOk) return s;
  // A CAM-coded picture has two output sizes of the same 4:3 shape, 480x360
  // and 320x240. Up to 320x240 the smaller one serves: the thumbnail's size
  // is the same, 240 of the coded rows are used as they are instead of
  // being interpolated to 360, and the picture is half the bytes.
  camread::Size decodeAt = found.size;
  const camread::Size small = camread::kCamSizes[2];
  const camread::Size fitted = FitWithin(found.size, size);
  if (found.kind == camread::Kind::kCamCoded && fitted.width <= small.width && fitted.height <= small.height) {
    decodeAt = small;
  }
  Image picture{decodeAt.width, decodeAt.height, {}};
  picture.rgb.resize(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * kChannels);
  camread::PixelLayout layout;
  layout.pixels = picture.rgb.data();
  layout.rowStride = picture.width * kChannels;
  if (const camread::Status s = camread::Decode(file, fileSize, found, decodeAt, layout); s != camread::Status::kOk) {
    return s;
  }
  *thumbnail = fitted == decodeAt ? std::move(picture) : Resample(picture, fitted);
  return camread::Status::kOk;
}

int WriteThumbnail(const std::string& input, int size, const std::string& output, std::string* error) {
  std::vector<uint8_t> bytes;
  if (ReadFile(input, &bytes, error) != camread::Status::kOk) return kExitFailed;
  Image thumbnail;
  if (const camread::Status s = MakeThumbnail(bytes.data(), bytes.size(), size, &thumbnail);
      s != camread::Status::kOk) {
    *error = input + ": " + camread::StatusText(s);
    return kExitFailed;
  }
  const std::vector<uint8_t> png = EncodePng(thumbnail);
  if (png.empty()) {
    *error = output + ": cannot compress the picture";
    return kExitFailed;
  }
  return WriteWhole(output, png, error) ? kExitOk : kExitFailed;
}

}  // namespace corvid::thumbnailer

// Appends marker segments to a JPEG writer's output; each caller checks a
// whole segment against the capacity (Fits) before writing any of it.
#pragma once

#include <cstdint>
#include <cstring>

namespace rk {

class SegmentWriter {
 public:
  SegmentWriter(uint8_t* out, uint32_t capacity) : out_(out), capacity_(capacity) {}

  // Room for `bytes` more: capacity - written >= bytes.
  [[nodiscard]] bool Fits(uint64_t bytes) const { return bytes <= capacity_ - pos_; }
  void Byte(uint8_t b) { out_[pos_++] = b; }
  void U16(uint32_t v) {
    Byte(static_cast<uint8_t>(v >> 8));
    Byte(static_cast<uint8_t>(v));
  }
  void Bytes(const uint8_t* data, uint32_t n) {
    std::memcpy(out_ + pos_, data, n);
    pos_ += n;
  }
  void Marker(uint8_t code) {
    Byte(0xFF);
    Byte(code);
  }
  [[nodiscard]] uint32_t written() const { return pos_; }
  [[nodiscard]] uint8_t* cursor() const { return out_ + pos_; }
  [[nodiscard]] uint32_t left() const { return capacity_ - pos_; }
  void Skip(uint32_t n) { pos_ += n; }

 private:
  uint8_t* out_;
  uint32_t capacity_;
  uint32_t pos_ = 0;
};

}  // namespace rk

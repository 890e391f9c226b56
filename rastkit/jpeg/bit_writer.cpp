#include "bit_writer.h"

#include <cstring>

namespace rk {

static_assert(sizeof(uint64_t) == 8);

BitWriter::Stored BitWriter::EmitSlow(uint8_t* out, uint32_t capacity, uint32_t pos, uint64_t word) {
  for (int shift = 56; shift >= 0; shift -= 8) {
    const auto b = static_cast<uint8_t>(word >> shift);
    if (pos >= capacity) return {pos, true};
    out[pos++] = b;
    if (b == 0xFF) {
      if (pos >= capacity) return {pos, true};
      out[pos++] = 0x00;
    }
  }
  return {pos, false};
}

void BitWriter::Flush() {
  int pending = 64 - free_;
  while (pending >= 8) {
    pending -= 8;
    StoreDataByte(static_cast<uint8_t>(acc_ >> pending));
  }
  free_ = 64 - pending;
}

void BitWriter::PutMarker(uint8_t code) {
  PadWithOnes();
  Flush();
  StoreByte(0xFF);
  StoreByte(code);
}

namespace reference {

void BitWriter::PutBit(int bit) {
  const uint64_t index = pos_ / 8;
  if (index >= capacity_) {
    overflow_ = true;
    return;
  }
  const uint8_t mask = static_cast<uint8_t>(0x80u >> (pos_ % 8));
  if (bit) {
    out_[index] = static_cast<uint8_t>(out_[index] | mask);
  } else {
    out_[index] = static_cast<uint8_t>(out_[index] & ~mask);
  }
  ++pos_;
  if (pos_ % 8 == 0 && out_[index] == 0xFF) {
    if (index + 1 >= capacity_) {
      overflow_ = true;
      return;
    }
    out_[index + 1] = 0x00;
    pos_ += 8;
  }
}

void BitWriter::Put(uint32_t bits, int count) {
  for (int i = count - 1; i >= 0 && !overflow_; --i) PutBit(static_cast<int>((bits >> i) & 1u));
}

void BitWriter::PadWithOnes() {
  while (pos_ % 8 != 0 && !overflow_) PutBit(1);
}

void BitWriter::PutMarker(uint8_t code) {
  PadWithOnes();
  const uint64_t index = pos_ / 8;
  if (overflow_ || capacity_ < 2 || index > capacity_ - 2u) {
    overflow_ = true;
    return;
  }
  out_[index] = 0xFF;
  out_[index + 1] = code;
  pos_ += 16;
}

}  // namespace reference
}  // namespace rk

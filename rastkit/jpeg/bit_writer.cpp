#include "bit_writer.h"

#include <cstring>

namespace rk {
namespace {

// True when one of the four bytes of w is 0xFF: the complement then has a
// zero byte, found with the classic (x - 0x01..) & ~x & 0x80.. test.
constexpr bool HasFfByte(uint32_t w) {
  const uint32_t x = ~w;
  return ((x - 0x01010101u) & ~x & 0x80808080u) != 0;
}
static_assert(HasFfByte(0x12FF3456u) && HasFfByte(0xFF000000u) && !HasFfByte(0xFEFE7F00u));

}  // namespace

void BitWriter::EmitWord() {
  pending_ -= 32;
  const uint32_t w = static_cast<uint32_t>(acc_ >> pending_);
  if (!HasFfByte(w) && capacity_ - pos_ >= 4) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(w >> 24), static_cast<uint8_t>(w >> 16),
                              static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w)};
    std::memcpy(out_ + pos_, bytes, 4);
    pos_ += 4;
    return;
  }
  for (int shift = 24; shift >= 0; shift -= 8) StoreDataByte(static_cast<uint8_t>(w >> shift));
}

void BitWriter::Flush() {
  while (pending_ >= 8) {
    pending_ -= 8;
    StoreDataByte(static_cast<uint8_t>(acc_ >> pending_));
  }
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

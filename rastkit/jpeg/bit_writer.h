// Bit writer of the JPEG encoders: codes are written most significant bit
// first, a completed 0xFF data byte is followed by a stuffing 0x00 (T.81
// F.1.2.3), and nothing is ever stored at or past the capacity.
#pragma once

#include <cstdint>

namespace rk {

// Fast writer: bits gather in a 64-bit accumulator and leave it four bytes
// at a time. The bytes it produces are exactly those of the bit-by-bit
// reference::BitWriter below.
class BitWriter {
 public:
  BitWriter(uint8_t* out, uint32_t capacity) : out_(out), capacity_(capacity) {}

  // Appends the low `count` bits of `bits` (count 0 .. 32, higher bits of
  // `bits` must be clear).
  void Put(uint32_t bits, int count) {
    acc_ = (acc_ << count) | bits;
    pending_ += count;
    if (pending_ >= 32) EmitWord();
  }

  // Completes a partial byte with 1-bits. They go through Put, so a byte
  // they complete to 0xFF gets its stuffing byte like any other.
  void PadWithOnes() {
    const int partial = pending_ & 7;
    if (partial != 0) Put((1u << (8 - partial)) - 1, 8 - partial);
  }

  // Pads to a byte boundary, then stores the marker FF `code` unstuffed.
  void PutMarker(uint8_t code);

  // Stores every complete byte still in the accumulator (call after
  // PadWithOnes to finish a scan).
  void Flush();

  // True once a byte did not fit the capacity; the output then ends at the
  // capacity and the writer stores nothing more.
  [[nodiscard]] bool overflow() const { return overflow_; }
  // Bits written so far, stuffing bytes included.
  [[nodiscard]] uint64_t bitPosition() const { return static_cast<uint64_t>(pos_) * 8 + pending_; }

 private:
  void EmitWord();
  void StoreByte(uint8_t b) {
    if (pos_ < capacity_) {
      out_[pos_++] = b;
    } else {
      overflow_ = true;
    }
  }
  void StoreDataByte(uint8_t b) {
    StoreByte(b);
    if (b == 0xFF) StoreByte(0x00);
  }

  uint8_t* out_;
  uint32_t capacity_;
  uint32_t pos_ = 0;  // bytes stored
  uint64_t acc_ = 0;  // the low pending_ bits are not yet stored
  int pending_ = 0;   // 0 .. 31 between calls
  bool overflow_ = false;
};

namespace reference {

// The plain writer: one bit at a time, each explicitly set or cleared at
// bit 7 - (p mod 8) of byte p / 8.
class BitWriter {
 public:
  BitWriter(uint8_t* out, uint32_t capacity) : out_(out), capacity_(capacity) {}
  void Put(uint32_t bits, int count);
  void PadWithOnes();
  void PutMarker(uint8_t code);
  void Flush() {}
  [[nodiscard]] bool overflow() const { return overflow_; }
  [[nodiscard]] uint64_t bitPosition() const { return pos_; }

 private:
  void PutBit(int bit);
  uint8_t* out_;
  uint32_t capacity_;
  uint64_t pos_ = 0;
  bool overflow_ = false;
};

}  // namespace reference
}  // namespace rk

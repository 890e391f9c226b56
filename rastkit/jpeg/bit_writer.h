// Bit writer of the JPEG encoders: codes are written most significant bit
// first, a completed 0xFF data byte is followed by a stuffing 0x00 (T.81
// F.1.2.3), and nothing is ever stored at or past the capacity.
#pragma once

#include <cstdint>

namespace rk {

// Fast writer: bits gather in a 64-bit accumulator and leave it eight
// bytes at a time, stored at once when none of them is 0xFF (the common
// case: a word of coded data holds 0xFF about once in 32) and byte by byte
// with stuffing otherwise. The bytes it produces are exactly those of the
// bit-by-bit reference::BitWriter below.
class BitWriter {
 public:
  BitWriter(uint8_t* out, uint32_t capacity) : out_(out), capacity_(capacity) {}

  // Appends the low `count` bits of `bits` (count 0 .. 32, higher bits of
  // `bits` must be clear).
  [[gnu::always_inline]] void Put(uint32_t bits, int count) {
    if (count <= free_) {
      // count <= 32 and free_ <= 64, so the shift is at most 32 here, and
      // 64 only when the accumulator is empty (free_ 64 with count 64
      // cannot happen: count <= 32).
      acc_ = (acc_ << count) | bits;
      free_ -= count;
      return;
    }
    Spill(bits, count);
  }

  // Completes a partial byte with 1-bits. They go through Put, so a byte
  // they complete to 0xFF gets its stuffing byte like any other.
  void PadWithOnes() {
    const int partial = (64 - free_) & 7;
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
  [[nodiscard]] uint64_t bitPosition() const { return static_cast<uint64_t>(pos_) * 8 + (64 - free_); }

 private:
  // The accumulator is full: its 64 pending bits and the top `count -
  // free_` bits of `bits` make one word; the rest of `bits` starts the next.
  [[gnu::always_inline]] void Spill(uint32_t bits, int count) {
    const int over = count - free_;  // 1 .. 32
    const uint64_t word = (acc_ << free_) | (static_cast<uint64_t>(bits) >> over);
    // Bits of `bits` above the `over` pending ones stay in the accumulator;
    // they are shifted out before anything reads them.
    acc_ = bits;
    free_ = 64 - over;
    if (!HasFfByte(word) && capacity_ - pos_ >= 8) {
      const uint64_t big = __builtin_bswap64(word);
      __builtin_memcpy(out_ + pos_, &big, 8);
      pos_ += 8;
      return;
    }
    const Stored stored = EmitSlow(out_, capacity_, pos_, word);
    pos_ = stored.pos;
    overflow_ = overflow_ || stored.overflow;
  }
  // True when one of the eight bytes of w is 0xFF: the complement then has
  // a zero byte, found with the classic (x - 0x01..) & ~x & 0x80.. test.
  static constexpr bool HasFfByte(uint64_t w) {
    const uint64_t x = ~w;
    return ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
  }
  // Stores `word` byte by byte with stuffing from byte `pos` on. Static and
  // out of line: a writer copied into a local (as the block coders do, so
  // that its state lives in registers rather than in memory that every
  // store of output bytes might alias) never has its address taken.
  struct Stored {
    uint32_t pos;
    bool overflow;
  };
  static Stored EmitSlow(uint8_t* out, uint32_t capacity, uint32_t pos, uint64_t word);
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
  uint64_t acc_ = 0;  // the low 64 - free_ bits are not yet stored
  int free_ = 64;     // 1 .. 64 between calls (0 right after a Put that filled it)
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

// The 64-bit bit register of the fast entropy readers (BlockDecoder of the
// sequential decoders, ScanReader of the progressive one): up to 63
// upcoming data bits, refilled eight bytes at a time.
//
// Data bytes enter it in stream order: bytes other than 0xFF directly, and
// a 0xFF whose stuffing 00 follows (inside the data) as data with the 00
// stepped over. Inside such bytes no check of the plain bit reader
// (bit_reader.h) can fire, so a read that finds its bits in the register is
// done with shifts alone. A 0xFF not followed by 00 (a marker, or the last
// byte) stops the loading: reads that need bits beyond it go through the
// plain reader from the same position.
//
// The register's state (Reg) is meant to live in the caller's local
// variables inside a hot loop, where the compiler keeps it in machine
// registers: the loop copies it out (Hold), hands it to the inline reads,
// and puts it back (Keep) before anything out of line runs.
//
// The raw bit position is not counted per read: it follows from the next
// byte to load, the bits still held and the stuffing bytes among them
// (RawBitPos), worked out only when the plain reader or a caller needs it.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace rk {

class BitRegister {
 public:
  struct Reg {
    uint64_t bits = 0;   // upcoming data bits, most significant first
    uint32_t count = 0;  // valid bits in `bits` (at most 63)
    uint32_t next = 0;   // raw index of the next byte to load
    uint32_t limit = 0;  // bytes below this index may be loaded
  };

  // Empties the register at raw bit position bitPos of data[0 .. length).
  // With `load` false nothing will be loaded until the next Reset (every
  // read then goes through the plain reader).
  void Reset(const uint8_t* data, uint32_t length, uint32_t bitPos, bool load = true);

  [[nodiscard]] Reg Hold() const { return reg_; }
  void Keep(const Reg& r) { reg_ = r; }

  // Brings r.count to 56 or more where the data allows (call with
  // r.count < 32).
  [[gnu::always_inline]] inline void Fill(Reg& r);

  // The raw bit position the plain reader would have reached.
  [[nodiscard]] uint32_t RawBitPos(const Reg& r) const;
  [[nodiscard]] uint32_t RawBitPos() const { return RawBitPos(reg_); }

  // Takes n bits (n <= r.count) off the top.
  [[gnu::always_inline]] static inline uint32_t Take(Reg& r, unsigned n) {
    const auto v = static_cast<uint32_t>(r.bits >> 1 >> (63 - n));  // n = 0 gives 0
    r.bits <<= n;
    r.count -= n;
    return v;
  }

 private:
  [[gnu::noinline]] void FillSlow();

  const uint8_t* data_ = nullptr;
  uint32_t length_ = 0;
  Reg reg_;
  // Bits of byte `next` already consumed while the register is stopped at
  // a byte that is not data for certain (see Reset); 0 otherwise.
  uint32_t startOffset_ = 0;
  // Raw indexes of the last stuffing bytes stepped over while loading, the
  // newest at (stuffHead_ - 1) % kStuffSlots. A register of at most 63 bits
  // holds at most eight 0xFF bytes, so the stuffing bytes it has not yet
  // passed are among the last nine.
  static constexpr unsigned kStuffSlots = 16;
  std::array<uint32_t, kStuffSlots> stuff_{};
  unsigned stuffHead_ = 0;
  unsigned stuffCount_ = 0;
};

namespace bit_register_detail {
// High bit set in exactly the bytes of x that are zero.
[[gnu::always_inline]] inline uint64_t ZeroBytes(uint64_t x) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  const uint64_t y = (x & kLow7) + kLow7;
  return ~(y | x | kLow7);
}
}  // namespace bit_register_detail

inline void BitRegister::Fill(Reg& r) {
  // Usual case: eight bytes ahead, none of them 0xFF. The whole word is
  // ORed in at the register's end; only its whole bytes that fit are
  // counted, and the bits past them are the stream's next bytes, which a
  // later fill ORs in again at the same place (the word holds no 0xFF, so
  // no stuffing shifts them).
  if (r.limit - r.next >= 8) {
    uint64_t word;
    std::memcpy(&word, data_ + r.next, 8);
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    if (bit_register_detail::ZeroBytes(~word) == 0) {
      r.bits |= word >> r.count;
      const uint32_t take = (63 - r.count) >> 3;
      r.next += take;
      r.count += 8 * take;
      return;
    }
  }
  reg_ = r;
  FillSlow();
  r = reg_;
}

}  // namespace rk

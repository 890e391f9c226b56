#include "cam/bit_register.h"

namespace rk {

void BitRegister::Reset(const uint8_t* data, uint32_t length, uint32_t bitPos, bool load) {
  data_ = data;
  length_ = data == nullptr ? 0 : length;
  stuffCount_ = 0;
  reg_ = Reg{};
  const uint32_t current = bitPos / 8;
  const unsigned offset = bitPos % 8;
  // The register starts on a byte that is data for certain: inside the
  // data, not 0xFF, not after 0xFF. Anything else is left to the plain
  // reader: the register holds "offset bits of byte `current` consumed"
  // and loads nothing (limit = next).
  const bool plain = load && current < length_ && data_[current] != 0xFF &&
                     (current == 0 || data_[current - 1] != 0xFF);
  if (!plain) {
    reg_.next = current;
    reg_.limit = current;
    startOffset_ = offset;
    return;
  }
  startOffset_ = 0;
  reg_.bits = (uint64_t{data_[current]} << 56) << offset;
  reg_.count = 8 - offset;
  reg_.next = current + 1;
  reg_.limit = length_;
}

uint32_t BitRegister::RawBitPos(const Reg& r) const {
  // Walk back from the next byte to load over the bits still held. A
  // stuffing byte is passed once a bit after it has been taken; while all
  // the bits after it are still held, the position is at or before it
  // (resting on the 00 when exactly those bits remain).
  // Worked example, bytes 12 FF 00 A5 loaded from bit 4: next = 4, 20 bits
  // held, stuffing at 2. The 8 bits after it (A5) are held, so the walk
  // goes to 8 * 2 = 16 with 12 bits left: 16 - 12 = 4. After 12 bits are
  // taken, 8 remain: 16 - 0 = 16, on the 00. After 16 bits, 4 remain,
  // fewer than the 8 after the stuffing: 32 - 4 = 28.
  uint32_t raw = 8 * r.next;
  uint32_t remaining = r.count;
  for (unsigned i = 0; i < stuffCount_; ++i) {
    const uint32_t z = stuff_[(stuffHead_ - 1 - i) % kStuffSlots];
    const uint32_t after = raw - 8 * (z + 1);
    if (remaining < after) break;
    remaining -= after;
    raw = 8 * z;
  }
  return raw - remaining + startOffset_;
}

void BitRegister::FillSlow() {
  Reg& r = reg_;
  while (r.count <= 55 && r.next < r.limit) {
    const uint8_t byte = data_[r.next];
    if (byte == 0xFF) {
      // Data only with its stuffing 00 (inside the data) behind it.
      if (r.next + 1 >= length_ || data_[r.next + 1] != 0x00) {
        r.limit = r.next;
        return;
      }
      stuff_[stuffHead_++ % kStuffSlots] = r.next + 1;
      if (stuffCount_ < kStuffSlots) ++stuffCount_;
      r.bits |= uint64_t{0xFF} << (56 - r.count);
      r.count += 8;
      r.next += 2;
      continue;
    }
    r.bits |= uint64_t{byte} << (56 - r.count);
    r.count += 8;
    ++r.next;
  }
}

}  // namespace rk

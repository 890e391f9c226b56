// Differential fuzzing of the block kernels: the fast entropy decoder must
// give exactly what the plain one gives (coefficients, predictor, bitPos,
// decodeError, status) for any stream, and the fast inverse transform
// exactly what the plain one gives for any block.
//
// Input: byte 0 = options (bit 0: lookup buffers, bit 1: drop some codes
// from the tables, bits 2-4: first bit), byte 1 = which codes to drop, then
// the entropy-coded bytes. The first 128 bytes also serve as a coefficient
// block for the transforms.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cam/block_decoder.h"
#include "cam/kernels.h"
#include "rastkit.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

struct Table {
  std::vector<uint8_t> block;
  Table() : block(RkGetCompressBlkSize(), 0xAB) { RkInitModuleTable(get()); }
  ~Table() { RkFreeModuleTable(get()); }
  ModuleTableRec* get() { return reinterpret_cast<ModuleTableRec*>(block.data()); }
};

std::vector<uint8_t> Lut(const HuffCodeRec* codes, unsigned count) {
  std::vector<uint8_t> lut(65536, 0);
  for (unsigned s = 0; s < count; ++s) {
    const unsigned len = codes[s].length;
    if (len == 0 || len > 16 || (codes[s].code >> len) != 0) continue;
    std::memset(lut.data() + (static_cast<size_t>(codes[s].code) << (16 - len)), static_cast<int>(s),
                size_t{1} << (16 - len));
  }
  return lut;
}

void Transforms(const uint8_t* data, size_t size) {
  if (size < 128) return;
  static Table table;
  std::array<int16_t, 64> a, b;
  std::memcpy(a.data(), data, 128);
  b = a;
  rk::InverseTransformBlock(table.get(), a.data());
  rk::reference::InverseTransformBlock(table.get(), b.data());
  Check(a == b);
  std::array<uint16_t, 64> q;
  std::memcpy(q.data(), data, 128);
  a = b;
  rk::DequantizeBlock(a.data(), q.data());
  rk::reference::DequantizeBlock(b.data(), q.data());
  Check(a == b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Transforms(data, size);
  if (size < 2) return 0;
  const uint8_t options = data[0];
  const uint8_t drop = data[1];
  const uint32_t length = static_cast<uint32_t>(size - 2);
  // An exact-size copy, so that a read past the end is caught.
  std::vector<uint8_t> stream(data + 2, data + size);

  Table ref, fast;
  std::array<HuffCodeRec, 16> dcCodes[2];
  std::array<HuffCodeRec, 256> acCodes[2];
  for (int c = 0; c < 2; ++c) {
    std::memcpy(dcCodes[c].data(), ref.get()->dcCodeTable[c], sizeof dcCodes[c]);
    std::memcpy(acCodes[c].data(), ref.get()->acCodeTable[c], sizeof acCodes[c]);
    if (options & 2) {
      for (unsigned s = 0; s < 256; ++s) {
        if ((s * 37 + drop) % 5 == 0) {
          acCodes[c][s].length = 0;
          if (s < 16) dcCodes[c][s].length = 0;
        }
      }
    }
  }
  std::vector<uint8_t> dcLut[2], acLut[2];
  const bool withLut = options & 1;
  for (int c = 0; c < 2 && withLut; ++c) {
    dcLut[c] = Lut(dcCodes[c].data(), 16);
    acLut[c] = Lut(acCodes[c].data(), 256);
  }
  for (ModuleTableRec* t : {ref.get(), fast.get()}) {
    t->streamData = stream.empty() ? nullptr : stream.data();
    t->streamLength = length;
    t->bitPos = (options >> 2) & 7;
    t->decodeError = 0;
  }
  rk::HuffLookup dc[2], ac[2];
  for (int c = 0; c < 2; ++c) {
    dc[c].Build(dcCodes[c].data(), 16, withLut ? dcLut[c].data() : nullptr);
    ac[c].Build(acCodes[c].data(), 256, withLut ? acLut[c].data() : nullptr);
  }
  rk::BlockDecoder decoder(fast.get());
  int16_t refPred[3] = {0, 0, 0}, fastPred[3] = {0, 0, 0};
  for (int n = 0; n < 2048; ++n) {
    const int comp = n % 4 < 2 ? 0 : n % 4 - 1;
    const int tab = comp == 0 ? 0 : 1;
    std::array<int16_t, 64> a, b;
    a.fill(static_cast<int16_t>(n));
    b = a;
    const rk::DecodeStatus sa =
        rk::DecodeBlock(ref.get(), a.data(), dcCodes[tab].data(), acCodes[tab].data(),
                        withLut ? dcLut[tab].data() : nullptr, withLut ? acLut[tab].data() : nullptr,
                        &refPred[comp]);
    const rk::DecodeStatus sb = decoder.Decode(b.data(), dc[tab], ac[tab], &fastPred[comp]);
    decoder.Sync();
    Check(sa == sb && a == b && refPred[comp] == fastPred[comp]);
    Check(ref.get()->bitPos == fast.get()->bitPos && ref.get()->decodeError == fast.get()->decodeError);
    if (sa == rk::DecodeStatus::kNoCode) break;
    if (sa == rk::DecodeStatus::kStreamError) {
      if (ref.get()->decodeError != RK_ERR_RESTART) break;
      for (ModuleTableRec* t : {ref.get(), fast.get()}) {
        t->bitPos = (t->bitPos / 8 + 1) * 8;
        t->decodeError = 0;
      }
      decoder.Reload();
    }
  }
  return 0;
}

// RkMaskingImage: a second picture composited onto the first with one of
// seven arithmetic operations, per-channel weights and a key colour.
#include "masking.h"

#include "picture.h"

namespace rk::filters {

namespace {

enum Operation : int { kAdd = 0, kSubtract, kReplace, kLighten, kDarken, kMultiply, kDifference };

// The operations work on 16-bit signed values: weights above 100 % make
// values beyond 255 (and beyond 16 bits above 12850 %, which wrap), and the
// results are clamped only when they are stored.
int16_t Apply(int operation, int16_t base, int16_t operand) {
  switch (operation) {
    case kAdd: return static_cast<int16_t>(base + operand);
    case kSubtract: return static_cast<int16_t>(base - operand);
    case kReplace: return operand;
    case kLighten: return base > operand ? base : operand;
    case kDarken: return base < operand ? base : operand;
    case kMultiply: return static_cast<int16_t>(int32_t{base} * operand / 255);
    case kDifference: return static_cast<int16_t>((base | operand) - (base & operand));
    default: return base;
  }
}

}  // namespace

MaskOperation MaskOperation::From(const ImageBlkAttrRec& second) {
  MaskOperation op;
  op.word = static_cast<uint16_t>(second.codecFlags & 0xFFFF);
  op.firstWeight = static_cast<int32_t>(second.componentIds & 0xFFFF);
  op.secondWeight = static_cast<int32_t>(second.componentIds >> 16);
  for (int c = 0; c < 3; ++c) op.key[c] = static_cast<uint8_t>(second.segmentLength[c] & 0xFF);
  return op;
}

bool Composite(const MaskOperation& op, const uint8_t first[3], const uint8_t second[3], uint8_t toFirst[3],
               uint8_t toSecond[3]) {
  int16_t a[3], b[3];
  for (int c = 0; c < 3; ++c) {
    a[c] = static_cast<int16_t>(op.firstWeight * first[c] / 100);
    b[c] = static_cast<int16_t>(op.secondWeight * second[c] / 100);
  }
  const bool exchange = op.exchange();
  int16_t* base = exchange ? b : a;
  const int16_t* operand = exchange ? a : b;
  const bool keyed = (op.word & 0x08) != 0 && operand[0] == op.key[0] && operand[1] == op.key[1] &&
                     operand[2] == op.key[2];
  if (!keyed) {
    const int operation = op.word >> 8;
    for (int c = 0; c < 3; ++c)
      if (op.word & (1u << c)) base[c] = Apply(operation, base[c], operand[c]);
  }
  for (int c = 0; c < 3; ++c) toFirst[c] = Clamp255(base[c]);
  // The weighted first picture goes back into the second one; clamped like
  // every stored value (a weight above 100 % gives more than 255).
  if (exchange)
    for (int c = 0; c < 3; ++c) toSecond[c] = Clamp255(operand[c]);
  return exchange;
}

}  // namespace rk::filters

using rk::filters::Picture;

extern "C" RK_API int16_t RkMaskingImage(ModuleTableRec* table, ImageBlkAttrRec* first, ImageBlkAttrRec* mask,
                                         UserCallBackRec* progress) {
  if (table == nullptr || first == nullptr || mask == nullptr) return RK_ERR_NULL;
  if (first->pixels == nullptr || !rk::filters::CoversAtLeast(*mask, *first)) return RK_ERR_UNSUPPORTED;
  mask->width = first->width;
  mask->height = first->height;
  mask->auxCount1 = static_cast<uint16_t>(first->width / 2);
  mask->auxCount2 = static_cast<uint16_t>(first->height / 2);

  const rk::filters::MaskOperation op = rk::filters::MaskOperation::From(*mask);
  const Picture a = Picture::Of(*first);
  const Picture b = Picture::Of(*mask);
  rk::filters::Progress report(progress);
  // Both pictures are walked in stored row order, whatever their bottomUp.
  for (int r = 0; r < a.height; ++r) {
    uint8_t* rowA = a.StoredRow(r);
    uint8_t* rowB = b.StoredRow(r);
    for (int x = 0; x < a.width; ++x) {
      uint8_t* pa = a.At(rowA, x);
      uint8_t* pb = b.At(rowB, x);
      const uint8_t va[3] = {pa[a.offset[0]], pa[a.offset[1]], pa[a.offset[2]]};
      const uint8_t vb[3] = {pb[b.offset[0]], pb[b.offset[1]], pb[b.offset[2]]};
      uint8_t outA[3], outB[3];
      const bool back = rk::filters::Composite(op, va, vb, outA, outB);
      for (int c = 0; c < 3; ++c) pa[a.offset[c]] = outA[c];
      if (back)
        for (int c = 0; c < 3; ++c) pb[b.offset[c]] = outB[c];
    }
    if (report.Report(r, a.height - 1, rowB)) return RK_STOPPED;
  }
  return report.last();
}

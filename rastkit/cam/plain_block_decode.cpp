// The plain block decoder: one symbol at a time through BitReader, straight
// on the module table's stream state.
#include "cam/bit_reader.h"
#include "cam/kernels.h"

namespace rk {

namespace {
constexpr unsigned kDcSymbols = 16;
constexpr unsigned kAcSymbols = 256;
}  // namespace

DecodeStatus DecodeBlock(ModuleTableRec* table, int16_t* block, const HuffCodeRec* dcTable,
                         const HuffCodeRec* acTable, const uint8_t* dcLut, const uint8_t* acLut,
                         int16_t* predictor) {
  BitReader reader = BitReader::FromTable(*table);
  // A zigzag entry outside 0..63 (a damaged table) must not move a write
  // out of the block.
  auto at = [&](unsigned k) -> int16_t& { return block[table->zigzag[k] & 63]; };

  DecodeStatus status = DecodeStatus::kOk;
  unsigned symbol = 0;
  int32_t value = 0;
  // DC difference. A decodeError already set on entry stops the block after
  // this first symbol, as one set by it does.
  SymbolResult r = ReadSymbol(reader, dcTable, kDcSymbols, dcLut, &symbol);
  if (r == SymbolResult::kOk && !ReadValue(reader, symbol, &value)) r = SymbolResult::kError;
  if (r == SymbolResult::kNoCode) {
    status = DecodeStatus::kNoCode;
  } else if (reader.error() != 0) {
    status = DecodeStatus::kStreamError;
  } else {
    *predictor = static_cast<int16_t>(*predictor + value);
    at(0) = *predictor;
    unsigned k = 1;
    while (k < 64) {
      r = ReadSymbol(reader, acTable, kAcSymbols, acLut, &symbol);
      const unsigned run = symbol >> 4;
      const unsigned size = symbol & 15;
      if (r == SymbolResult::kOk && !ReadValue(reader, size, &value)) r = SymbolResult::kError;
      if (r == SymbolResult::kNoCode) {
        status = DecodeStatus::kNoCode;
        break;
      }
      if (reader.error() != 0) {
        status = DecodeStatus::kStreamError;
        break;
      }
      if (run == 0 && size == 0) {  // end of block
        for (; k < 64; ++k) at(k) = 0;
        break;
      }
      if (k + run > 63) {
        for (; k < 64; ++k) at(k) = 0;
        status = DecodeStatus::kBadRun;
        break;
      }
      for (unsigned i = 0; i < run; ++i) at(k++) = 0;
      at(k++) = static_cast<int16_t>(value);
    }
  }
  reader.StoreTo(table);
  return status;
}

}  // namespace rk

// Progressive JPEG decoding: a walk over the stream from its SOI that
// records Huffman tables, follows restart intervals and decodes each scan
// into the whole-image coefficient store (coef_layout.h), then
// reconstruction MCU by MCU with the baseline decoder's kernels.
//
// Scan kinds (T.81 G.1.2): DC first (Ss = Se = 0, Ah = 0), DC refinement
// (Ah > 0), AC first and AC refinement (Ss > 0) of one component, and the
// sequential scan (Ss = 0, Se > 0) of a sequential frame coded in several
// scans, which carries whole blocks. A scan of several components is
// interleaved: MCUs in raster order, in each MCU the listed components'
// blocks in scan order. A scan of one component covers that component's
// T.81 block grid row by row, each block one unit of the restart interval.
#include "progressive_decode.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#include "cam/block_decoder.h"
#include "cam/kernels.h"
#include "coef_layout.h"
#include "geometry.h"
#include "huffman_tables.h"
#include "mcu_reconstruct.h"
#include "memory.h"
#include "restart_resync.h"
#include "scan_reader.h"
#include "simd_level.h"
#include "table_check.h"
#include "zigzag_mask.h"

namespace rk {
namespace {

// Set bits of x. std::popcount becomes a library call on the baseline
// x86-64 instruction set (no POPCNT), which costs more than these shifts.
inline unsigned CountPositions(uint64_t x) {
  x -= (x >> 1) & 0x5555555555555555ull;
  x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<unsigned>((x * 0x0101010101010101ull) >> 56);
}

// The coefficient store of a whole picture, zeroed: 9.4 MB at 2048 x 1536
// in 4:2:0. A fresh Scratch is zero already (large ones on 2 MB pages); a
// caller's work shop is used as it is, zeroed here.
class CoefficientRoom {
 public:
  CoefficientRoom(const ModuleTableRec* table, size_t size) : scratch_(table, size) {
    if (scratch_.ok() && scratch_.fromWorkShop()) std::memset(scratch_.data(), 0, size);
  }
  [[nodiscard]] uint8_t* data() const { return scratch_.data(); }

 private:
  Scratch scratch_;
};

// How far ahead of the block being decoded its successor is fetched.
constexpr int kPrefetchUnits = 4;
// bitPos counts bits in 32 bits: a reader addresses at most 2^29 bytes.
constexpr uint32_t kMaxStreamBytes = 0xFFFFFFFFu / 8;

int16_t CallProgress(const UserCallBackRec* progress, int32_t done, int32_t total, void* work) {
  if (progress == nullptr || progress->proc == nullptr) return RK_OK;
  return progress->proc(done, total, work, progress->userData);
}

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// Markers that stand alone: SOI, EOI, RST0..7, TEM, fill bytes; 00 is stuffing.
bool HasLengthField(uint8_t m) {
  if (m == 0x00 || m == 0x01 || m == 0xFF) return false;
  if (m >= 0xD0 && m <= 0xD9) return false;
  return m >= 0xC0;
}

enum class ScanKind : uint8_t { kDcFirst, kDcRefine, kAcFirst, kAcRefine, kSequential };

enum class BlockStep : uint8_t { kOk, kError, kNoCode, kBadRun };

inline BlockStep Step(ReadStep s) {
  return s == ReadStep::kOk ? BlockStep::kOk : s == ReadStep::kError ? BlockStep::kError : BlockStep::kNoCode;
}

// One scan's parameters after its SOS segment.
struct Scan {
  ScanKind kind = ScanKind::kDcFirst;
  int count = 0;  // components listed
  int comp[4] = {};
  const HuffLookup* dc[4] = {};
  const HuffLookup* ac[4] = {};
  int ss = 0, se = 0, al = 0;
};

// The four procedures of T.81 G.1.2 (and whole sequential blocks) on one
// block each; the end-of-band run lives here between blocks.
//
// Two shortcuts, both off in the plain form (masks null, fresh false) that
// the reference decode uses:
//  - masks: refinement scans find the coefficients that take correction
//    bits, and the zero that receives a new one, from the block's non-zero
//    mask rather than position by position;
//  - fresh: no earlier scan has touched the band's coefficients in any
//    block, so they are all zero already and the zeros that a first scan
//    (and a sequential scan) defines need not be stored.
template <class Reader>
class BlockCoder {
 public:
  using Reg = typename Reader::Reg;
  BlockCoder(Reader& reader, const uint8_t* zz, const ZigzagMasks* masks, bool fresh)
      : r_(reader), zz_(zz), masks_(masks), fresh_(fresh) {}

  uint32_t eobrun = 0;

  // Each procedure takes the reader's register state from the scan loop.
  [[gnu::always_inline]] BlockStep DcFirst(Reg& reg, int16_t* block, const HuffLookup& dc, int16_t* predictor, int al) {
    unsigned s = 0;
    int32_t diff = 0;
    const ReadStep step = r_.SymbolValue(reg, dc, false, &s, &diff);
    if (step != ReadStep::kOk) return Step(step);
    *predictor = static_cast<int16_t>(*predictor + diff);
    block[zz_[0]] = static_cast<int16_t>(static_cast<uint32_t>(static_cast<int32_t>(*predictor)) << al);
    return BlockStep::kOk;
  }

  [[gnu::always_inline]] BlockStep DcRefine(Reg& reg, int16_t* block, int al) {
    uint32_t bit = 0;
    const ReadStep step = r_.LeadBit(reg, &bit);
    if (step != ReadStep::kOk) return Step(step);
    block[zz_[0]] = static_cast<int16_t>(static_cast<uint16_t>(block[zz_[0]]) | (bit << al));
    return BlockStep::kOk;
  }

  [[gnu::always_inline]] BlockStep AcFirst(Reg& reg, int16_t* block, const HuffLookup& ac, int ss, int se, int al) {
    if (eobrun > 0) {
      --eobrun;
      Clear(block, ss, se);
      return BlockStep::kOk;
    }
    for (int k = ss; k <= se;) {
      unsigned s = 0;
      int32_t value = 0;
      const ReadStep step = r_.SymbolValue(reg, ac, true, &s, &value);
      if (step != ReadStep::kOk) return Step(step);
      const int run = static_cast<int>(s >> 4);
      if ((s & 15) != 0) {
        if (k + run > se) return BlockStep::kBadRun;
        if (fresh_) {
          k += run;
        } else {
          for (int i = 0; i < run; ++i) block[zz_[k++]] = 0;
        }
        block[zz_[k++]] = static_cast<int16_t>(static_cast<uint32_t>(value) << al);
      } else if (run == 15) {
        if (k + 15 > se) return BlockStep::kBadRun;
        if (fresh_) {
          k += 16;
        } else {
          for (int i = 0; i < 16; ++i) block[zz_[k++]] = 0;
        }
      } else {
        // End of band, and of the next 2^R - 1 + (R extra bits) blocks.
        uint32_t extra = 0;
        const ReadStep more = r_.Bits(reg, static_cast<unsigned>(run), &extra);
        if (more != ReadStep::kOk) return Step(more);
        eobrun = (1u << run) + extra - 1;
        Clear(block, k, se);
        return BlockStep::kOk;
      }
    }
    return BlockStep::kOk;
  }

  [[gnu::always_inline]] BlockStep AcRefine(Reg& reg, int16_t* block, const HuffLookup& ac, int ss, int se, int al) {
    return masks_ != nullptr ? AcRefineMasked(reg, block, ac, ss, se, al) : AcRefinePlain(reg, block, ac, ss, se, al);
  }

  [[gnu::always_inline]] BlockStep Sequential(Reg& reg, int16_t* block, const HuffLookup& dc, const HuffLookup& ac, int16_t* predictor,
                       int se) {
    const BlockStep step = DcFirst(reg, block, dc, predictor, 0);
    if (step != BlockStep::kOk) return step;
    return AcFirst(reg, block, ac, 1, se, 0);
  }

 private:
  // G.1.2.3 position by position: the definition.
  BlockStep AcRefinePlain(Reg& reg, int16_t* block, const HuffLookup& ac, int ss, int se, int al) {
    const int32_t p1 = 1 << al;
    const int32_t m1 = -p1;
    int k = ss;
    if (eobrun == 0) {
      for (; k <= se; ++k) {
        unsigned s = 0;
        int run = 0;
        int32_t value = 0;
        const BlockStep head = RefineSymbol(reg, ac, p1, &s, &run, &value);
        if (head != BlockStep::kOk) return head;
        if ((s & 15) == 0 && run != 15) break;  // an end-of-band run: the rest below
        // Pass `run` still-zero coefficients (16 for ZRL), reading one
        // correction bit for every non-zero one on the way; stop on the
        // zero that receives the new value.
        for (; k <= se; ++k) {
          int16_t& c = block[zz_[k]];
          if (c != 0) {
            const BlockStep b = Correct(reg, c, p1, m1);
            if (b != BlockStep::kOk) return b;
          } else {
            if (run == 0) break;
            --run;
          }
        }
        if (value != 0) {
          if (k > se) return BlockStep::kBadRun;
          block[zz_[k]] = static_cast<int16_t>(value);
        }
      }
    }
    if (eobrun > 0) {
      // Inside an end-of-band run only correction bits remain.
      for (; k <= se; ++k) {
        int16_t& c = block[zz_[k]];
        if (c != 0) {
          const BlockStep b = Correct(reg, c, p1, m1);
          if (b != BlockStep::kOk) return b;
        }
      }
      --eobrun;
    }
    return BlockStep::kOk;
  }

  // The same reads in the same order, with the positions taken from the
  // block's non-zero mask: a run of R passes the R lowest zero positions
  // from k, the non-zero ones below the next zero get correction bits.
  [[gnu::always_inline]] BlockStep AcRefineMasked(Reg& reg, int16_t* block, const HuffLookup& ac, int ss, int se, int al) {
    const int32_t p1 = 1 << al;
    const uint64_t band = Positions(ss, se);
    const uint64_t nonzero = masks_->NonZero(block) & band;
    int k = ss;
    if (eobrun == 0) {
      for (; k <= se; ++k) {
        unsigned s = 0;
        int run = 0;
        int32_t value = 0;
        const BlockStep head = RefineSymbol(reg, ac, p1, &s, &run, &value);
        if (head != BlockStep::kOk) return head;
        if ((s & 15) == 0 && run != 15) break;
        // Runs are short as a rule: clearing bits one by one beats a
        // branch-free select of the n-th set bit here.
        uint64_t zeros = ~nonzero & band & (~uint64_t{0} << k);
        for (; run > 0 && zeros != 0; --run) zeros &= zeros - 1;
        const int target = zeros != 0 ? std::countr_zero(zeros) : se + 1;
        const BlockStep b = CorrectAll(reg, block, nonzero & Positions(k, target - 1), p1);
        if (b != BlockStep::kOk) return b;
        k = target;
        if (value != 0) {
          if (k > se) return BlockStep::kBadRun;
          block[zz_[k]] = static_cast<int16_t>(value);
        }
      }
    }
    if (eobrun > 0) {
      const BlockStep b = CorrectAll(reg, block, nonzero & Positions(k, se), p1);
      if (b != BlockStep::kOk) return b;
      --eobrun;
    }
    return BlockStep::kOk;
  }

  // A refinement symbol: R/1 (a new coefficient of +-p1 after R zeros; its
  // sign is one bit, and any other size reads the same one bit), ZRL, or
  // R/0 with R < 15 (an end-of-band run of 2^R + R bits blocks, this one
  // included).
  [[gnu::always_inline]] BlockStep RefineSymbol(Reg& reg, const HuffLookup& ac, int32_t p1, unsigned* s, int* run, int32_t* value) {
    ReadStep step = r_.Symbol(reg, ac, s);
    if (step != ReadStep::kOk) return Step(step);
    *run = static_cast<int>(*s >> 4);
    if ((*s & 15) != 0) {
      uint32_t sign = 0;
      step = r_.Bit(reg, &sign);
      if (step != ReadStep::kOk) return Step(step);
      *value = sign ? p1 : -p1;
    } else if (*run != 15) {
      uint32_t extra = 0;
      step = r_.Bits(reg, static_cast<unsigned>(*run), &extra);
      if (step != ReadStep::kOk) return Step(step);
      eobrun = (1u << *run) + extra;
    }
    return BlockStep::kOk;
  }

  // Correction bits for the coefficients at `positions` (zigzag), lowest
  // first, up to 16 read at once. A 1-bit adds p1 to a coefficient that
  // lacks that bit, away from zero: c + (c >= 0 ? p1 : -p1), done without a
  // branch on the (unpredictable) bit: with sign = c >> 15 (0 or -1),
  // (p1 ^ sign) - sign is p1 or -p1.
  [[gnu::always_inline]] BlockStep CorrectAll(Reg& reg, int16_t* block, uint64_t positions, int32_t p1) {
    while (positions != 0) {
      const unsigned n = std::min(CountPositions(positions), 16u);
      uint32_t bits = 0;
      if (!r_.CorrectionBits(reg, n, &bits)) {
        // Near a marker or the end: bit by bit, through the checked reads.
        for (; positions != 0; positions &= positions - 1) {
          const BlockStep b = Correct(reg, block[zz_[std::countr_zero(positions)]], p1, -p1);
          if (b != BlockStep::kOk) return b;
        }
        return BlockStep::kOk;
      }
      for (unsigned i = n; i-- > 0; positions &= positions - 1) {
        int16_t& c = block[zz_[std::countr_zero(positions)]];
        const int32_t v = c;
        const int32_t sign = v >> 15;
        const int32_t take = -static_cast<int32_t>((bits >> i) & 1u & static_cast<uint32_t>((v & p1) == 0));
        c = static_cast<int16_t>(v + (((p1 ^ sign) - sign) & take));
      }
    }
    return BlockStep::kOk;
  }

  [[gnu::always_inline]] BlockStep Correct(Reg& reg, int16_t& c, int32_t p1, int32_t m1) {
    uint32_t bit = 0;
    const ReadStep step = r_.Bit(reg, &bit);
    if (step != ReadStep::kOk) return Step(step);
    if (bit && (c & p1) == 0) c = static_cast<int16_t>(c + (c >= 0 ? p1 : m1));
    return BlockStep::kOk;
  }

  void Clear(int16_t* block, int from, int to) {
    if (fresh_) return;
    for (int k = from; k <= to; ++k) block[zz_[k]] = 0;
  }

  Reader& r_;
  const uint8_t* zz_;
  const ZigzagMasks* masks_;
  bool fresh_;
};

class ProgressiveDecoder {
 public:
  ProgressiveDecoder(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress, ScanReaders readers)
      : table_(table), image_(image), progress_(progress), readers_(readers) {}
  int16_t Run();

 private:
  // What a walk over the stream leaves.
  enum class Walk : uint8_t { kOk, kCorrupt };

  Walk WalkStream();
  bool RecordTables(const uint8_t* segment, uint32_t length);
  bool DecodeScan(const uint8_t* segment, uint32_t length, uint32_t dataStart);
  bool BuildLookup(bool dc, int destination, int component, HuffLookup& out);
  template <class Reader>
  void RunScan(const Scan& scan, uint32_t dataStart);
  // The units of one scan, in order, with restart handling; the outcome is
  // left in decodeError and corrupt_.
  template <class Reader, ScanKind kKind>
  void RunUnits(const Scan& scan, Reader& reader, BlockCoder<Reader>& coder, int16_t endError);
  template <class Reader, ScanKind kKind>
  BlockStep Unit(BlockCoder<Reader>& coder, typename Reader::Reg& reg, const Scan& scan, int16_t* block);
  int16_t Reconstruct(int16_t* planes);

  ModuleTableRec* table_;
  ImageBlkAttrRec* image_;
  UserCallBackRec* progress_;
  ScanReaders readers_;
  McuGeometry geo_{};
  const CoefficientLayout* layout_ = nullptr;
  int16_t* store_ = nullptr;
  PixelTarget target_{};

  const uint8_t* data_ = nullptr;
  uint32_t length_ = 0;
  uint32_t interval_ = 0;
  int lastComponent_ = 0;  // for a scan component that names no frame component
  bool corrupt_ = false;
  int scans_ = 0;
  // The latest DHT definition of each class (DC, AC) and destination.
  std::span<const uint8_t> dht_[2][16];
  uint8_t zz_[64] = {};
  bool zzPermutation_ = true;
  std::optional<ZigzagMasks> masks_;
  // Zigzag positions of each component that AC scans have coded so far.
  uint64_t touched_[3] = {};
  HuffLookup lookups_[8];
};

bool ProgressiveDecoder::RecordTables(const uint8_t* segment, uint32_t length) {
  const uint8_t* p = segment + 4;
  const uint8_t* end = segment + 2 + length;
  while (p < end) {
    const int tc = p[0] >> 4;
    const int th = p[0] & 15;
    if (end - p - 1 < 16) return false;
    const uint32_t n = HuffmanTableDataSize(p + 1);
    if (static_cast<uint32_t>(end - p - 1) < n) return false;
    dht_[tc == 0 ? 0 : 1][th] = std::span<const uint8_t>(p + 1, n);
    p += 1 + n;
  }
  return true;
}

bool ProgressiveDecoder::BuildLookup(bool dc, int destination, int component, HuffLookup& out) {
  // The module table's tables follow the scans: component 0 uses set 0,
  // components 1 and 2 set 1. A destination that no DHT has defined keeps
  // what that table holds.
  const int set = component == 0 ? 0 : 1;
  HuffCodeRec* codes = dc ? table_->dcCodeTable[set] : table_->acCodeTable[set];
  const std::span<const uint8_t> source = dht_[dc ? 0 : 1][destination];
  if (!source.empty()) {
    const TableBuild built = dc ? BuildDcCodeTable(source, codes) : BuildAcCodeTable(source, codes);
    if (built != TableBuild::kOk) return false;
    uint8_t* lut = table_->huffLut[(dc ? 0 : 2) + set];
    if (lut != nullptr) BuildDecodeLut(codes, dc ? kDcCodeCount : kAcCodeCount, lut);
  }
  // The lookup copies the codes: later scans that rebuild the same module
  // table do not change it.
  out.Build(codes, dc ? kDcCodeCount : kAcCodeCount, nullptr);
  return true;
}

bool ProgressiveDecoder::DecodeScan(const uint8_t* segment, uint32_t length, uint32_t dataStart) {
  const int ns = segment[4];
  if (ns < 1 || ns > 4 || length < 6u + 2u * static_cast<uint32_t>(ns)) return false;
  Scan scan;
  scan.count = ns;
  const uint8_t* tail = segment + 2 + length - 3;
  scan.ss = tail[0];
  scan.se = std::min<int>(tail[1], 63);  // a damaged Se reads as 63
  const int ah = tail[2] >> 4;
  scan.al = tail[2] & 15;
  if (scan.ss == 0) {
    scan.kind = scan.se == 0 ? (ah == 0 ? ScanKind::kDcFirst : ScanKind::kDcRefine) : ScanKind::kSequential;
  } else {
    if (scan.ss > scan.se) return true;  // an empty band codes nothing
    scan.kind = ah == 0 ? ScanKind::kAcFirst : ScanKind::kAcRefine;
    scan.count = 1;  // AC scans code the first listed component only
  }

  // Components are found by their whole identifier among the frame's own.
  for (int i = 0; i < scan.count; ++i) {
    const uint8_t id = segment[5 + 2 * i];
    for (int c = 0; c < geo_.components; ++c) {
      if (((image_->componentIds >> (8 * c)) & 0xFF) == id) lastComponent_ = c;
    }
    scan.comp[i] = lastComponent_;
  }
  int used = 0;
  for (int i = 0; i < scan.count; ++i) {
    const uint8_t selectors = segment[6 + 2 * i];
    const bool needDc = scan.kind == ScanKind::kDcFirst || scan.kind == ScanKind::kSequential;
    const bool needAc = scan.kind == ScanKind::kAcFirst || scan.kind == ScanKind::kAcRefine ||
                        scan.kind == ScanKind::kSequential;
    if (needDc) {
      if (!BuildLookup(true, selectors >> 4, scan.comp[i], lookups_[used])) return false;
      scan.dc[i] = &lookups_[used++];
    }
    if (needAc) {
      if (!BuildLookup(false, selectors & 15, scan.comp[i], lookups_[used])) return false;
      scan.ac[i] = &lookups_[used++];
    }
  }
  ++scans_;
  if (readers_ == ScanReaders::kReference) {
    RunScan<PlainScanReader>(scan, dataStart);
  } else {
    RunScan<ScanReader>(scan, dataStart);
  }
  return true;
}

template <class Reader, ScanKind kKind>
BlockStep ProgressiveDecoder::Unit(BlockCoder<Reader>& coder, typename Reader::Reg& reg, const Scan& scan,
                                   int16_t* block) {
  // block: the unit's block (one component) or its MCU's first block.
  if (scan.count == 1) {
    const int c = scan.comp[0];
    switch (kKind) {
      case ScanKind::kDcFirst: return coder.DcFirst(reg, block, *scan.dc[0], &table_->dcPredictor[c], scan.al);
      case ScanKind::kDcRefine: return coder.DcRefine(reg, block, scan.al);
      case ScanKind::kAcFirst: return coder.AcFirst(reg, block, *scan.ac[0], scan.ss, scan.se, scan.al);
      case ScanKind::kAcRefine: return coder.AcRefine(reg, block, *scan.ac[0], scan.ss, scan.se, scan.al);
      case ScanKind::kSequential:
        return coder.Sequential(reg, block, *scan.dc[0], *scan.ac[0], &table_->dcPredictor[c], scan.se);
    }
    return BlockStep::kOk;
  }
  for (int i = 0; i < scan.count; ++i) {
    const int c = scan.comp[i];
    int16_t* b = block + 64 * layout_->firstBlock[c];
    for (int n = 0; n < geo_.blocksPerMcu(c); ++n, b += 64) {
      BlockStep step = BlockStep::kOk;
      switch (kKind) {
        case ScanKind::kDcFirst: step = coder.DcFirst(reg, b, *scan.dc[i], &table_->dcPredictor[c], scan.al); break;
        case ScanKind::kDcRefine: step = coder.DcRefine(reg, b, scan.al); break;
        case ScanKind::kSequential:
          step = coder.Sequential(reg, b, *scan.dc[i], *scan.ac[i], &table_->dcPredictor[c], scan.se);
          break;
        default: break;  // AC scans have one component
      }
      if (step != BlockStep::kOk) return step;
    }
  }
  return BlockStep::kOk;
}

template <class Reader>
void ProgressiveDecoder::RunScan(const Scan& scan, uint32_t dataStart) {
  // The scan's data ends at the next marker that is not RSTn: the next
  // segment (a read there gives -8) or EOI (-17). Restart markers are
  // searched for within it, never in a later scan.
  uint32_t end = dataStart;
  while (end + 1 < length_ &&
         !(data_[end] == 0xFF && data_[end + 1] != 0x00 && (data_[end + 1] < 0xD0 || data_[end + 1] > 0xD7))) {
    ++end;
  }
  if (end + 1 >= length_) end = length_;
  const int16_t endError = end < length_ && data_[end + 1] != 0xD9 ? RK_ERR_BAD_MARKER : RK_ERR_END_OF_DATA;
  table_->streamData = const_cast<uint8_t*>(data_) + dataStart;
  table_->streamLength = end - dataStart;
  table_->bitPos = 0;
  table_->decodeError = 0;
  table_->dcPredictor[0] = table_->dcPredictor[1] = table_->dcPredictor[2] = 0;
  table_->restartMcus = static_cast<int16_t>(interval_);
  table_->mcuCount = 0;

  // A first scan whose band no earlier AC scan of its components has
  // touched finds only zeros there (the reference decode stores them all).
  const bool reference = readers_ == ScanReaders::kReference;
  bool fresh = false;
  if (scan.kind == ScanKind::kAcFirst || scan.kind == ScanKind::kAcRefine || scan.kind == ScanKind::kSequential) {
    const uint64_t band = Positions(std::max(scan.ss, 1), scan.se);
    // (Positions are zigzag positions: only a zigzag table that is a
    // permutation keeps different bands on different coefficients.)
    fresh = scan.kind != ScanKind::kAcRefine && !reference && zzPermutation_;
    for (int i = 0; i < scan.count; ++i) {
      fresh = fresh && (touched_[scan.comp[i]] & band) == 0;
      touched_[scan.comp[i]] |= band;
    }
  }
  Reader reader(table_->streamData, table_->streamLength, 0, endError);
  BlockCoder<Reader> coder(reader, zz_, reference || !masks_ ? nullptr : &*masks_, fresh);
  switch (scan.kind) {
    case ScanKind::kDcFirst: RunUnits<Reader, ScanKind::kDcFirst>(scan, reader, coder, endError); break;
    case ScanKind::kDcRefine: RunUnits<Reader, ScanKind::kDcRefine>(scan, reader, coder, endError); break;
    case ScanKind::kAcFirst: RunUnits<Reader, ScanKind::kAcFirst>(scan, reader, coder, endError); break;
    case ScanKind::kAcRefine: RunUnits<Reader, ScanKind::kAcRefine>(scan, reader, coder, endError); break;
    case ScanKind::kSequential: RunUnits<Reader, ScanKind::kSequential>(scan, reader, coder, endError); break;
  }
  // An AC scan that meets the next segment early has simply ended; a DC
  // scan that does leaves blocks without their DC values and ends the walk.
  if (table_->decodeError == RK_ERR_BAD_MARKER &&
      (scan.kind == ScanKind::kAcFirst || scan.kind == ScanKind::kAcRefine)) {
    table_->decodeError = 0;
  }
}

template <class Reader, ScanKind kKind>
void ProgressiveDecoder::RunUnits(const Scan& scan, Reader& reader, BlockCoder<Reader>& coder, int16_t endError) {
  const bool interleaved = scan.count > 1;
  const int c0 = scan.comp[0];
  const int unitsWide = interleaved ? layout_->mcuCols : layout_->gridWide[c0];
  const int unitsHigh = interleaved ? layout_->mcuRows : layout_->gridHigh[c0];
  const uint32_t interval = interval_;
  uint32_t count = 0;
  bool skipping = false;  // inside an interval cut short by an early restart marker
  bool stop = false;
  // The reader's register, in this loop's locals (see scan_reader.h).
  auto reg = reader.Hold();

  for (int y = 0; y < unitsHigh && !stop; ++y) {
    GridRow row(*layout_, store_, c0, interleaved ? 0 : y);
    // Every block of the store is met once per scan, long after the last
    // time: the one a few units ahead (within the row) is fetched while
    // this one decodes.
    GridRow ahead = row;
    int aheadAt = 0;
    for (; aheadAt < kPrefetchUnits && aheadAt + 1 < unitsWide; ++aheadAt) ahead.Next();
    int16_t* mcu = store_ + layout_->McuOffset(0, y);
    const size_t mcuStep = static_cast<size_t>(layout_->blocksPerMcu) * 64;
    for (int x = 0; x < unitsWide; ++x) {
      const bool last = y == unitsHigh - 1 && x == unitsWide - 1;
      int16_t* block = interleaved ? mcu + x * mcuStep : row.block();
      const int16_t* next = interleaved ? mcu + std::min(x + kPrefetchUnits, unitsWide - 1) * mcuStep : ahead.block();
      __builtin_prefetch(next);
      __builtin_prefetch(next + 32);
      __builtin_prefetch(next + 63);
      if (!interleaved) {
        if (x + 1 < unitsWide) row.Next();
        if (aheadAt + 1 < unitsWide) {
          ahead.Next();
          ++aheadAt;
        }
      }
      if (!skipping) {
        // Where the unit starts matters only for an interval cut short.
        uint32_t unitStart = 0;
        if (interval > 0) {
          reader.Keep(reg);
          unitStart = reader.bitPos();
        }
        BlockStep step = Unit<Reader, kKind>(coder, reg, scan, block);
        if (step != BlockStep::kOk) {
          reader.Keep(reg);
          if ((step == BlockStep::kNoCode || step == BlockStep::kBadRun) && interval > 0 &&
              PaddingThenRestartMarker(table_, unitStart)) {
            // The interval's data ended early: its marker was read as code bits.
            step = BlockStep::kError;
            table_->decodeError = RK_ERR_RESTART;
          } else if (step == BlockStep::kError) {
            table_->decodeError = reader.error();
          }
          if (step == BlockStep::kNoCode || step == BlockStep::kBadRun) {
            corrupt_ = true;
            stop = true;
            break;
          }
          if (table_->decodeError != RK_ERR_RESTART || interval == 0) {
            stop = true;
            break;
          }
          skipping = true;  // the rest of this interval stays as it was
        }
      }
      if (interval > 0 && ++count == interval && !last) {
        // A restart marker follows every interval but the scan's last.
        reader.Keep(reg);
        table_->bitPos = reader.bitPos();
        if (!ResyncAtRestart(table_)) {
          stop = true;
          break;
        }
        table_->decodeError = 0;
        reader = Reader(table_->streamData, table_->streamLength, table_->bitPos, endError);
        reg = reader.Hold();
        coder.eobrun = 0;
        count = 0;
        skipping = false;
      }
      table_->mcuCount = static_cast<int16_t>(count);
    }
  }
  reader.Keep(reg);
  // The image ending inside a cut-short interval ends the scan cleanly.
  if (skipping && table_->decodeError == RK_ERR_RESTART) table_->decodeError = 0;
  table_->bitPos = reader.bitPos();
}

ProgressiveDecoder::Walk ProgressiveDecoder::WalkStream() {
  uint32_t i = 0;
  while (i + 1 < length_ && table_->decodeError == 0 && !corrupt_) {
    if (data_[i] != 0xFF) {
      ++i;
      continue;
    }
    const uint8_t m = data_[i + 1];
    if (m == 0xD9) break;  // EOI: nothing of the stream lies beyond
    if (m == 0xD8) {       // SOI: no restart interval until a DRI says so
      interval_ = 0;
      i += 2;
      continue;
    }
    if (!HasLengthField(m) || length_ - i < 4) {
      ++i;
      continue;
    }
    const uint32_t length = U16(data_ + i + 2);
    if (length < 2 || length > length_ - i - 2) {
      ++i;  // a segment that does not fit is scanned byte by byte
      continue;
    }
    const uint8_t* segment = data_ + i;
    if (m == 0xC4) {
      if (!RecordTables(segment, length)) return Walk::kCorrupt;
    } else if (m == 0xDD) {
      if (length >= 4) interval_ = U16(segment + 4);
    } else if (m == 0xDA) {
      if (!DecodeScan(segment, length, i + 2 + length)) return Walk::kCorrupt;
    }
    // Everything else (SOF, DQT, APPn, COM ...) is passed by its length;
    // after a scan the walk goes on over its entropy-coded bytes, where
    // stuffed FF 00 pairs and restart markers match no segment.
    i += 2 + length;
  }
  return corrupt_ ? Walk::kCorrupt : Walk::kOk;
}

int16_t ProgressiveDecoder::Reconstruct(int16_t* planes) {
  const bool rgb = (image_->codecFlags & RK_CODEC_FLAG_RGB) != 0;
  const int height = image_->height;
  const SimdLevel level = ActiveSimdLevel();
  const uint16_t* quant[48];
  for (int c = 0, b = 0; c < geo_.components; ++c) {
    for (int n = 0; n < geo_.blocksPerMcu(c); ++n) quant[b++] = table_->quantTable[c];
  }
  for (int my = 0; my < layout_->mcuRows; ++my) {
    const int y0 = my * geo_.mcuHeight;
    int16_t* mcu = store_ + layout_->McuOffset(0, my);
    for (int mx = 0; mx < layout_->mcuCols; ++mx, mcu += layout_->blocksPerMcu * 64) {
      DequantizeTransformBlocks(table_, mcu, quant, layout_->blocksPerMcu, level);
      const McuSource source{&geo_, mcu, rgb, mx * geo_.mcuWidth, y0};
      if (target_.separate) {
        ReconstructMcu(source, planes, target_, level);
      } else {
        ReconstructMcuReference(source, planes, target_);
      }
    }
    if (CallProgress(progress_, y0, height - 1, store_ + layout_->McuOffset(0, my)) == RK_STOPPED) {
      return RK_STOPPED;
    }
  }
  CallProgress(progress_, height - 1, height - 1, store_);  // its value is not the result
  return RK_OK;
}

int16_t ProgressiveDecoder::Run() {
  if (!TableArraysReady(table_)) return RK_ERR_NULL;
  ComputeMcuGeometry(image_->format, geo_);
  if (!IsCodableGeometry(geo_)) return RK_ERR_UNSUPPORTED;
  image_->auxCount1 = static_cast<uint16_t>(geo_.mcuWidth);
  image_->auxCount2 = static_cast<uint16_t>(geo_.mcuHeight);
  image_->samplesPerPixel = static_cast<uint16_t>(geo_.mcuWidth);
  if (image_->pixels == nullptr || image_->data == nullptr || image_->width == 0 || image_->height == 0) {
    return RK_ERR_UNSUPPORTED;
  }
  if (!DescribeTarget(*image_, geo_.components, target_)) return RK_ERR_UNSUPPORTED;

  const CoefficientLayout layout(geo_, image_->width, image_->height);
  layout_ = &layout;
  const uint64_t head = ProgressiveHeadBytes(geo_);
  const uint64_t storeBytes = 2ull * layout.coefficientCount();
  // A work shop is as large as the size query says, and the query counts
  // in 32 bits: a picture that needs more cannot use one.
  if (table_->workShop != nullptr && head + storeBytes > 0xFFFFFFFFull) return RK_ERR_MEMORY;
  CoefficientRoom room(table_, static_cast<size_t>(head + storeBytes));
  if (room.data() == nullptr) return RK_ERR_MEMORY;
  auto* planes = reinterpret_cast<int16_t*>(room.data() + 128ull * geo_.totalBlocks());
  store_ = reinterpret_cast<int16_t*>(room.data() + head);

  uint64_t seen = 0;
  for (int k = 0; k < 64; ++k) {
    zz_[k] = static_cast<uint8_t>(table_->zigzag[k] & 63);
    seen |= uint64_t{1} << zz_[k];
  }
  zzPermutation_ = seen == ~uint64_t{0};
  if (zzPermutation_) masks_.emplace(zz_);

  data_ = image_->data;
  length_ = std::min(image_->dataLength, kMaxStreamBytes);
  interval_ = image_->restartInterval & 0xFFFF;
  table_->streamData = image_->data;
  table_->streamLength = length_;
  table_->bitPos = 0;
  table_->dcPredictor[0] = table_->dcPredictor[1] = table_->dcPredictor[2] = 0;
  table_->decodeError = 0;
  table_->restartMcus = static_cast<int16_t>(interval_);
  table_->mcuCount = 0;

  const Walk walk = WalkStream();
  if (table_->decodeError == RK_ERR_BAD_MARKER) return RK_ERR_BAD_MARKER;
  // A stream without any scan has no picture to show.
  if (walk != Walk::kOk || table_->decodeError != 0 || scans_ == 0) return RK_ERR_FORMAT;
  return Reconstruct(planes);
}

}  // namespace

uint64_t ProgressiveDecodeWorkSpace(const ImageBlkAttrRec& image) {
  McuGeometry geo{};
  ComputeMcuGeometry(image.format, geo);
  if (!IsCodableGeometry(geo)) return 0;
  return ProgressiveHeadBytes(geo) + ProgressiveStoreRoom(geo, image.width, image.height);
}

int16_t DecodeProgressive(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress,
                          ScanReaders readers) {
  if (table == nullptr || image == nullptr) return RK_ERR_NULL;
  ProgressiveDecoder decoder(table, image, progress, readers);
  return decoder.Run();
}

}  // namespace rk

extern "C" {

RK_API int16_t RkDecompressImageByProgJPEG(ModuleTableRec* table, ImageBlkAttrRec* image,
                                           UserCallBackRec* progress) {
  return rk::DecodeProgressive(table, image, progress);
}

RK_API uint32_t RkGetProgJPEGDecodeWorkSpaceSize(ImageBlkAttrRec* image) {
  if (image == nullptr) return 0;
  const uint64_t bytes = rk::ProgressiveDecodeWorkSpace(*image);
  return bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
}

}  // extern "C"

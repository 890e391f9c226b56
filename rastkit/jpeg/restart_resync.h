// How the baseline JPEG decoder finds its way back at restart markers (the
// encoder's marker numbering is restart_marker.h).
#pragma once

#include "rastkit.h"

namespace rk {

// Moves the bit reader past the next restart marker (FF D0..D7): bitPos
// to the byte after it, the three DC predictors and mcuCount to 0. The
// search starts one byte before the byte that holds bitPos, because the
// reader stops on a marker's second byte; starting there would miss that
// marker and lose the whole following interval. An EOI (FF D9) met first,
// or the end of the stream, sets decodeError to -17, changes nothing else
// and returns false. Never reads at or past streamLength.
bool ResyncAtRestart(ModuleTableRec* table);

// True when the bits from bitPos to the next byte boundary are an
// encoder's padding (fewer than 8 bits, all 1) and a restart marker
// (FF D0..D7) starts on that boundary. A stuffing 00 after an FF on the way
// is stepped over: the padding may complete an FF byte, and a decoder may
// rest on the 00 of FF 00 after a block.
//
// The bit reader takes a marker's bytes inside a symbol's window for data,
// so an interval cut short at an MCU boundary ends in a code that matches
// nothing (FF D0 read as data starts with eight 1-bits, which no code is).
// Only when the bits between the last complete MCU (bitPos) and the marker
// are such padding is that failure the early marker it looks like. Worked
// example, bytes 12 5F FF D1: with bitPos 11 the rest of 5F (0101 1111
// from its bit 3) is 11111, padding, and FF D1 follows; with bitPos 9 the
// rest is 101 1111, which holds a 0: data was lost or damaged there, and
// the failure is corrupt data.
// Never reads at or past streamLength.
bool PaddingThenRestartMarker(const ModuleTableRec* table, uint32_t bitPos);

// Byte offset of the n-th restart marker (n >= 1) in data[0 .. length):
// the n-th pair FF D0..D7 met in the order ResyncAtRestart meets them, or
// -1 when an EOI (FF D9) or the end comes first. The decoder splits a
// picture into slices of whole intervals at such a marker.
[[nodiscard]] int64_t FindRestartMarker(const uint8_t* data, uint32_t length, uint32_t n);

}  // namespace rk

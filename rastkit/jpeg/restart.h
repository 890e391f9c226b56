// Restart-marker handling of the baseline JPEG decoder.
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

// True when a restart marker (FF D0..D7) starts in the bytes that a symbol
// read from bitPos may span (the byte before bitPos's byte through three
// bytes after it). The bit reader takes marker bytes inside a window for
// data, so an interval cut short ends in a code that matches nothing or a
// run past coefficient 63 just before its marker; with this test such an
// ending counts as the early restart marker it is, not as corrupt data.
bool RestartMarkerNear(const ModuleTableRec* table, uint32_t bitPos);

}  // namespace rk

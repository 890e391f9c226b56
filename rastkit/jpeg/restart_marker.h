// The restart-marker number of the JPEG encoders (RSTn, n = 0 .. 7) and its
// modulus. They are the library's only process-wide state: every encode
// that uses restart intervals starts the count at 0, so two such encodes
// must not run at the same time.
#pragma once

#include <cstdint>

namespace rk {

// Number 0, modulus 8.
void ResetRestartMarkers();
// The second byte of the next marker (0xD0 + n); n advances modulo the
// modulus.
[[nodiscard]] uint8_t NextRestartMarker();

// Slices of one picture coded on several threads name their markers
// without the process-wide number: after a reset, the sequential coder's
// marker number i (from 0) is 0xD0 + i mod 8. Once they are joined, the
// calling thread moves the number on by the count they wrote, leaving it
// exactly where `count` calls of NextRestartMarker would.
[[nodiscard]] constexpr uint8_t RestartMarkerCode(uint64_t i) { return static_cast<uint8_t>(0xD0 + i % 8); }
void AdvanceRestartMarkers(uint64_t count);

}  // namespace rk

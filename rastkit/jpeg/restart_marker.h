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

}  // namespace rk

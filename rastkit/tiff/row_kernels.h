// Row kernels between TIFF's sample order and the program's 24-bit bitmap
// (blue, green, red, three bytes a pixel): the hot loops of reading and
// writing. Each writes exactly 3 * pixels bytes at dst and nothing else.
// SSE2 versions take 16 pixels (48 bytes) a step; the plain versions are
// the definition and are kept for tests to hold the fast ones to.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rk::tiff {

// Swaps the first and third byte of every pixel: chunky R G B samples to
// B G R bitmap pixels, and back (the operation is its own inverse).
void SwapRedBlue(const uint8_t* src, uint8_t* dst, size_t pixels);

// B G R pixels from three rows of samples (grey: the same row three times).
void InterleaveBgr(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst, size_t pixels);

namespace reference {
void SwapRedBlue(const uint8_t* src, uint8_t* dst, size_t pixels);
void InterleaveBgr(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst, size_t pixels);
}  // namespace reference

}  // namespace rk::tiff

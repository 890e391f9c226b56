// The block-averaging shrink with its two kernels, for the exports and for
// the tests that check that both give the same pixels.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk::filters {

enum class ShrinkKernel { kFast, kReference };

// RkShrinkingResizeImage after its pointer checks. kReference averages each
// block pixel by pixel; kFast sums columns first where a block's bytes fit
// its stack buffer (else it takes the reference path). Both give the same
// pixels.
[[nodiscard]] int16_t ShrinkImage(const ImageBlkAttrRec& dest, const ImageBlkAttrRec& source,
                                  UserCallBackRec* progress, ShrinkKernel kernel = ShrinkKernel::kFast);

}  // namespace rk::filters

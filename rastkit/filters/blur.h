// Internal entries of the blurs: the running-window sums and the plain
// direct sums over every offset, kept side by side so that tests can hold
// one to the other.
#pragma once

#include "rastkit.h"

namespace rk::filters {

enum class BlurPath { kWindow, kDirect };

int16_t DiamondBlur(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, int16_t radius,
                    uint32_t flags, UserCallBackRec* progress, BlurPath path);
int16_t OutOfFocusBlur(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, int16_t radius,
                       UserCallBackRec* progress, BlurPath path);

}  // namespace rk::filters

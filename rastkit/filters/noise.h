// Internal entry of the remove-noise filter, so that tests can run the
// sorting networks and the plain selection sort on the same picture.
#pragma once

#include "rastkit.h"

namespace rk::filters {

enum class MedianPath { kNetwork, kSelection };

int16_t RemoveNoise(ModuleTableRec* table, ImageBlkAttrRec* image, uint32_t flags, UserCallBackRec* progress,
                    MedianPath path);

}  // namespace rk::filters

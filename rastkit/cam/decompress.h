// CAM picture decompression (RkDecompressImageByCAM and its work-space
// query), callable inside the library and from tests.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rastkit.h"
#include "status.h"

namespace rk {

// Decodes the picture that the record's data, dataLength and segmentLength
// describe (as RkDecodeCAMHeader leaves them) into its pixel buffer at the
// size given by width x height. Stream errors do not fail the call; the
// first one is left in table->decodeError. The table's arrays are there
// (the export checks).
Status DecompressCam(ModuleTableRec* table, ImageBlkAttrRec* image,
                                    UserCallBackRec* progress);

// Bytes of work shop a decode needs: the strips, the coefficient blocks and
// three module-table copies with their scratch words, plus slack to align
// the pieces in a buffer that starts anywhere.
[[nodiscard]] size_t CamDecodeWorkSpaceSize();

}  // namespace rk

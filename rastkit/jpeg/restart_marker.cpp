#include "restart_marker.h"

namespace rk {
namespace {

uint16_t gMarkerNumber = 0;
uint16_t gMarkerModulus = 8;

}  // namespace

void ResetRestartMarkers() {
  gMarkerNumber = 0;
  gMarkerModulus = 8;
}

uint8_t NextRestartMarker() {
  // A modulus outside 1 .. 8 would name a marker that is not RSTn.
  if (gMarkerModulus == 0 || gMarkerModulus > 8) gMarkerModulus = 8;
  const uint8_t code = static_cast<uint8_t>(0xD0 + gMarkerNumber % gMarkerModulus);
  gMarkerNumber = static_cast<uint16_t>((gMarkerNumber + 1) % gMarkerModulus);
  return code;
}

void AdvanceRestartMarkers(uint64_t count) {
  if (gMarkerModulus == 0 || gMarkerModulus > 8) gMarkerModulus = 8;
  gMarkerNumber = static_cast<uint16_t>((gMarkerNumber + count % gMarkerModulus) % gMarkerModulus);
}

}  // namespace rk

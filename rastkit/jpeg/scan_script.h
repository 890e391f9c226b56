// The progressive writer's fixed scan script: spectral selection only
// (Ah = Al = 0), one optimised Huffman table per scan.
//
//   scan  components    band   DHT tables   SOS after FF DA
//   1     0, 1, 2       0-0    00, 01       00 0C 03 00 00 01 11 02 11 00 00 00
//   2     1             1-5    10           00 08 01 01 00 01 05 00
//   3     2             1-5    10           00 08 01 02 00 01 05 00
//   4     0             1-5    10           00 08 01 00 00 01 05 00
//   5     1             6-63   12           00 08 01 01 02 06 3F 00
//   6     2             6-63   12           00 08 01 02 02 06 3F 00
//   7     0             6-63   11           00 08 01 00 01 06 3F 00
//
// Grey pictures have scans 1 (DHT 00; SOS 00 08 01 00 00 00 00 00), 4 and 7.
// The AC destinations are redefined between scans: each scan's table is
// written just before it.
#pragma once

#include <cstdint>
#include <span>

namespace rk {

struct ScriptScan {
  bool dc;                 // the interleaved DC scan
  int component;           // AC scans: the one component
  int ss, se;              // band
  int tableCount;          // tables in the scan's DHT segment
  uint8_t tableIds[2];     // their class/destination bytes
  uint8_t statistics[2];   // the frequency table each is built from (1, 2)
  uint8_t sos[12];         // the SOS segment after FF DA (length included)
  int sosLength;
};

// Seven scans for colour, three for grey.
[[nodiscard]] std::span<const ScriptScan> ProgressiveScript(bool colour);

}  // namespace rk

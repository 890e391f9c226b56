// Helpers of the progressive JPEG tests: our progressive decode into the
// program's bitmap, and libjpeg (the peer) writing progressive and
// multi-scan streams from scan scripts, transcoding coefficients as
// jpegtran does, and decoding strictly as djpeg -strict does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jpeg_test_util.h"
#include "rastkit.h"
#include "test_images.h"

namespace progtest {

using Bytes = std::vector<uint8_t>;

// One scan of a script: components, Ss, Se, Ah, Al (cjpeg -scans syntax).
struct ScanLine {
  std::vector<int> components;
  int ss, se, ah, al;
};
using Script = std::vector<ScanLine>;

// libjpeg's default progressive script (cjpeg -progressive); grey or colour.
Script DefaultScript(bool grey);
// Successive approximation with bands split and refined (like the fixture
// script), colour only.
Script ApproximationScript();
// DC scans of one component each, then spectral selection.
Script SingleComponentDcScript();
// Sequential multi-scan: one full-spectrum scan per component.
Script SequentialScript(int components);

struct PeerOptions {
  int quality = 80;
  int hSamp = 2, vSamp = 2;  // luminance; chroma 1x1
  bool grey = false;
  bool rgb = false;          // stored as RGB (Adobe transform 0)
  int restartInterval = 0;   // in MCUs (blocks in one-component scans)
  int restartRows = 0;       // in MCU rows (cjpeg -restart N)
  Script script;             // empty: libjpeg's default progression
};
// libjpeg progressive (or scripted) encode of a picture.
Bytes PeerEncode(const rktest::Rgb& img, const PeerOptions& options);

// jpegtran -copy none: the same coefficients, written again. With a script
// and optimize, as jpegtran -optimize -scans; without, one sequential scan.
Bytes Transcode(const Bytes& stream, const Script& script = {}, bool optimize = false);

// libjpeg decode that fails on any warning (djpeg -strict). Empty string
// when the stream decodes silently, else the message.
std::string StrictDecodeProblem(const Bytes& stream);

// How our decoder is run.
struct DecodeOptions {
  bool lut = false;
  bool workShop = false;
  bool reference = false;  // plain readers throughout (internal entry point)
};
// Header plus progressive decode into a bottom-up BGR bitmap.
jpegtest::Decoded ProgressiveDecode(const Bytes& stream, const DecodeOptions& options = {});

// The entropy-coded bytes of each scan (between its SOS segment and the next
// marker that is not RSTn) and the BITS+HUFFVAL bodies of each DHT table.
struct ScanParts {
  std::vector<Bytes> scans;
  std::vector<Bytes> tables;
  std::vector<Bytes> sosHeaders;  // SOS segment bodies
  std::vector<uint8_t> tableIds;  // class/destination byte of each table
};
ScanParts SplitScans(const Bytes& stream);

}  // namespace progtest

#include "prog_test_util.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "jpeg/progressive_decode.h"

namespace progtest {
namespace {

// libjpeg reports errors through exit() unless told otherwise: jump back
// and let the test fail instead. Warnings are counted (and kept) so that a
// strict decode can refuse them.
struct PeerError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
  std::string message;
  int warnings = 0;
};

void OnError(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<PeerError*>(cinfo->err);
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  e->message = text;
  std::longjmp(e->jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace messages
  auto* e = reinterpret_cast<PeerError*>(cinfo->err);
  if (e->warnings++ == 0) {
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    e->message = text;
  }
}

jpeg_error_mgr* Install(PeerError& e) {
  jpeg_std_error(&e.mgr);
  e.mgr.error_exit = OnError;
  e.mgr.emit_message = OnMessage;
  return &e.mgr;
}

std::vector<jpeg_scan_info> ToPeer(const Script& script) {
  std::vector<jpeg_scan_info> out;
  for (const ScanLine& line : script) {
    jpeg_scan_info s{};
    s.comps_in_scan = static_cast<int>(line.components.size());
    for (size_t i = 0; i < line.components.size(); ++i) s.component_index[i] = line.components[i];
    s.Ss = line.ss, s.Se = line.se, s.Ah = line.ah, s.Al = line.al;
    out.push_back(s);
  }
  return out;
}

}  // namespace

Script DefaultScript(bool grey) {
  if (grey) return {{{0}, 0, 0, 0, 1}, {{0}, 1, 5, 0, 2}, {{0}, 6, 63, 0, 2}, {{0}, 1, 63, 2, 1},
                    {{0}, 0, 0, 1, 0}, {{0}, 1, 63, 1, 0}};
  return {{{0, 1, 2}, 0, 0, 0, 1}, {{0}, 1, 5, 0, 2},  {{2}, 1, 63, 0, 1},  {{1}, 1, 63, 0, 1},
          {{0}, 6, 63, 0, 2},      {{0}, 1, 63, 2, 1}, {{0, 1, 2}, 0, 0, 1, 0}, {{2}, 1, 63, 1, 0},
          {{1}, 1, 63, 1, 0},      {{0}, 1, 63, 1, 0}};
}

Script ApproximationScript() {
  return {{{0, 1, 2}, 0, 0, 0, 2}, {{0}, 1, 2, 0, 1},  {{0}, 3, 63, 0, 2}, {{1}, 1, 63, 0, 1},
          {{2}, 1, 63, 0, 1},      {{0, 1, 2}, 0, 0, 2, 1}, {{0}, 3, 63, 2, 1}, {{0}, 1, 63, 1, 0},
          {{1}, 1, 63, 1, 0},      {{2}, 1, 63, 1, 0}, {{0, 1, 2}, 0, 0, 1, 0}};
}

Script SingleComponentDcScript() {
  // DC scans of one and of two components, first and refinement.
  return {{{0}, 0, 0, 0, 1},  {{1, 2}, 0, 0, 0, 1}, {{0}, 1, 63, 0, 0}, {{1}, 1, 63, 0, 0},
          {{2}, 1, 63, 0, 0}, {{2}, 0, 0, 1, 0},    {{0, 1}, 0, 0, 1, 0}};
}

Script SequentialScript(int components) {
  Script s;
  for (int c = 0; c < components; ++c) s.push_back({{c}, 0, 63, 0, 0});
  return s;
}

Bytes PeerEncode(const rktest::Rgb& img, const PeerOptions& options) {
  jpeg_compress_struct cinfo;
  PeerError err;
  cinfo.err = Install(err);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  std::vector<jpeg_scan_info> scans = ToPeer(options.script);
  if (setjmp(err.jump)) {
    ADD_FAILURE() << "libjpeg encode: " << err.message;
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return {};
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = static_cast<JDIMENSION>(img.width);
  cinfo.image_height = static_cast<JDIMENSION>(img.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  if (options.grey) jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
  if (options.rgb) jpeg_set_colorspace(&cinfo, JCS_RGB);
  jpeg_set_quality(&cinfo, options.quality, TRUE);
  if (!options.grey) {
    cinfo.comp_info[0].h_samp_factor = options.hSamp;
    cinfo.comp_info[0].v_samp_factor = options.vSamp;
    for (int c = 1; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
  }
  if (scans.empty()) {
    jpeg_simple_progression(&cinfo);
  } else {
    cinfo.scan_info = scans.data();
    cinfo.num_scans = static_cast<int>(scans.size());
  }
  cinfo.restart_interval = static_cast<unsigned>(options.restartInterval);
  cinfo.restart_in_rows = options.restartRows;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(img.at(0, static_cast<int>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes bytes(out, out + size);
  std::free(out);
  return bytes;
}

Bytes Transcode(const Bytes& stream, const Script& script, bool optimize) {
  jpeg_decompress_struct src;
  jpeg_compress_struct dst;
  PeerError srcErr, dstErr;
  src.err = Install(srcErr);
  dst.err = Install(dstErr);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  std::vector<jpeg_scan_info> scans = ToPeer(script);
  if (setjmp(srcErr.jump) || setjmp(dstErr.jump)) {
    ADD_FAILURE() << "libjpeg transcode: " << srcErr.message << dstErr.message;
    jpeg_destroy_compress(&dst);
    jpeg_destroy_decompress(&src);
    std::free(out);
    return {};
  }
  jpeg_create_decompress(&src);
  jpeg_create_compress(&dst);
  jpeg_mem_src(&src, stream.data(), stream.size());
  jpeg_read_header(&src, TRUE);
  jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&src);
  jpeg_copy_critical_parameters(&src, &dst);
  if (!scans.empty()) {
    dst.scan_info = scans.data();
    dst.num_scans = static_cast<int>(scans.size());
  }
  dst.optimize_coding = optimize ? TRUE : FALSE;
  jpeg_mem_dest(&dst, &out, &size);
  jpeg_write_coefficients(&dst, coefficients);
  jpeg_finish_compress(&dst);
  jpeg_finish_decompress(&src);
  jpeg_destroy_compress(&dst);
  jpeg_destroy_decompress(&src);
  Bytes bytes(out, out + size);
  std::free(out);
  return bytes;
}

std::string StrictDecodeProblem(const Bytes& stream) {
  jpeg_decompress_struct cinfo;
  PeerError err;
  cinfo.err = Install(err);
  std::vector<uint8_t> row;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return err.message.empty() ? "error" : err.message;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, stream.data(), stream.size());
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  row.resize(static_cast<size_t>(cinfo.output_width) * cinfo.output_components);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW p = row.data();
    jpeg_read_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return err.warnings == 0 ? std::string() : err.message;
}

jpegtest::Decoded ProgressiveDecode(const Bytes& stream, const DecodeOptions& options) {
  jpegtest::Decoded out;
  rktest::ModuleTable table;
  std::vector<uint8_t> lut(options.lut ? RkGetHuffmanLUTBufSize() : 0);
  if (options.lut) RkSetHuffmanLUTBuffer(table.get(), lut.data());
  ImageBlkAttrRec image{};
  const uint32_t size = static_cast<uint32_t>(stream.size());
  out.header = RkDecodeJFIFHeader(table.get(), stream.data(), &size, &image);
  if (out.header < 0) {
    out.result = static_cast<int16_t>(out.header);
    return out;
  }
  std::vector<uint8_t> shop;
  if (options.workShop) {
    shop.assign(RkGetProgJPEGDecodeWorkSpaceSize(&image), 0xAB);
    RkSetCustomModuleTableWorkshop(table.get(), shop.data());
  }
  rktest::Bitmap24 bitmap(image.width, image.height);
  bitmap.Describe(image);
  out.result = options.reference ? rk::DecodeProgressive(table.get(), &image, nullptr, rk::ScanReaders::kReference)
                                 : RkDecompressImageByProgJPEG(table.get(), &image, nullptr);
  out.rgb = bitmap.ToRgb();
  return out;
}

ScanParts SplitScans(const Bytes& s) {
  ScanParts parts;
  size_t i = 0;
  while (i + 3 < s.size()) {
    if (s[i] != 0xFF || s[i + 1] == 0x00 || s[i + 1] == 0xFF || (s[i + 1] >= 0xD0 && s[i + 1] <= 0xD8)) {
      ++i;
      continue;
    }
    const uint8_t m = s[i + 1];
    if (m == 0xD9) break;
    const size_t length = static_cast<size_t>(s[i + 2]) << 8 | s[i + 3];
    const size_t body = i + 4, end = i + 2 + length;
    if (m == 0xC4) {
      for (size_t p = body; p + 17 <= end;) {
        size_t n = 16;
        for (int k = 0; k < 16; ++k) n += s[p + 1 + k];
        parts.tableIds.push_back(s[p]);
        parts.tables.emplace_back(s.begin() + static_cast<long>(p + 1), s.begin() + static_cast<long>(p + 1 + n));
        p += 1 + n;
      }
    }
    i = end;
    if (m == 0xDA) {
      parts.sosHeaders.emplace_back(s.begin() + static_cast<long>(body), s.begin() + static_cast<long>(end));
      size_t j = end;
      while (j + 1 < s.size() && !(s[j] == 0xFF && s[j + 1] != 0x00 && (s[j + 1] < 0xD0 || s[j + 1] > 0xD7))) ++j;
      parts.scans.emplace_back(s.begin() + static_cast<long>(end), s.begin() + static_cast<long>(j));
      i = j;
    }
  }
  return parts;
}

}  // namespace progtest

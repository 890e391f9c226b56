#!/bin/sh
# Writes the Exif seed corpus: small Exif JPEGs made by exiftool from cjpeg
# streams (both byte orders, Exif 0100 to 0230, with and without an IFD1
# thumbnail), one written by our own RkExportCustomExifFile, and a few
# hand-made faults (an IFD loop, a huge count, an unterminated text). Run
# from the repository root after building the library in BUILD (default
# build); needs cjpeg (libjpeg-turbo-progs), exiftool
# (libimage-exiftool-perl), python3 and a C++ compiler.
set -eu
build=${1:-build}
out=fuzz/corpus/exif
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

python3 - "$tmp" <<'PY'
import math, struct, sys
d = sys.argv[1]
for w, h in ((16, 12), (8, 8)):
    px = bytearray()
    for y in range(h):
        for x in range(w):
            px += bytes((int(127 + 120 * math.sin(x / 3.0)), (x * 7 + y * 13) % 256, (y * 29) % 256))
    with open(f"{d}/p{w}x{h}.ppm", "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h) + px)

def exif_file(tiff):
    return b"\xFF\xD8\xFF\xE1" + struct.pack(">H", len(tiff) + 8) + b"Exif\0\0" + tiff + b"\xFF\xD9"

def ifd(entries, nxt):
    b = struct.pack("<H", len(entries))
    for tag, typ, count, value in entries:
        b += struct.pack("<HHII", tag, typ, count, value)
    return b + struct.pack("<I", nxt)

head = b"II*\0" + struct.pack("<I", 8)
# IFD0 whose next IFD is itself; an Exif IFD at 26 that loops too.
loop = head + ifd([(34665, 4, 1, 26)], 8) + ifd([(36864, 7, 4, 0x30323230)], 26)
# An entry count far beyond the data.
huge = head + struct.pack("<H", 0xFFFF) + ifd([(271, 2, 5, 0x6E726554)], 0)[2:]
# A Make text without a zero byte up to the end.
unterminated = head + ifd([(271, 2, 40, 26)], 0) + b"Heron Optics without an end"
for name, tiff in (("loop", loop), ("huge_count", huge), ("unterminated", unterminated)):
    with open(f"{d}/{name}.jpg", "wb") as f:
        f.write(exif_file(tiff))
PY

cjpeg -quality 50 -sample 2x1 "$tmp/p16x12.ppm" > "$tmp/base.jpg"
cjpeg -quality 50 "$tmp/p8x8.ppm" > "$tmp/thumb.jpg"
tags="-Make=Lumen -Model=Q5 -Software=corvid -ModifyDate=2019:10:11\ 12:13:14 -DateTimeOriginal=2019:10:11\ 12:13:00
  -XResolution=300 -YResolution=300 -ExposureTime=0.002 -FNumber=8 -ISO=400 -ShutterSpeedValue=0.002
  -ApertureValue=8 -BrightnessValue=-2.5 -ExposureCompensation=-1 -FocalLength=35 -SubjectDistance=3.5
  -FocalPlaneXResolution=2000 -FocalPlaneResolutionUnit=3 -MeteringMode=5 -ExifIFD:Flash=9"
make() {  # name, byte order, version, thumbnail (yes/no)
  cp "$tmp/base.jpg" "$tmp/$1.jpg"
  thumb=""
  [ "$4" = yes ] && thumb="'-ThumbnailImage<=$tmp/thumb.jpg'"
  eval exiftool -q -n -overwrite_original -JFIF:all= -ExifByteOrder="$2" -ExifIFD:ExifVersion="$3" $tags \
    $thumb "$tmp/$1.jpg"
  cp "$tmp/$1.jpg" "$out/$1.jpg"
}
make exiftool_MM_0220_thumb MM 0220 yes
make exiftool_II_0230 II 0230 no
make exiftool_II_0100_thumb II 0100 yes
make exiftool_MM_0210 MM 0210 no
cp "$tmp/loop.jpg" "$tmp/huge_count.jpg" "$tmp/unterminated.jpg" "$out/"

# Our own writer: a 16 x 12 picture with texts, dates and a maker note.
cat > "$tmp/ours.cpp" <<'CPP'
#include <cstdio>
#include <vector>
#include "rastkit.h"
int main(int, char** argv) {
  std::vector<uint8_t> table(RkGetCompressBlkSize());
  auto* t = reinterpret_cast<ModuleTableRec*>(table.data());
  RkInitModuleTable(t);
  std::vector<uint8_t> px(48 * 12);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i * 37);
  ImageBlkAttrRec image{};
  image.width = 16, image.height = 12, image.pixels = px.data(), image.rowStride = 48;
  image.redOffset = 2, image.greenOffset = 1, image.pixelStride = 3, image.bottomUp = 1, image.format = 0x3001;
  std::vector<uint8_t> out(100000);
  image.data = out.data(), image.dataLength = static_cast<uint32_t>(out.size());
  static const uint8_t note[3] = {'N', 1, 2};
  const ExifDateTimeRec date{2008, 5, 17, 16, 45, 30};
  ExifTagInfoRec info{};
  RkInitExifTagVers(&info);
  RkInitExifTagInfo(&info);
  info.make = "Tern", info.makeLength = 4, info.model = "T1", info.modelLength = 3;
  info.dateTime = info.dateTimeOriginal = info.dateTimeDigitized = &date;
  info.makerNote = note, info.makerNoteLength = 3, info.exposureTime = 1.0f / 60, info.exposureBias = 0.5f;
  const double scale = 2.0;
  if (RkExportCustomExifFile(t, &scale, &scale, &info, &image, nullptr) != 0) return 1;
  FILE* f = std::fopen(argv[1], "wb");
  std::fwrite(out.data(), 1, image.dataLength, f);
  std::fclose(f);
  RkFreeModuleTable(t);
  return 0;
}
CPP
# The sanitizer flags match a library built with RK_SANITIZE (harmless otherwise).
c++ -std=c++20 -fsanitize=address,undefined -I rastkit/frame "$tmp/ours.cpp" "$build/rastkit/librastkit_static.a" -o "$tmp/ours"
"$tmp/ours" "$out/ours_custom.jpg"
echo "wrote $(ls "$out" | wc -l) files to $out"

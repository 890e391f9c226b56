/*
 * rastkit.h - the public interface of the rastkit image codec library.
 *
 * This is the only installed header. It declares, with C linkage, every
 * record that crosses the interface, the result codes, and every exported
 * function. The library keeps no state of its own between calls (except the
 * JPEG encoders' restart-marker number, see RkCompressImageByJPEG): the
 * caller owns the module table, the image records and every buffer.
 *
 * Conventions
 *   - Results are signed 16-bit codes (RK_OK or a negative RK_ERR_* value)
 *     unless a function says otherwise. Header decoders of JPEG and TIFF
 *     return 32-bit stream offsets; size queries return unsigned byte counts.
 *   - A required pointer argument that is null gives RK_ERR_NULL and nothing
 *     is written; functions that return nothing simply do nothing.
 *   - Pixels are reached only through the record's row stride, pixel stride
 *     and per-channel byte offsets, so one decoder serves bottom-up BGR
 *     bitmaps and top-down 32-bit buffers alike. Samples are 8-bit.
 *   - Scratch memory comes from the module table's work shop when the caller
 *     installed one (sized by the matching RkGet...WorkSpaceSize query),
 *     otherwise it is allocated zero-filled and freed on every return path.
 *
 * 64-bit platform
 *   The record layouts keep the field order of the original 32-bit library,
 *   but pointers are 8 bytes here, so records that hold pointers are larger
 *   and have different padding:
 *   - the module table (ModuleTableRec) is RkGetCompressBlkSize() bytes,
 *     which is sizeof(ModuleTableRec) on this platform, not 132;
 *   - the progress callback's third argument ("work") is a real pointer, and
 *     UserCallBackRec.userData is a uintptr_t so that it can carry a pointer;
 *   - memory "handles" that some camera-data exports return are plain
 *     zero-filled blocks from the C heap (calloc), standing in for global
 *     memory blocks: the caller releases them with free();
 *   - a "bitmap information header" is the 40-byte little-endian
 *     BITMAPINFOHEADER layout, written byte by byte (RK_BITMAP_INFO_SIZE).
 *   Work-space sizes that contain a module table are computed from these
 *   real record sizes.
 */
#ifndef RASTKIT_H
#define RASTKIT_H

#include <stddef.h>
#include <stdint.h>

#if defined(RK_BUILDING_LIBRARY)
#define RK_API __attribute__((visibility("default")))
#else
#define RK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------
 * Result codes
 * ---------------------------------------------------------------------- */
enum {
    RK_OK = 0,                  /* success */
    RK_ERR_FORMAT = -1,         /* data is not in the expected format (JPEG, TIFF, Exif headers) */
    RK_ERR_NULL = -2,           /* a required pointer argument is null */
    RK_ERR_UNSUPPORTED = -3,    /* argument or stream property not supported, or data runs past its size */
    RK_ERR_BUFFER = -4,         /* the caller's output buffer is too small */
    RK_ERR_NO_IMAGE = -5,       /* a CAM file holds neither a CAM image nor a JPEG image */
    RK_ERR_CAMERA_DATA = -6,    /* camera data is not valid */
    RK_ERR_CODE_TOO_LONG = -7,  /* an optimised Huffman table would need a code longer than 32 bits */
    RK_ERR_BAD_MARKER = -8,     /* the progressive decoder met a non-restart marker inside the data */
    RK_ERR_RESTART = -16,       /* the entropy decoder met a restart marker where none was expected */
    RK_ERR_END_OF_DATA = -17,   /* the entropy decoder reached EOI or the end of the given length */
    RK_ERR_CAMERA_INVALID = -20,/* camera data is not valid (size or layout) */
    RK_TIFF_HOLDS_JPEG = -100,  /* TIFF holds an embedded JPEG stream: see dataOffset/dataLength */
    RK_ERR_MEMORY = -108,       /* scratch memory could not be allocated */
    RK_STOPPED = -1000          /* stopped by the progress callback */
};

/* Value of ImageBlkAttrRec.methodParam that asks the baseline JFIF writer
 * for an APP1 "Exif" segment instead of APP0 (the characters "Exif"). */
#define RK_METHOD_PARAM_EXIF 0x45786966u

/* Bits of ImageBlkAttrRec.format (JPEG-style streams). */
#define RK_FORMAT_COMPONENTS_SHIFT 12
#define RK_FORMAT_PROGRESSIVE 0x4000u  /* progressive stream */
#define RK_FORMAT_DEFAULT_HUFFMAN 0x8000u /* with bit 14 clear: default tables implied */

/* ImageBlkAttrRec.pixelFormat low 4 bits: three planes of signed 16-bit YCbCr. */
#define RK_PIXEL_PLANAR_YCC16 3u

/* ImageBlkAttrRec.codecFlags bit: a three-component JPEG stream holds RGB. */
#define RK_CODEC_FLAG_RGB 0x10000u

/* Size of the bitmap information header that precedes packed bitmaps. */
#define RK_BITMAP_INFO_SIZE 40

/* ------------------------------------------------------------------------
 * Records
 * ---------------------------------------------------------------------- */

/* One image: a compressed stream, a pixel buffer, or both. Header decoders
 * fill it; decompressors, compressors and filters consume it. Build it
 * zero-filled (or with RkInitImageAttribute) before each call. */
typedef struct ImageBlkAttrRec {
    uint16_t width;            /* image width in pixels (CAM: the wanted output width) */
    uint16_t height;           /* image height in rows */
    uint16_t auxCount1;        /* JPEG/camera: MCU width; TIFF: count of strip byte counts */
    uint16_t auxCount2;        /* JPEG/camera: MCU height; TIFF: count of strip offsets */
    uint16_t samplesPerPixel;  /* JPEG/camera: MCU plane row length; TIFF: samples per pixel */
    uint16_t format;           /* packed stream format: sampling factors, component count, flags */
    uint32_t dataLength;       /* decoders: bytes at data; encoders: capacity in, bytes written out */
    uint32_t dataOffset;       /* decoders: offset of the compressed data in the file buffer */
    uint32_t restartInterval;  /* JPEG restart interval in MCUs, 0 = none */
    uint32_t segmentLength[3]; /* CAM: lengths of the Y, Cb and Cr streams that follow at data */
    uint8_t* data;             /* decoders: first compressed byte; encoders: output buffer */
    uint8_t* pixels;           /* first byte of the pixel buffer (the first stored row) */
    uint32_t pixelFormat;      /* low 4 bits: 3 = planar signed 16-bit YCbCr, else interleaved 8-bit */
    int32_t rowStride;         /* bytes (planar: samples) from one stored row to the next */
    uint32_t redOffset;        /* byte offset of red within a pixel */
    uint32_t greenOffset;      /* byte offset of green */
    uint32_t blueOffset;       /* byte offset of blue */
    uint32_t pixelStride;      /* bytes from one pixel to the next */
    uint8_t bottomUp;          /* non-zero: the first stored row is the bottom image row */
    uint32_t codecFlags;       /* JPEG: RK_CODEC_FLAG_RGB; TIFF: its own use */
    uint32_t componentIds;     /* JPEG: component identifiers in bits 0-7, 8-15, 16-23; TIFF: format code */
    uint16_t xDpi;             /* horizontal resolution, dots per inch */
    uint16_t yDpi;             /* vertical resolution, dots per inch */
    uint32_t methodParam;      /* caller value for pixel methods; RK_METHOD_PARAM_EXIF for the JFIF writer */
} ImageBlkAttrRec;

/* Progress callback: called after each unit of work (a strip, a row) with
 * the units done so far, the operation's total, a pointer into the current
 * buffer (informative) and the caller's userData. Returning RK_STOPPED
 * (-1000) stops the operation, which frees what it allocated and returns
 * RK_STOPPED. */
typedef int16_t (*RkProgressProc)(int32_t done, int32_t total, void* work, uintptr_t userData);

typedef struct UserCallBackRec {
    RkProgressProc proc;   /* the callback, or null for none */
    uintptr_t userData;    /* passed back unchanged (wide enough for a pointer) */
} UserCallBackRec;

/* The record handed to a caller's pixel method, once per pixel. */
typedef struct PixelProcessMethodRec {
    uint32_t result;       /* 0 before each call; rotation sets 1 for a pixel outside the source */
    uint8_t* red;          /* red sample of the current pixel of the processed image (read/write) */
    uint8_t* green;        /* green sample */
    uint8_t* blue;         /* blue sample */
    uint16_t x;            /* column of the current pixel */
    uint16_t y;            /* row of the current pixel */
    uint16_t width;        /* width of the processed image */
    uint16_t height;       /* height of the processed image */
    uint8_t bottomUp;      /* the processed image's bottomUp */
    uint8_t refRed;        /* red of the same pixel in the reference image */
    uint8_t refGreen;      /* green of it */
    uint8_t refBlue;       /* blue of it */
    uint16_t refX;         /* column in the reference image (equal to x) */
    uint16_t refY;         /* row in the reference image (equal to y) */
    uint16_t refWidth;     /* width of the reference image */
    uint16_t refHeight;    /* height of the reference image */
    uint32_t param;        /* the processed image's methodParam */
} PixelProcessMethodRec;

/* One Huffman code: the code bits right-aligned and the length in bits.
 * Length 0 marks a symbol that has no code. */
typedef struct HuffCodeRec {
    uint16_t code;
    uint16_t length;
} HuffCodeRec;

/* The module table: the codec tables and codec state that every codec call
 * receives. The caller allocates RkGetCompressBlkSize() bytes and prepares
 * it with RkInitModuleTable (arrays from the heap, released with
 * RkFreeModuleTable) or RkInitCustomModuleTable (arrays in a caller buffer
 * of RkGetModuleTableWorkSpaceSize() bytes). One table serves one decode or
 * encode at a time. */
typedef struct ModuleTableRec {
    uint16_t* quantTable[3];     /* 64 entries each, natural order: luminance, Cb, Cr */
    HuffCodeRec* dcCodeTable[2]; /* 16 entries each (by category): luminance, chrominance */
    HuffCodeRec* acCodeTable[2]; /* 256 entries each (by run/size symbol) */
    int16_t* zigzag;             /* entry k: natural index of the k-th zigzag coefficient */
    uint8_t* streamData;         /* bit reader: first entropy-coded byte (encoders: output) */
    uint32_t streamLength;       /* bit reader: bytes at streamData (encoders: capacity) */
    uint32_t bitPos;             /* position of the next bit, in bits from streamData */
    int16_t dcPredictor[3];      /* DC predictors of components 0, 1, 2 */
    uint32_t* bitScratch;        /* 16 words of progressive bit-reader scratch */
    int16_t decodeError;         /* 0, or RK_ERR_RESTART / RK_ERR_END_OF_DATA / RK_ERR_BAD_MARKER / RK_ERR_MEMORY */
    uint32_t* coefScratch;       /* 64 words: row results of the forward transform */
    int16_t idctConst[8];        /* r, c4, c1, c2, c3, s1, s2, s3 times 32768 */
    int16_t restartMcus;         /* restart interval in MCUs, 0 = none */
    int16_t mcuCount;            /* MCUs coded since the last restart marker */
    uint16_t* inputGamma;        /* 256 entries, 8-bit to 10-bit camera input curve, or null */
    uint16_t* outputGamma;       /* 1024 entries, 10-bit to 8-bit output curve, or null */
    void* workShop;              /* caller scratch buffer, or null */
    const uint8_t* comment;      /* global comment (not copied), or null */
    uint32_t commentLength;      /* its length in bytes */
    void* progStats;             /* progressive encoder: its statistics area while it encodes */
    int16_t statsSwitch;         /* 0 = Huffman coders write codes; 1..4 = only count symbols */
    uint8_t* huffLut[4];         /* 65536-byte lookup buffers: DC lum, DC chrom, AC lum, AC chrom */
    /* Not in the 32-bit layout: set by RkInitModuleTable so that
     * RkFreeModuleTable frees only arrays that the library allocated (a
     * custom table's arrays live in the caller's buffer). */
    uint32_t ownsArrays;
} ModuleTableRec;

/* ------------------------------------------------------------------------
 * Frame
 * ---------------------------------------------------------------------- */

/* Sets every field to 0, then the layout of a top-down 32-bit pixel with
 * red, green and blue in bytes 1, 2 and 3 (pixelStride 4). */
RK_API void RkInitImageAttribute(ImageBlkAttrRec* image);

/* ------------------------------------------------------------------------
 * Module table and codec tables
 * ---------------------------------------------------------------------- */

/* Bytes to allocate for a module table: sizeof(ModuleTableRec). */
RK_API uint32_t RkGetCompressBlkSize(void);

/* Standard initialisation: allocates the arrays zero-filled from the heap and
 * writes the default quantisation tables (T.81 K.1, K.2), Huffman code tables
 * (K.3 to K.6, DC extended to category 15), zigzag order and inverse
 * transform constants; clears work shop, gamma curves, comment, progressive
 * state and lookup buffers. A failed allocation leaves that pointer null. */
RK_API void RkInitModuleTable(ModuleTableRec* table);

/* Frees the arrays of a standard table and both gamma curves, and sets the
 * freed pointers to null (so a second call frees nothing). Arrays of a
 * custom table are left alone. Does not free the table block. */
RK_API void RkFreeModuleTable(ModuleTableRec* table);

/* Size of the caller buffer for RkInitCustomModuleTable: 3008. */
RK_API uint32_t RkGetModuleTableWorkSpaceSize(void);

/* As RkInitModuleTable with the arrays placed in the caller's buffer of
 * RkGetModuleTableWorkSpaceSize() bytes, in the order quantisation tables
 * 0..2, DC code tables 0..1, AC code tables 0..1, zigzag, bitScratch,
 * coefScratch. Nothing happens when the buffer is null. */
RK_API void RkInitCustomModuleTable(ModuleTableRec* table, void* buffer);

/* Installs (or, with null, removes) the caller's scratch buffer. */
RK_API void RkSetCustomModuleTableWorkshop(ModuleTableRec* table, void* buffer);
/* Returns the installed work shop, or null (also for a null table). */
RK_API void* RkGetCustomModuleTableWorkshop(ModuleTableRec* table);

/* Rewrite the luminance / chrominance DC and AC code tables with the defaults. */
RK_API void RkInitLHuffmanTable(ModuleTableRec* table);
RK_API void RkInitCHuffmanTable(ModuleTableRec* table);

/* Copies 64 values (natural order) into quantisation table index 0..2. */
RK_API void RkSetQuantizeTable(ModuleTableRec* table, const uint16_t* values, int32_t index);

/* Restores the three default quantisation tables, then scales table 0 by
 * *lumScale and tables 1 and 2 by *chromScale (a null pointer leaves those
 * tables at the defaults): each value becomes q * scale clamped to
 * 1.0 .. 255.0 and truncated. Never cumulative. */
RK_API void RkSetQuantizeScaleFactor(ModuleTableRec* table, const double* lumScale,
                                     const double* chromScale);

/* Copies code entries into a code table: 0 = DC luminance (16 entries),
 * 1 = DC chrominance (16), 2 = AC luminance (256), 3 = AC chrominance (256).
 * Does not touch the lookup buffers. */
RK_API void RkSetHuffmanTable(ModuleTableRec* table, const HuffCodeRec* entries, int32_t index);

/* With a buffer of RkGetHuffmanLUTBufSize() bytes: the four lookup pointers
 * become buffer + 0, 65536, 131072, 196608. With null: all four null. */
RK_API void RkSetHuffmanLUTBuffer(ModuleTableRec* table, uint8_t* buffer);
/* 262144. */
RK_API uint32_t RkGetHuffmanLUTBufSize(void);

/* Stores the comment pointer and length as given (not copied); (null, 0)
 * removes it. The caller keeps the text alive while writers run. */
RK_API void RkSetGlobalComment(ModuleTableRec* table, const uint8_t* text, uint32_t length);
/* Returns the comment and stores its length through length when not null. */
RK_API const uint8_t* RkGetGlobalComment(ModuleTableRec* table, uint32_t* length);

/* ------------------------------------------------------------------------
 * JPEG baseline encoding
 * ---------------------------------------------------------------------- */

/* Encodes the pixels of image as the entropy-coded data of one interleaved
 * baseline scan (restart markers included, no other markers) into data,
 * whose capacity is dataLength, with the module table's current tables.
 * Sets auxCount1/auxCount2/samplesPerPixel to the MCU geometry and
 * dataLength to the bytes written. Results: RK_OK (or the progress
 * callback's final value), RK_ERR_NULL, RK_ERR_UNSUPPORTED (format, size or
 * buffer the encoder cannot code; nothing written), RK_ERR_BUFFER (the data
 * does not fit the capacity), RK_ERR_MEMORY, RK_STOPPED. The restart-marker
 * number is process-wide: two encodes with restart intervals must not run
 * at the same time. */
RK_API int16_t RkCompressImageByJPEG(ModuleTableRec* table, ImageBlkAttrRec* image,
                                     UserCallBackRec* callback);

/* Restores the default Huffman code tables, then writes a complete JFIF
 * stream (SOI to EOI) into data (capacity dataLength). On success
 * dataLength is the stream size and data points at the first entropy-coded
 * byte. With methodParam == RK_METHOD_PARAM_EXIF an APP1 "Exif" segment
 * holding the global comment replaces APP0 and COM. Results as
 * RkCompressImageByJPEG; RK_ERR_BUFFER when headers or data do not fit. */
RK_API int16_t RkExportImageByJFIF(ModuleTableRec* table, ImageBlkAttrRec* image,
                                   UserCallBackRec* callback);

/* @@LATER_EXPORTS@@ */

#ifdef __cplusplus
}
#endif

#endif /* RASTKIT_H */

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
 *     is written; functions that return nothing simply do nothing. A module
 *     table whose arrays are missing (RkInitModuleTable leaves a pointer
 *     null when an allocation fails) counts as null for every call that
 *     uses the table: RK_ERR_NULL, nothing written, and the table setters
 *     leave it as it is.
 *   - Pixels are reached only through the record's row stride, pixel stride
 *     and per-channel byte offsets, so one decoder serves bottom-up BGR
 *     bitmaps and top-down 32-bit buffers alike. Samples are 8-bit.
 *   - Scratch memory comes from the module table's work shop when the caller
 *     installed one (sized by the matching RkGet...WorkSpaceSize query),
 *     otherwise it is allocated zero-filled and freed on every return path.
 *     On Linux an area of 4 MB or more (a progressive picture's
 *     coefficients) is mapped on its own with 2 MB pages requested
 *     (madvise); it is zero-filled all the same.
 *   - Vector instructions: the codecs choose at run time between plain C++,
 *     SSE2 and AVX2 paths that give identical bytes and pixels. The
 *     environment variable RASTKIT_SIMD=none|sse2|avx2, read once at the
 *     first call, caps the level (never above what the CPU has).
 *   - Threads: a large picture with restart intervals is split into
 *     slices of whole intervals, each but the first on a thread started and
 *     joined inside the call (nothing outlives it): two slices when
 *     decoding baseline JPEG, one a core when encoding it (not with a
 *     progress callback, a work shop or statistics gathering). Results are
 *     those of one thread; progress callbacks run on the calling thread
 *     only. RASTKIT_THREADS=N (1 to 64), read once, caps the threads a call
 *     may use; 1 keeps every call on its calling thread.
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

/* Bits of ImageBlkAttrRec.format on entry to RkDecodeTIFFHeader: the low
 * byte is the largest number of directories to read (0: the whole chain);
 * each of these says the file need not give that field (width, height and
 * samples per pixel then keep the record's values). */
#define RK_TIFF_NEED_NO_WIDTH 0x0100u
#define RK_TIFF_NEED_NO_HEIGHT 0x0200u
#define RK_TIFF_NEED_NO_STRIP_OFFSETS 0x0400u
#define RK_TIFF_NEED_NO_PHOTOMETRIC 0x0800u
#define RK_TIFF_NEED_NO_COMPRESSION 0x1000u
#define RK_TIFF_NEED_NO_SAMPLES 0x2000u

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
    uint32_t segmentLength[3]; /* CAM: lengths of the Y, Cb and Cr streams that follow at data;
                                  TIFF: [0], [1] entry widths of the strip tables */
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
 * dataLength to the bytes written. Planar input (pixelFormat 3) is taken
 * as Y 0..255 and Cb, Cr -127..128; values beyond are clamped. Colour
 * reads three planes of width x height samples (Y, Cb, Cr); grey (format
 * 0x1000) reads the Y plane only, as the decoder writes grey. With the
 * statistics switch on, symbols are counted into progStats instead.
 * Results: RK_OK (or the progress callback's final value), RK_ERR_NULL
 * (table, record or a table array null), RK_ERR_UNSUPPORTED (nothing
 * written: zero width or height, null pixels or data, a component count
 * other than 1 or 3, a span that does not divide the MCU, a grey format with
 * sampling bits, more than 10 blocks per MCU, a restart interval above
 * 65535, a quantisation entry of 0, the statistics switch without progStats;
 * also a block that needs a symbol without a code), RK_ERR_BUFFER (the data
 * does not fit the capacity; nothing is stored past it), RK_ERR_MEMORY,
 * RK_STOPPED. A work shop must hold 2 x (3 x MCU width x MCU height + 64 x
 * blocks per MCU) bytes. The restart-marker number is process-wide: two
 * encodes with restart intervals must not run at the same time. */
RK_API int16_t RkCompressImageByJPEG(ModuleTableRec* table, ImageBlkAttrRec* image,
                                     UserCallBackRec* callback);

/* Restores the default Huffman code tables, then writes a complete JFIF
 * stream (SOI to EOI) into data (capacity dataLength). On success
 * dataLength is the stream size and data points at the first entropy-coded
 * byte; on failure the record keeps its data and dataLength. With
 * methodParam == RK_METHOD_PARAM_EXIF an APP1 "Exif" segment holding the
 * global comment replaces APP0 and COM. Results as RkCompressImageByJPEG,
 * plus RK_ERR_UNSUPPORTED (nothing written) for a quantisation entry above
 * 255 or a comment longer than its segment can hold (65533 bytes for COM,
 * 65527 for APP1), and RK_ERR_BUFFER when headers, data or EOI do not fit. */
RK_API int16_t RkExportImageByJFIF(ModuleTableRec* table, ImageBlkAttrRec* image,
                                   UserCallBackRec* callback);

/* The size of output buffer that always holds what RkExportImageByJFIF
 * writes for this image (width, height, format, restartInterval,
 * methodParam) with the table's current quantisation tables and comment:
 * the header segments exactly, the worst case of the entropy-coded data
 * (1665 bits a block, every byte stuffed, restart markers) and EOI. For a
 * 1 x 1 picture at 0x3001 with two quantisation tables and no comment,
 * 2277 bytes. -2 (table or record null, or the table's arrays missing),
 * -3 (an image or table the writer refuses, or more than 2^31 - 1 bytes).
 * Not in the 32-bit library: added so that callers can size the buffer
 * from the encoder's own bound rather than a guess. */
RK_API int32_t RkGetExportJFIFImageSize(ModuleTableRec* table, ImageBlkAttrRec* image);

/* ------------------------------------------------------------------------ */
/* Records                                                                  */
/* ------------------------------------------------------------------------ */

/* Calendar date and time handed to the Exif writer. */
typedef struct ExifDateTimeRec {
    uint16_t year;   /* full year; a value below 100 means 1900 + value */
    uint8_t  month;  /* month of the year, 1..12 */
    uint8_t  day;    /* day of the month, 1..31 */
    uint8_t  hour;   /* hour of the day, 0..23 */
    uint8_t  minute; /* minute of the hour, 0..59 */
    uint8_t  second; /* second of the minute, 0..59, no fraction */
} ExifDateTimeRec;

/*
 * Exif shooting information.  Filled by the Exif reader (text and date
 * pointers then point into the caller's file buffer) and read by the Exif
 * writers (pointers then point at caller memory).  The record owns nothing.
 * Real values are 32-bit floats; a real <= 0 counts as "not given".
 * Records with version <= 1 stop after makerNoteLength.
 */
typedef struct ExifTagInfoRec {
    int32_t         version;                  /* layout version of this record; 2 = full record incl. the tail fields */
    uint32_t        reserved;                 /* zeroed by the initialiser, otherwise unused */
    const char*     make;                     /* camera maker text (TIFF Make), or null */
    uint16_t        makeLength;               /* bytes of make; writing: incl. the trailing zero, reading: without it */
    const char*     model;                    /* camera model text (TIFF Model), or null */
    uint16_t        modelLength;              /* bytes of model, counted like makeLength */
    const char*     software;                 /* producing software text (TIFF Software), or null */
    uint16_t        softwareLength;           /* bytes of software, counted like makeLength */
    const char*     copyright;                /* copyright notice text (TIFF Copyright), or null */
    uint16_t        copyrightLength;          /* bytes of copyright, counted like makeLength */
    const void*     dateTime;                 /* writing: const ExifDateTimeRec*; after reading: 19-char "YYYY:MM:DD HH:MM:SS" text; or null */
    const uint8_t*  thumbnail;                /* complete JPEG stream (SOI..EOI) stored as the IFD1 thumbnail, or null */
    uint16_t        thumbnailLength;          /* bytes of thumbnail */
    uint16_t        exifVersion;              /* Exif version as a 4-digit decimal, e.g. 210 for "0210" */
    uint16_t        flashpixVersion;          /* Flashpix version, same decimal coding (100 for "0100") */
    float           focalLength;              /* lens focal length in millimetres */
    float           fNumber;                  /* aperture as an F number */
    float           exposureTime;             /* exposure time in seconds */
    uint16_t        isoSpeed;                 /* ISO speed rating; 0 = not given */
    uint16_t        colorSpace;               /* Exif colour-space code, 1 = sRGB */
    float           shutterSpeed;             /* shutter speed expressed as exposure time in seconds */
    float           aperture;                 /* lens aperture as an F number */
    float           brightness;               /* scene brightness as 2^(APEX brightness) */
    float           exposureBias;             /* exposure bias as 2^(APEX bias / 2) */
    float           maxAperture;              /* widest lens opening as an F number */
    uint16_t        exposureProgram;          /* Exif exposure-program code, 2 = normal program */
    uint16_t        flash;                    /* Exif flash code */
    float           compressedBitsPerPixel;   /* average compressed bits per pixel */
    const void*     dateTimeOriginal;         /* moment of capture; same forms as dateTime */
    const void*     dateTimeDigitized;        /* moment of digitising; same forms as dateTime */
    const uint8_t*  makerNote;                /* maker-defined private bytes, or null */
    uint16_t        makerNoteLength;          /* bytes of makerNote */
    /* ---- fields below exist only when version >= 2 ---- */
    float           subjectDistance;          /* distance to the subject in metres */
    uint16_t        meteringMode;             /* Exif metering-mode code; 0 = not given */
    uint16_t        lightSource;              /* Exif light-source code; 0 = not given */
    float           focalPlaneXResolution;    /* sensor-plane pixels per resolution unit, horizontal */
    float           focalPlaneYResolution;    /* sensor-plane pixels per resolution unit, vertical */
    uint16_t        focalPlaneResolutionUnit; /* unit of the two values above (Exif code) */
} ExifTagInfoRec;

/* Input of RkGetMedianValue: a small set of samples and how to select. */
typedef struct MedianValueRec {
    const int16_t* values;   /* the count samples to choose from; values[0] is the centre pixel */
    int16_t*       work;     /* scratch array of at least count entries, overwritten */
    uint16_t       reserved; /* not read by the median selection */
    uint16_t       count;    /* number of samples in values */
    uint16_t       passes;   /* selection-sort passes (sorted mode), normally index + 2 */
    uint16_t       index;    /* position in the partly sorted scratch that is returned */
} MedianValueRec;

/* Parameters of RkEdgeEnhanceFilter. */
typedef struct EdgeEnhanceParamRec {
    uint16_t        flags;  /* 0x0008/0x0080/0x0800 sharpen component 1/2/3; 0x1000 work on Y,Cb,Cr instead of R,G,B */
    int16_t         count;  /* entries in gains/masks: 1 (shared), 2 (comp. 1 | comps. 2+3) or 3 (one each) */
    const int16_t*  gains;  /* per entry: sharpening gain in 1/128 units */
    const uint16_t* masks;  /* per entry: neighbours used, 0x0002 left+right, 0x0001 above+below, 0x0004 diagonals */
} EdgeEnhanceParamRec;

/* Caller-supplied per-pixel function: gets the pixel record and the
 * image's methodParam; its return value becomes the operation's result. */
typedef int16_t (*RkPixelMethod)(PixelProcessMethodRec* pixel, uint32_t param);

/* ------------------------------------------------------------------------ */
/* CAM files                                                                */
/* ------------------------------------------------------------------------ */

/* Classifies a whole CAM file held in memory.  Returns 3 (CAM-coded picture
 * present), 4 (only a JPEG picture present), 1 (not a CAM file), -5 (CAM
 * file without any picture) or -2 (file null).  For 3 and 4 the picture
 * section's byte length and file offset are stored through the pointers,
 * each of which may be null. */
RK_API int16_t RkCheckCAMFileType(const uint8_t* file, uint32_t* length, uint32_t* offset);

/* Locates the thumbnail section of a CAM file: 0 with its byte length and
 * file offset stored (both pointers required), 1 when not a CAM file or no
 * thumbnail, -2 when the file pointer or an output pointer is null. */
RK_API int16_t RkGetCAMThumbnailInfo(const uint8_t* file, uint32_t* length, uint32_t* offset);

/* Copies the thumbnail section's bytes unchanged into dest, which must hold
 * the length reported by RkGetCAMThumbnailInfo.  0, 1 (no CAM / no
 * thumbnail) or -2 (a pointer null). */
RK_API int16_t RkGetCAMThumbnail(const uint8_t* file, uint8_t* dest);

/* Prepares a CAM-coded picture: loads its quantisation tables into the
 * module table and sets data, dataLength, segmentLength, dataOffset and the
 * resolution in the image record (size and pixel fields are left to the
 * caller).  endOffset (may be null) receives the offset just past the coded
 * data.  0, -2 (table or record null, or the table's arrays missing), -3
 * (file null / not CAM / no CAM picture). */
RK_API int16_t RkDecodeCAMHeader(ModuleTableRec* table, const uint8_t* file, uint32_t* endOffset, ImageBlkAttrRec* image);

/* Sized forms of the four calls above, for callers that know the file size
 * (fileSize bytes at file). They give the same results and outputs, and
 * answer -3 instead of reading past the end whenever the file header, the
 * directory, the section asked for or (RkDecodeCAMHeaderEx) the 136-byte
 * picture header and its three coded streams do not lie inside the file.
 * Offsets are summed in 64 bits, so a hostile directory cannot wrap them
 * back into the file.  RkGetCAMThumbnailInfoEx also gives -2 for a null
 * length or offset pointer; RkGetCAMThumbnailEx gives -4 when the
 * thumbnail is longer than destSize and writes nothing. */
RK_API int16_t RkCheckCAMFileTypeEx(const uint8_t* file, uint32_t fileSize, uint32_t* length, uint32_t* offset);
RK_API int16_t RkGetCAMThumbnailInfoEx(const uint8_t* file, uint32_t fileSize, uint32_t* length, uint32_t* offset);
RK_API int16_t RkGetCAMThumbnailEx(const uint8_t* file, uint32_t fileSize, uint8_t* dest, uint32_t destSize);
RK_API int16_t RkDecodeCAMHeaderEx(ModuleTableRec* table, const uint8_t* file, uint32_t fileSize, uint32_t* endOffset, ImageBlkAttrRec* image);

/* ------------------------------------------------------------------------ */
/* CAM decoding                                                             */
/* ------------------------------------------------------------------------ */

/* Decodes the CAM picture prepared by RkDecodeCAMHeader into the record's
 * pixel buffer at 480x360, 480x240 or 320x240 (chosen through width and
 * height), writing only the three channel bytes of each pixel through the
 * record's layout.  Needs the default Huffman tables in the module table.
 * Reports progress after each 16-row strip, (0, 240) to (224, 240), then
 * (240, 240); "work" points at the coefficient blocks.
 * Results: 0; -2 (table or record null, or the table's arrays missing); -3
 * (other output size, pixels null, data null); -108; -1000.
 * The three streams are cut to dataLength.  A damaged stream (restart
 * marker, end of its data, a code that matches no table entry) does not
 * fail the call: the rest of that stream is not decoded from the data (its
 * blocks, from the one where the error occurred, come out flat: luminance
 * 128, chrominance 0) and the first such error (-16 or -17) is left in
 * table->decodeError, which is 0 after a clean decode. */
RK_API int16_t RkDecompressImageByCAM(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress);

/* Bytes of work shop a CAM decode needs so that it allocates nothing: the
 * strips and coefficient blocks (21504 bytes), three copies of the module
 * table with 64 scratch bytes each, and 15 bytes of slack so that a work
 * shop may start at any address. */
RK_API uint32_t RkGetCAMDecodeWorkSpaceSize(void);

/* ------------------------------------------------------------------------ */
/* JPEG reading                                                             */
/* ------------------------------------------------------------------------ */

/* Parses a whole JPEG/JFIF stream: fills the image record (size, format,
 * component ids, restart interval, resolution, data/dataLength) and, when a
 * module table is given (may be null), loads the stream's quantisation and
 * Huffman tables into it, with the lookup buffers when installed.  *size is
 * the byte count of data and is not changed; nothing at or past it is read.
 * format bit 15 with bit 14 clear on entry asks for the default Huffman
 * tables (for streams without DHT).  A progressive frame (SOF2) sets
 * RK_FORMAT_PROGRESSIVE, data at the SOI and dataLength from SOI to EOI; so
 * does a sequential frame coded in several scans (or in one scan that lists
 * fewer components than the frame), which only the progressive decoder
 * reads: callers choose RkDecompressImageByProgJPEG on that bit.  Returns the offset of the SOI (>= 0),
 * -1 (no usable stream: no SOI/EOI, SOS, DQT, DHT or SOF0/SOF2 frame; or a
 * refused one: a frame of other than 1 or 3 components, other than 8-bit
 * samples, sampling factors outside 1..4 or whose spans do not divide the
 * MCU, a Huffman table with more codes than it holds, a DC symbol above 15,
 * or counts that form no prefix code) or -2 (data, size or record null, or
 * a table given whose arrays are missing; nothing is written then).
 * Quantisation tables of precision 1 (16-bit entries, Pq = 1) are read as
 * 16-bit values into the 16-bit quantisation arrays; reading them as bytes
 * would take each entry's high byte for a value and shift every following
 * table of the segment. */
RK_API int32_t RkDecodeJFIFHeader(ModuleTableRec* table, const uint8_t* data, const uint32_t* size, ImageBlkAttrRec* image);

/* One-call decode of a baseline or progressive JPEG into a top-down 32-bit
 * buffer (per pixel: one untouched byte, then R, G, B).  rowStride is the
 * byte distance between rows.  Streams with RK_FORMAT_PROGRESSIVE go to
 * the progressive decoder.  Returns the decoder's result, -2 (table, data,
 * size or pixels null, or the table's arrays missing) or -3 (header
 * unusable). */
RK_API int16_t RkDecodeJFIF(ModuleTableRec* table, const uint8_t* data, const uint32_t* size, uint8_t* pixels, int32_t rowStride, UserCallBackRec* progress);

/* ------------------------------------------------------------------------ */
/* JPEG baseline decoding                                                   */
/* ------------------------------------------------------------------------ */

/* Decodes a baseline stream prepared by RkDecodeJFIFHeader into the
 * record's pixel buffer; writes the MCU geometry into the record.  Reads at
 * most dataLength bytes at data.  An interval cut short by an early restart
 * marker is left unwritten and decoding resumes after the marker: either
 * the bit reader meets the marker where a symbol starts, or a code fails
 * on the marker's bytes right after the last whole MCU and its padding
 * (fewer than 8 bits, all 1).  0 (or the last callback value), -1 (corrupt
 * data: end of data, a code that matches nothing or a run past coefficient
 * 63 anywhere else), -2 (table or record null, or the table's arrays
 * missing), -3 (no pixels or data,
 * a format the decoder cannot handle, or a pixel buffer reaching beyond
 * 2^32 - 1 bytes), -108, -1000. */
RK_API int16_t RkDecompressImageByJPEG(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress);

/* ------------------------------------------------------------------------ */
/* JPEG progressive decoding                                                */
/* ------------------------------------------------------------------------ */

/* Decodes a progressive stream prepared by RkDecodeJFIFHeader (data at
 * the SOI, dataLength to the EOI) into the record's pixel buffer; also a
 * sequential stream in several scans.  Walks the stream from data: DHT and
 * DRI met between scans apply to the scans after them.  Scan components are
 * found by their whole identifier among the frame's (componentIds); scans
 * of one component cover its T.81 block grid, each block one unit of the
 * restart interval.  Writes the MCU geometry into the record; overwrites
 * the module table's Huffman code tables (and lookup buffers) with the
 * scans' tables.  Results: 0; -1 (a scan ended in error or the stream holds
 * no scan: nothing written); -2 (table or record null, or the table's
 * arrays missing); -3 (no pixels or data, a format it cannot handle, a
 * pixel buffer beyond 2^32 - 1 bytes); -8 (a DC scan's data ended at
 * another segment's marker: nothing written); -108; -1000 (stopped during
 * reconstruction, after each MCU row; the final call's value is ignored).
 * A scan's data ends at the next marker other than RSTn; an AC scan that
 * ends early leaves the rest of its band as it is. */
RK_API int16_t RkDecompressImageByProgJPEG(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress);

/* Bytes of work shop a progressive decode of this image needs:
 * max(128 x blocks per MCU + 6 x MCU width x MCU height, 1058) + 6 x padded
 * width x padded height; 0 for a null record or a format it cannot
 * handle, 0xFFFFFFFF when the size does not fit 32 bits (such a picture is
 * then decoded without a work shop only). */
RK_API uint32_t RkGetProgJPEGDecodeWorkSpaceSize(ImageBlkAttrRec* image);

/* ------------------------------------------------------------------------ */
/* JPEG progressive encoding                                                */
/* ------------------------------------------------------------------------ */

/* Writes the record's pixels as a progressive JPEG file into data (capacity
 * in dataLength; on success dataLength = the stream's size, SOI to EOI, and
 * data points at the first byte after SOF2; on failure both are kept).
 * SOI, APP0 (never APP1), COM with the global comment, DQT, SOF2, then
 * seven scans (three for grey) of spectral selection, each after a DHT
 * optimised for it, and EOI.  Partial MCUs repeat the last column and row.
 * Uses the module table's quantisation tables and leaves the scans' tables
 * in its Huffman code tables.  restartInterval is not read.  Results: 0;
 * -1; -2 (table or record null, arrays missing); -3 (nothing written: zero
 * width or height, no pixels or data, what the baseline writer refuses, a
 * quantisation entry above 255, a comment too long for COM); -4 (a segment
 * or scan does not fit; nothing is stored past the capacity); -7 (an
 * optimised table would need a code longer than 32 bits); -108; -1000
 * (stopped during the transform pass, after each MCU row; no scan
 * written). */
RK_API int16_t RkExportImageByProgJFIF(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress);

/* Bytes of work shop a progressive encode of this image needs:
 * RkGetProgJPEGDecodeWorkSpaceSize + 6400; 0 for a null record. */
RK_API uint32_t RkGetProgJPEGEncodeWorkSpaceSize(ImageBlkAttrRec* image);

/* ------------------------------------------------------------------------ */
/* TIFF                                                                     */
/* ------------------------------------------------------------------------ */

/* Reads the header and directories of an uncompressed 8-bit TIFF held in
 * memory (*size bytes; *size is not changed) into the image record.
 *
 * In: format's low byte is the largest number of directories to read (0:
 * the whole chain; the program passes 1); the RK_TIFF_NEED_NO_* bits
 * exempt fields the file need not give. An exempted Compression that the
 * file leaves out counts as 1 (none), exempted SamplesPerPixel as the
 * record's samplesPerPixel (1 when that is 0).
 *
 * Out: width, height, samplesPerPixel; auxCount2/dataOffset the
 * StripOffsets count and value, auxCount1/codecFlags those of
 * StripByteCounts (with two or more strips the values are the offsets of
 * the tables; SHORT and LONG tables alike); segmentLength[0] and [1] the
 * byte width of one entry of those tables (2 or 4, for
 * RkDecodeImageByTIFF); data the start of the TIFF data; dataLength the
 * bytes from dataOffset to the end of the data (0 when the strip offset
 * lies past it); componentIds the format code (Compression, Photometric,
 * SamplesPerPixel, PlanarConfiguration a nibble each: 0x1231 RGB chunky,
 * 0x1232 RGB planar, 0x1631/0x1632 YCbCr, 0x1110/0x1111/0x1112 grey); for
 * YCbCr files format = 0x3000 | (h - 1) | (v - 1) << 2 from
 * YCbCrSubSampling, 0x3005 (TIFF's default 2 x 2) when the file does not
 * give it; xDpi/yDpi the resolutions as whole numbers (72 when absent or
 * not representable in 16 bits; ResolutionUnit is not applied).
 *
 * Returns the strip offset (> 0), or -1 (no "II"/"MM" mark or 42, a
 * required field missing, a Compression other than 1, or a layout outside
 * the accepted ones), -2, -3 (ImageWidth or ImageLength above 65535, more
 * than 65535 strips, a strip offset above 2^31 - 1), -4 (a directory,
 * strip table, rational or the next-directory offset lies past *size), or
 * -100: Compression 6 with JPEGInterchangeFormat(Length): the embedded
 * JPEG stream is data + dataOffset, dataLength bytes (cut to the data).
 * Directory chains that loop end at the directory met again. BitsPerSample
 * is not checked: 16-bit samples are read as bytes. */
RK_API int32_t RkDecodeTIFFHeader(ModuleTableRec* table, const uint8_t* data, const uint32_t* size, ImageBlkAttrRec* image);

/* Copies (grey, RGB) or converts (YCbCr, with the library's YCbCr
 * conversion) the strips described by RkDecodeTIFFHeader into the record's
 * pixel layout, completed by the caller (pixels, rowStride, the channel
 * offsets, pixelStride, bottomUp). Chunky YCbCr is read in data units,
 * planar files plane by plane through their strip tables. The data is
 * taken to end at data + dataOffset + dataLength. The callback runs after
 * each picture row (done = the row, total = height) and once more with
 * done = total. 0 (or the last callback value), -1 (a strip, strip table
 * or sample lies past the data: rows finished so far stay), -2, -3 (pixels
 * or data null), -5 (a format code it cannot copy), -108, -1000. */
RK_API int16_t RkDecodeImageByTIFF(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress);

/* Writes the record's pixels as a big-endian RGB TIFF (one strip, 13
 * directory entries, 14 with the global comment in tag 34377) into data
 * (capacity in dataLength, replaced by the bytes written on success);
 * xDpi/yDpi 0 are written as 72. The comment is the module table's text up
 * to its stored length or a zero byte, whichever comes first. A callback
 * is called after every pixel (done = the row) and once with done =
 * total. 0 (or the last callback value), -2, -3 (width or height 0, pixels
 * or data null, or a file of 2^31 bytes or more), -4 (capacity below the
 * file size; nothing is written), -1000. */
RK_API int16_t RkExportImageByTIFF(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress);

/* Exact byte size of the file RkExportImageByTIFF writes for this image
 * with the current global comment: 3 * w * h + 12 * n + 36 + L. -2 when a
 * pointer is null, -3 for what the writer refuses with -3. */
RK_API int32_t RkGetExportTIFFImageSize(ModuleTableRec* table, ImageBlkAttrRec* image);

/* ------------------------------------------------------------------------ */
/* Exif reading                                                             */
/* ------------------------------------------------------------------------ */

/* Recognises an Exif JPEG by its first bytes (count = bytes available):
 * FF D8 FF E1, then "Exif" at bytes 6..9. Returns 12, the offset of the
 * embedded TIFF header, -1 (fewer than 12 bytes, or not such a file) or -2
 * (file null). app1Length (may be null, untouched on failure) receives the
 * APP1 segment length (bytes 4-5, most significant first), usable as the
 * limit for RkDecodeExifHeader; a caller holding fewer bytes passes the
 * smaller of that length and the bytes it holds after the TIFF header. */
RK_API int16_t RkCheckExifFile(const uint8_t* file, int32_t count, int32_t* app1Length);

/* Reads the TIFF structure at tiffHeader ("II" or "MM") into info, whose
 * version the caller set first (RkInitExifTagVers); every other field is
 * initialised here (then exifVersion, flashpixVersion, exposureProgram and
 * compressedBitsPerPixel are 0 until a tag sets them; colorSpace 1). IFD0
 * and the IFDs chained after it (IFD1) give the texts, DateTime, the
 * resolution (the later IFD wins) and the Exif IFD offset; the Exif IFD
 * gives the shooting values (APEX values converted back: shutterSpeed in
 * seconds, apertures as F numbers, brightness and exposureBias as powers of
 * 2). Texts point into the caller's buffer with lengths without the zero
 * byte (at most the tag's count); dates point at zero-terminated texts.
 * image (may be null) gets xDpi and yDpi 72 at once, then on success width,
 * height (PixelX/YDimension, else ImageWidth/Length) and the resolution.
 * Every byte read lies below *limit (counted from tiffHeader): entries,
 * counts, next-IFD offsets, values, texts up to their zero byte, the maker
 * note's extent; a chain that returns to an IFD already read ends there.
 * A zero denominator leaves the field as it was. Returns the Exif version
 * (e.g. 210 for "0210"), 0 (no Exif IFD, or no ExifVersion of four digits),
 * -1 (not "II"/"MM" and 42), -2 (a pointer null; nothing touched) or -4
 * (something lies beyond *limit; image not updated past the 72 dpi). A
 * record of version 1 or less is not touched past makerNoteLength. */
RK_API int16_t RkDecodeExifHeader(const uint8_t* tiffHeader, const int32_t* limit, ImageBlkAttrRec* image, ExifTagInfoRec* info);

/* Sets info->version to 2 (the full record layout). */
RK_API void RkInitExifTagVers(ExifTagInfoRec* info);

/* Stores the defaults in every field after version: texts, dates,
 * thumbnail and maker note none, exifVersion 210, flashpixVersion 100,
 * colorSpace 1, exposureProgram 2, compressedBitsPerPixel 2.0, all else 0;
 * the fields after makerNoteLength only for version > 1. Ignores null. */
RK_API void RkInitExifTagInfo(ExifTagInfoRec* info);

/* ------------------------------------------------------------------------ */
/* Exif writing                                                             */
/* ------------------------------------------------------------------------ */

/* Output capacity for the Exif writers. An Exif file is the JFIF file of the
 * same picture and quantisation (RkExportImageByJFIF without a global
 * comment) with its 18-byte APP0 segment replaced by the APP1 segment, and
 * that segment (marker, 16-bit length, "Exif" 00 00, block) is at most
 * 2 + 65535 bytes whatever the texts, maker note and thumbnail. So a buffer
 * of (the capacity the picture's JFIF export is given) + RK_EXIF_EXPORT_EXTRA
 * bytes always holds the Exif export, also for pictures so small that the
 * headers outweigh the pixels (a 64 x 64 picture). */
#define RK_EXIF_EXPORT_EXTRA 65537u

/* Writes the record's pixels as a baseline JPEG with an Exif APP1 block
 * built from info (null: a bare JPEG without any APP or COM segment) into
 * data (capacity in dataLength, replaced by the bytes written; data then
 * points at the first entropy-coded byte, as for RkExportImageByJFIF).
 * Installs the standard Huffman tables first (those its DHT segment holds);
 * the quantisation tables are used as they stand. The block: "II" TIFF
 * header, IFD0 (texts with their zero byte kept or added, DateTime,
 * resolution 72 where xDpi/yDpi are 0), the Exif IFD, the interoperability
 * IFD when the written version is 210 or more, and IFD1 with info's
 * thumbnail when one is set and the whole block stays within 65527 bytes.
 * Values of 4 bytes or fewer stand in their entries; padding bytes are 0.
 * exifVersion is lowered to 200 in info when above 200 while Make, Model,
 * DateTimeOriginal or DateTimeDigitized is missing. A work shop, when
 * installed, must hold 65527 bytes and the encoder's work area. The image
 * record's methodParam and the table's global comment are borrowed for the
 * call and given back. 0, -2 (table, its arrays or image null), -3 (nothing
 * written: a value its tag cannot hold - NaN, a negative value in an
 * unsigned RATIONAL such as an aperture below F1, a number beyond 32 bits -
 * texts and maker note too long for one block, or what the JFIF writer
 * refuses), -4 (output too small: the APP1 segment alone needs its length +
 * 12 bytes), -108, -1000, or another encoder result. */
RK_API int16_t RkExportImageByExif(ModuleTableRec* table, ImageBlkAttrRec* image, ExifTagInfoRec* info, UserCallBackRec* progress);

/* Makes a 160x120 thumbnail (the picture fitted into a black canvas keeping
 * its shape: block-averaged when both width / 160 and height / 120 are 2 or
 * more, else resampled bilinearly; coded 4:2:2 at quantisation scale 0.75),
 * then writes like RkExportImageByExif with the tables scaled by *lumScale
 * and *chromScale (either may be null: default tables). The image record
 * describes the pixels in either row order, as for the JFIF writer (the
 * thumbnail of planar YCbCr input stays black). Sets info->thumbnailLength; info->thumbnail is null on return (its
 * stream is freed). The quantisation scale is left at the caller's values,
 * or at 0.75 when the thumbnail could not be made. Results as
 * RkExportImageByExif; -2 also for a null info; -108 when the thumbnail
 * buffers cannot be allocated. Capacity: see RK_EXIF_EXPORT_EXTRA. */
RK_API int16_t RkExportCustomExifFile(ModuleTableRec* table, const double* lumScale, const double* chromScale, ExifTagInfoRec* info, ImageBlkAttrRec* image, UserCallBackRec* progress);

/* RkExportCustomExifFile with a built-in record: Make "QUILLBANK", Model
 * "Windows", Software "Pictor", no Copyright, and DateTime,
 * DateTimeOriginal and DateTimeDigitized the local time of the call (the TZ
 * of the process), to the second. */
RK_API int16_t RkExportDefaultExifFile(ModuleTableRec* table, const double* lumScale, const double* chromScale, ImageBlkAttrRec* image, UserCallBackRec* progress);

/* ------------------------------------------------------------------------ */
/* Pixel methods, masking, shadowing                                        */
/* ------------------------------------------------------------------------ */

/* Calls method once per pixel of first, with the matching pixel of second
 * as reference; rows are image rows (bottomUp honoured in both). Progress
 * after each row (done = row, total = height - 1, work = first's row).
 * Returns the last value of the method or callback (0 when none was made),
 * -2, -3 (first has no pixels, or second is missing or smaller than first:
 * nothing is called), -1000. */
RK_API int16_t RkProcessMethodImage(ModuleTableRec* table, ImageBlkAttrRec* first, ImageBlkAttrRec* second, RkPixelMethod method, UserCallBackRec* progress);

/* Composites mask onto first with the operation, weights and key colour
 * carried in mask's codecFlags, componentIds and segmentLength; both are
 * walked in stored row order. Rewrites mask's width/height/auxCount1/
 * auxCount2 (and, with the exchange bit, its pixels with the weighted first
 * values clamped to 0..255). Operations work on 16-bit signed values and
 * the stored result is clamped to 0..255. Progress after each row (work =
 * mask's row).  Last callback value, -2, -3 (first has no pixels, or mask
 * is missing or smaller than first: nothing written), -1000. */
RK_API int16_t RkMaskingImage(ModuleTableRec* table, ImageBlkAttrRec* first, ImageBlkAttrRec* mask, UserCallBackRec* progress);

/* Draws a soft drop shadow of source's foreground into dest; radius in
 * pixels, shadow displaced by (dx, dy); mode 0 counts coverage, other modes
 * darkness.  Key colour/inverse come from source's componentIds. Stored row
 * order; a negative radius covers nothing (the picture is copied).  Last
 * callback value, -2, -3 (dest has no pixels, or source is missing or
 * smaller than dest), -1000. */
RK_API int16_t RkShadowingImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, int16_t radius, int16_t dx, int16_t dy, uint16_t mode, UserCallBackRec* progress);

/* ------------------------------------------------------------------------ */
/* Noise filters                                                            */
/* ------------------------------------------------------------------------ */

/* In-place per-component median or mean over the cross or 3x3 neighbours,
 * on RGB or (flag 0x1000) YCbCr; flags select components and methods.
 * Results of a row are written back after the next row is computed and
 * before the progress call for that next row (done = row, total = height -
 * 1, work = the work space); the last row after the walk.
 * 0, -2, -3, -108, -1000. */
RK_API int16_t RkRemoveNoiseFilter(ModuleTableRec* table, ImageBlkAttrRec* image, uint32_t flags, UserCallBackRec* progress);

/* Work-shop bytes for RkRemoveNoiseFilter/RkEdgeEnhanceFilter on this
 * image; 0xFFFFFFFF for a null record. */
RK_API uint32_t RkGetRemoveNoiseFilterWorkSpaceSize(ImageBlkAttrRec* image);

/* In-place centre-weighted 3x3 smoothing, plus a luminance sharpening pass
 * when flags bit 0 is set. Progress: after each row, done = row (second
 * pass: height + row), and once more after each pass's last write-back
 * (done = height, then 2 x height); total = height - 1, or 2 x (height - 1)
 * in both passes with the sharpening.  0, -2, -3, -108, -1000. */
RK_API int16_t RkBlockNoiseReductionFilter(ModuleTableRec* table, ImageBlkAttrRec* image, uint32_t flags, UserCallBackRec* progress);

/* Work-shop bytes for RkBlockNoiseReductionFilter on this image: two rows
 * of 2 x |rowStride| bytes (or of the bytes a row's pixels span, when a
 * record's stride is smaller); 0xFFFFFFFF for a null record. */
RK_API uint32_t RkGetBlockNoiseReductionFilterWorkSpaceSize(ImageBlkAttrRec* image);

/* Selects a median from rec's values: mode 0 partial selection sort,
 * otherwise the median of the three values nearest values[0].  Writes only
 * rec->work. A null record or values, a count below 1 or an index not below
 * count (and, in mode 0, a null work) read nothing and return 0. */
RK_API int16_t RkGetMedianValue(const MedianValueRec* rec, uint32_t mode);

/* ------------------------------------------------------------------------ */
/* Enhancement filters                                                      */
/* ------------------------------------------------------------------------ */

/* In-place unsharp masking with per-component gains and neighbour masks.
 * The 16-bit result C + ((n C - S) gain) / 128 saturates instead of
 * wrapping (gains above about 2000).  0, -2 (table, image, params, gains or
 * masks null), -3 (no pixels, or an entry count other than 1..3), -108,
 * -1000. */
RK_API int16_t RkEdgeEnhanceFilter(ModuleTableRec* table, ImageBlkAttrRec* image, const EdgeEnhanceParamRec* params, UserCallBackRec* progress);

/* In-place saturation change; |level| 127 leaves the image as is, smaller
 * desaturates, larger saturates. Levels beyond +-2141, whose coefficients
 * would not fit 16 bits, give -3; the sums are formed in 64 bits.  0, -2,
 * -3, -1000. */
RK_API int16_t RkChromaEnhanceFilter(ModuleTableRec* table, ImageBlkAttrRec* image, int16_t level, UserCallBackRec* progress);

/* ------------------------------------------------------------------------ */
/* Blur and distortion                                                      */
/* ------------------------------------------------------------------------ */

/* In-place radial warp, strongest in the corners; the sign of level picks
 * the direction (towards or away from the centre), 0 does nothing.  A pixel
 * whose sampling position (or its interpolation neighbour) falls outside
 * the picture, for either sign, gets the colour in the image's
 * segmentLength fields; halves without a normaliser (pictures 1 or 2 pixels
 * across) do not move. Progress after each row of each quadrant: done = q x
 * cy + k for the k-th row walked in quadrant q, total = 4 x cy, work null.
 * 0, -2, -3, -1000. */
RK_API int16_t RkDistortionFilter(ModuleTableRec* table, ImageBlkAttrRec* image, int16_t level, UserCallBackRec* progress);

/* dest = mean of source over a diamond of the given radius; a non-zero low
 * byte of flags blurs only the selected Y/Cb/Cr parts (the others come from
 * dest's current pixel).  Stored row order.  Last callback value, -2, -3
 * (no pixels / negative radius / source missing or smaller than dest),
 * -1000. */
RK_API int16_t RkBluringImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, int16_t radius, uint32_t flags, UserCallBackRec* progress);

/* As RkBluringImage with weights falling off linearly with distance. */
RK_API int16_t RkBluringVPImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, int16_t radius, uint32_t flags, UserCallBackRec* progress);

/* Lens-defocus imitation: scatters every source pixel over a disc of the
 * given radius into dest (each adds value / N, N the disc's cells).  Only
 * the part of the disc that can reach the destination is held in memory.
 * Last callback value, -2, -3, -108, -1000. */
RK_API int16_t RkBluringOutFocusImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, int16_t radius, UserCallBackRec* progress);

/* ------------------------------------------------------------------------ */
/* White balance                                                            */
/* ------------------------------------------------------------------------ */

/* Measures the mean Cb and Cr of the near-white pixels (0.0 when none);
 * the image is not changed.  unused is ignored.  0, -2, -3. */
RK_API int16_t RkGetWhiteBalanceParam(ModuleTableRec* table, ImageBlkAttrRec* image, double* meanCb, double* meanCr, uint32_t unused);

/* Removes the given Cb/Cr cast (doubles passed by value), then stretches
 * the levels between the found black and white points.  0, -2 (null
 * pointer or either cast exactly 0.0), -3 (no pixels, or a cast of
 * magnitude 127 or more, or not a number), -1000. */
RK_API int16_t RkAdjustWhiteBalance(ModuleTableRec* table, ImageBlkAttrRec* image, double castCb, double castCr, UserCallBackRec* progress);

/* Measures grey 8x8 blocks and scales Cb/Cr to remove the cast; the gains
 * used go to gainCb/gainCr when not null (1.0 when nothing was changed).
 * 0, -2, -3, -1000. */
RK_API int16_t RkAutomaticWhiteBalance(ModuleTableRec* table, ImageBlkAttrRec* image, double* gainCb, double* gainCr, UserCallBackRec* progress);

/* ------------------------------------------------------------------------ */
/* Resizing and sampling                                                    */
/* ------------------------------------------------------------------------ */

/* Shrinks source into dest by block averaging. The ratios rx = source /
 * dest width and ry (heights) are kept as 32-bit floats; each destination
 * pixel (x, y) is the truncated mean of the source block of (int)rx x
 * (int)ry pixels at (int)(x * rx), (int)(y * ry) (products in single
 * precision), clipped to the source. Both buffers are walked in stored row
 * order (bottomUp is not consulted). A destination of height 0 returns 0;
 * a width of 0, a ratio below 2, or a missing source or destination pixel
 * buffer gives -3. Progress after each destination row (done = stored row,
 * total = height - 1, work = that row). Last callback value, -2, -3,
 * -1000. */
RK_API int16_t RkShrinkingResizeImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, UserCallBackRec* progress);

/* Resamples source into dest: method 256 quadratic, 65535 nearest pixel,
 * anything else bilinear. Source positions step by (source size x 256) /
 * dest size in 8.8 fixed point; when shrinking by k >= 2 each destination
 * pixel is the mean of k x k samples one source pixel apart (samples
 * beyond the source count as -1, the mean is clamped to 0..255). Both
 * buffers honour bottomUp. A destination of width or height 0, a missing
 * destination pixel buffer (or a missing source one with a non-empty
 * source), or method 65535 with an empty source give -3. Progress after
 * each destination row (done = image row). Last callback value, -2, -3,
 * -1000. */
RK_API int16_t RkSamplingResizeImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, uint16_t method, UserCallBackRec* progress);

/* As RkSamplingResizeImage, interpolating through the caller's 65536-byte
 * sampling table (method 65535 still means nearest pixel).  -2 also for a
 * null table. A caller's table whose pairwise sums exceed 255 is read at
 * entry 255 of the row instead (never past the 65536 bytes). */
RK_API int16_t RkSamplingResizeLUTImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, uint16_t method, const uint8_t* lut, UserCallBackRec* progress);

/* Fills a caller-owned 65536-byte table: entry [a * 256 + b] = a * b / 256. */
RK_API void RkCreateSamplingLUT(uint8_t* lut);

/* Fills a caller-owned 65536-byte table: entry [a * 256 + b] =
 * a * sin^2(b * 1.57079632675 / 256), truncated. */
RK_API void RkCreateSamplingSinLUT(uint8_t* lut);

/* ------------------------------------------------------------------------ */
/* Rotation and tilt (angles in minutes of arc, 5400 = 90 degrees)          */
/* ------------------------------------------------------------------------ */

/* Rotates source into dest about (width / 2, height / 2) of the source in
 * pixel-index coordinates (dest auxCount1/2 = offset, signed); flags 0x0001
 * tile, 0x0100 keep uncovered pixels, 0x0200 nearest pixel. A source
 * position within 1e-9 pixel of a whole 1/256 step is taken as that step
 * (so 0 and 90 degrees copy and permute exactly).  Last callback value, -2,
 * -3 (dest has no pixels, or a non-empty source has none), -1000. */
RK_API int16_t RkFreeRotateImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, int16_t angle, uint32_t flags, UserCallBackRec* progress);

/* Rotates and composites onto dest like RkMaskingImage (operation from the
 * source record, nothing written back to it); flags 0x0001 tile, 0x0200
 * nearest (plain sampled values). Pixels mapping outside stay. */
RK_API int16_t RkFreeRotateMaskImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, int16_t angle, uint32_t flags, UserCallBackRec* progress);

/* Rotates, handing every destination pixel and its sampled source colour
 * to method, which writes dest itself.  -2 also for a null method. */
RK_API int16_t RkFreeRotateMethodImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, int16_t angle, RkPixelMethod method, UserCallBackRec* progress);

/* Rotation variant that requires a sampling table (but interpolates
 * bilinearly) and treats source as dest-sized (rewrites source
 * width/height/auxCount1/2; offset 0; uncovered pixels take the
 * background).  -2 also for a null table; -3 for a source smaller than
 * dest, before anything is written. */
RK_API int16_t RkFreeRotateLUTImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, int16_t angle, uint32_t flags, const uint8_t* lut, UserCallBackRec* progress);

/* Horizontal keystone tilt, angle -2700..2700; flags 0x0100 keep, 0x0200
 * nearest.  -3 for an angle out of range. Positions that come out infinite
 * or beyond 32 bits are outside (background). */
RK_API int16_t RkTiltHorzImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, int16_t angle, uint32_t flags, UserCallBackRec* progress);

/* Vertical keystone tilt, as RkTiltHorzImage with rows and columns swapped. */
RK_API int16_t RkTiltVertImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, int16_t angle, uint32_t flags, UserCallBackRec* progress);

/* ------------------------------------------------------------------------ */
/* Camera image-processing unit, KSLV thumbnails                            */
/*                                                                          */
/* Packed bitmaps: the 40-byte bitmap information header (24 bits,          */
/* bottom-up, uncompressed, biSizeImage = row stride x height), then the    */
/* rows, blue-green-red, each padded to a multiple of 4 bytes.  Exports     */
/* that return a bitmap or data block return a zero-filled heap block that  */
/* the caller owns and releases with free().                                */
/* ------------------------------------------------------------------------ */

/* Builds the 8-to-10-bit input curve in the module table (replacing an
 * earlier one): piecewise linear through (0, 0), (128, 512), (255, 1023).
 * Nothing for a null table.  Freed by RkFreeModuleTable. */
RK_API void RkInitInputGamma(ModuleTableRec* table);

/* Builds the 10-to-8-bit output curve 255 x (i / 1023)^gamma (a double
 * passed by value), replacing an earlier one; an exponent of 0 or below
 * gives entries held within 0 .. 255 (all 255).  Freed by RkFreeModuleTable. */
RK_API void RkInitOutGamma(ModuleTableRec* table, double gamma);

/* Standard module-table set-up plus both gamma curves (gamma 0.83);
 * nothing for a null table. */
RK_API void RkInitKSLVImageProcessUnit(ModuleTableRec* table);

/* Releases what the unit set-up allocated; same operation as
 * RkFreeModuleTable. */
RK_API void RkExitKSLVImageProcessUnit(ModuleTableRec* table);

/* Decodes the 3600-byte KSLV thumbnail (30 rows of 60 pixels packed as Y0,
 * Y1, Cb + 127, Cr + 127) into the record's pixel buffer at 40x30 or 60x45,
 * reading no more than length bytes.  0, -2 (table, thumb or record null),
 * -3 (other size, or pixels null), -6 (gamma curves missing), -20 (length
 * below 3600), -108. */
RK_API int16_t RkDecompressCameraThumbnail(ModuleTableRec* table, const uint8_t* thumb, uint32_t length, ImageBlkAttrRec* image);

/* Work-shop bytes a KSLV thumbnail decode needs: 720. */
RK_API uint32_t RkGetThumbnailDecodeWorkSpaceSize(void);

/* Returns a new packed 40x30 bitmap (heap block, caller frees with free())
 * decoded from a KSLV thumbnail, of which it reads 3600 bytes; null on any
 * failure.  table must be set up as the unit (RkInitKSLVImageProcessUnit). */
RK_API void* RkCreateDIBKSLVCameraThumbnail(ModuleTableRec* table, const uint8_t* thumb);

/* Self-contained KSLV thumbnail decode (own unit table, gamma 0.83; reads
 * 3600 bytes): a heap block with the packed 40x30 bitmap (caller frees with
 * free()), or null. */
RK_API void* RkGetImgDIBKSLVCameraThumbnail(const uint8_t* thumb);

/* Byte size of the packed 40x30 KSLV thumbnail bitmap: 3640. */
RK_API uint32_t RkGetDIBKSLVCameraThumbnailSize(void);

/* Writes the packed 40x30 bitmap (header and pixels) into the caller's
 * block of RkGetDIBKSLVCameraThumbnailSize() bytes, reading 3600 bytes of
 * thumbnail.  Decoder result, or -2 for a null table, thumbnail or block
 * (nothing written). */
RK_API int16_t RkConvertDIBKSLVCameraThumbnail(ModuleTableRec* table, const uint8_t* thumb, uint8_t* block);

/* ------------------------------------------------------------------------ */
/* KSLV camera images                                                       */
/* ------------------------------------------------------------------------ */

/* Decodes KSLV image data (a baseline 4:2:2 or 4:2:0 stream, format 0x3001
 * or 0x3005, of 480x240; the white reference in the first comment segment
 * within the first length bytes) into the record's pixel buffer at 320x240
 * or 480x360.  Reads at most length bytes.  The record's width and height
 * are kept; format, data, dataLength and the MCU fields are the stream's.
 * Results: 0 or, with a callback, its value after the last strip; -1
 * (stream header unusable, or corrupt data: the failed strip and those
 * after it are not written, whatever the callback answers); -2 (table,
 * data or record null, or the table's arrays missing); -3 (other output
 * size, pixels null, another stream format); -6 (gamma curves missing);
 * -20 (no usable white reference: no comment, a zero reference byte, its
 * bytes past length, or gains that cannot be formed); -108; -1000.
 * Progress after each strip: (first row, 240 - MCU height). */
RK_API int16_t RkDecompressCameraImage(ModuleTableRec* table, const uint8_t* data, uint32_t length, ImageBlkAttrRec* image, UserCallBackRec* progress);

/* Work-shop bytes a KSLV image decode needs: 25600. */
RK_API uint32_t RkGetCamImgDecodeWorkSpaceSize(void);

/* Returns a new packed bitmap (heap block, caller frees with free()) of
 * width x height (320x240 or 480x360) decoded from KSLV data with a length
 * of 32000: the caller supplies 32000 readable bytes (the stream, padded).
 * Null when the table or data is null, the size is another, or decoding
 * fails. */
RK_API void* RkCreateDIBKSLVCameraImage(ModuleTableRec* table, const uint8_t* data, uint32_t width, uint32_t height, UserCallBackRec* progress);

/* Self-contained variant (own unit table, gamma 0.83; reads 32000 bytes):
 * a heap block with the packed bitmap (caller frees with free()), or null. */
RK_API void* RkGetImgDIBKSLVCameraImage(const uint8_t* data, uint32_t width, uint32_t height, UserCallBackRec* progress);

/* Byte size of a packed bitmap of width x height, header included:
 * 40 + ((width + 1) x 3 / 4) x 4 x height; 0 when that exceeds 2^32 - 1. */
RK_API uint32_t RkGetDIBKSLVCameraImageSize(uint32_t width, uint32_t height);

/* Writes the packed bitmap into the caller's block of
 * RkGetDIBKSLVCameraImageSize(width, height) bytes, decoding with a length
 * of 32000 (32000 readable bytes at data).  Decoder result, -2 (table,
 * its arrays, data or block null: nothing written) or -20 (a size other
 * than 320x240 and 480x360). */
RK_API int16_t RkConvertDIBKSLVCameraImage(ModuleTableRec* table, const uint8_t* data, uint8_t* block, uint32_t width, uint32_t height, UserCallBackRec* progress);

/* ------------------------------------------------------------------------ */
/* KSTM camera data (result pointers may be null and receive the code)      */
/*                                                                          */
/* Image data: "KM", six bytes, 64 luminance and 64 chrominance             */
/* quantisation values in zigzag order, then the 640x480 4:2:2 entropy-     */
/* coded stream (default Huffman tables, no markers) ending with FF D9.     */
/* Thumbnail data: a 4:2:0 stream of 40x30 MCUs ending with FF D9, of       */
/* which only the DC terms are used.  Nothing at or past length is read.    */
/* Decoders report 0 (or the callback's last value), -1 (corrupt data; the  */
/* MCU where it shows is not written), -1000.                               */
/* ------------------------------------------------------------------------ */

/* Returns a new packed 80x60 bitmap (heap block, caller frees with free())
 * decoded from a KSTM thumbnail stream, or null.  Code: 0, -1, -2 (table
 * or data null, or the table's arrays missing), -3 (no FF D9 within
 * length), -108. */
RK_API void* RkCreateDIBKSTMCameraThumbnail(ModuleTableRec* table, const uint8_t* data, int32_t length, int16_t* result);

/* Self-contained variant (own module table): heap block (caller frees
 * with free()) or null. */
RK_API void* RkGetImgDIBKSTMCameraThumbnail(const uint8_t* data, int32_t length, int16_t* result);

/* Byte size of the packed 80x60 KSTM thumbnail bitmap: 14440. */
RK_API uint32_t RkGetDIBKSTMCameraThumbnailSize(void);

/* Writes the packed 80x60 bitmap into the caller's block of
 * RkGetDIBKSTMCameraThumbnailSize() bytes.  Decoder code, -2, -3. */
RK_API int16_t RkConvertDIBKSTMCameraThumbnail(ModuleTableRec* table, const uint8_t* data, int32_t length, uint8_t* block);

/* Returns a new packed 640x480 bitmap (heap block, caller frees with free())
 * decoded from KSTM image data, or null.  Installs the data's quantisation
 * tables into the module table.  Code: 0 / the last callback value, -1,
 * -2 (table or data null, length below 1, the table's arrays missing), -3
 * (no "KM", or no FF D9 with the D9 at index 137 or later within length),
 * -108, -1000.  Progress after each 8-row strip (first row, 479), then
 * (479, 479).  Working memory: 1280 bytes (three 16x8 planes and four
 * coefficient blocks of 16-bit values), taken from an installed work shop,
 * which must then hold at least that much; there is no separate size
 * query for it (RkGetCamImgDecodeWorkSpaceSize is larger). */
RK_API void* RkCreateDIBKSTMCameraImage(ModuleTableRec* table, const uint8_t* data, int32_t length, int16_t* result, UserCallBackRec* progress);

/* Self-contained variant (own module table): heap block (caller frees
 * with free()) or null. */
RK_API void* RkGetImgDIBKSTMCameraImage(const uint8_t* data, int32_t length, int16_t* result, UserCallBackRec* progress);

/* Byte size of the packed 640x480 KSTM image bitmap: 921640. */
RK_API uint32_t RkGetDIBKSTMCameraImageSize(void);

/* Writes the packed 640x480 bitmap into the caller's block of
 * RkGetDIBKSTMCameraImageSize() bytes.  Decoder code, -2, -3. */
RK_API int16_t RkConvertDIBKSTMCameraImage(ModuleTableRec* table, const uint8_t* data, int32_t length, uint8_t* block, UserCallBackRec* progress);

/* ------------------------------------------------------------------------ */
/* Camera data export                                                       */
/* ------------------------------------------------------------------------ */

/* Encodes the pixels of a 640x480 24-bit bottom-up bitmap (row stride 1920)
 * into compound KSTM raw data aiming at *size bytes: a 32-byte header, the
 * thumbnail stream and KSTM image data, quantised at a scale chosen from
 * the picture's detail and the target (and doubled once when the image
 * data ends at or past 65536, or 131072 for targets above 65536).  Works in
 * a buffer of 2 x *size bytes, never writing past it.  Returns a heap block
 * of exactly the data (caller frees with free()) and its length in *size,
 * or null (*size unchanged).  Code: 0 or the final callback value, -2
 * (pixels or size null), -4 (the thumbnail, or the image at its second
 * scale, does not fit 2 x *size bytes), -108, -1000.  Progress per MCU row:
 * thumbnail (row, 958), image (479 + row, 958), then (958, 958). */
RK_API void* RkGetCompImgKSTMRawData(const uint8_t* pixels, uint32_t* size, int16_t* result, UserCallBackRec* progress);

/* Wraps 640x480 camera entropy data (ending with FF D9) and its two 64-byte
 * zigzag quantisation tables (quant, 128 bytes) in a complete JFIF file
 * written to out, with an optional comment (null or length 0: none).
 * Returns the bytes written, 607 + dataLength (+ commentLength + 4 with a
 * comment); out must hold that many (not checked).  Returns 0 and writes
 * nothing for a null quant, data or out, a comment longer than 65533 bytes
 * or a total beyond 2^32 - 1. */
RK_API uint32_t RkExportVCameraDataToJPEG(const uint8_t* quant, const uint8_t* comment, uint32_t commentLength, const uint8_t* data, uint32_t dataLength, uint8_t* out);

/* Decodes a baseline or progressive JPEG stream into a new packed bitmap of
 * its size: heap block (caller frees with free()) or null.  Code: 0 /
 * decoder result, -2 (stream null or length < 1), -3 (the header decoder
 * finds no usable stream, or the bitmap would exceed 2^32 - 1 bytes), -108. */
RK_API void* RkGetImgDIBJFIFImage(const uint8_t* stream, int32_t length, int16_t* result, UserCallBackRec* progress);

/* Writes a Wren camera bitmap as an Exif JPEG (4:2:0) with fixed shooting
 * data (blank make, model and software, the local time, ISO 100, 7 mm,
 * f/5.6, a 20-byte maker note) and a 160x120 thumbnail.  Mode bits 0-2
 * choose the picture: 0 1360x1024 at scale 0.3, 1 1360x1024 at 0.8, 2
 * 640x480 at 0.3, 3-7 1360x1024 at 0.5; bit 3 sets the maker note's flag
 * byte.  pixels: the bottom-up 24-bit rows of that size (row stride
 * ((width + 1) x 3 / 4) x 4), of which that many bytes are read.  *size is
 * a size hint on entry (the work buffer holds the larger of 2 x hint and a
 * quarter of the bitmap plus 65535 bytes, never more than 32 MB) and the
 * file length on return.  Returns a heap block of exactly the file (caller
 * frees with free()) or null; code 0, -2 (pixels or size null), -4 (the
 * file does not fit the work buffer), -108, -1000 or the Exif writer's
 * code. */
RK_API void* RkGetWrenExifImgRawData(const uint8_t* pixels, uint32_t* size, uint32_t mode, int16_t* result, UserCallBackRec* progress);

#ifdef __cplusplus
}
#endif

#endif /* RASTKIT_H */

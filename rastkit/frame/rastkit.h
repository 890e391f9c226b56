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
 * dataLength to the bytes written. Planar input (pixelFormat 3) is taken
 * as Y 0..255 and Cb, Cr -127..128; values beyond are clamped. With the
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
 * data.  0, -2 (table or record null), -3 (file null / not CAM / no CAM
 * picture). */
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
 * tables (for streams without DHT).  Returns the offset of the SOI (>= 0),
 * -1 (no usable stream: no SOI/EOI, SOS, DQT, DHT or SOF0/SOF2 frame; or a
 * refused one: a frame of other than 1 or 3 components, other than 8-bit
 * samples, sampling factors outside 1..4 or whose spans do not divide the
 * MCU, a Huffman table with more codes than it holds, a DC symbol above 15,
 * or counts that form no prefix code) or -2 (data, size or record null). */
RK_API int32_t RkDecodeJFIFHeader(ModuleTableRec* table, const uint8_t* data, const uint32_t* size, ImageBlkAttrRec* image);

/* One-call decode of a baseline or progressive JPEG into a top-down 32-bit
 * buffer (per pixel: one untouched byte, then R, G, B).  rowStride is the
 * byte distance between rows.  Returns the decoder's result, -2 (table,
 * data, size or pixels null) or -3 (header unusable, or a progressive
 * stream while no progressive decoder is linked in). */
RK_API int16_t RkDecodeJFIF(ModuleTableRec* table, const uint8_t* data, const uint32_t* size, uint8_t* pixels, int32_t rowStride, UserCallBackRec* progress);

/* ------------------------------------------------------------------------ */
/* JPEG baseline decoding                                                   */
/* ------------------------------------------------------------------------ */

/* Decodes a baseline stream prepared by RkDecodeJFIFHeader into the
 * record's pixel buffer; writes the MCU geometry into the record.  Reads at
 * most dataLength bytes at data.  An interval cut short by an early restart
 * marker is left unwritten and decoding resumes after the marker.  0 (or
 * the last callback value), -1 (corrupt data: end of data, a code that
 * matches nothing, a run past coefficient 63), -2, -3 (no pixels or data,
 * a format the decoder cannot handle, or a pixel buffer reaching beyond
 * 2^32 - 1 bytes), -108, -1000. */
RK_API int16_t RkDecompressImageByJPEG(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress);

/* ------------------------------------------------------------------------ */
/* JPEG progressive decoding                                                */
/* ------------------------------------------------------------------------ */

/* Decodes a progressive stream prepared by RkDecodeJFIFHeader into the
 * record's pixel buffer.  0, -1 (a scan ended in error, nothing written),
 * -2, -108, -1000 (stopped during reconstruction). */
RK_API int16_t RkDecompressImageByProgJPEG(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress);

/* Bytes of work shop a progressive decode of this image needs; 0 for a
 * null record. */
RK_API uint32_t RkGetProgJPEGDecodeWorkSpaceSize(ImageBlkAttrRec* image);

/* ------------------------------------------------------------------------ */
/* JPEG progressive encoding                                                */
/* ------------------------------------------------------------------------ */

/* Writes the record's pixels as a progressive JPEG file into data (capacity
 * in dataLength, replaced by the bytes written on success).  Uses the
 * module table's quantisation tables and overwrites its Huffman tables.
 * 0, -1, -2, -4 (output too small), -7 (no usable optimised Huffman table),
 * -108, -1000. */
RK_API int16_t RkExportImageByProgJFIF(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress);

/* Bytes of work shop a progressive encode of this image needs; 0 for a
 * null record. */
RK_API uint32_t RkGetProgJPEGEncodeWorkSpaceSize(ImageBlkAttrRec* image);

/* ------------------------------------------------------------------------ */
/* TIFF                                                                     */
/* ------------------------------------------------------------------------ */

/* Reads the header and directories of an uncompressed TIFF held in memory
 * (*size bytes, not changed) into the image record; the low byte and
 * exemption bits of format steer the walk.  Returns the strip offset (> 0),
 * -1 (not a supported TIFF), -2, -4 (a directory runs past *size) or -100
 * (old-style embedded JPEG; its place is left in dataOffset/dataLength). */
RK_API int32_t RkDecodeTIFFHeader(ModuleTableRec* table, const uint8_t* data, const uint32_t* size, ImageBlkAttrRec* image);

/* Copies/converts the strips described by RkDecodeTIFFHeader into the
 * record's pixel buffer.  0 (or the last callback value), -2, -5 (layout it
 * cannot copy), -1000. */
RK_API int16_t RkDecodeImageByTIFF(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress);

/* Writes the record's pixels as a big-endian RGB TIFF into data (capacity
 * in dataLength, replaced by the bytes written on success); stores the
 * module table's global comment when one is set.  0 (or the last callback
 * value), -2, -4 (output too small), -1000. */
RK_API int16_t RkExportImageByTIFF(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress);

/* Exact byte size of the file RkExportImageByTIFF will write for this image
 * with the current global comment; -2 when a pointer is null. */
RK_API int32_t RkGetExportTIFFImageSize(ModuleTableRec* table, ImageBlkAttrRec* image);

/* ------------------------------------------------------------------------ */
/* Exif reading                                                             */
/* ------------------------------------------------------------------------ */

/* Recognises an Exif JPEG by its first bytes (count = bytes available).
 * Returns 12, the offset of the embedded TIFF header, or -1.  app1Length
 * (may be null) receives the APP1 segment length, usable as the limit for
 * RkDecodeExifHeader. */
RK_API int16_t RkCheckExifFile(const uint8_t* file, int32_t count, int32_t* app1Length);

/* Reads the Exif TIFF structure at tiffHeader into info (whose version the
 * caller set first); image (may be null) receives width, height and the
 * resolution.  Text pointers in info point into the caller's buffer.
 * Returns the Exif version number (e.g. 210), 0 (no Exif IFD / no version),
 * -1 (bad TIFF header), -2 (info null) or -4 (entry beyond *limit). */
RK_API int16_t RkDecodeExifHeader(const uint8_t* tiffHeader, const int32_t* limit, ImageBlkAttrRec* image, ExifTagInfoRec* info);

/* Sets info->version to 2 (the full record layout). */
RK_API void RkInitExifTagVers(ExifTagInfoRec* info);

/* Stores the default values in every field after version/reserved (the
 * tail fields only for version > 1); ignores a null record. */
RK_API void RkInitExifTagInfo(ExifTagInfoRec* info);

/* ------------------------------------------------------------------------ */
/* Exif writing                                                             */
/* ------------------------------------------------------------------------ */

/* Writes the record's pixels as a baseline JPEG with an Exif APP1 block
 * built from info (null: bare JPEG without any APP segment) into data
 * (capacity in dataLength, replaced by the bytes written).  May lower
 * info->exifVersion to 200.  0, -2, -4, -108, -1000. */
RK_API int16_t RkExportImageByExif(ModuleTableRec* table, ImageBlkAttrRec* image, ExifTagInfoRec* info, UserCallBackRec* progress);

/* Builds a 160x120 thumbnail, then writes like RkExportImageByExif using
 * the given luminance/chrominance quantisation scales.  Overwrites
 * info->thumbnail/thumbnailLength (invalid after return).  Same result
 * codes; -108 when the thumbnail buffers cannot be allocated. */
RK_API int16_t RkExportCustomExifFile(ModuleTableRec* table, const double* lumScale, const double* chromScale, ExifTagInfoRec* info, ImageBlkAttrRec* image, UserCallBackRec* progress);

/* Like RkExportCustomExifFile with a built-in tag record (fixed texts, the
 * current local time). */
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
/* ------------------------------------------------------------------------ */

/* Builds the 8-to-10-bit input curve in the module table (replacing an
 * earlier one); nothing for a null table.  Freed by RkFreeModuleTable. */
RK_API void RkInitInputGamma(ModuleTableRec* table);

/* Builds the 10-to-8-bit output curve with exponent gamma (a double passed
 * by value), replacing an earlier one.  Freed by RkFreeModuleTable. */
RK_API void RkInitOutGamma(ModuleTableRec* table, double gamma);

/* Standard module-table set-up plus both gamma curves (gamma 0.83);
 * nothing for a null table. */
RK_API void RkInitKSLVImageProcessUnit(ModuleTableRec* table);

/* Releases what the unit set-up allocated; same operation as
 * RkFreeModuleTable. */
RK_API void RkExitKSLVImageProcessUnit(ModuleTableRec* table);

/* Decodes the 3600-byte KSLV thumbnail into the record's pixel buffer at
 * 40x30 or 60x45; length is not used.  0, -2, -3 (other size), -6 (gamma
 * curves missing), -108. */
RK_API int16_t RkDecompressCameraThumbnail(ModuleTableRec* table, const uint8_t* thumb, uint32_t length, ImageBlkAttrRec* image);

/* Work-shop bytes a KSLV thumbnail decode needs. */
RK_API uint32_t RkGetThumbnailDecodeWorkSpaceSize(void);

/* Returns a new packed 40x30 bitmap (heap block, caller frees with free())
 * decoded from a KSLV thumbnail, or null on any failure. */
RK_API void* RkCreateDIBKSLVCameraThumbnail(ModuleTableRec* table, const uint8_t* thumb);

/* Self-contained KSLV thumbnail decode (own module table); returns an
 * heap block with the packed 40x30 bitmap (caller
 * frees), or null. */
RK_API void* RkGetImgDIBKSLVCameraThumbnail(const uint8_t* thumb);

/* Byte size of the packed 40x30 KSLV thumbnail bitmap. */
RK_API uint32_t RkGetDIBKSLVCameraThumbnailSize(void);

/* Writes the packed 40x30 bitmap (header and pixels) into the caller's
 * block of RkGetDIBKSLVCameraThumbnailSize() bytes.  Decoder result, or -2
 * for a null table or block. */
RK_API int16_t RkConvertDIBKSLVCameraThumbnail(ModuleTableRec* table, const uint8_t* thumb, uint8_t* block);

/* ------------------------------------------------------------------------ */
/* KSLV camera images                                                       */
/* ------------------------------------------------------------------------ */

/* Decodes KSLV image data (white reference in a comment within the first
 * length bytes) into the record's pixel buffer at 320x240 or 480x360.
 * 0 / -1 (entropy error) / the last callback value, -2, -3, -6 (gamma
 * curves missing), -20 (no usable white reference), -108 (no scratch
 * memory), -1000. */
RK_API int16_t RkDecompressCameraImage(ModuleTableRec* table, const uint8_t* data, uint32_t length, ImageBlkAttrRec* image, UserCallBackRec* progress);

/* Work-shop bytes a KSLV image decode needs. */
RK_API uint32_t RkGetCamImgDecodeWorkSpaceSize(void);

/* Returns a new packed bitmap (heap block, caller frees with free()) of
 * width x height (320x240 or 480x360) decoded from KSLV data, or null. */
RK_API void* RkCreateDIBKSLVCameraImage(ModuleTableRec* table, const uint8_t* data, uint32_t width, uint32_t height, UserCallBackRec* progress);

/* Self-contained variant (own module table); returns a heap block
 * with the packed bitmap (caller frees with free()), or null. */
RK_API void* RkGetImgDIBKSLVCameraImage(const uint8_t* data, uint32_t width, uint32_t height, UserCallBackRec* progress);

/* Byte size of a packed bitmap of width x height (header included). */
RK_API uint32_t RkGetDIBKSLVCameraImageSize(uint32_t width, uint32_t height);

/* Writes the packed bitmap into the caller's block of
 * RkGetDIBKSLVCameraImageSize(width, height) bytes.  Decoder result, -2
 * (table or block null) or -20 (unsupported size). */
RK_API int16_t RkConvertDIBKSLVCameraImage(ModuleTableRec* table, const uint8_t* data, uint8_t* block, uint32_t width, uint32_t height, UserCallBackRec* progress);

/* ------------------------------------------------------------------------ */
/* KSTM camera data (result pointers may be null and receive the code)      */
/* ------------------------------------------------------------------------ */

/* Returns a new packed 80x60 bitmap (heap block, caller frees with free())
 * decoded from a KSTM thumbnail stream, or null.  Code: 0, -1, -2, -3 (no
 * end marker), -108. */
RK_API void* RkCreateDIBKSTMCameraThumbnail(ModuleTableRec* table, const uint8_t* data, int32_t length, int16_t* result);

/* Self-contained variant (own module table); heap block
 * (caller frees) or null. */
RK_API void* RkGetImgDIBKSTMCameraThumbnail(const uint8_t* data, int32_t length, int16_t* result);

/* Byte size of the packed 80x60 KSTM thumbnail bitmap. */
RK_API uint32_t RkGetDIBKSTMCameraThumbnailSize(void);

/* Writes the packed 80x60 bitmap into the caller's block of
 * RkGetDIBKSTMCameraThumbnailSize() bytes.  Decoder code, -2, -3. */
RK_API int16_t RkConvertDIBKSTMCameraThumbnail(ModuleTableRec* table, const uint8_t* data, int32_t length, uint8_t* block);

/* Returns a new packed 640x480 bitmap (heap block, caller frees with free())
 * decoded from KSTM image data ("KM" header), or null.  Code: 0 / the last
 * callback value, -1, -2, -3 (bad magic or no end marker), -108, -1000. */
RK_API void* RkCreateDIBKSTMCameraImage(ModuleTableRec* table, const uint8_t* data, int32_t length, int16_t* result, UserCallBackRec* progress);

/* Self-contained variant (own module table); heap block
 * (caller frees) or null. */
RK_API void* RkGetImgDIBKSTMCameraImage(const uint8_t* data, int32_t length, int16_t* result, UserCallBackRec* progress);

/* Byte size of the packed 640x480 KSTM image bitmap. */
RK_API uint32_t RkGetDIBKSTMCameraImageSize(void);

/* Writes the packed 640x480 bitmap into the caller's block of
 * RkGetDIBKSTMCameraImageSize() bytes.  Decoder code, -2, -3. */
RK_API int16_t RkConvertDIBKSTMCameraImage(ModuleTableRec* table, const uint8_t* data, int32_t length, uint8_t* block, UserCallBackRec* progress);

/* ------------------------------------------------------------------------ */
/* Camera data export                                                       */
/* ------------------------------------------------------------------------ */

/* Encodes a 640x480 24-bit bottom-up bitmap's pixels into compound KSTM raw
 * data aiming at *size bytes (on return *size = bytes produced).  Returns
 * an heap block of exactly that size (caller frees) or null;
 * code 0 / last callback value, -2, -108, -1000 or the encoder's code. */
RK_API void* RkGetCompImgKSTMRawData(const uint8_t* pixels, uint32_t* size, int16_t* result, UserCallBackRec* progress);

/* Wraps 640x480 camera entropy data and its two 64-byte zigzag
 * quantisation tables (quant, 128 bytes) in a complete JFIF file written to
 * out, with an optional comment (null or length 0: none).  Returns the
 * bytes written; out must be large enough (not checked). */
RK_API uint32_t RkExportVCameraDataToJPEG(const uint8_t* quant, const uint8_t* comment, uint32_t commentLength, const uint8_t* data, uint32_t dataLength, uint8_t* out);

/* Decodes a baseline or progressive JPEG stream into a new packed bitmap of
 * its size; heap block (caller frees) or null.  Code: 0 /
 * decoder result, -2 (stream null or length < 1), -3 (no image data),
 * -108. */
RK_API void* RkGetImgDIBJFIFImage(const uint8_t* stream, int32_t length, int16_t* result, UserCallBackRec* progress);

/* Writes a Wren camera bitmap (size and quality chosen by mode bits 0-2,
 * bit 3 a maker-note flag) as an Exif JPEG with fixed shooting data.  *size
 * is a size hint on entry and the file length on return.  Unlocked
 * heap block of exactly the file (caller frees) or null; code 0, -2,
 * -108 or the Exif writer's code. */
RK_API void* RkGetWrenExifImgRawData(const uint8_t* pixels, uint32_t* size, uint32_t mode, int16_t* result, UserCallBackRec* progress);

#ifdef __cplusplus
}
#endif

#endif /* RASTKIT_H */

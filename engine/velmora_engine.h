// Velmora's QR Code engine: the entries and the two process-wide result records.
//
// The engine is byte-oriented: the encoder takes the bytes of a text, the reader returns bytes.
// Results are integers; nothing is thrown across these entries. The engine keeps process-wide
// state and must be used from one thread at a time.
#pragma once

#include <cstdint>

// Longest text a symbol can hold, and the size of a text slot with its zero byte.
#define MAX_SrcDataLen 7090

// The results of the last decode request; entry k describes the k-th symbol read. Finder points
// (dXY_FP) are pixel-centre coordinates: 0 the corner finder, 1 the one along the first edge,
// 2 the one along the second edge, 3 where a fourth finder would sit. Corners (dXY_4Corners) are
// pixel-edge coordinates: 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right of the symbol's
// own frame. Each holds four x values, then four y values.
struct C_QrDecodedData {
    int32_t nParsedNums;
    int32_t nInverseColor[4];
    int32_t nMirror[4];
    int32_t nVersion[4];
    int32_t nLevel[4];
    int32_t nMaskingNo[4];
    int32_t nParseStrLen[4];
    char sParseStr[4][MAX_SrcDataLen];
    float dXY_FP[4][8];
    float dXY_4Corners[4][8];
};

// The published form of the record, which a caller may allocate for itself.
struct C_QrDecodedDataPublished : C_QrDecodedData {
    int32_t iReserved[16];
};

// The process-wide decode record that every decode request overwrites.
extern C_QrDecodedData g_QrDecodedData;

// What each symbol of the last decode request says about how its bytes are meant, entry k
// beside entry k of g_QrDecodedData: nModes[k] has bit (1 << m) set for every segment mode m
// the symbol used (0 numeric, 1 alphanumeric, 2 byte, 3 Kanji: Shift JIS pairs, 4 Hanzi:
// GB 2312 pairs), nEci[k] holds its first ECI designator (3 ISO-8859-1, 20 Shift JIS, 26 UTF-8,
// ...) or -1 when it has none.
struct C_QrTextMeaning {
    int32_t nModes[4];
    int32_t nEci[4];
};

// Filled with g_QrDecodedData by every decode request.
extern C_QrTextMeaning g_QrTextMeaning;

// Reads up to iQrMsg_Max (clamped to 1..4) symbols from the picture file at FilePath, loaded
// in grey. Returns the number read; the results are in g_QrDecodedData. A file that cannot be
// loaded returns 0 and leaves g_QrDecodedData as it was. With iDecodeUTF8 non-zero, texts that
// are valid UTF-8 are converted to the locale's code page. p_QrDecodedData is not written.
int QR_Decode_File(const char* FilePath, int iQrMsg_Max, int iDecodeUTF8, C_QrDecodedDataPublished* p_QrDecodedData);

// The same for 8-bit grey pixels in memory, iImgWidth by iImgHeight. iBufType 0: src holds the
// rows one after the other without padding; 1: src is a table of row pointers; 2: src is a
// velmora::Raster of bytes; any other value as 0. The caller's memory is never freed. Pictures
// of 20 pixels or less on a side give 0. The request stops after 4000 milliseconds.
int QR_Decode_Matrix(int iBufType, void* src, int iImgWidth, int iImgHeight, int iQrMsg_Max, int iDecodeUTF8,
                     C_QrDecodedDataPublished* p_QrDecodedData);

// The last successful encode. byEncoded_Data is the module matrix in display order,
// byte [row][column], 1 for a light module and 0 for a dark one; iEncoded_WH modules per side.
struct C_QrEncodedData {
    uint8_t byEncoded_Data[177][177];
    int32_t iEncoded_WH;
};

// The published form of the record, which a caller may allocate for itself.
struct C_QrEncodedDataPublished : C_QrEncodedData {
    int32_t iReserved[16];
};

// The process-wide encode record that QR_Encode_Matrix fills.
extern C_QrEncodedData g_QrEncodedData;

// Encodes nSource bytes of lpsSource (up to the first zero byte when nSource <= 0) at level
// nLevel (0 L, 1 M, 2 Q, 3 H). *nVersion: 0 for the smallest fitting version or 1..40; with
// bAutoExtent non-zero a requested version that is too small grows to the smallest that fits.
// *nMaskingNo: -1 for automatic choice or 0..7. Returns 1 and writes back the version and mask
// used on success; returns 0 and changes nothing otherwise. The symbol always lands in
// g_QrEncodedData; p_QrEncodedData is accepted for compatibility and not written.
int QR_Encode_Matrix(int nLevel, int* nVersion, int bAutoExtent, int* nMaskingNo, const char* lpsSource,
                     int nSource, C_QrEncodedDataPublished* p_QrEncodedData);

// The published forms add nothing but the reserved words at their end.
static_assert(sizeof(C_QrDecodedDataPublished) == sizeof(C_QrDecodedData) + 16 * sizeof(int32_t));
static_assert(sizeof(C_QrEncodedDataPublished) == sizeof(C_QrEncodedData) + 16 * sizeof(int32_t));

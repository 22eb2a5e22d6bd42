// Velmora's QR Code engine: the entries and the two process-wide result records.
//
// The engine is byte-oriented: the encoder takes the bytes of a text, the reader returns bytes.
// Results are integers; nothing is thrown across these entries. The engine keeps process-wide
// state and must be used from one thread at a time.
#pragma once

#include <cstdint>

// The last successful encode. byEncoded_Data is the module matrix in display order,
// byte [row][column], 1 for a light module and 0 for a dark one; iEncoded_WH modules per side.
struct C_QrEncodedData {
    uint8_t byEncoded_Data[177][177];
    int32_t iEncoded_WH;
};

// The published form of the record, which a caller may allocate for itself.
struct C_QrEncodedDataPublished {
    uint8_t byEncoded_Data[177][177];
    int32_t iEncoded_WH;
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

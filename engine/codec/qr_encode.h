// The QR Code encoder: text bytes in, module matrix out.
#pragma once

#include <array>
#include <cstdint>

#include "engine/codec/mask_penalty.h"
#include "engine/codec/version_table.h"

namespace velmora {

// No version holds more than 7089 characters, so no longer text is ever encodable and the
// segment list never needs more entries than that.
inline constexpr int kMaxTextBytes = 7089;
inline constexpr int kMaxDataCodewords = 2956;
inline constexpr int kMaxDataBits = kMaxDataCodewords * 8;
inline constexpr int kMaxCodewords = 3706;
inline constexpr int kMaxBlockCodewords = 153;

class CQR_Encode {
public:
    // Encodes nSource bytes of lpsSource (nSource <= 0: up to the first zero byte). See
    // QR_Encode_Matrix for the parameters. Returns 1 and writes nVersion, nMaskingNo, the
    // matrix (byte [row * 177 + column], 1 light, 0 dark) and its size; returns 0 and writes
    // nothing when the text is empty, fits no version, or the requested version is too small
    // without bAutoExtent, or a parameter is out of range.
    int EncodeSymbol(int nLevel, int& nVersion, int bAutoExtent, int& nMaskingNo, uint8_t* matrix,
                     int& size, const char* lpsSource, int nSource);

    // The data bit stream of the last encode, most significant bit of each byte first.
    int bitCount() const { return bitCount_; }
    const uint8_t* dataBits() const { return dataBits_.data(); }
    // The segments of the last encode (lengths in input bytes).
    int segmentCount() const { return segmentCount_; }
    SegmentMode segmentMode(int i) const { return static_cast<SegmentMode>(segmentModes_[i]); }
    int segmentLength(int i) const { return segmentLengths_[i]; }
    // The final interleaved codewords of the last encode.
    int codewordCount() const { return codewordCount_; }
    const uint8_t* codewords() const { return codewords_.data(); }

    // Bits that a segment of the given mode and length costs in a version class (the Hanzi
    // subset indicator not counted).
    static int SegmentCost(SegmentMode mode, int length, int versionClass);

private:
    // Encoder data: segments, bit stream, version.
    int ChooseVersion(int requestedVersion);
    void ClassifyText();
    void MergeSegments(int versionClass);
    void EmitSegments(int versionClass);
    int PutBits(int position, uint32_t value, int width);
    void AppendTerminatorAndPadding();
    void removeSegment(int index);

    // Encoder matrix: blocks, patterns, placement, masking, format and version information.
    void BuildMatrix();
    void InterleaveBlocks();
    void PlaceFunctionPatterns();
    void PlaceCodewords();
    void ApplyMask(int k);
    void WriteFormatInfo(int k);
    int MaskPenalty();
    void prepareMaskTrials();
    void composeMaskTrial(int k);
    void setFunctionModule(int x, int y, bool dark);
    void writeMatrix(uint8_t* matrix) const;

    int level_ = 0;
    int version_ = 0;
    int mask_ = -1;
    int symbolSize_ = 0;

    const uint8_t* text_ = nullptr;
    int textLength_ = 0;
    bool allowDoubleByte_ = true;

    // Working grid, [x][y] at x * 177 + y, with the flag bits described in encoder_matrix.cpp.
    std::array<uint8_t, kMatrixStride * kMatrixStride> grid_{};

    int bitCount_ = 0;
    std::array<uint8_t, kMaxDataCodewords> dataBits_{};

    int segmentCount_ = 0;
    std::array<uint8_t, kMaxTextBytes> segmentModes_{};
    std::array<int, kMaxTextBytes> segmentLengths_{};

    int codewordCount_ = 0;
    std::array<uint8_t, kMaxCodewords> codewords_{};
    std::array<uint8_t, kMaxBlockCodewords> blockWork_{};

    // Mask trials work on bit lines: the unmasked modules, the modules a mask may change, and
    // the symbol as the current trial mask leaves it.
    SymbolBits unmasked_;
    SymbolBits maskable_;
    SymbolBits trial_;
};

// The one encoder of the process.
CQR_Encode& processEncoder();

// True when the bytes are valid UTF-8 holding at least one multi-byte sequence. Such text is
// never classified into the double-byte Hanzi or Kanji modes.
bool isMultiByteUtf8(const uint8_t* text, int length);

}  // namespace velmora

// The symbol reader: a sampled module matrix in, the symbol's text out.
#pragma once

#include <array>
#include <cstdint>

#include "engine/codec/qr_encode.h"
#include "engine/codec/segment_parser.h"
#include "engine/codec/version_table.h"

namespace velmora {

// The eight modules of one codeword, most significant bit first: column x[i] and row y[i] of
// bit i, and for each mask k the bits the mask inverts there (bit 7 - i for module i).
struct CodewordModules {
    std::array<uint8_t, 8> x;
    std::array<uint8_t, 8> y;
    std::array<uint8_t, 8> maskBits;
};

// The modules of every codeword of a symbol of the version in codeword order, the remainder
// bits left out; nullptr for a version outside 1..40. Built on first use of the version in a
// static area, so that reads allocate nothing.
const CodewordModules* codewordModulesOf(int version);

class CQR_Decoder {
public:
    CQR_Decoder() = default;
    virtual ~CQR_Decoder() = default;
    CQR_Decoder(const CQR_Decoder&) = delete;
    CQR_Decoder& operator=(const CQR_Decoder&) = delete;

    // Reads the size x size modules of matrix() as a symbol of the given version (1..40, size
    // 4 * version + 17), first as sampled, then as its mirror image. Returns 0 or more on
    // success, with mirrored, level, mask, version, text and text length set and the corners
    // hook called; otherwise the negative code of the orientation tried last: -1 no format
    // information (also for a version outside 1..40 or a size that does not match it), -1..-4 a
    // block beyond repair, or a segment parser code. Allocates nothing.
    int ReadSymbol(int size, int version);

    // The module matrix, byte [x * 177 + y] for column x and row y, 1 dark and 0 light; any
    // non-zero byte counts as dark. A read leaves it as it was handed over.
    uint8_t* matrix() { return matrix_.data(); }
    const uint8_t* matrix() const { return matrix_.data(); }
    // Copy of the matrix as it was handed to the last read. Between reads the decode driver
    // samples into this area (177 x 177 bytes) before it fills the matrix.
    uint8_t* sampledCopy() { return sampled_.data(); }
    const uint8_t* sampledCopy() const { return sampled_.data(); }

    int mirrored() const { return mirrored_; }
    // Whether the current pass reads an inverted picture; the decode driver sets and reads it.
    int colourInverse() const { return colourInverse_; }
    void setColourInverse(int inverse) { colourInverse_ = inverse; }
    int level() const { return level_; }
    int mask() const { return mask_; }
    int version() const { return version_; }
    int size() const { return size_; }
    // The decoded bytes followed by a zero byte, and their count.
    const uint8_t* text() const { return text_.data(); }
    int textLength() const { return textLength_; }
    // What the segments of the last read said about the text's bytes.
    const TextMeaning& textMeaning() const { return textMeaning_; }
    // Shortens the text to at most limit bytes (the decode driver keeps 7089).
    void capTextLength(int limit);
    // Codewords the last attempt repaired over all blocks, or the code of the block it could
    // not repair.
    int correctedCodewords() const { return correctedCodewords_; }

private:
    enum class Orientation { Normal, Mirrored };

    int ReadFormat(Orientation orientation);
    int DecodeWithFormat(int candidates, Orientation orientation);
    int CorrectBlocks(Orientation orientation);
    int ParseSegments();

    int readFormatCopy(int copy, Orientation orientation, int& level, int& mask) const;
    uint8_t readCodeword(const CodewordModules& codeword, Orientation orientation) const;
    uint8_t module(int x, int y) const { return matrix_[x * kMatrixStride + y]; }

    int mirrored_ = 0;
    int colourInverse_ = 0;
    int level_ = 0;
    int level2_ = 0;
    int version_ = 0;
    int mask_ = 0;
    int mask2_ = 0;
    int size_ = 0;
    int correctedCodewords_ = 0;

    std::array<uint8_t, kMatrixStride * kMatrixStride> matrix_{};
    std::array<uint8_t, kMatrixStride * kMatrixStride> sampled_{};
    int dataBitCount_ = 0;
    std::array<uint8_t, kMaxDataCodewords> data_{};
    std::array<uint8_t, kMaxBlockCodewords> block_{};
    std::array<uint8_t, kTextBufferBytes> text_{};
    int textLength_ = 0;
    TextMeaning textMeaning_;
};

// The one reader of the process.
CQR_Decoder& processDecoder();

}  // namespace velmora

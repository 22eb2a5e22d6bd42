#include "engine/codec/qr_encode.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "codecs/text_encoding.h"
#include "engine/velmora_engine.h"

C_QrEncodedData g_QrEncodedData{};

namespace velmora {
namespace {

constexpr int kModeIndicator[ModeCount] = {0x1, 0x2, 0x4, 0x8, 0xD};
constexpr int kHanziSubsetGb2312 = 0x1;

// Alphanumeric value of a byte, or -1 when the byte is not in the 45-character set.
constexpr std::array<int8_t, 256> kAlphanumericValues = [] {
    std::array<int8_t, 256> values{};
    values.fill(-1);
    for (int c = '0'; c <= '9'; ++c) values[c] = static_cast<int8_t>(c - '0');
    for (int c = 'A'; c <= 'Z'; ++c) values[c] = static_cast<int8_t>(c - 'A' + 10);
    const char symbols[] = " $%*+-./:";
    for (int i = 0; symbols[i] != 0; ++i) values[static_cast<uint8_t>(symbols[i])] = static_cast<int8_t>(36 + i);
    return values;
}();

bool isGb2312Pair(uint8_t first, uint8_t second) {
    if (second < 0xA1 || second > 0xFE) return false;
    return (first >= 0xA1 && first <= 0xAA) || (first >= 0xB0 && first <= 0xFA);
}

bool isShiftJisPair(uint8_t first, uint8_t second) {
    if (!((first >= 0x81 && first <= 0x9F) || (first >= 0xE0 && first <= 0xEB))) return false;
    if (second < 0x40) return false;
    if (first == 0x9F && second > 0xFC) return false;
    if (first == 0xEB && second > 0xBF) return false;
    return true;
}

// Class of the character at position i and the number of bytes it takes.
SegmentMode classifyAt(const uint8_t* text, int length, int i, bool allowDoubleByte, int& consumed) {
    consumed = 1;
    if (allowDoubleByte && i + 1 < length) {
        consumed = 2;
        if (isGb2312Pair(text[i], text[i + 1])) return ModeHanzi;
        if (isShiftJisPair(text[i], text[i + 1])) return ModeKanji;
        consumed = 1;
    }
    const uint8_t c = text[i];
    if (c >= '0' && c <= '9') return ModeNumeric;
    if (kAlphanumericValues[c] >= 0) return ModeAlphanumeric;
    return ModeByte;
}

}  // namespace

CQR_Encode& processEncoder() {
    static CQR_Encode encoder;
    return encoder;
}

bool isMultiByteUtf8(const uint8_t* text, int length) {
    const std::string_view bytes(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
    const bool multiByte = std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<uint8_t>(c) >= 0x80; });
    return multiByte && isValidUtf8(bytes);
}

int CQR_Encode::SegmentCost(SegmentMode mode, int length, int versionClass) {
    const int header = 4 + CountWidths[mode][versionClass];
    switch (mode) {
    case ModeNumeric: {
        constexpr int kTail[3] = {0, 4, 7};
        return header + 10 * (length / 3) + kTail[length % 3];
    }
    case ModeAlphanumeric: return header + 11 * (length / 2) + 6 * (length % 2);
    case ModeByte: return header + 8 * length;
    default: return header + 13 * (length / 2);
    }
}

int CQR_Encode::EncodeSymbol(int nLevel, int& nVersion, int bAutoExtent, int& nMaskingNo, uint8_t* matrix,
                             int& size, const char* lpsSource, int nSource) {
    if (lpsSource == nullptr || matrix == nullptr) return 0;
    // Out-of-range parameters would index past the tables: refuse them like a text that fits nothing.
    if (nLevel < 0 || nLevel > 3 || nVersion < 0 || nVersion > kMaxVersion || nMaskingNo < -1 ||
        nMaskingNo > 7)
        return 0;
    level_ = nLevel;
    mask_ = nMaskingNo;
    text_ = reinterpret_cast<const uint8_t*>(lpsSource);
    textLength_ = nSource > 0 ? nSource : static_cast<int>(std::strlen(lpsSource));
    if (textLength_ == 0 || textLength_ > kMaxTextBytes) return 0;
    allowDoubleByte_ = !isMultiByteUtf8(text_, textLength_);

    const int smallest = ChooseVersion(nVersion);
    if (smallest == 0) return 0;
    if (nVersion >= smallest) {
        version_ = nVersion;
    } else if (nVersion == 0 || bAutoExtent) {
        version_ = smallest;
    } else {
        return 0;
    }
    symbolSize_ = symbolSizeOf(version_);

    AppendTerminatorAndPadding();
    BuildMatrix();
    writeMatrix(matrix);
    nVersion = version_;
    nMaskingNo = mask_;
    size = symbolSize_;
    return 1;
}

int CQR_Encode::ChooseVersion(int requestedVersion) {
    const int startClass = requestedVersion >= 27 ? 2 : (requestedVersion >= 10 ? 1 : 0);
    constexpr int kClassFirst[3] = {1, 10, 27};
    constexpr int kClassLast[3] = {9, 26, 40};
    for (int cls = startClass; cls <= 2; ++cls) {
        ClassifyText();
        MergeSegments(cls);
        EmitSegments(cls);
        if (bitCount_ < 0) continue;  // the stream overflowed in this class
        const int needed = (bitCount_ + 7) / 8;
        for (int v = kClassFirst[cls]; v <= kClassLast[cls]; ++v) {
            if (VersionTable[v].dataCodewords[level_] >= needed) return v;
        }
    }
    return 0;
}

void CQR_Encode::ClassifyText() {
    segmentCount_ = 0;
    int i = 0;
    while (i < textLength_) {
        int consumed = 1;
        const SegmentMode mode = classifyAt(text_, textLength_, i, allowDoubleByte_, consumed);
        if (segmentCount_ == 0 || segmentModes_[segmentCount_ - 1] != mode) {
            segmentModes_[segmentCount_] = static_cast<uint8_t>(mode);
            segmentLengths_[segmentCount_] = 0;
            ++segmentCount_;
        }
        segmentLengths_[segmentCount_ - 1] += consumed;
        i += consumed;
    }
}

void CQR_Encode::removeSegment(int index) {
    const int tail = segmentCount_ - index - 1;
    std::memmove(&segmentModes_[index], &segmentModes_[index + 1], tail * sizeof(segmentModes_[0]));
    std::memmove(&segmentLengths_[index], &segmentLengths_[index + 1], tail * sizeof(segmentLengths_[0]));
    --segmentCount_;
}

void CQR_Encode::MergeSegments(int versionClass) {
    auto& m = segmentModes_;
    auto& n = segmentLengths_;
    auto cost = [versionClass](int mode, int length) {
        return SegmentCost(static_cast<SegmentMode>(mode), length, versionClass);
    };
    auto isNumericAlphanumericPair = [](int a, int b) {
        return (a == ModeNumeric && b == ModeAlphanumeric) || (a == ModeAlphanumeric && b == ModeNumeric);
    };

    // Numeric and alphanumeric neighbours join when the alphanumeric form is shorter, possibly
    // handing one of them to a neighbouring byte segment instead.
    int i = 0;
    while (i < segmentCount_ - 1) {
        if (!isNumericAlphanumericPair(m[i], m[i + 1])) {
            ++i;
            continue;
        }
        const int src = cost(m[i], n[i]) + cost(m[i + 1], n[i + 1]);
        const int dst = cost(ModeAlphanumeric, n[i] + n[i + 1]);
        if (dst >= src) {
            ++i;
            continue;
        }
        int front = 0;
        if (i >= 1 && m[i - 1] == ModeByte) {
            front = cost(ModeByte, n[i - 1] + n[i]) + cost(m[i + 1], n[i + 1]);
            if (front > dst + cost(ModeByte, n[i - 1])) front = 0;
        }
        int back = 0;
        if (i < segmentCount_ - 2 && m[i + 2] == ModeByte) {
            back = cost(m[i], n[i]) + cost(ModeByte, n[i + 1] + n[i + 2]);
            if (back > dst + cost(ModeByte, n[i + 2])) back = 0;
        }
        const bool useFront = front != 0 && (back == 0 || front < back);
        const bool useBack = back != 0 && !useFront;
        if (useFront) {
            n[i - 1] += n[i];
            removeSegment(i);
        } else if (useBack) {
            m[i + 1] = ModeByte;
            n[i + 1] += n[i + 2];
            removeSegment(i + 2);
        } else {
            if (i < segmentCount_ - 2 && m[i + 2] == ModeAlphanumeric) {
                n[i + 1] += n[i + 2];
                removeSegment(i + 2);
            }
            m[i] = ModeAlphanumeric;
            n[i] += n[i + 1];
            removeSegment(i + 1);
            if (i >= 1 && m[i - 1] == ModeAlphanumeric) {
                n[i - 1] += n[i];
                removeSegment(i);
            }
        }
    }

    // Any two neighbours join into one byte segment when that is shorter, counting the headers
    // saved by also joining byte segments on either side.
    const int byteHeader = 4 + CountWidths[ModeByte][versionClass];
    i = 0;
    while (i < segmentCount_ - 1) {
        const int src = cost(m[i], n[i]) + cost(m[i + 1], n[i + 1]);
        int dst = cost(ModeByte, n[i] + n[i + 1]);
        if (i >= 1 && m[i - 1] == ModeByte) dst -= byteHeader;
        if (i < segmentCount_ - 2 && m[i + 2] == ModeByte) dst -= byteHeader;
        if (dst >= src) {
            ++i;
            continue;
        }
        if (i >= 1 && m[i - 1] == ModeByte) {
            n[i - 1] += n[i];
            removeSegment(i);
            --i;
        }
        if (i < segmentCount_ - 2 && m[i + 2] == ModeByte) {
            n[i + 1] += n[i + 2];
            removeSegment(i + 2);
        }
        m[i] = ModeByte;
        n[i] += n[i + 1];
        removeSegment(i + 1);
        if (i >= 1) --i;
    }
}

int CQR_Encode::PutBits(int position, uint32_t value, int width) {
    if (position < 0 || position + width > kMaxDataBits) return -1;
    for (int b = width - 1; b >= 0; --b, ++position) {
        if ((value >> b) & 1u) dataBits_[position >> 3] |= static_cast<uint8_t>(0x80u >> (position & 7));
    }
    return position;
}

void CQR_Encode::EmitSegments(int versionClass) {
    dataBits_.fill(0);
    int position = 0;
    int offset = 0;
    for (int s = 0; s < segmentCount_ && position >= 0; ++s) {
        const SegmentMode mode = static_cast<SegmentMode>(segmentModes_[s]);
        const int length = segmentLengths_[s];
        const uint8_t* p = text_ + offset;
        offset += length;
        const int countWidth = CountWidths[mode][versionClass];
        position = PutBits(position, kModeIndicator[mode], 4);
        if (mode == ModeHanzi) position = PutBits(position, kHanziSubsetGb2312, 4);
        const int count = (mode == ModeHanzi || mode == ModeKanji) ? length / 2 : length;
        position = PutBits(position, static_cast<uint32_t>(count), countWidth);
        switch (mode) {
        case ModeNumeric: {
            int k = 0;
            for (; k + 3 <= length; k += 3)
                position = PutBits(position, (p[k] - '0') * 100 + (p[k + 1] - '0') * 10 + (p[k + 2] - '0'), 10);
            if (length - k == 2) position = PutBits(position, (p[k] - '0') * 10 + (p[k + 1] - '0'), 7);
            if (length - k == 1) position = PutBits(position, p[k] - '0', 4);
            break;
        }
        case ModeAlphanumeric: {
            int k = 0;
            for (; k + 2 <= length; k += 2)
                position = PutBits(position, kAlphanumericValues[p[k]] * 45 + kAlphanumericValues[p[k + 1]], 11);
            if (k < length) position = PutBits(position, kAlphanumericValues[p[k]], 6);
            break;
        }
        case ModeByte:
            for (int k = 0; k < length; ++k) position = PutBits(position, p[k], 8);
            break;
        case ModeHanzi:
            for (int k = 0; k + 1 < length; k += 2) {
                const int c = p[k] * 256 + p[k + 1];
                const int d = c - ((c >= 0xA1A1 && c <= 0xAAFE) ? 0xA1A1 : 0xA6A1);
                position = PutBits(position, (d >> 8) * 0x60 + (d & 0xFF), 13);
            }
            break;
        case ModeKanji:
            for (int k = 0; k + 1 < length; k += 2) {
                const int c = p[k] * 256 + p[k + 1];
                const int d = c - ((c >= 0x8140 && c <= 0x9FFC) ? 0x8140 : 0xC140);
                position = PutBits(position, (d >> 8) * 0xC0 + (d & 0xFF), 13);
            }
            break;
        default: break;
        }
    }
    bitCount_ = position;
}

void CQR_Encode::AppendTerminatorAndPadding() {
    const int capacityBits = 8 * VersionTable[version_].dataCodewords[level_];
    // Up to four zero bits of terminator, then zero bits to the byte boundary; the buffer is
    // already clear, so both only move the position.
    int position = bitCount_ + std::min(4, capacityBits - bitCount_);
    position = (position + 7) / 8 * 8;
    for (int pad = 0; position < capacityBits; pad ^= 1) position = PutBits(position, pad ? 0x11 : 0xEC, 8);
    bitCount_ = position;
}

}  // namespace velmora

int QR_Encode_Matrix(int nLevel, int* nVersion, int bAutoExtent, int* nMaskingNo, const char* lpsSource,
                     int nSource, C_QrEncodedDataPublished* /*p_QrEncodedData*/) {
    if (nVersion == nullptr || nMaskingNo == nullptr || lpsSource == nullptr) return 0;
    int size = g_QrEncodedData.iEncoded_WH;
    const int result = velmora::processEncoder().EncodeSymbol(nLevel, *nVersion, bAutoExtent, *nMaskingNo,
                                                             &g_QrEncodedData.byEncoded_Data[0][0], size,
                                                             lpsSource, nSource);
    if (result == 1) g_QrEncodedData.iEncoded_WH = size;
    return result;
}

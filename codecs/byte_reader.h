// Bounds-checked reading of a file held in memory.
//
// Every read is checked against the end of the buffer; a read that would pass it throws
// PictureError(Truncated), so a decoder written over ByteReader cannot read outside the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "codecs/picture_error.h"

namespace velmora {

class ByteReader {
public:
    // what names the file kind in messages ("PCX").
    ByteReader(std::span<const uint8_t> bytes, const char* what) : bytes_(bytes), what_(what) {}

    std::size_t size() const { return bytes_.size(); }
    std::size_t position() const { return position_; }
    std::size_t remaining() const { return bytes_.size() - position_; }
    bool atEnd() const { return position_ == bytes_.size(); }

    // Moves to offset; an offset past the end of the file throws.
    void seek(uint64_t offset) {
        if (offset > bytes_.size()) truncated();
        position_ = static_cast<std::size_t>(offset);
    }
    void skip(uint64_t count) { take(count); }

    // The next count bytes, which must all lie inside the file.
    std::span<const uint8_t> take(uint64_t count) {
        if (count > remaining()) truncated();
        const std::span<const uint8_t> out = bytes_.subspan(position_, static_cast<std::size_t>(count));
        position_ += static_cast<std::size_t>(count);
        return out;
    }

    uint8_t u8() { return take(1)[0]; }
    uint16_t u16le() {
        const auto b = take(2);
        return static_cast<uint16_t>(b[0] | b[1] << 8);
    }
    uint16_t u16be() {
        const auto b = take(2);
        return static_cast<uint16_t>(b[0] << 8 | b[1]);
    }
    uint32_t u32le() {
        const auto b = take(4);
        return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
    }
    uint32_t u32be() {
        const auto b = take(4);
        return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | uint32_t{b[3]};
    }
    uint64_t u64le() {
        const uint64_t low = u32le();
        return low | uint64_t{u32le()} << 32;
    }
    uint64_t u64be() {
        const uint64_t high = u32be();
        return high << 32 | u32be();
    }

    [[noreturn]] void truncated() const { failPicture(PictureFailure::Truncated, std::string(what_) + " data ends early"); }

private:
    std::span<const uint8_t> bytes_;
    const char* what_;
    std::size_t position_ = 0;
};

}  // namespace velmora

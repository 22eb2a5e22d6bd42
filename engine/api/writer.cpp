// writeSymbol over the encoder.
#include "velmora/writer.h"

#include <memory>
#include <string_view>

#include "engine/codec/qr_encode.h"
#include "engine/codec/version_table.h"

namespace velmora {
namespace {

int levelNumber(char level) {
    switch (level) {
    case 'L': return 0;
    case 'M': return 1;
    case 'Q': return 2;
    case 'H': return 3;
    default: return -1;
    }
}

}  // namespace

std::optional<SymbolMatrix> writeSymbol(std::string_view bytes, const WriteOptions& options) {
    const int level = levelNumber(options.level);
    if (level < 0 || bytes.empty() || bytes.size() > static_cast<std::size_t>(kMaxTextBytes)) return std::nullopt;
    if (options.version < 0 || options.version > kMaxVersion || options.mask < -1 || options.mask > 7) return std::nullopt;
    int version = options.version;
    int mask = options.mask;
    int size = 0;
    // The encoder and its matrix are large; each call has its own.
    auto encoder = std::make_unique<CQR_Encode>();
    auto matrix = std::make_unique<uint8_t[]>(static_cast<std::size_t>(kMatrixStride) * kMatrixStride);
    if (encoder->EncodeSymbol(level, version, options.growVersion ? 1 : 0, mask, matrix.get(), size, bytes.data(),
                              static_cast<int>(bytes.size())) != 1) {
        return std::nullopt;
    }
    SymbolMatrix symbol;
    symbol.size = size;
    symbol.version = version;
    symbol.level = options.level;
    symbol.mask = mask;
    symbol.modules.resize(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            // The encoder writes 1 for a light module.
            symbol.modules[static_cast<std::size_t>(y) * static_cast<std::size_t>(size) + static_cast<std::size_t>(x)] =
                matrix[static_cast<std::size_t>(y) * kMatrixStride + static_cast<std::size_t>(x)] == 0 ? 1 : 0;
        }
    }
    return symbol;
}

}  // namespace velmora

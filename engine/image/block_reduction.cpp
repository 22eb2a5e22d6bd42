#include "engine/image/block_reduction.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

int reduceByBlocks(const Raster& source, Raster& destination, int factor) {
    if (source.rows == nullptr || destination.rows == nullptr || factor < 2) return -1;
    if (destination.height != source.height / factor || destination.width != source.width / factor) return -1;
    const int area = factor * factor;
    std::vector<uint32_t> sums(static_cast<std::size_t>(destination.width));
    for (int y = 0; y < destination.height; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (int dy = 0; dy < factor; ++dy) {
            const uint8_t* row = source.rows[y * factor + dy];
            for (int x = 0; x < destination.width; ++x) {
                const uint8_t* block = row + x * factor;
                uint32_t sum = 0;
                for (int dx = 0; dx < factor; ++dx) sum += block[dx];
                sums[static_cast<std::size_t>(x)] += sum;
            }
        }
        uint8_t* out = destination.rows[y];
        for (int x = 0; x < destination.width; ++x) {
            out[x] = static_cast<uint8_t>((sums[static_cast<std::size_t>(x)] + static_cast<uint32_t>(area / 2)) / static_cast<uint32_t>(area));
        }
    }
    return 1;
}

}  // namespace velmora

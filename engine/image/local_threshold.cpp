#include "engine/image/local_threshold.h"

#include <algorithm>
#include <vector>

namespace velmora {
namespace {

constexpr int kNeighbourhood = 2;  // blocks on each side of the centre block

// The black point of every block: its mean, or for a flat block half its minimum, raised to the
// black point of its upper and left neighbours when its minimum lies above theirs (a flat block
// inside a light area stays light).
std::vector<int> blackPoints(const Raster& grey, int blocksAcross, int blocksDown) {
    std::vector<int> points(static_cast<size_t>(blocksAcross) * blocksDown);
    const int maxX = grey.width - kLocalBlockSide;
    const int maxY = grey.height - kLocalBlockSide;
    for (int by = 0; by < blocksDown; ++by) {
        const int y0 = std::min(by * kLocalBlockSide, maxY);
        for (int bx = 0; bx < blocksAcross; ++bx) {
            const int x0 = std::min(bx * kLocalBlockSide, maxX);
            int sum = 0, low = 255, high = 0;
            for (int y = y0; y < y0 + kLocalBlockSide; ++y) {
                const uint8_t* row = grey.rows[y] + x0;
                for (int x = 0; x < kLocalBlockSide; ++x) {
                    sum += row[x];
                    low = std::min<int>(low, row[x]);
                    high = std::max<int>(high, row[x]);
                }
            }
            int point = sum / (kLocalBlockSide * kLocalBlockSide);
            if (high - low <= kLocalFlatRange) {
                point = low / 2;
                if (by > 0 && bx > 0) {
                    const size_t up = static_cast<size_t>(by - 1) * blocksAcross + bx;
                    const int neighbours = (points[up] + 2 * points[up + blocksAcross - 1] + points[up - 1]) / 4;
                    if (low < neighbours) point = neighbours;
                }
            }
            points[static_cast<size_t>(by) * blocksAcross + bx] = point;
        }
    }
    return points;
}

}  // namespace

int binarizeLocally(const Raster& grey, Raster& binary) {
    if (grey.rows == nullptr || binary.rows == nullptr || grey.width != binary.width || grey.height != binary.height) {
        return -1;
    }
    constexpr int kLeast = (2 * kNeighbourhood + 1) * kLocalBlockSide;
    if (grey.width < kLeast || grey.height < kLeast) return -1;
    const int blocksAcross = (grey.width + kLocalBlockSide - 1) / kLocalBlockSide;
    const int blocksDown = (grey.height + kLocalBlockSide - 1) / kLocalBlockSide;
    const std::vector<int> points = blackPoints(grey, blocksAcross, blocksDown);

    const int maxX = grey.width - kLocalBlockSide;
    const int maxY = grey.height - kLocalBlockSide;
    for (int by = 0; by < blocksDown; ++by) {
        const int y0 = std::min(by * kLocalBlockSide, maxY);
        const int cy = std::clamp(by, kNeighbourhood, blocksDown - 1 - kNeighbourhood);
        for (int bx = 0; bx < blocksAcross; ++bx) {
            const int x0 = std::min(bx * kLocalBlockSide, maxX);
            const int cx = std::clamp(bx, kNeighbourhood, blocksAcross - 1 - kNeighbourhood);
            int sum = 0;
            for (int y = cy - kNeighbourhood; y <= cy + kNeighbourhood; ++y) {
                const int* row = &points[static_cast<size_t>(y) * blocksAcross];
                for (int x = cx - kNeighbourhood; x <= cx + kNeighbourhood; ++x) sum += row[x];
            }
            const int threshold = sum / 25;
            for (int y = y0; y < y0 + kLocalBlockSide; ++y) {
                const uint8_t* in = grey.rows[y] + x0;
                uint8_t* out = binary.rows[y] + x0;
                for (int x = 0; x < kLocalBlockSide; ++x) out[x] = in[x] > threshold ? 1 : 0;
            }
        }
    }
    return 1;
}

}  // namespace velmora

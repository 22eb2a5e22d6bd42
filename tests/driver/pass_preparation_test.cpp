#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "engine/decode/pass_preparation.h"
#include "engine/geometry/line_runs.h"
#include "engine/image/binarization.h"
#include "engine/image/raster.h"

using namespace velmora;

namespace {

struct OwnedRaster {
    Raster* r;
    OwnedRaster(int height, int width) : r(createRaster(height, width, kRasterByte)) {}
    ~OwnedRaster() { destroyRaster(r); }
};

// A grey picture of soft blobs and noise, so that every strategy and layout binarises it
// differently.
void fillGrey(Raster& grey, unsigned seed) {
    std::mt19937 random(seed);
    for (int y = 0; y < grey.height; ++y) {
        for (int x = 0; x < grey.width; ++x) {
            const int wave = ((x / 7 + y / 5) % 9) * 24 + static_cast<int>(random() % 40);
            grey.rows[y][x] = static_cast<uint8_t>(std::min(wave, 255));
        }
    }
}

// The pass as the schedule would binarise it by itself, thresholds carried from strategy 0.
void binariseAlone(const SchedulePass& p, const Raster& grey, const Raster& smoothed, Raster& binary,
                   ThresholdTable& thresholds) {
    const Raster& input = p.i >= 2 ? smoothed : grey;
    const bool thirds = p.i == 1 || p.i == 3;
    binarizeBlocks(p.j, binary.rows, input.rows, grey.width, grey.height,
                   thirds ? thirdsBlockSize(grey.width) : grey.width,
                   thirds ? thirdsBlockSize(grey.height) : grey.height, thresholds);
}

}  // namespace

// Every prepared pass holds the binary picture the pass would make alone, in schedule order,
// and line changes that the record takes as that picture's, even while earlier passes' pictures
// are changed by their searches; whether the second thread starts at once or after two passes.
TEST(PassPreparation, EveryPassAsBinarisedAloneWithItsLineChanges) {
    OwnedRaster grey(123, 157), smoothed(123, 157), expected(123, 157);
    fillGrey(*grey.r, 5);
    ASSERT_EQ(smoothBox(grey.r, smoothed.r, 1, 3), 1);
    for (int firstAhead : {0, kFirstPreparedAhead}) {
        ThresholdTable thresholds{};
        PassPreparation preparation(*grey.r, firstAhead);
        for (int n = 0; n < static_cast<int>(kSchedule.size()); ++n) {
            binariseAlone(kSchedule[static_cast<std::size_t>(n)], *grey.r, *smoothed.r, *expected.r, thresholds);
            PreparedPass& pass = preparation.take(n);
            ASSERT_NE(pass.binary, nullptr);
            for (int y = 0; y < grey.r->height; ++y) {
                ASSERT_EQ(std::memcmp(pass.binary->rows[y], expected.r->rows[y], 157), 0)
                    << "pass " << n << " row " << y;
            }
            ASSERT_TRUE(pass.swept);
            allowLineChangeRecording(true);
            ASSERT_TRUE(adoptLineChanges(pass.changes));
            EXPECT_TRUE(lineChangesReady(pass.binary->rows, 123, 157));
            // Row 60 of the record against the row's own changes.
            std::vector<int32_t> changes(157);
            const int count = colourChanges(pass.binary->rows[60], 157, changes.data());
            const LineChangeList line = lineChangesOfFamily(0).line(60);
            ASSERT_EQ(line.end - line.begin, count) << "pass " << n;
            for (int k = 0; k < count; ++k) EXPECT_EQ(line.begin[k], changes[static_cast<std::size_t>(k)]);
            allowLineChangeRecording(false);
            // The search inverts its picture; the next preparation in this slot must not mind.
            for (int y = 0; y < 123; ++y) {
                uint8_t* row = pass.binary->rows[y];
                for (int x = 0; x < 157; ++x) row[x] = static_cast<uint8_t>(1 - row[x]);
            }
            preparation.giveBack(n);
        }
    }
}

// A request that ends early drops the preparation with passes ready and one under way.
TEST(PassPreparation, EndsAtAnyPass) {
    OwnedRaster grey(400, 600);
    fillGrey(*grey.r, 9);
    for (int taken = 0; taken < 8; ++taken) {
        PassPreparation preparation(*grey.r, taken % 2 == 0 ? 0 : kFirstPreparedAhead);
        for (int n = 0; n < taken; ++n) {
            EXPECT_NE(preparation.take(n).binary, nullptr);
            preparation.giveBack(n);
        }
    }
    // Pictures too small for a search give passes without a picture.
    OwnedRaster tiny(17, 40);
    PassPreparation preparation(*tiny.r, kFirstPreparedAhead);
    EXPECT_EQ(preparation.take(0).binary, nullptr);
}

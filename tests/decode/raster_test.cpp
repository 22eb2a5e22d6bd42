#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <numeric>
#include <vector>

#include <opencv2/core.hpp>

#include "engine/image/raster.h"

using namespace velmora;

// Every byte of every row is written: under AddressSanitizer a row shorter than width times the
// element size, or a leak on release, fails here.
TEST(RasterContainers, SizesCodesAndRelease) {
    EXPECT_EQ(createRaster(0, 5, 1), nullptr);
    EXPECT_EQ(createRaster(5, 0, 1), nullptr);
    EXPECT_EQ(createRaster(5, 5, 0), nullptr);
    EXPECT_EQ(createRasterStack(2, 0, 2, 1), nullptr);
    for (const auto& [code, bytes] : std::vector<std::pair<int, int>>{{1, 3}, {2, 6}, {4, 12}, {5, 24}, {7, 3}}) {
        Raster* raster = createRaster(4, 3, code);
        ASSERT_NE(raster, nullptr);
        for (int y = 0; y < 4; ++y) std::memset(raster->rows[y], y + 1, static_cast<std::size_t>(bytes));
        EXPECT_EQ(raster->rows[3][bytes - 1], 4) << code;
        destroyRaster(raster);
        EXPECT_EQ(raster, nullptr);
        destroyRaster(raster);  // a second release is harmless
    }
    RasterStack* stack = createRasterStack(2, 3, 4, kRasterFloat);
    ASSERT_NE(stack, nullptr);
    std::memset(stack->planes[1][2], 7, 16);
    destroyRasterStack(stack);
    EXPECT_EQ(stack, nullptr);
}

TEST(RasterContainers, ViewsFollowTheirRowsAndNeverFreeThem) {
    cv::Mat picture(40, 50, CV_8UC1);
    cv::randu(picture, 0, 256);
    const cv::Mat region = picture(cv::Rect(7, 3, 20, 30));  // stride 50, width 20
    const cv::Mat before = picture.clone();
    Raster* view = viewImageAsRaster(&region);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->width, 20);
    for (int y = 0; y < 30; ++y) EXPECT_EQ(view->rows[y], region.ptr<uint8_t>(y));
    releaseRasterView(view);
    EXPECT_EQ(view, nullptr);
    EXPECT_EQ(cv::countNonZero(picture != before), 0);
    const cv::Mat colour(10, 10, CV_8UC3), empty;
    EXPECT_EQ(viewImageAsRaster(&colour), nullptr);
    EXPECT_EQ(viewImageAsRaster(&empty), nullptr);

    std::vector<uint8_t> buffer(6 * 9);
    std::iota(buffer.begin(), buffer.end(), uint8_t{0});
    Raster* contiguous = viewBufferAsRaster(buffer.data(), 6, 9, 9);
    ASSERT_NE(contiguous, nullptr);
    EXPECT_EQ(contiguous->rows[5][8], 53);
    releaseRasterView(contiguous);
    // The caller's table lives on the stack: freeing it would be reported.
    std::array<uint8_t*, 6> table{};
    for (int y = 0; y < 6; ++y) table[y] = buffer.data() + (5 - y) * 9;
    Raster* over = viewRowTableAsRaster(table.data(), 6, 9);
    ASSERT_NE(over, nullptr);
    EXPECT_EQ(over->rows[0][0], 45);
    releaseRasterView(over);
    EXPECT_EQ(table[0], buffer.data() + 45);
    EXPECT_EQ(buffer[53], 53);
}

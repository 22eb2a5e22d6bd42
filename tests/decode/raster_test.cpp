#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

#include <opencv2/core.hpp>

#include "engine/decode/raster.h"

using namespace velmora;

TEST(RasterCreation, RefusesNonPositiveSizesAndCodes) {
    EXPECT_EQ(createRaster(0, 5, 1), nullptr);
    EXPECT_EQ(createRaster(5, 0, 1), nullptr);
    EXPECT_EQ(createRaster(5, 5, 0), nullptr);
    EXPECT_EQ(createRaster(-1, 5, 1), nullptr);
    EXPECT_EQ(createRasterStack(0, 2, 2, 1), nullptr);
    EXPECT_EQ(createRasterStack(2, 0, 2, 1), nullptr);
    EXPECT_EQ(createRasterStack(2, 2, 0, 1), nullptr);
    EXPECT_EQ(createRasterStack(2, 2, 2, -4), nullptr);
}

// Every byte of every row is written and read back; under AddressSanitizer a row shorter than
// width times the element size fails here.
TEST(RasterCreation, RowsHoldWidthElementsOfTheirCode) {
    struct Case {
        int code;
        int bytes;
    };
    for (const Case c : {Case{1, 3}, Case{2, 6}, Case{3, 12}, Case{4, 12}, Case{5, 24}, Case{7, 3}}) {
        Raster* raster = createRaster(4, 3, c.code);
        ASSERT_NE(raster, nullptr);
        EXPECT_EQ(raster->elementType, c.code);
        EXPECT_EQ(raster->height, 4);
        EXPECT_EQ(raster->width, 3);
        EXPECT_EQ(raster->rows, raster->rowTable);
        for (int y = 0; y < 4; ++y) std::memset(raster->rows[y], y + 1, static_cast<std::size_t>(c.bytes));
        for (int y = 0; y < 4; ++y) EXPECT_EQ(raster->rows[y][c.bytes - 1], y + 1) << "code " << c.code;
        destroyRaster(raster);
        EXPECT_EQ(raster, nullptr);
    }
    Raster* floats = createRaster(2, 3, kRasterFloat);
    ASSERT_NE(floats, nullptr);
    floats->rowAs<float>(1)[2] = 2.5f;
    EXPECT_EQ(floats->rowAs<float>(1)[2], 2.5f);
    destroyRaster(floats);
}

TEST(RasterCreation, DestroyingTwiceIsHarmless) {
    Raster* raster = createRaster(3, 3, 1);
    destroyRaster(raster);
    destroyRaster(raster);
    EXPECT_EQ(raster, nullptr);
    Raster* none = nullptr;
    destroyRaster(none);
    RasterStack* stack = createRasterStack(2, 3, 4, kRasterFloat);
    ASSERT_NE(stack, nullptr);
    stack->planes[1][2][3 * 4] = 7;  // last byte of the last float of a row
    destroyRasterStack(stack);
    EXPECT_EQ(stack, nullptr);
    destroyRasterStack(stack);
}

TEST(RasterViews, ImageViewFollowsTheRowStride) {
    cv::Mat picture(40, 50, CV_8UC1);
    for (int y = 0; y < picture.rows; ++y) {
        for (int x = 0; x < picture.cols; ++x) picture.at<uint8_t>(y, x) = static_cast<uint8_t>(y * 5 + x);
    }
    const cv::Mat region = picture(cv::Rect(7, 3, 20, 30));  // a region: stride 50, width 20
    const cv::Mat before = region.clone();
    Raster* view = viewImageAsRaster(&region);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->height, 30);
    EXPECT_EQ(view->width, 20);
    EXPECT_EQ(view->elementType, kRasterByte);
    for (int y = 0; y < 30; ++y) {
        EXPECT_EQ(view->rows[y], region.ptr<uint8_t>(y));
        EXPECT_EQ(view->rows[y][19], region.at<uint8_t>(y, 19));
    }
    releaseRasterView(view);
    EXPECT_EQ(view, nullptr);
    EXPECT_EQ(cv::countNonZero(region != before), 0);

    const cv::Mat empty;
    const cv::Mat colour(10, 10, CV_8UC3);
    EXPECT_EQ(viewImageAsRaster(nullptr), nullptr);
    EXPECT_EQ(viewImageAsRaster(&empty), nullptr);
    EXPECT_EQ(viewImageAsRaster(&colour), nullptr);
}

TEST(RasterViews, BufferAndRowTableViewsNeverFreeTheRows) {
    std::vector<uint8_t> buffer(6 * 9);
    std::iota(buffer.begin(), buffer.end(), uint8_t{0});
    const std::vector<uint8_t> before = buffer;
    Raster* contiguous = viewBufferAsRaster(buffer.data(), 6, 9, 9);
    ASSERT_NE(contiguous, nullptr);
    EXPECT_EQ(contiguous->rows[5][8], 53);
    releaseRasterView(contiguous);
    EXPECT_EQ(contiguous, nullptr);
    EXPECT_EQ(buffer, before);
    EXPECT_EQ(viewBufferAsRaster(buffer.data(), 6, 9, 8), nullptr);
    EXPECT_EQ(viewBufferAsRaster(nullptr, 6, 9, 9), nullptr);

    // The table lives on the stack: freeing it would be reported by AddressSanitizer.
    std::array<uint8_t*, 6> table{};
    for (int y = 0; y < 6; ++y) table[y] = buffer.data() + (5 - y) * 9;
    Raster* over = viewRowTableAsRaster(table.data(), 6, 9);
    ASSERT_NE(over, nullptr);
    EXPECT_EQ(over->rowTable, nullptr);
    EXPECT_EQ(over->rows[0][0], 45);
    releaseRasterView(over);
    EXPECT_EQ(over, nullptr);
    EXPECT_EQ(table[0], buffer.data() + 45);
    releaseRasterView(over);
}

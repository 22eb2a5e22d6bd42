// Two- and three-level arrays addressed through tables of row pointers.
//
// Every picture, mask, module matrix and float table of the reader lives in one of these. An
// owned Raster allocates each row separately (no stride, no contiguity); a view puts a header
// over rows that belong to someone else and never frees them.
#pragma once

#include <cstdint>

namespace cv {
class Mat;
}

namespace velmora {

// Element width codes. Any other positive code behaves as a byte.
enum RasterElement : int32_t {
    kRasterByte = 1,
    kRasterInt16 = 2,
    kRasterInt32 = 3,
    kRasterFloat = 4,
    kRasterInt64 = 5,
};

// Bytes of one element of the given code (codes 2 to 5 as listed, every other code 1).
constexpr int rasterElementSize(int32_t elementType) {
    switch (elementType) {
        case kRasterInt16: return 2;
        case kRasterInt32: return 4;
        case kRasterFloat: return 4;
        case kRasterInt64: return 8;
        default: return 1;
    }
}

struct Raster {
    int32_t elementType;
    int32_t height;
    int32_t width;
    // The table as it was allocated; null when the header views a caller's own table.
    uint8_t** rowTable;
    // The table through which element (y, x) is addressed.
    uint8_t** rows;

    // Row y read as elements of type T (the caller knows the element code).
    template <typename T>
    T* rowAs(int y) const {
        return reinterpret_cast<T*>(rows[y]);
    }
};

struct RasterStack {
    int32_t elementType;
    int32_t planeCount;
    int32_t rowsPerPlane;
    int32_t width;
    uint8_t*** planeTable;
    uint8_t*** planes;
};

// A new owned raster of height rows by width elements of the given code, contents undefined;
// null without allocating anything when a size or the code is not positive, or when any
// allocation fails (everything obtained so far is released).
Raster* createRaster(int height, int width, int elementType);

// Frees every row, the table and the header of an owned raster and nulls the pointer; a null
// pointer is left alone.
void destroyRaster(Raster*& raster);

// Sets every byte of a byte raster's rows to 0.
void clearRaster(Raster& raster);

// A byte view over the rows of an 8-bit single-channel image, following the image's row
// stride; null for an absent or empty image, an image of another type, or a failed allocation.
Raster* viewImageAsRaster(const cv::Mat* image);

// A byte view over a buffer of height rows of width samples, row y at buffer + y * stride;
// null when the buffer is absent, a size is not positive, stride < width, or allocation fails.
Raster* viewBufferAsRaster(uint8_t* buffer, int height, int width, int stride);

// A byte view whose row table is the caller's own (never freed by the view); null when the
// table is absent, a size is not positive, or allocation fails.
Raster* viewRowTableAsRaster(uint8_t** rowTable, int height, int width);

// Frees the view's own table (if it has one) and its header, never the rows, and nulls the
// pointer; a null pointer is left alone.
void releaseRasterView(Raster*& view);

// A new owned stack of planeCount planes, each rowsPerPlane rows of width elements; null
// without allocating when a size or the code is not positive, or when an allocation fails.
RasterStack* createRasterStack(int planeCount, int rowsPerPlane, int width, int elementType);

// Frees every row, every plane table, the plane table and the header, and nulls the pointer;
// a null pointer is left alone.
void destroyRasterStack(RasterStack*& stack);

}  // namespace velmora

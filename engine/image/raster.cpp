#include "engine/image/raster.h"

#include <cstddef>
#include <cstring>
#include <new>

#include <opencv2/core/mat.hpp>

namespace velmora {
namespace {

// A row of width elements of the given code, or null.
uint8_t* allocateRow(int width, int32_t elementType) {
    const std::size_t bytes = static_cast<std::size_t>(width) * rasterElementSize(elementType);
    return new (std::nothrow) uint8_t[bytes];
}

// A table of count row pointers, all null, or null.
uint8_t** allocateTable(int count) { return new (std::nothrow) uint8_t*[count]{}; }

// Frees the first count rows of a table (null entries skipped) and the table itself.
void freeRowsAndTable(uint8_t** table, int count) {
    if (table == nullptr) return;
    for (int y = 0; y < count; ++y) delete[] table[y];
    delete[] table;
}

// A header for a byte view of height by width whose table is rows; null on failure.
Raster* newViewHeader(int height, int width, uint8_t** rowTable, uint8_t** rows) {
    Raster* view = new (std::nothrow) Raster{};
    if (view == nullptr) return nullptr;
    view->elementType = kRasterByte;
    view->height = height;
    view->width = width;
    view->rowTable = rowTable;
    view->rows = rows;
    return view;
}

}  // namespace

// Rows are allocated one by one so that a failure part way can be unwound row by row.
Raster* createRaster(int height, int width, int elementType) {
    if (height <= 0 || width <= 0 || elementType <= 0) return nullptr;
    Raster* raster = new (std::nothrow) Raster{};
    if (raster == nullptr) return nullptr;
    uint8_t** table = allocateTable(height);
    if (table == nullptr) {
        delete raster;
        return nullptr;
    }
    for (int y = 0; y < height; ++y) {
        table[y] = allocateRow(width, elementType);
        if (table[y] == nullptr) {
            freeRowsAndTable(table, y);
            delete raster;
            return nullptr;
        }
    }
    raster->elementType = elementType;
    raster->height = height;
    raster->width = width;
    raster->rowTable = table;
    raster->rows = table;
    return raster;
}

// Rows go through rows (the addressing table), the block through rowTable.
void clearRaster(Raster& raster) {
    for (int y = 0; y < raster.height; ++y) std::memset(raster.rows[y], 0, static_cast<std::size_t>(raster.width));
}

void destroyRaster(Raster*& raster) {
    if (raster == nullptr) return;
    if (raster->rows != nullptr) {
        for (int y = 0; y < raster->height; ++y) delete[] raster->rows[y];
    }
    delete[] raster->rowTable;
    delete raster;
    raster = nullptr;
}

Raster* viewImageAsRaster(const cv::Mat* image) {
    if (image == nullptr || image->empty() || image->type() != CV_8UC1 || image->dims != 2) return nullptr;
    return viewBufferAsRaster(image->data, image->rows, image->cols, static_cast<int>(image->step[0]));
}

Raster* viewBufferAsRaster(uint8_t* buffer, int height, int width, int stride) {
    if (buffer == nullptr || height <= 0 || width <= 0 || stride < width) return nullptr;
    uint8_t** table = allocateTable(height);
    if (table == nullptr) return nullptr;
    for (int y = 0; y < height; ++y) table[y] = buffer + static_cast<std::ptrdiff_t>(y) * stride;
    Raster* view = newViewHeader(height, width, table, table);
    if (view == nullptr) delete[] table;
    return view;
}

Raster* viewRowTableAsRaster(uint8_t** rowTable, int height, int width) {
    if (rowTable == nullptr || height <= 0 || width <= 0) return nullptr;
    return newViewHeader(height, width, nullptr, rowTable);
}

void releaseRasterView(Raster*& view) {
    if (view == nullptr) return;
    delete[] view->rowTable;
    delete view;
    view = nullptr;
}

RasterStack* createRasterStack(int planeCount, int rowsPerPlane, int width, int elementType) {
    if (planeCount <= 0 || rowsPerPlane <= 0 || width <= 0 || elementType <= 0) return nullptr;
    RasterStack* stack = new (std::nothrow) RasterStack{};
    if (stack == nullptr) return nullptr;
    stack->elementType = elementType;
    stack->planeCount = planeCount;
    stack->rowsPerPlane = rowsPerPlane;
    stack->width = width;
    stack->planeTable = new (std::nothrow) uint8_t**[planeCount]{};
    stack->planes = stack->planeTable;
    if (stack->planeTable == nullptr) {
        delete stack;
        return nullptr;
    }
    for (int k = 0; k < planeCount; ++k) {
        uint8_t** plane = allocateTable(rowsPerPlane);
        stack->planeTable[k] = plane;
        bool complete = plane != nullptr;
        for (int y = 0; complete && y < rowsPerPlane; ++y) {
            plane[y] = allocateRow(width, elementType);
            complete = plane[y] != nullptr;
        }
        if (!complete) {
            destroyRasterStack(stack);
            return nullptr;
        }
    }
    return stack;
}

void destroyRasterStack(RasterStack*& stack) {
    if (stack == nullptr) return;
    if (stack->planes != nullptr) {
        for (int k = 0; k < stack->planeCount; ++k) freeRowsAndTable(stack->planes[k], stack->rowsPerPlane);
    }
    delete[] stack->planeTable;
    delete stack;
    stack = nullptr;
}

}  // namespace velmora

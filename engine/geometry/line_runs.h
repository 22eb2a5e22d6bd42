// Helpers of the run scanners that walk a line of binary samples from one colour change to the
// next rather than sample by sample.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>

namespace velmora {

// Where a line of samples (0 dark, any other value light) changes colour: the positions i,
// 1 <= i < length, whose sample differs in colour from the one before, in order, written to
// out (room for length - 1 entries). Returns their count. Reads nothing past the line.
int colourChanges(const uint8_t* line, int length, int32_t* out);

// The same for a line whose samples of 2 and more are masked: the changes between dark (0),
// light (1) and masked samples, masked samples of either colour counting as one class.
int maskedColourChanges(const uint8_t* line, int length, int32_t* out);

// An inclusive integer range; empty when low > high.
struct IntRange {
    int32_t low = 1;
    int32_t high = 0;

    bool contains(int v) const { return low <= v && v <= high; }
};

// The integers that pass a test which holds on one interval of the integers and fails on both
// sides of it, given the interval's real ends low and high to within one or two: a few
// evaluations of the test itself settle each end, so the range agrees with the test exactly,
// float rounding included. Only values from 0 up to 2^30 are considered.
template <typename Test>
IntRange passingRange(const Test& passes, double low, double high) {
    constexpr double kLargest = 1 << 30;
    IntRange range;
    if (!(high > low) || low > kLargest) return range;
    const int top = static_cast<int>(std::min(high, kLargest));
    int first = std::max(0, static_cast<int>(std::max(low, 0.0)) - 2);
    while (first <= top + 2 && !passes(first)) ++first;
    if (first > top + 2) return range;
    int last = std::max(first, top - 2);
    while (!passes(last)) --last;
    while (passes(last + 1)) ++last;
    range.low = first;
    range.high = last;
    return range;
}

// The colour changes of every line of the four scan families of one binary picture (rows,
// columns, diagonals, anti-diagonals, lines numbered and walked as the finder search walks them),
// taken in one sweep over the picture's rows. The finder search scans its lines from the record,
// and the alignment search slices its windows' lines out of it instead of reading the pixels
// again. Inverting the picture keeps every change, so the record stays good through the
// inverted half of a decode pass.
//
// A record outlives the search that made it only while the decode driver allows it, for the
// pass whose picture it keeps unchanged; everyone else reads the pixels.
struct LineChangeList {
    const uint16_t* begin;
    const uint16_t* end;
};

// Where picture pixel (y, x) lies on the lines of a family (0 rows, 1 columns, 2 diagonals down
// and to the right, 3 anti-diagonals down and to the left): the line's number and the pixel's
// index along it. Diagonal L starts at the top right and anti-diagonal L at the top left, both
// moving along the top row first and then down the side.
struct LinePlace {
    int line;
    int offset;
};
inline LinePlace linePlaceOf(int family, int y, int x, int width) {
    switch (family) {
        case 0: return {y, x};
        case 1: return {x, y};
        case 2: return {width - 1 - x + y, std::min(y, x)};
        default: return {y + x, std::min(y, width - 1 - x)};
    }
}

// One line of a family: its first pixel and its length in samples.
struct LineGeometry {
    int row;
    int column;
    int length;
};

// Line L of a family that advances one row per sample: columns (1), diagonals down and to the
// right (2), anti-diagonals down and to the left (3), numbered as linePlaceOf numbers them.
inline LineGeometry lineOf(int family, int L, int height, int width) {
    switch (family) {
        case 1: return {0, L, height};
        case 2: {
            const int row = std::max(0, L + 1 - width);
            const int column = width - 1 - L + row;
            return {row, column, std::min(height - row, width - column)};
        }
        default: {
            const int row = std::max(0, L + 1 - width);
            const int column = L - row;
            return {row, column, std::min(height - row, column + 1)};
        }
    }
}

// Allowed between the driver's binarisation and the end of the pass; any change of the
// permission forgets the record.
void allowLineChangeRecording(bool allowed);

// Makes the record hold every line of the picture: a record of this picture stands while
// recording is allowed, else the picture is swept again. False when the picture cannot be
// recorded (a side above 65535 samples, or too little memory); the record is then empty.
bool recordLineChanges(const uint8_t* const* rows, int height, int width);

// True when the record holds this picture and may be used after the search that made it.
bool lineChangesReady(const uint8_t* const* rows, int height, int width);

// The line changes of one picture swept ahead of its search, on another thread if need be, and
// then handed to the record. Each keeps its own storage, which the record trades for its own.
class PreparedLineChanges {
public:
    PreparedLineChanges();
    ~PreparedLineChanges();
    PreparedLineChanges(const PreparedLineChanges&) = delete;
    PreparedLineChanges& operator=(const PreparedLineChanges&) = delete;

    // Sweeps every line of the picture, as recordLineChanges would. False when the picture cannot
    // be recorded, or when stop was raised before the sweep ended.
    bool sweep(const uint8_t* const* rows, int height, int width, const std::atomic<bool>& stop);

    // Frees the storage that sweeps have grown.
    void releaseStorage();

private:
    friend bool adoptLineChanges(PreparedLineChanges& prepared);
    struct Storage;
    std::unique_ptr<Storage> storage_;
    const uint8_t* const* rows_ = nullptr;  // the picture swept, or null
    int height_ = 0;
    int width_ = 0;
};

// While recording is allowed, the record takes the prepared changes (their storage and the
// record's trade places): the picture counts as recorded, as after recordLineChanges. False,
// with nothing taken, when recording is not allowed or the sweep did not succeed.
bool adoptLineChanges(PreparedLineChanges& prepared);

// Changes whenever the record is forgotten. While it stands and lineChangesReady holds, the
// picture is the one recorded, or that picture inverted.
uint64_t lineRecordGeneration();

// The picture that the record holds, as seen by what is worked out from it and kept while the
// record stands: the same record, and whether the picture was inverted since (the search
// inverts it once, which flips every sample and moves no change).
struct PictureOnRecord {
    uint64_t generation = 0;
    const uint8_t* const* rows = nullptr;
    uint8_t firstSample = 0;

    // The picture rows as it is now, under the record's present generation.
    static PictureOnRecord of(const uint8_t* const* rows) { return {lineRecordGeneration(), rows, rows[0][0]}; }
    bool sameRecord(const PictureOnRecord& other) const { return generation == other.generation && rows == other.rows; }
    bool invertedFrom(const PictureOnRecord& other) const { return firstSample != other.firstSample; }
};
// The record of one family: line(L) gives the recorded changes of line L (positions along the
// line, ascending).
struct LineChangeFamily {
    const uint16_t* changes;
    const uint32_t* lineStarts;
    const uint32_t* lineEnds;

    LineChangeList line(int L) const { return {changes + lineStarts[L], changes + lineEnds[L]}; }
};
// Valid until the record changes.
LineChangeFamily lineChangesOfFamily(int family);

// A record of the same kind for the decoded-area mask of a search (covered pixels count as light,
// uncovered ones as dark), whose covered pixels all lie in the box of rows top to bottom and
// columns left to right. Made anew by every call; false when the mask cannot be recorded. The
// families are valid until the next call.
bool recordMaskChanges(const uint8_t* const* maskRows, int height, int width, int top, int bottom, int left,
                       int right);
LineChangeFamily maskChangesOfFamily(int family);

// The changes of a recorded line at positions p with low < p < high (0 <= low < high <= 65536),
// found by reading the line from its start, sixteen bytes at a time, up to the first change at
// high or beyond: for the short lists of a line a forward read beats a halving search, whose
// every step waits for the one before.
LineChangeList changesBetween(LineChangeList line, int low, int high);

}  // namespace velmora

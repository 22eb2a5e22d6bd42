// Helpers of the run scanners that walk a line of binary samples from one colour change to the
// next rather than sample by sample.
#pragma once

#include <algorithm>
#include <cstdint>

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
// columns, diagonals, anti-diagonals, lines numbered and walked as the finder search walks
// them), recorded by the finder search so that the alignment search can slice its windows' lines
// out of them instead of reading the pixels again. Inverting the picture keeps every change, so
// the record stays good through the inverted half of a decode pass.
//
// Recording happens only while the decode driver allows it, for the pass whose picture it
// keeps unchanged; everyone else reads the pixels.
struct LineChangeList {
    const uint16_t* begin;
    const uint16_t* end;
};

// Allowed between the driver's binarisation and the end of the pass; forbidding it also forgets
// the record.
void allowLineChangeRecording(bool allowed);

// The finder search starts a record of the picture (or, when recording is not allowed, the
// picture is too large to index or the scan is masked, forgets any record).
void beginLineChanges(const uint8_t* const* rows, int height, int width, bool masked);
// Appends the changes of the next line of the family (lines arrive in order).
void recordLineChanges(int family, const int32_t* changes, int count);
// The finder search is done with the family; a family with every line recorded counts as
// complete.
void endLineChanges(int family, int lines);

// True when all four families of this picture are recorded.
bool lineChangesReady(const uint8_t* const* rows, int height, int width);
// The record of one family: line(L) gives the recorded changes of line L (positions along the
// line, ascending).
struct LineChangeFamily {
    const uint16_t* changes;
    const uint32_t* lineStarts;

    LineChangeList line(int L) const { return {changes + lineStarts[L], changes + lineStarts[L + 1]}; }
};
// Valid until the record changes.
LineChangeFamily lineChangesOfFamily(int family);

}  // namespace velmora

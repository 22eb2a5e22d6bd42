#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "engine/geometry/line_runs.h"

using namespace velmora;

namespace {

// Positions where the class of a sample differs from the one before, one sample at a time.
std::vector<int32_t> plainChanges(const std::vector<uint8_t>& line, bool masked) {
    auto classOf = [&](uint8_t v) { return masked ? std::min<int>(v, 2) : (v != 0 ? 1 : 0); };
    std::vector<int32_t> out;
    for (std::size_t i = 1; i < line.size(); ++i) {
        if (classOf(line[i]) != classOf(line[i - 1])) out.push_back(static_cast<int32_t>(i));
    }
    return out;
}

}  // namespace

// Lines of every length up to 80, from long runs to a change at every sample (more changes per
// block of sixteen than the fast path writes at once), with the class values the two searches
// tell apart: the result must be the plain search's, and nothing may be written past it.
TEST(LineRuns, ColourChangesMatchTheSampleBySampleSearch) {
    std::mt19937 random(5);
    for (bool masked : {false, true}) {
        for (int length = 1; length <= 80; ++length) {
            for (int changeEvery : {1, 2, 3, 5, 17}) {
                std::vector<uint8_t> line(static_cast<std::size_t>(length));
                uint8_t value = static_cast<uint8_t>(random() % 2);
                for (int i = 0; i < length; ++i) {
                    if (random() % static_cast<unsigned>(changeEvery) == 0) {
                        value = static_cast<uint8_t>(masked ? random() % 5 : (value == 0 ? 1 + random() % 200 : 0));
                    }
                    line[static_cast<std::size_t>(i)] = value;
                }
                const std::vector<int32_t> expected = plainChanges(line, masked);
                // The search may use the whole buffer it is given: one slot per sample.
                std::vector<int32_t> got(static_cast<std::size_t>(length) + 1, -7);
                const int count = masked ? maskedColourChanges(line.data(), length, got.data())
                                         : colourChanges(line.data(), length, got.data());
                ASSERT_EQ(count, static_cast<int>(expected.size())) << length << " " << changeEvery << " " << masked;
                for (int k = 0; k < count; ++k) ASSERT_EQ(got[static_cast<std::size_t>(k)], expected[static_cast<std::size_t>(k)]) << length << " " << k;
                EXPECT_EQ(got[static_cast<std::size_t>(length)], -7) << "written past the line's slots";
            }
        }
    }
}

namespace {

// The samples of line L of a family, read pixel by pixel from where the line starts: rows and
// columns from their first pixel, diagonals (down and to the right) numbered from the top right
// corner and anti-diagonals (down and to the left) from the top left, along the top row and then
// down the side.
std::vector<uint8_t> familyLine(const std::vector<std::vector<uint8_t>>& picture, int family, int L) {
    const int height = static_cast<int>(picture.size()), width = static_cast<int>(picture[0].size());
    int y = 0, x = 0, dy = 0, dx = 1;
    if (family == 0) y = L;
    if (family == 1) x = L, dy = 1, dx = 0;
    if (family == 2) y = std::max(0, L - (width - 1)), x = width - 1 - L + y, dy = 1, dx = 1;
    if (family == 3) y = std::max(0, L - (width - 1)), x = L - y, dy = 1, dx = -1;
    std::vector<uint8_t> line;
    for (; y < height && x >= 0 && x < width; y += dy, x += dx) line.push_back(picture[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]);
    return line;
}

// Every line of every family in the record against the plain search over its samples.
testing::AssertionResult recordMatchesPicture(const std::vector<std::vector<uint8_t>>& picture,
                                              LineChangeFamily (*recordOf)(int) = lineChangesOfFamily) {
    const int height = static_cast<int>(picture.size()), width = static_cast<int>(picture[0].size());
    for (int family = 0; family < 4; ++family) {
        const int lines = family == 0 ? height : (family == 1 ? width : height + width - 1);
        const LineChangeFamily record = recordOf(family);
        for (int L = 0; L < lines; ++L) {
            const std::vector<int32_t> expected = plainChanges(familyLine(picture, family, L), false);
            const LineChangeList got = record.line(L);
            if (!std::equal(expected.begin(), expected.end(), got.begin, got.end)) {
                return testing::AssertionFailure() << height << " x " << width << ": family " << family << " line " << L;
            }
        }
    }
    return testing::AssertionSuccess();
}

struct RecordedPicture {
    std::vector<std::vector<uint8_t>> samples;
    std::vector<const uint8_t*> rows;

    RecordedPicture(int height, int width, int changeEvery, std::mt19937& random)
        : samples(static_cast<std::size_t>(height), std::vector<uint8_t>(static_cast<std::size_t>(width))) {
        redraw(changeEvery, random);
        for (auto& row : samples) rows.push_back(row.data());
    }
    // Runs along the rows that change every changeEvery samples or so; light samples of any
    // nonzero value.
    void redraw(int changeEvery, std::mt19937& random) {
        for (auto& row : samples) {
            uint8_t value = static_cast<uint8_t>(random() % 2);
            for (uint8_t& sample : row) {
                if (random() % static_cast<unsigned>(changeEvery) == 0) value = value == 0 ? static_cast<uint8_t>(1 + random() % 255) : 0;
                sample = value;
            }
        }
    }
};

}  // namespace

// Pictures narrower and wider than the sixteen samples the sweep takes at once, from a change at
// every sample to long runs: every recorded line must hold exactly its own changes.
TEST(LineRuns, RecordHoldsTheChangesOfEveryLine) {
    std::mt19937 random(8);
    allowLineChangeRecording(false);
    for (int height : {1, 2, 3, 17, 40}) {
        for (int width : {1, 2, 16, 17, 18, 19, 33, 50, 130}) {
            for (int changeEvery : {1, 2, 4, 11}) {
                RecordedPicture picture(height, width, changeEvery, random);
                ASSERT_TRUE(recordLineChanges(picture.rows.data(), height, width));
                ASSERT_TRUE(recordMatchesPicture(picture.samples));
            }
        }
    }
}

// A mask is swept only around the box of its covered pixels: blocks at the picture's edges and
// inside it, the box a single pixel or the whole picture.
TEST(LineRuns, MaskRecordHoldsTheChangesAroundItsBox) {
    std::mt19937 random(11);
    for (int height : {1, 5, 33}) {
        for (int width : {1, 17, 18, 40, 90}) {
            for (int trial = 0; trial < 20; ++trial) {
                std::vector<std::vector<uint8_t>> mask(static_cast<std::size_t>(height), std::vector<uint8_t>(static_cast<std::size_t>(width), 0));
                int top = height, bottom = -1, left = width, right = -1;
                for (int block = 0; block < 1 + trial % 3; ++block) {
                    const int y0 = static_cast<int>(random() % static_cast<unsigned>(height)), x0 = static_cast<int>(random() % static_cast<unsigned>(width));
                    const int y1 = std::min(height - 1, y0 + static_cast<int>(random() % 9)), x1 = std::min(width - 1, x0 + static_cast<int>(random() % 30));
                    for (int y = y0; y <= y1; ++y) {
                        for (int x = x0; x <= x1; ++x) mask[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = static_cast<uint8_t>(1 + random() % 3);
                    }
                    top = std::min(top, y0), bottom = std::max(bottom, y1), left = std::min(left, x0), right = std::max(right, x1);
                }
                std::vector<const uint8_t*> rows;
                for (auto& row : mask) rows.push_back(row.data());
                ASSERT_TRUE(recordMaskChanges(rows.data(), height, width, top, bottom, left, right));
                ASSERT_TRUE(recordMatchesPicture(mask, maskChangesOfFamily)) << "trial " << trial;
            }
        }
    }
}

// The record outlives a search only while recording is allowed: then it stands for the same
// picture, and any change of the permission forgets it. Pictures too long to index are not
// recorded.
TEST(LineRuns, RecordIsKeptOnlyWhileAllowed) {
    std::mt19937 random(9);
    RecordedPicture picture(30, 40, 3, random);
    const uint8_t* const* rows = picture.rows.data();
    allowLineChangeRecording(false);
    ASSERT_TRUE(recordLineChanges(rows, 30, 40));
    EXPECT_FALSE(lineChangesReady(rows, 30, 40));
    // Not allowed: the same rows, drawn anew, are swept again.
    picture.redraw(5, random);
    ASSERT_TRUE(recordLineChanges(rows, 30, 40));
    EXPECT_TRUE(recordMatchesPicture(picture.samples));

    allowLineChangeRecording(true);
    EXPECT_FALSE(lineChangesReady(rows, 30, 40));
    ASSERT_TRUE(recordLineChanges(rows, 30, 40));
    EXPECT_TRUE(lineChangesReady(rows, 30, 40));
    EXPECT_FALSE(lineChangesReady(rows, 30, 39));
    EXPECT_TRUE(recordMatchesPicture(picture.samples));
    allowLineChangeRecording(true);
    EXPECT_FALSE(lineChangesReady(rows, 30, 40));
    allowLineChangeRecording(false);

    std::vector<uint8_t> wide(65536, 1);
    const uint8_t* wideRows[1] = {wide.data()};
    EXPECT_FALSE(recordLineChanges(wideRows, 1, 65536));
    EXPECT_TRUE(recordLineChanges(wideRows, 1, 65535));
}

// Ascending lists of every length up to 40 (the forward read takes eight at a time), with bounds
// before, inside, on and after the entries, up to the largest positions: the slice holds exactly
// the entries strictly between the bounds.
TEST(LineRuns, ChangesBetweenTwoPositionsAreTheEntriesStrictlyBetweenThem) {
    std::mt19937 random(10);
    for (int length = 0; length <= 40; ++length) {
        for (int trial = 0; trial < 200; ++trial) {
            const int top = trial % 4 == 0 ? 65536 : 200;
            std::vector<uint16_t> line;
            while (static_cast<int>(line.size()) < length) {
                const auto p = static_cast<uint16_t>(1 + random() % static_cast<unsigned>(top - 1));
                if (std::find(line.begin(), line.end(), p) == line.end()) line.push_back(p);
            }
            std::sort(line.begin(), line.end());
            const int low = static_cast<int>(random() % static_cast<unsigned>(top - 1));
            const int high = low + 1 + static_cast<int>(random() % static_cast<unsigned>(top - low));
            std::vector<uint16_t> expected;
            for (uint16_t p : line) {
                if (low < p && p < high) expected.push_back(p);
            }
            const LineChangeList got = changesBetween({line.data(), line.data() + line.size()}, low, high);
            ASSERT_TRUE(std::equal(expected.begin(), expected.end(), got.begin, got.end))
                << length << " entries, between " << low << " and " << high;
        }
    }
}

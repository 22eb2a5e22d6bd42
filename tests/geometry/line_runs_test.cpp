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

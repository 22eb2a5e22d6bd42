// The reader's codeword tables against a plain walk of the placement path over the data modules.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/codec/mask_patterns.h"
#include "engine/codec/qr_decoder.h"
#include "engine/codec/version_table.h"
#include "tests/codec/reader_test_support.h"

using namespace velmora;

namespace {

TEST(CodewordLayout, EveryVersionAndMaskMatchesThePlacementWalk) {
    for (int version = kMinVersion; version <= kMaxVersion; ++version) {
        SCOPED_TRACE(testing::Message() << "version " << version);
        const auto walk = test::dataModulesInPlacementOrder(version);
        const int codewords = VersionTable[version].totalCodewords;
        // Whole codewords first, then fewer than eight remainder bits.
        ASSERT_GE(static_cast<int>(walk.size()), 8 * codewords);
        EXPECT_LT(static_cast<int>(walk.size()) - 8 * codewords, 8);
        const CodewordModules* layout = codewordModulesOf(version);
        ASSERT_NE(layout, nullptr);
        for (int i = 0; i < codewords; ++i) {
            for (int bit = 0; bit < 8; ++bit) {
                const auto [x, y] = walk[static_cast<std::size_t>(8 * i + bit)];
                ASSERT_EQ(layout[i].x[bit], x) << "codeword " << i << " bit " << bit;
                ASSERT_EQ(layout[i].y[bit], y) << "codeword " << i << " bit " << bit;
                for (int mask = 0; mask < 8; ++mask) {
                    const bool inverted = (layout[i].maskBits[mask] >> (7 - bit)) & 1;
                    ASSERT_EQ(inverted, maskCondition(mask, y, x)) << "codeword " << i << " bit " << bit
                                                                    << " mask " << mask;
                }
            }
        }
        // Asked again, the same table.
        EXPECT_EQ(codewordModulesOf(version), layout);
    }
    EXPECT_EQ(codewordModulesOf(0), nullptr);
    EXPECT_EQ(codewordModulesOf(kMaxVersion + 1), nullptr);
}

}  // namespace

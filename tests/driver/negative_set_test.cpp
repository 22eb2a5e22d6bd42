// Pictures without a readable symbol never give a text, whatever the reader tries on them.
#include <gtest/gtest.h>

#include <string>

#include "engine/velmora_engine.h"
#include "tests/driver/rendered_set.h"

TEST(NegativeSet, NoPictureWithoutSymbolGivesText) {
    int pictures = 0;
    for (velmora::test::RenderedPicture& picture : velmora::test::negativeSet()) {
        ++pictures;
        cv::Mat grey = picture.grey.clone();
        for (const int wanted : {1, 4}) {
            const int count = QR_Decode_Matrix(0, grey.data, grey.cols, grey.rows, wanted, 1, nullptr);
            EXPECT_EQ(count, 0) << picture.name << " with " << wanted << " wanted gave \""
                                << std::string(g_QrDecodedData.sParseStr[0],
                                               static_cast<std::size_t>(g_QrDecodedData.nParseStrLen[0]))
                                << "\"";
        }
    }
    EXPECT_GE(pictures, 30);
}

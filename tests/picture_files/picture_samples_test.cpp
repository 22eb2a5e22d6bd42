// The shared photographs and scans load in both modes, in colour exactly as OpenCV decodes them
// and in grey exactly as OpenCV greys that colour picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <opencv2/imgcodecs.hpp>

#include "picture_test_support.h"

using namespace velmora::test;

namespace {

std::vector<std::filesystem::path> samplePictures() {
    std::vector<std::filesystem::path> pictures;
    std::error_code error;
    const std::filesystem::path root(VELMORA_SAMPLES_DIR);
    if (!std::filesystem::is_directory(root, error)) return pictures;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root, error)) {
        const std::string extension = entry.path().extension().string();
        if (entry.is_regular_file() && (extension == ".png" || extension == ".jpg")) pictures.push_back(entry.path());
    }
    std::sort(pictures.begin(), pictures.end());
    return pictures;
}

TEST(LoaderReadsSharedSamples, EveryPictureLoadsInBothModes) {
    const std::vector<std::filesystem::path> pictures = samplePictures();
    if (pictures.empty()) GTEST_SKIP() << "no sample pictures in " << VELMORA_SAMPLES_DIR;
    for (const auto& picture : pictures) {
        const std::string path = picture.string();
        const cv::Mat reference = cv::imread(path, cv::IMREAD_COLOR | cv::IMREAD_IGNORE_ORIENTATION);
        ASSERT_FALSE(reference.empty()) << path;
        const Loaded colour = load(path, true);
        ASSERT_EQ(colour.result, 1) << path << ": " << colour.reason;
        EXPECT_EQ(maxDifference(colour.image, reference), 0) << path;
        const Loaded grey = load(path, false);
        ASSERT_EQ(grey.result, 1) << path << ": " << grey.reason;
        EXPECT_EQ(maxDifference(grey.image, greyOf(colour.image)), 0) << path;
    }
}

}  // namespace

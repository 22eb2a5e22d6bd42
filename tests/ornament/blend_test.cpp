// The ornament's pixel operations: threshold, grey copy, colour model, shapes, frame and the
// two blends.
#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/core.hpp>
#include <random>

#include "ornament/blend_types.h"
#include "ornament/canvas_grey.h"
#include "ornament/hsi_colour.h"
#include "ornament/intensity_scaling.h"
#include "ornament/mixture_bounds.h"
#include "ornament/otsu_threshold.h"
#include "ornament/picture_border.h"
#include "ornament/saturation_limits.h"
#include "ornament/shape_mask.h"
#include "ornament/small_picture_blend.h"
#include "ornament/symbol_over_picture.h"

namespace velmora {
namespace {

cv::Mat greyOf(std::initializer_list<std::initializer_list<int>> rows) {
    cv::Mat grey(static_cast<int>(rows.size()), static_cast<int>(rows.begin()->size()), CV_8UC1);
    int y = 0;
    for (const auto& row : rows) {
        int x = 0;
        for (int v : row) grey.at<uint8_t>(y, x++) = static_cast<uint8_t>(v);
        ++y;
    }
    return grey;
}

cv::Vec3b pixelAt(const cv::Mat& canvas, int x, int y) {
    return canvas.at<cv::Vec3b>(y, x);
}

cv::Vec3b greyPixel(int v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v), static_cast<uint8_t>(v)};
}

// The pixel ScaleIntensity makes of colour with the factor.
cv::Vec3b scaled(cv::Vec3b colour, double factor) {
    ScaleIntensity(colour.val, factor);
    return colour;
}

TEST(OtsuThresholdSplits, EdgeCasesOfTheRectangle) {
    const cv::Mat grey = greyOf({{0, 255, 0}, {255, 0, 255}});
    EXPECT_EQ(OtsuThreshold(grey, 0, 0, 0, 0), 128) << "empty rectangle";
    EXPECT_EQ(OtsuThreshold(grey, 5, 5, 3, 3), 128) << "rectangle off the picture";
    EXPECT_EQ(OtsuThreshold(grey, 0, 0, 3, 2), 0) << "only 0 and 255: the first level of the widest split";
    EXPECT_EQ(OtsuThreshold(greyOf({{77, 77}, {77, 77}}), 0, 0, 2, 2), 1) << "one level keeps the start value";
}

TEST(OtsuThresholdSplits, FindsTheGapBetweenTwoGroups) {
    // Two groups around 40 and 180 with nothing between 60 and 178: every split in that gap
    // separates them equally well, and the first one wins.
    const cv::Mat grey = greyOf({{38, 40, 42, 178, 180, 182}, {39, 41, 60, 179, 181, 183}});
    EXPECT_EQ(OtsuThreshold(grey, 0, 0, 6, 2), 60);
    // Only the rectangle counts: the right half alone splits inside its own group.
    const int right = OtsuThreshold(grey, 3, 0, 3, 2);
    EXPECT_GE(right, 178);
    EXPECT_LT(right, 183);
}

TEST(CanvasGreyWeighs, NeutralGreyLosesOneLevel) {
    for (int v = 0; v < 256; ++v) {
        const auto b = static_cast<uint8_t>(v);
        EXPECT_EQ(canvasGreyOf(b, b, b), v == 0 ? 0 : v - 1) << v;
    }
    EXPECT_EQ(canvasGreyOf(0, 0, 255), 76);   // 0.299 * 255 = 76.245
    EXPECT_EQ(canvasGreyOf(0, 255, 0), 149);  // 0.587 * 255 = 149.685
    EXPECT_EQ(canvasGreyOf(255, 0, 0), 29);   // 0.114 * 255 = 29.07
}

TEST(CanvasGreyWeighs, EveryColourAsTheExtendedPrecisionSum) {
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                long double sum = static_cast<long double>(0.299) * r;
                sum += static_cast<long double>(0.587) * g;
                sum += static_cast<long double>(0.114) * b;
                const int expected = static_cast<int>(sum);
                const int got = canvasGreyOf(static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r));
                if (got != expected) FAIL() << r << "," << g << "," << b << ": " << got << " != " << expected;
            }
}

TEST(CanvasGreyWeighs, PictureReadsBlueGreenRed) {
    cv::Mat canvas(1, 2, CV_8UC3);
    canvas.at<cv::Vec3b>(0, 0) = {0, 0, 255};  // red
    canvas.at<cv::Vec3b>(0, 1) = {200, 200, 200};
    const cv::Mat grey = CanvasGrey(canvas);
    ASSERT_EQ(grey.type(), CV_8UC1);
    EXPECT_EQ(grey.at<uint8_t>(0, 0), 76);
    EXPECT_EQ(grey.at<uint8_t>(0, 1), 199);
    EXPECT_TRUE(CanvasGrey(cv::Mat()).empty());
}

TEST(ColourModelConverts, RoundTripGivesTheColourBack) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int n = 0; n < 2000; ++n) {
        const int r = byte(random), g = byte(random), b = byte(random);
        const Hsi hsi = RgbToHsi(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
        ASSERT_GE(hsi.h, 0.0);
        ASSERT_LE(hsi.h, 1.0);
        const auto rgb = HsiToRgb(hsi.h, hsi.s, hsi.i);
        // The model's rounded constants (pi as 3.14159) cost up to about a level.
        EXPECT_NEAR(rgb[0] * 255, r, 1.5) << r << "," << g << "," << b;
        EXPECT_NEAR(rgb[1] * 255, g, 1.5) << r << "," << g << "," << b;
        EXPECT_NEAR(rgb[2] * 255, b, 1.5) << r << "," << g << "," << b;
    }
}

TEST(ColourModelConverts, GreyHasNoHueNorSaturationAndBlackIsSaturated) {
    const Hsi grey = RgbToHsi(90, 90, 90);
    EXPECT_EQ(grey.h, 0.0);
    EXPECT_NEAR(grey.s, 0.0, 1e-12);
    EXPECT_NEAR(grey.i, 90 / 255.0, 1e-12);
    EXPECT_EQ(RgbToHsi(0, 0, 0).s, 1.0);
    // Hue runs from red through green (a third) to blue (two thirds).
    EXPECT_NEAR(RgbToHsi(255, 0, 0).h, 0.0, 1e-3);
    EXPECT_NEAR(RgbToHsi(0, 255, 0).h, 1 / 3.0, 1e-3);
    EXPECT_NEAR(RgbToHsi(0, 0, 255).h, 2 / 3.0, 1e-3);
}

TEST(SaturationLimitsHold, SampleRowsAtHueZero) {
    const int intensities[] = {0, 96, 128, 192, 240};
    const int highest[] = {254, 211, 126, 41, 7};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(SaturationLimits(0, intensities[k]).highest, highest[k]) << intensities[k];
        EXPECT_EQ(SaturationLimits(0, intensities[k]).lowest, 0);
    }
    for (int i = 0; i < 256; i += 15) EXPECT_EQ(SaturationLimits(255, i).highest, 0) << "hue 255, intensity " << i;
}

TEST(SaturationLimitsHold, HighestIsTheLastSaturationInGamut) {
    auto inGamut = [](int h, int s, int i) {
        for (double c : HsiToRgb(h / 255.0, s / 255.0, i / 255.0))
            if (c < 0 || c > 1) return false;
        return true;
    };
    for (int h = 0; h < 255; h += 7)
        for (int i = 0; i < 256; i += 5) {
            const int highest = SaturationLimits(h, i).highest;
            EXPECT_TRUE(inGamut(h, highest, i)) << h << "," << i;
            if (highest < 254) {
                EXPECT_FALSE(inGamut(h, highest + 1, i)) << h << "," << i;
            }
        }
}

TEST(IntensityScales, ZeroGivesBlackAndGreyStaysGrey) {
    EXPECT_EQ(scaled({40, 180, 90}, 0.0), greyPixel(0));
    for (int v : {1, 60, 128, 200})
        for (double factor : {0.3, 0.9, 1.2, 1.9, 5.0}) {
            const cv::Vec3b out = scaled(greyPixel(v), factor);
            EXPECT_EQ(out[0], out[1]) << v << " x " << factor;
            EXPECT_EQ(out[1], out[2]) << v << " x " << factor;
            EXPECT_NEAR(out[0], std::min(255.0, v * factor), 1.0) << v << " x " << factor;
        }
}

TEST(IntensityScales, PastIntensityOneTheSaturationIsLimited) {
    // At intensity 1 no saturation is left: any colour pushed that far becomes white.
    EXPECT_EQ(scaled({0, 0, 255}, 4.0), greyPixel(255));
    EXPECT_EQ(scaled({30, 120, 200}, 3.0), greyPixel(255));
    // Short of that the hue stays and the colour keeps what saturation the model allows.
    const cv::Vec3b brighter = scaled({20, 40, 160}, 1.5);
    const Hsi before = RgbToHsi(20, 40, 160), after = RgbToHsi(brighter[0], brighter[1], brighter[2]);
    EXPECT_NEAR(after.h, before.h, 0.01);
    EXPECT_NEAR(after.i, std::min(1.0, before.i * 1.5), 0.01);
    EXPECT_LE(std::lround(after.s * 255), SaturationLimits(std::lround(after.h * 255), std::lround(after.i * 255)).highest + 1);
}

TEST(MixtureBounds, TruncatedTenthsFallShortOnMultiplesOfTen) {
    EXPECT_EQ(static_cast<int>(darkBound(100)), 69);
    EXPECT_EQ(static_cast<int>(darkBound(101)), 70);
    EXPECT_EQ(liftLevel(250), 74);
    EXPECT_EQ(liftLevel(251), 75);
    // Compared with integer levels the bounds act as the exact tenths.
    for (int t = 0; t < 256; ++t)
        for (int p = 0; p < 256; ++p) {
            ASSERT_EQ(p < darkBound(t), 10 * p < 7 * t) << p << " < 0.7 * " << t;
            ASSERT_EQ(p > lightBound(t), 10 * p > 13 * t) << p << " > 1.3 * " << t;
        }
    EXPECT_EQ(static_cast<int>(lightBound(100)), 130);
}

TEST(ShapeMaskDraws, DiscOfAHundredBySixty) {
    const cv::Mat mask = ShapeMask(kShapeRound, 100, 60);
    ASSERT_EQ(mask.size(), cv::Size(100, 60));
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) {
            const double distance = std::hypot(x - 49.5, y - 29.5);
            const uint8_t v = mask.at<uint8_t>(y, x);
            if (distance <= 29.0) {
                ASSERT_EQ(v, kInsideShape) << "hole at " << x << "," << y;
            } else if (distance > 30.0 + 1.0) {
                ASSERT_EQ(v, kOutsideShape) << "spill at " << x << "," << y;
            }
        }
    // The rounded points reach from column 20 to 80 and over every row.
    EXPECT_EQ(mask.at<uint8_t>(29, 20), kInsideShape);
    EXPECT_EQ(mask.at<uint8_t>(29, 19), kOutsideShape);
    EXPECT_EQ(mask.at<uint8_t>(30, 80), kInsideShape);
    EXPECT_EQ(mask.at<uint8_t>(30, 81), kOutsideShape);
    EXPECT_EQ(mask.at<uint8_t>(0, 50), kInsideShape);
    EXPECT_EQ(mask.at<uint8_t>(59, 50), kInsideShape);
}

TEST(ShapeMaskDraws, RoundedRectangleCutsCornersWithArcsOfSevenAndAHalf) {
    const cv::Mat mask = ShapeMask(kShapeRoundRect, 100, 60);
    const double r0 = 7.5;
    const double centres[4][2] = {{r0, r0}, {100 - r0, r0}, {r0, 60 - r0}, {100 - r0, 60 - r0}};
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) {
            // Rounded points reach one pixel further than the arcs' radius.
            const bool nearCornerX = x < r0 + 1 || x > 100 - r0 - 1, nearCornerY = y < r0 + 1 || y > 60 - r0 - 1;
            const uint8_t v = mask.at<uint8_t>(y, x);
            if (!(nearCornerX && nearCornerY)) {
                ASSERT_EQ(v, kInsideShape) << "cut outside the corners at " << x << "," << y;
                continue;
            }
            double distance = 1e9;
            for (const auto& c : centres) distance = std::min(distance, std::hypot(x - c[0], y - c[1]));
            if (distance < r0 - 1.0) {
                ASSERT_EQ(v, kInsideShape) << x << "," << y;
            } else if (distance > r0 + 1.0) {
                ASSERT_EQ(v, kOutsideShape) << x << "," << y;
            }
        }
    EXPECT_EQ(mask.at<uint8_t>(0, 0), kOutsideShape);
    EXPECT_EQ(mask.at<uint8_t>(59, 99), kOutsideShape);
    EXPECT_EQ(cv::countNonZero(ShapeMask(kShapeNone, 7, 5) == kInsideShape), 35);
    EXPECT_TRUE(ShapeMask(kShapeRound, 0, 5).empty());
}

TEST(PictureBorderDraws, ThreeNestedRectanglesInsideThePicture) {
    cv::Mat canvas(12, 14, CV_8UC3, cv::Scalar::all(9));
    const PixelRect rect = PixelRect::at(2, 1, 10, 8);
    const std::array<uint8_t, 3> colours = borderColours(200, 100);
    EXPECT_EQ(colours[0], 150);
    EXPECT_EQ(colours[1], 200);
    EXPECT_EQ(colours[2], 150);
    DrawPictureBorder(canvas, rect, ShapeMask(kShapeNone, 10, 8), kShapeNone, {10, 20, 30});
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 14; ++x) {
            const int px = x - rect.left, py = y - rect.top;
            int expected = 9;
            if (px >= 0 && px < 10 && py >= 0 && py < 8) {
                const int ring = std::min({px, py, 9 - px, 7 - py});
                if (ring < 3) expected = 10 * (ring + 1);
            }
            ASSERT_EQ(pixelAt(canvas, x, y), greyPixel(expected)) << x << "," << y;
        }
}

TEST(PictureBorderDraws, RingsStayInsideThePicture) {
    cv::Mat canvas(40, 40, CV_8UC3, cv::Scalar::all(0));
    const PixelRect rect = PixelRect::at(5, 5, 30, 20);
    DrawPictureBorder(canvas, rect, ShapeMask(kShapeRound, 30, 20), kShapeRound, {50, 60, 50});
    int drawn = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            if (pixelAt(canvas, x, y) == greyPixel(0)) continue;
            ++drawn;
            ASSERT_TRUE(x >= 5 && x < 35 && y >= 5 && y < 25) << x << "," << y;
            const double distance = std::hypot(x - 5 - 14.5, y - 5 - 9.5);
            EXPECT_GT(distance, 10 - 2 - 1.0) << x << "," << y;
            EXPECT_LT(distance, 10 + 1.0) << x << "," << y;
        }
    EXPECT_GT(drawn, 100);
}

// A 3 x 3 symbol over a 3 x 3 canvas: one row per module class, light and dark modules.
struct HandMadeScene {
    cv::Mat symbol = greyOf({{255, 0, 255}, {255, 0, 0}, {255, 0, 255}});
    cv::Mat classes = greyOf({{128, 128, 128}, {170, 170, 170}, {85, 85, 85}});
    cv::Mat canvas;
    cv::Mat grey;
    BlendScene scene;

    HandMadeScene(int light, int dark) {
        canvas.create(3, 3, CV_8UC3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                canvas.at<cv::Vec3b>(y, x) = greyPixel(symbol.at<uint8_t>(y, x) > 128 ? light : dark);
        grey = CanvasGrey(canvas);
        scene = {&symbol, &classes, &grey, light, dark, 100, kMixMixture};
    }
};

cv::Mat pictureOf(const cv::Vec3b& colour) {
    return cv::Mat(3, 3, CV_8UC3, cv::Scalar(colour[0], colour[1], colour[2]));
}

TEST(SmallPictureMixture, ClassesOtherShowThePictureAndDotsStay) {
    HandMadeScene made(230, 20);
    const cv::Vec3b colour{30, 140, 90};
    const cv::Mat picture = pictureOf(colour), pictureGrey = CanvasGrey(picture);
    const cv::Mat before = made.canvas.clone();
    BlendSmallPicture(made.canvas, made.scene, picture, pictureGrey, PixelRect::at(0, 0, 3, 3), {kShapeNone, false});
    for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(pixelAt(made.canvas, x, 0), colour) << "class 128 at column " << x;
        EXPECT_EQ(pixelAt(made.canvas, x, 1), pixelAt(before, x, 1)) << "class 170 at column " << x;
    }
}

TEST(SmallPictureMixture, ProtectedModulesKeepContrastWithTheThreshold) {
    struct Case {
        const char* what;
        int light, dark, threshold;
        cv::Vec3b colour;
        int column;  // 0 and 2 light modules, 1 a dark one
        cv::Vec3b expected;
    };
    const cv::Vec3b bright{200, 210, 220}, middle{90, 100, 130}, darkish{40, 50, 60}, black{0, 0, 0};
    const int pBright = canvasGreyOf(200, 210, 220), pMiddle = canvasGreyOf(90, 100, 130);
    const Case cases[] = {
        {"light module, picture beyond 1.3 T", 230, 20, 100, bright, 0, bright},
        {"light module, light level below 1.3 T: scaled to it", 120, 20, 100, middle, 0,
         scaled(middle, 120.0 / pMiddle)},
        {"light module, light level below 1.3 T, black picture", 120, 20, 100, black, 2, greyPixel(120)},
        {"light module, light level from 1.3 T: scaled to 1.3 T", 230, 20, 100, middle, 0,
         scaled(middle, static_cast<double>(lightBound(100) / pMiddle))},
        {"light module, light level from 1.3 T, black picture", 230, 20, 100, black, 0, greyPixel(130)},
        {"dark module, picture below 0.7 T", 230, 20, 100, darkish, 1, darkish},
        {"dark module, dark level above 0.7 T: scaled to it", 230, 80, 100, bright, 1,
         scaled(bright, 80.0 / pBright)},
        {"dark module, dark level up to 0.7 T: scaled to 0.7 T", 230, 20, 100, bright, 1,
         scaled(bright, static_cast<double>(darkBound(100) / pBright))},
        {"dark module, T = 101", 230, 20, 101, middle, 1, scaled(middle, static_cast<double>(darkBound(101) / pMiddle))},
    };
    for (const Case& c : cases) {
        HandMadeScene made(c.light, c.dark);
        made.scene.threshold = c.threshold;
        const cv::Mat picture = pictureOf(c.colour), pictureGrey = CanvasGrey(picture);
        BlendSmallPicture(made.canvas, made.scene, picture, pictureGrey, PixelRect::at(0, 0, 3, 3),
                          {kShapeNone, false});
        EXPECT_EQ(pixelAt(made.canvas, c.column, 2), c.expected) << c.what;
    }
}

TEST(SmallPictureCover, PictureHidesEverythingInsideItsShape) {
    HandMadeScene made(230, 20);
    made.scene.mixType = kMixCover;
    const cv::Vec3b colour{1, 2, 3};
    BlendSmallPicture(made.canvas, made.scene, pictureOf(colour), CanvasGrey(pictureOf(colour)),
                      PixelRect::at(0, 0, 3, 3), {kShapeNone, false});
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(pixelAt(made.canvas, x, y), colour) << x << "," << y;
}

TEST(SmallPictureBlend, RefusesAPictureOffTheCanvas) {
    HandMadeScene made(230, 20);
    const cv::Mat before = made.canvas.clone();
    const cv::Mat picture = pictureOf({1, 2, 3});
    BlendSmallPicture(made.canvas, made.scene, picture, CanvasGrey(picture), PixelRect::at(1, 1, 3, 3),
                      {kShapeNone, true});
    EXPECT_EQ(cv::norm(made.canvas, before, cv::NORM_INF), 0.0);
}

// A symbol over a picture whose greys fix the threshold: many filler pixels at the grey levels
// low and high, so that Otsu's threshold is low (the brightest level of the lower group), and
// one row of pixels under test with the given class and symbol value.
struct PictureUnderSymbol {
    static constexpr int kWidth = 40, kFillRows = 4;
    cv::Mat symbol, classes, canvas, grey;
    BlendScene scene;

    // Canvas pixels are grey + 1 so that their grey copy is the grey given.
    PictureUnderSymbol(uint8_t cls, uint8_t v, std::initializer_list<int> greys, int low, int high, int light,
                       int dark) {
        symbol = cv::Mat(kFillRows + 1, kWidth, CV_8UC1, cv::Scalar(v));
        classes = cv::Mat(kFillRows + 1, kWidth, CV_8UC1, cv::Scalar(kClassOther));
        canvas = cv::Mat(kFillRows + 1, kWidth, CV_8UC3);
        for (int y = 0; y <= kFillRows; ++y)
            for (int x = 0; x < kWidth; ++x) canvas.at<cv::Vec3b>(y, x) = greyPixel((x % 2 ? high : low) + 1);
        int x = 0;
        for (int g : greys) {
            canvas.at<cv::Vec3b>(kFillRows, x) = greyPixel(g + 1);
            classes.at<uint8_t>(kFillRows, x) = cls;
            ++x;
        }
        grey = CanvasGrey(canvas);
        scene = {&symbol, &classes, &grey, light, dark, 0, kMixMixture};
    }

    void blend() { BlendSymbolOverPicture(canvas, scene, PixelRect::at(0, 0, kWidth, kFillRows + 1)); }
    cv::Vec3b tested(int x) const { return pixelAt(canvas, x, kFillRows); }
};

TEST(SymbolOverPictureMixture, DotsArePaintedWhereThePictureLacksContrast) {
    // T = 100: a light dot shows the picture only beyond 130, a dark dot only below 69.99.
    PictureUnderSymbol light(kClassDot, 255, {130, 131, 50}, 100, 140, 240, 10);
    light.blend();
    ASSERT_EQ(light.scene.threshold, 100);
    EXPECT_EQ(light.tested(0), greyPixel(240));
    EXPECT_EQ(light.tested(1), greyPixel(132));
    EXPECT_EQ(light.tested(2), greyPixel(240));

    PictureUnderSymbol dark(kClassDot, 0, {70, 69, 200}, 100, 140, 240, 10);
    dark.blend();
    ASSERT_EQ(dark.scene.threshold, 100);
    EXPECT_EQ(dark.tested(0), greyPixel(10)) << "70 is not below trunc(0.7 * 100) = 69";
    EXPECT_EQ(dark.tested(1), greyPixel(70));
    EXPECT_EQ(dark.tested(2), greyPixel(10));

    PictureUnderSymbol dark101(kClassDot, 0, {70, 71}, 101, 141, 240, 10);
    dark101.blend();
    ASSERT_EQ(dark101.scene.threshold, 101);
    EXPECT_EQ(dark101.tested(0), greyPixel(71)) << "70 is below 0.7 * 101";
    EXPECT_EQ(dark101.tested(1), greyPixel(10));
}

TEST(SymbolOverPictureMixture, OtherPixelsShowThePicture) {
    PictureUnderSymbol scene(kClassOther, 0, {100, 30, 250}, 100, 140, 240, 10);
    const cv::Mat before = scene.canvas.clone();
    scene.blend();
    EXPECT_EQ(cv::norm(scene.canvas, before, cv::NORM_INF), 0.0);
}

TEST(SymbolOverPictureMixture, ProtectedLightModulesAreLifted) {
    // T = 100, light level 240: 0.3 * 240 = 72 < T, so the target is 1.3 T = 130 (below the light
    // level): pictures at 130 or less are scaled by 130 / c, and black becomes 130.
    PictureUnderSymbol a(kClassProtected, 255, {131, 90, 0}, 100, 140, 240, 10);
    a.blend();
    ASSERT_EQ(a.scene.threshold, 100);
    EXPECT_EQ(a.tested(0), greyPixel(132));
    EXPECT_EQ(a.tested(1), scaled(greyPixel(91), static_cast<double>(lightBound(100) / 90)));
    EXPECT_EQ(a.tested(2), greyPixel(130));
    // Light level 110 is below 1.3 T: lifted to the light level itself.
    PictureUnderSymbol b(kClassProtected, 255, {90, 0}, 100, 140, 110, 10);
    b.blend();
    ASSERT_EQ(b.scene.threshold, 100);
    EXPECT_EQ(b.tested(0), scaled(greyPixel(91), 110.0 / 90));
    EXPECT_EQ(b.tested(1), greyPixel(110));
    // A light level of 250 with T = 50: trunc(0.3 * 250) = 74 > T, so the target is 1.3 * 74.
    PictureUnderSymbol c(kClassProtected, 255, {0, 40}, 50, 90, 250, 10);
    c.blend();
    ASSERT_EQ(c.scene.threshold, 50);
    EXPECT_EQ(c.tested(0), greyPixel(96));
    EXPECT_EQ(c.tested(1), scaled(greyPixel(41), static_cast<double>(lightBound(74) / 40)));
}

TEST(SymbolOverPictureMixture, ProtectedDarkModulesAreLowered) {
    // Dark level 10 is below 0.7 T: pictures from 70 up are scaled by 0.7 T / c.
    PictureUnderSymbol a(kClassProtected, 0, {69, 70, 150}, 100, 140, 240, 10);
    a.blend();
    ASSERT_EQ(a.scene.threshold, 100);
    EXPECT_EQ(a.tested(0), greyPixel(70));
    EXPECT_EQ(a.tested(1), scaled(greyPixel(71), static_cast<double>(darkBound(100) / 70)));
    EXPECT_EQ(a.tested(2), scaled(greyPixel(151), static_cast<double>(darkBound(100) / 150)));
    // Dark level 90 is above 0.7 T: scaled to the dark level.
    PictureUnderSymbol b(kClassProtected, 0, {150}, 100, 140, 240, 90);
    b.blend();
    ASSERT_EQ(b.scene.threshold, 100);
    EXPECT_EQ(b.tested(0), scaled(greyPixel(151), 90.0 / 150));
}

TEST(SymbolOverPictureCover, DrawsTheSymbolOpaquelyInTheLevels) {
    PictureUnderSymbol scene(kClassDot, 255, {30, 40}, 100, 140, 240, 10);
    scene.symbol.at<uint8_t>(PictureUnderSymbol::kFillRows, 1) = 0;
    scene.scene.mixType = kMixCover;
    scene.blend();
    EXPECT_EQ(scene.tested(0), greyPixel(240));
    EXPECT_EQ(scene.tested(1), greyPixel(10));
    EXPECT_EQ(pixelAt(scene.canvas, 5, 0), greyPixel(240));
}

}  // namespace
}  // namespace velmora

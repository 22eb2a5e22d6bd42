#include "tests/driver/rendered_set.h"

#include <cstdio>

#include <opencv2/imgproc.hpp>

#include "engine/codec/version_table.h"
#include "tests/geometry/test_symbols.h"

namespace velmora::test {
namespace {

constexpr int kQuietModules = 4;

std::string numbered(const char* format, int a, int b = 0) {
    char name[64];
    std::snprintf(name, sizeof name, format, a, b);
    return name;
}

// Byte text that fills about two thirds of the version at the level, different for every pair.
std::string textFor(int version, int level) {
    const int capacity = VersionTable[version].dataCodewords[level];
    std::string text = "v" + std::to_string(version) + "L" + std::to_string(level) + ":";
    for (int i = 0; static_cast<int>(text.size()) < capacity * 2 / 3; ++i) {
        text += static_cast<char>('!' + (i * 13 + version * 7 + level) % 90);
    }
    return text;
}

cv::Mat modulesFor(int version, int level) { return encodeModules(textFor(version, level), version, level); }

// The symbol upright at `scale` pixels per module with `quiet` modules of quiet zone.
cv::Mat crisp(const cv::Mat& modules, int scale, int quiet, bool inverted = false, bool mirrored = false) {
    const int n = modules.rows;
    cv::Mat picture((n + 2 * quiet) * scale, (n + 2 * quiet) * scale, CV_8UC1, cv::Scalar(255)), placed;
    cv::resize(modules, placed, cv::Size(n * scale, n * scale), 0, 0, cv::INTER_NEAREST);
    placed.copyTo(picture(cv::Rect(quiet * scale, quiet * scale, n * scale, n * scale)));
    if (mirrored) cv::flip(picture, picture, 1);
    if (inverted) picture = 255 - picture;
    return picture;
}

// The symbol turned by degrees (mirrored first when asked) in a square picture with a margin.
cv::Mat turned(const cv::Mat& modules, int scale, double degrees, bool mirrored = false, bool inverted = false) {
    const int side = (modules.rows + 2 * kQuietModules) * scale;
    const double a = degrees * CV_PI / 180.0;
    const int out = static_cast<int>(std::ceil(side * (std::fabs(std::cos(a)) + std::fabs(std::sin(a))))) + 20;
    return drawSymbol(modules, scale, rotationAbout(degrees, side, out, mirrored), cv::Size(out, out), inverted).grey;
}

// Upright symbols with their quiet zones laid side by side in rows of `perRow`.
cv::Mat tiled(const std::vector<cv::Mat>& drawings, int perRow) {
    int rowHeight = 0, rowWidth = 0;
    for (const cv::Mat& d : drawings) {
        rowHeight = std::max(rowHeight, d.rows);
        rowWidth = std::max(rowWidth, d.cols);
    }
    const int rows = (static_cast<int>(drawings.size()) + perRow - 1) / perRow;
    cv::Mat picture(rows * rowHeight + 20, perRow * rowWidth + 20, CV_8UC1, cv::Scalar(255));
    for (std::size_t k = 0; k < drawings.size(); ++k) {
        const int x = 10 + static_cast<int>(k % perRow) * rowWidth, y = 10 + static_cast<int>(k / perRow) * rowHeight;
        drawings[k].copyTo(picture(cv::Rect(x, y, drawings[k].cols, drawings[k].rows)));
    }
    return picture;
}

cv::Mat lowContrast(const cv::Mat& picture, int dark, int light) {
    cv::Mat out;
    picture.convertTo(out, CV_8UC1, (light - dark) / 255.0, dark);
    return out;
}

cv::Mat noisy(const cv::Mat& picture, double sigma, uint64_t seed) {
    cv::RNG rng(seed);
    cv::Mat noise(picture.size(), CV_16SC1), out;
    rng.fill(noise, cv::RNG::NORMAL, 0, sigma);
    cv::Mat wide;
    picture.convertTo(wide, CV_16SC1);
    wide += noise;
    wide.convertTo(out, CV_8UC1);
    return out;
}

cv::Mat blurred(const cv::Mat& picture, int kernel) {
    cv::Mat out;
    cv::GaussianBlur(picture, out, cv::Size(kernel, kernel), 0);
    return out;
}

// A symbol at level L with a square of `fraction` of its side painted light over one corner:
// more damage than level L repairs, and the corner's finder gone too for corner 0.
cv::Mat paintedCorner(int version, int corner, double fraction, int scale) {
    cv::Mat picture = crisp(modulesFor(version, 0), scale, kQuietModules);
    const int n = 4 * version + 17, cut = static_cast<int>(n * fraction) * scale, q = kQuietModules * scale;
    const int x = corner % 2 == 0 ? q : q + n * scale - cut, y = corner < 2 ? q : q + n * scale - cut;
    cv::rectangle(picture, cv::Rect(x, y, cut, cut), cv::Scalar(255), cv::FILLED);
    return picture;
}

}  // namespace

std::vector<RenderedPicture> renderedSymbolSet() {
    std::vector<RenderedPicture> set;
    for (int v = 1; v <= 40; ++v) {
        set.push_back({numbered("version_%02d.png", v), crisp(modulesFor(v, (v - 1) % 4), v <= 10 ? 4 : 3, kQuietModules)});
    }
    for (const int v : {2, 7, 15, 25}) {
        for (const int degrees : {90, 180, 270, 17, 45}) {
            set.push_back({numbered("turned_v%02d_%03d.png", v, degrees), turned(modulesFor(v, 1), 4, degrees)});
        }
    }
    for (const int v : {3, 10, 22}) {
        for (const int degrees : {0, 30}) {
            set.push_back({numbered("mirrored_v%02d_%03d.png", v, degrees), turned(modulesFor(v, 2), 4, degrees, true)});
        }
    }
    for (const int v : {1, 5, 12, 30}) {
        set.push_back({numbered("inverted_v%02d.png", v), crisp(modulesFor(v, 3), 3, kQuietModules, true)});
        set.push_back({numbered("inverted_v%02d_turned.png", v), turned(modulesFor(v, 3), 3, 20, false, true)});
    }
    set.push_back({"inverted_mirrored_v06.png", crisp(modulesFor(6, 1), 4, kQuietModules, true, true)});

    auto drawing = [](int v, int level, int scale) { return crisp(modulesFor(v, level), scale, kQuietModules); };
    set.push_back({"two_v01_v04.png", tiled({drawing(1, 0, 5), drawing(4, 1, 4)}, 2)});
    set.push_back({"two_v08_v08.png", tiled({drawing(8, 2, 3), drawing(8, 3, 3)}, 1)});
    set.push_back({"two_v02_v20.png", tiled({drawing(2, 1, 3), drawing(20, 0, 3)}, 2)});
    set.push_back({"four_v01_v02_v03_v04.png", tiled({drawing(1, 0, 4), drawing(2, 1, 4), drawing(3, 2, 4), drawing(4, 3, 4)}, 2)});
    set.push_back({"four_v05_v05_v07_v09.png", tiled({drawing(5, 0, 3), drawing(5, 3, 3), drawing(7, 1, 3), drawing(9, 2, 3)}, 2)});
    set.push_back({"four_v10_row.png", tiled({drawing(10, 1, 3), drawing(11, 1, 3), drawing(12, 1, 3), drawing(13, 1, 3)}, 4)});
    {
        cv::Mat four = tiled({drawing(3, 1, 4), drawing(6, 1, 4), drawing(2, 1, 4), drawing(4, 1, 4)}, 2);
        const int out = static_cast<int>(1.3 * std::max(four.rows, four.cols));
        cv::Mat turnedFour;
        cv::Mat turn = cv::getRotationMatrix2D(cv::Point2f(four.cols / 2.0f, four.rows / 2.0f), 15.0, 1.0);
        turn.at<double>(0, 2) += (out - four.cols) / 2.0;
        turn.at<double>(1, 2) += (out - four.rows) / 2.0;
        cv::warpAffine(four, turnedFour, turn, cv::Size(out, out), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255));
        set.push_back({"four_v02_v06_turned.png", turnedFour});
        cv::Mat rotated;
        cv::rotate(four, rotated, cv::ROTATE_90_CLOCKWISE);
        set.push_back({"four_v02_v06_quarter.png", rotated});
    }

    // Small pictures, which the schedule searches again enlarged, and harder pictures that take
    // more passes.
    set.push_back({"small_v01_2px.png", crisp(modulesFor(1, 1), 2, kQuietModules)});
    set.push_back({"small_v03_3px_blur.png", blurred(crisp(modulesFor(3, 1), 3, kQuietModules), 3)});
    set.push_back({"small_v04_2px_turned.png", turned(modulesFor(4, 0), 2, 10)});
    set.push_back({"small_v02_lowcontrast.png", lowContrast(crisp(modulesFor(2, 2), 3, kQuietModules), 90, 150)});
    set.push_back({"lowcontrast_v06.png", lowContrast(turned(modulesFor(6, 1), 4, 25), 110, 170)});
    set.push_back({"blur_v09.png", blurred(turned(modulesFor(9, 1), 4, 8), 5)});
    set.push_back({"noise_v05.png", noisy(turned(modulesFor(5, 1), 4, 33), 40.0, 5)});
    set.push_back({"noise_v14.png", noisy(crisp(modulesFor(14, 0), 3, kQuietModules), 60.0, 14)});
    {
        // Light falling off across the picture, as under a lamp.
        cv::Mat picture = turned(modulesFor(7, 2), 4, 12), shade(picture.size(), CV_32FC1);
        for (int y = 0; y < shade.rows; ++y) {
            for (int x = 0; x < shade.cols; ++x) shade.at<float>(y, x) = 0.35f + 0.65f * x / shade.cols;
        }
        cv::Mat lit;
        picture.convertTo(lit, CV_32FC1);
        lit = lit.mul(shade);
        lit.convertTo(picture, CV_8UC1);
        set.push_back({"shadow_v07.png", picture});
    }

    // Crisp symbols at one and two pixels per module, with and without a quiet zone.
    set.push_back({"crisp_v40_1px_bare.png", crisp(modulesFor(40, 0), 1, 0)});
    set.push_back({"crisp_v40_1px_quiet.png", crisp(modulesFor(40, 1), 1, kQuietModules)});
    set.push_back({"crisp_v40_2px_bare.png", crisp(modulesFor(40, 2), 2, 0)});
    set.push_back({"crisp_v25_1px_bare.png", crisp(modulesFor(25, 3), 1, 0)});
    set.push_back({"crisp_v10_1px_bare.png", crisp(modulesFor(10, 1), 1, 0)});
    set.push_back({"crisp_v10_1px_inverted.png", crisp(modulesFor(10, 2), 1, 0, true)});
    set.push_back({"crisp_v20_2px_mirrored.png", crisp(modulesFor(20, 0), 2, 0, false, true)});
    set.push_back({"crisp_v30_1px_quiet2_inverted_mirrored.png", crisp(modulesFor(30, 1), 1, 2, true, true)});
    set.push_back({"crisp_v05_1px_quiet1.png", crisp(modulesFor(5, 3), 1, 1)});
    set.push_back({"crisp_v03_2px_bare.png", crisp(modulesFor(3, 0), 2, 0)});
    return set;
}

std::vector<RenderedPicture> negativeSet() {
    std::vector<RenderedPicture> set;
    cv::RNG rng(20240617);

    {
        cv::Mat picture(240, 320, CV_8UC1);
        rng.fill(picture, cv::RNG::UNIFORM, 0, 256);
        set.push_back({"noise_uniform.png", picture});
        set.push_back({"noise_blurred.png", blurred(picture, 7)});
    }
    {
        // A photo-like picture: a gradient with soft blobs.
        cv::Mat picture(360, 480, CV_8UC1);
        for (int y = 0; y < picture.rows; ++y) {
            for (int x = 0; x < picture.cols; ++x) picture.at<uint8_t>(y, x) = static_cast<uint8_t>(60 + (x + y) * 150 / 840);
        }
        for (int k = 0; k < 25; ++k) {
            cv::circle(picture, cv::Point(rng.uniform(0, 480), rng.uniform(0, 360)), rng.uniform(5, 60),
                       cv::Scalar(rng.uniform(0, 256)), cv::FILLED, cv::LINE_AA);
        }
        set.push_back({"photo_blobs.png", blurred(picture, 5)});
    }
    {
        // A screen-like picture: windows, buttons and lines of text.
        cv::Mat picture(400, 600, CV_8UC1, cv::Scalar(235));
        cv::rectangle(picture, cv::Rect(0, 0, 600, 28), cv::Scalar(60), cv::FILLED);
        cv::rectangle(picture, cv::Rect(40, 60, 300, 280), cv::Scalar(0), 1);
        for (int k = 0; k < 14; ++k) {
            cv::putText(picture, "Velmora reads symbols; no symbol here " + std::to_string(k), cv::Point(50, 85 + 18 * k),
                        cv::FONT_HERSHEY_SIMPLEX, 0.4, cv::Scalar(20), 1, cv::LINE_AA);
        }
        for (int k = 0; k < 4; ++k) cv::rectangle(picture, cv::Rect(380, 70 + 60 * k, 160, 36), cv::Scalar(120 + 30 * k), cv::FILLED);
        set.push_back({"screen_text.png", picture});
    }
    {
        // Barcode-like stripes of random widths, and grids.
        cv::Mat picture(180, 400, CV_8UC1, cv::Scalar(255));
        for (int x = 20; x < 380;) {
            const int w = rng.uniform(1, 5);
            if (rng.uniform(0, 2) == 0) cv::rectangle(picture, cv::Rect(x, 20, w, 140), cv::Scalar(0), cv::FILLED);
            x += w;
        }
        set.push_back({"stripes.png", picture});
        for (const int cell : {1, 2, 3}) {
            cv::Mat board(177, 177, CV_8UC1);
            for (int y = 0; y < board.rows; ++y) {
                for (int x = 0; x < board.cols; ++x) board.at<uint8_t>(y, x) = ((x / cell + y / cell) % 2) ? 255 : 0;
            }
            set.push_back({numbered("checkerboard_%dpx.png", cell), board});
        }
    }
    // Random module grids the size of symbols, bare and with finder patterns in three corners:
    // they look like symbols to every step that does not check the codewords.
    for (const int n : {21, 57, 101, 177}) {
        for (const int withFinders : {0, 1}) {
            cv::Mat modules(n, n, CV_8UC1);
            rng.fill(modules, cv::RNG::UNIFORM, 0, 2);
            modules *= 255;
            if (withFinders) {
                for (const cv::Point at : {cv::Point(0, 0), cv::Point(n - 7, 0), cv::Point(0, n - 7)}) {
                    cv::rectangle(modules, cv::Rect(at.x - 1, at.y - 1, 9, 9) & cv::Rect(0, 0, n, n), cv::Scalar(255), cv::FILLED);
                    drawFinder(modules, at.x, at.y, 1);
                }
            }
            for (const int scale : {1, 2}) {
                set.push_back({numbered("grid_%03d_", n, 0) + (withFinders ? "finders_" : "bare_") + std::to_string(scale) + "px.png",
                               crisp(modules, scale, 0)});
            }
        }
    }
    for (const int v : {5, 10, 25, 40}) {
        for (const int corner : {0, 3}) {
            set.push_back({numbered("painted_v%02d_corner%d.png", v, corner), paintedCorner(v, corner, 0.45, v >= 25 ? 1 : 2)});
        }
    }
    return set;
}

}  // namespace velmora::test

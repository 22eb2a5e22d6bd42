// Survey of the triple loop over rendered symbols under a moderate perspective: versions 1 to
// 40, 3 to 8 pixels per module, turned every 30 degrees, mirrored and not, one side shortened
// by 2 to 4 % of the drawing. Per case: read or not, the sampling that read, the distance of
// every recorded corner and of the fourth finder point from the true ones; for a miss, where it
// went wrong. Not a test: a measuring tool, run by hand.
//
//   attempt_corner_survey [--versions A-B] [--scales A-B] [--turns K] [--cases FILE]
//   attempt_corner_survey --show VERSION SCALE DEGREES MIRRORED
//
// --turns K visits every K-th turn of the twelve. --cases writes one line per case. --show runs
// one case and prints the alignment grid that the read left against the true centres.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/decode/decoded_symbols.h"
#include "engine/decode/frame_sampling.h"
#include "engine/geometry/alignment_patterns.h"
#include "tests/attempts/attempt_pictures.h"

using namespace velmora;
using namespace velmora::test;

namespace {

struct Options {
    int firstVersion = 1, lastVersion = 40;
    int firstScale = 3, lastScale = 8;
    int turnStep = 1;
    std::string casesFile;
};

bool parseRange(const char* text, int& a, int& b) { return std::sscanf(text, "%d-%d", &a, &b) == 2; }

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--versions")) parseRange(argv[i + 1], o.firstVersion, o.lastVersion);
        if (!std::strcmp(argv[i], "--scales")) parseRange(argv[i + 1], o.firstScale, o.lastScale);
        if (!std::strcmp(argv[i], "--turns")) o.turnStep = std::max(1, std::atoi(argv[i + 1]));
        if (!std::strcmp(argv[i], "--cases")) o.casesFile = argv[i + 1];
    }
    return o;
}

// The perspective of a case: which side is shorter and by how much.
struct Tilt {
    int side;
    float amount;
};

Tilt tiltOf(int v, int scale, int turn, bool mirrored) {
    return {(v + turn + (mirrored ? 1 : 0)) % 4, 0.02f + 0.01f * static_cast<float>((v + scale + turn) % 3)};
}

float distance(float x, float y, cv::Point2f p) { return std::hypot(x - p.x, y - p.y); }

// What one case gave.
struct Outcome {
    bool read = false;
    bool rightFields = false;
    std::string how;        // sampling that read: m0..m3, grid
    float cornerMax = 0.0f; // largest of the four corner errors
    float farCorner = 0.0f; // the corner opposite the corner finder
    float fourthFinder = 0.0f;
    std::string miss;       // for a miss: the first step that fails
    double ms = 0.0;
};

// For a miss: which step fails for the symbol's own triple.
std::string diagnoseMiss(OwnedRaster& binary, const PlacedSymbol& placed) {
    const int v = placed.symbol.version;
    findFinderPatterns(binary.rows(), binary.height(), binary.width(), 2.2f, 0.85f, 1.65f, 3);
    // Are the three finders among the listed patterns?
    const std::array<cv::Point2f, 3> truth = placed.frameFinders();
    int listed = 0;
    for (const cv::Point2f& f : truth) {
        bool seen = false;
        const FinderList& list = finderList();
        for (int i = 0; i < list.count; ++i) {
            const int col = list.columns[static_cast<std::size_t>(i)];
            seen = seen || distance(finderTable()[kFinderX][col], finderTable()[kFinderY][col], f) <= 2.0f;
        }
        listed += seen ? 1 : 0;
    }
    if (listed < 3) return "finders:" + std::to_string(listed) + "of3";
    if (!frameTrueTriple(binary, placed)) return "triple-or-frame";
    for (float s : candidateTriple().scores) {
        if (s < 1.5f) return "score";
    }
    const auto& c = frameCorners();
    const float across = (2.0f * c[kFrameA].length1 / (c[kFrameA].m1 + c[kFrameB].m1) - 10.0f) * 0.25f;
    const float down = (2.0f * c[kFrameA].length2 / (c[kFrameA].m2 + c[kFrameC].m2) - 10.0f) * 0.25f;
    const int estimate = static_cast<int>((static_cast<long double>(across) + down) * 0.5L + 0.5L);
    // The version the attempt goes on with after its first reads and the version blocks.
    int chosen = 0;
    const int r = estimateVersion(chosen, binary.rows(), binary.height(), binary.width(), frameCorners());
    char est[96];
    std::snprintf(est, sizeof est, "est%d(%.2f,%.2f)->%d:%d", estimate, across, down, r, chosen);
    // Reads with the true version, each sampling on its own, on the frame as the attempt has it.
    frameTrueTriple(binary, placed);
    if (v >= 7) correctFourthCorner(framePoints());
    std::string reads;
    auto tryRead = [&](const char* name, bool sampled) {
        if (sampled && processDecoder().ReadSymbol(4 * v + 17, v) >= 0) reads += std::string(reads.empty() ? "" : "+") + name;
    };
    tryRead("m0", samplePerspective(binary.rows(), binary.height(), binary.width(), kSampleParallelogram, v) == 1);
    tryRead("m1", samplePerspective(binary.rows(), binary.height(), binary.width(), kSamplePerspective, v) == 1);
    setAlignmentCoordinates(v);
    locateAlignmentPatterns(v, binary.rows(), binary.height(), binary.width(), 3);
    // Alignment cells found where the pattern is, found elsewhere (more than 1.5 modules away),
    // or not found.
    const int n = alignmentPositionCount();
    int right = 0, wrong = 0, missed = 0;
    for (int i = 0; v >= 2 && i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if ((i == 0 && j == 0) || (i == 0 && j == n - 1) || (i == n - 1 && j == 0)) continue;
            const AlignmentCell& cell = alignmentGrid()[i][j];
            const PointF m = alignmentCoordinates()[i][j];
            const cv::Point2f t = placed.mirrored ? placed.moduleToPicture(m.y, m.x) : placed.moduleToPicture(m.x, m.y);
            if (cell.score < 1.5f) ++missed;
            else if (distance(cell.x, cell.y, t) > 1.5f * static_cast<float>(placed.scale)) ++wrong;
            else ++right;
        }
    }
    tryRead("m2", samplePerspective(binary.rows(), binary.height(), binary.width(), kSampleAlignment, v) == 1);
    tryRead("m3", samplePerspective(binary.rows(), binary.height(), binary.width(), kSampleCorrected, v) == 1);
    if (v >= 7) {
        prepareAlignmentGrid(v);
        tryRead("grid", sampleAlignmentGrid(binary.rows(), binary.height(), binary.width(), v) == 1);
    }
    char tail[96];
    std::snprintf(tail, sizeof tail, " align:right%d,wrong%d,missed%d", right, wrong, missed);
    return std::string(est) + " truev:" + (reads.empty() ? "none" : reads) + tail;
}

Outcome runCase(const PlacedSymbol& placed) {
    Outcome o;
    OwnedRaster binary = binarise(placed.grey);
    RequestSetUp request(binary.height(), binary.width());
    const auto start = std::chrono::steady_clock::now();
    const int count = searchAndTryTriples(request, binary);
    o.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (count != 1) {
        o.miss = budgetSpent() ? "budget" : diagnoseMiss(binary, placed);
        return o;
    }
    o.read = true;
    const DecodedEntry& d = decodedEntry(0);
    const EncodedSymbol& s = placed.symbol;
    o.rightFields = recordedText(0) == s.text && d.nVersion == s.version && d.nLevel == s.level &&
                    d.nMaskingNo == s.mask && d.nMirror == (placed.mirrored ? 1 : 0);
    char how[8];
    std::snprintf(how, sizeof how, "m%d", lastSampleMode());
    o.how = sampledByAlignmentGrid() ? "grid" : how;
    const std::array<float, 4> errors = cornerErrors(0, placed.frameCorners());
    o.cornerMax = *std::max_element(errors.begin(), errors.end());
    o.farCorner = errors[3];
    const double m = placed.n() - 4;
    o.fourthFinder = distance(d.dXY_FP[3], d.dXY_FP[7], placed.moduleToPicture(m, m));
    return o;
}

// Running figures of one group of cases.
struct Tally {
    int cases = 0, read = 0, wrongFields = 0, overOnePixel = 0;
    double sumMax = 0.0, sumFar = 0.0;
    float worst = 0.0f, worstFourth = 0.0f;
    std::map<std::string, int> modes;

    void add(const Outcome& o) {
        ++cases;
        if (!o.read) return;
        ++read;
        if (!o.rightFields) ++wrongFields;
        if (o.cornerMax > 1.0f) ++overOnePixel;
        sumMax += o.cornerMax;
        sumFar += o.farCorner;
        worst = std::max(worst, o.cornerMax);
        worstFourth = std::max(worstFourth, o.fourthFinder);
        ++modes[o.how];
    }
    void print(const char* label) const {
        std::printf("%-10s %5d %5d %4d  %5d   %6.3f %6.3f %6.3f  %6.3f  ", label, cases, read, wrongFields, overOnePixel,
                    read ? sumMax / read : 0.0, read ? sumFar / read : 0.0, worst, worstFourth);
        for (const auto& [mode, k] : modes) std::printf(" %s:%d", mode.c_str(), k);
        std::printf("\n");
    }
};

}  // namespace

// One case in detail: the outcome, then every alignment cell as found against the truth.
int showCase(int v, int scale, int degrees, bool mirrored) {
    const int turn = degrees / 30;
    const Tilt tilt = tiltOf(v, scale, turn, mirrored);
    const PlacedSymbol placed = placeTurnedInPerspective(encodeSymbol(textFor(v), v), scale, degrees, mirrored,
                                                         keystone(tilt.side, tilt.amount));
    const Outcome o = runCase(placed);
    std::printf("read %d fields %d how %s corners max %.3f far %.3f fourth finder %.3f %s\n", o.read ? 1 : 0,
                o.rightFields ? 1 : 0, o.how.c_str(), o.cornerMax, o.farCorner, o.fourthFinder, o.miss.c_str());
    const std::array<cv::Point2f, 4> truth = placed.frameCorners();
    for (int i = 0; i < 4; ++i) {
        std::printf("corner %d recorded (%.2f, %.2f) true (%.2f, %.2f)\n", i, decodedEntry(0).dXY_4Corners[i],
                    decodedEntry(0).dXY_4Corners[4 + i], truth[i].x, truth[i].y);
    }
    const int n = alignmentPositionCount();
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const AlignmentCell& c = alignmentGrid()[i][j];
            const PointF m = alignmentCoordinates()[i][j];
            // The frame's rows and columns are the symbol's columns and rows when mirrored.
            const cv::Point2f t = mirrored ? placed.moduleToPicture(m.y, m.x) : placed.moduleToPicture(m.x, m.y);
            std::printf("cell %d,%d module (%4.0f,%4.0f) at (%8.2f, %8.2f) score %5.2f  true (%8.2f, %8.2f) off %6.2f\n",
                        i, j, m.x, m.y, c.x, c.y, c.score, t.x, t.y, distance(c.x, c.y, t));
        }
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 6 && !std::strcmp(argv[1], "--show")) {
        return showCase(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]) != 0);
    }
    const Options options = parse(argc, argv);
    std::FILE* cases = options.casesFile.empty() ? nullptr : std::fopen(options.casesFile.c_str(), "w");
    if (cases) std::fprintf(cases, "version scale turn mirrored side amount read fields how corner_max far fourth ms miss\n");
    std::map<int, Tally> byScale;
    Tally all;
    std::vector<std::string> misses;
    for (int v = options.firstVersion; v <= options.lastVersion; ++v) {
        const EncodedSymbol symbol = encodeSymbol(textFor(v), v);
        for (int scale = options.firstScale; scale <= options.lastScale; ++scale) {
            for (int turn = 0; turn < 12; turn += options.turnStep) {
                for (bool mirrored : {false, true}) {
                    const Tilt tilt = tiltOf(v, scale, turn, mirrored);
                    const PlacedSymbol placed = placeTurnedInPerspective(symbol, scale, 30.0 * turn, mirrored,
                                                                         keystone(tilt.side, tilt.amount));
                    const Outcome o = runCase(placed);
                    byScale[scale].add(o);
                    all.add(o);
                    char line[512];
                    std::snprintf(line, sizeof line, "%d %d %d %d %d %.2f %d %d %s %.3f %.3f %.3f %.0f %s", v, scale,
                                  30 * turn, mirrored ? 1 : 0, tilt.side, tilt.amount, o.read ? 1 : 0,
                                  o.rightFields ? 1 : 0, o.read ? o.how.c_str() : "-", o.cornerMax, o.farCorner,
                                  o.fourthFinder, o.ms, o.read ? "-" : o.miss.c_str());
                    if (cases) std::fprintf(cases, "%s\n", line);
                    if (!o.read || !o.rightFields) misses.push_back(line);
                }
            }
        }
        std::fprintf(stderr, "version %d done\n", v);
    }
    if (cases) std::fclose(cases);
    std::printf("px/module  cases  read wrong >1px   meanmax meanfar  worst  worstFP3  sampling that read\n");
    for (const auto& [scale, t] : byScale) t.print(("scale " + std::to_string(scale)).c_str());
    all.print("all");
    std::printf("\nmisses and wrong reads (version scale turn mirrored side amount read fields how ... miss):\n");
    for (const std::string& m : misses) std::printf("  %s\n", m.c_str());
    return 0;
}

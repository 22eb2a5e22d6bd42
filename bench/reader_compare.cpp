// Reads a folder tree of pictures with expected texts (NAME.png or .jpg beside NAME.txt) or
// with symbol counts only (beside NAME.count, as the BoofCV photographs are labelled) with
// Velmora, zxing-cpp and zbar in one run, and prints per folder and in total: symbols read,
// false texts, median and total milliseconds per picture for each reader, and Velmora's times
// as a ratio of each peer's; then one table of the symbols each reader read per folder, with
// the total seconds each spent. A counted picture scores each distinct text read, up to its
// count, and has no false texts.
//
// Usage: reader_compare [--max N] [--repeat R] [--list] [FOLDER]   (default: the shared sample
// pictures)
//   --max N     symbols wanted per picture, 1 to 256. Velmora stops its schedule once it has N;
//               zxing-cpp is told the same limit; zbar has none. Without it the comparison runs
//               twice: with 1 wanted (the peers' own task: read the symbol in the picture) and with
//               4 (the app's setting, where Velmora runs every pass of its schedule on a picture
//               that holds fewer symbols).
//   --repeat R  each reader reads each picture R times in turn (default 5); a picture's time is
//               the median of its R readings, which keeps one slow reading (a cold cache, the
//               machine busy elsewhere) from deciding it. --repeat 1 times single cold reads.
//   --list      also prints every picture: milliseconds per reader, the passes Velmora ran and
//               how many of them repeated an earlier one.
#define ZX_USE_UTF8 1

#include <zbar.h>

#include <ZXing/ReadBarcode.h>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <map>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#include "engine/decode/decode_driver.h"
#include "velmora/reader.h"
#include "engine/velmora_engine.h"
#include "tests/corpus/sample_corpus.h"

namespace {

using velmora::test::ReadAt;
using velmora::test::SamplePicture;

enum Reader { kVelmora, kZxing, kZbar, kReaders };
const char* const kReaderNames[kReaders] = {"velmora", "zxing-cpp", "zbar"};

struct Outcome {
    std::vector<double> milliseconds;
    int read = 0;
    int falseTexts = 0;
};

struct Folder {
    int pictures = 0;
    int symbols = 0;
    Outcome outcomes[kReaders];
    velmora::ReachReads reachReads{};  // symbols Velmora's reach stages added after its schedule
};

int wanted = 1;
int repeats = 5;

std::vector<ReadAt> readVelmora(cv::Mat& grey) {
    velmora::ReadOptions options;
    options.maxSymbols = wanted;
    std::vector<ReadAt> reads;
    for (const velmora::Symbol& symbol :
         velmora::readSymbols(velmora::ImageView(grey.data, grey.cols, grey.rows, velmora::PixelFormat::Grey8,
                                                 static_cast<int>(grey.step)),
                              options)) {
        ReadAt read{std::string(symbol.bytes.begin(), symbol.bytes.end())};
        for (const velmora::Point& p : symbol.corners) {
            read.x += p.x / 4;
            read.y += p.y / 4;
        }
        reads.push_back(read);
    }
    return reads;
}

std::vector<ReadAt> readZxing(const cv::Mat& grey) {
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    hints.setMaxNumberOfSymbols(static_cast<uint8_t>(wanted));
    std::vector<ReadAt> reads;
    for (const auto& r : ZXing::ReadBarcodes({grey.data, grey.cols, grey.rows, ZXing::ImageFormat::Lum}, hints)) {
        ReadAt read{r.text()};
        for (int i = 0; i < 4; ++i) {
            read.x += static_cast<float>(r.position()[i].x) / 4;
            read.y += static_cast<float>(r.position()[i].y) / 4;
        }
        reads.push_back(read);
    }
    return reads;
}

std::vector<ReadAt> readZbar(cv::Mat& grey, zbar::zbar_image_scanner_t* scanner) {
    zbar::zbar_image_t* image = zbar::zbar_image_create();
    zbar::zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
    zbar::zbar_image_set_size(image, grey.cols, grey.rows);
    zbar::zbar_image_set_data(image, grey.data, grey.total(), nullptr);
    zbar::zbar_scan_image(scanner, image);
    std::vector<ReadAt> reads;
    for (auto* s = zbar::zbar_image_first_symbol(image); s != nullptr; s = zbar::zbar_symbol_next(s)) {
        ReadAt read{std::string(zbar::zbar_symbol_get_data(s), zbar::zbar_symbol_get_data_length(s))};
        const unsigned points = zbar::zbar_symbol_get_loc_size(s);
        for (unsigned i = 0; i < points; ++i) {
            read.x += static_cast<float>(zbar::zbar_symbol_get_loc_x(s, i)) / static_cast<float>(points);
            read.y += static_cast<float>(zbar::zbar_symbol_get_loc_y(s, i)) / static_cast<float>(points);
        }
        reads.push_back(read);
    }
    zbar::zbar_image_destroy(image);
    return reads;
}

// Counts the symbols read and the texts that are not in the picture.
void score(const std::vector<ReadAt>& reads, const SamplePicture& picture, const cv::Mat& grey, Outcome& outcome) {
    const velmora::test::PictureScore s = velmora::test::scoreReads(reads, picture, grey.cols, grey.rows);
    outcome.read += s.read;
    outcome.falseTexts += s.falseTexts;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

double total(const std::vector<double>& values) {
    double sum = 0;
    for (double v : values) sum += v;
    return sum;
}

void printFolder(const std::string& name, const Folder& folder) {
    std::printf("%-24s %4d pictures %4d symbols\n", name.c_str(), folder.pictures, folder.symbols);
    const Outcome& ours = folder.outcomes[kVelmora];
    for (int r = 0; r < kReaders; ++r) {
        const Outcome& o = folder.outcomes[r];
        std::printf("  %-10s read %4d  false %2d  median %8.2f ms  total %9.1f ms", kReaderNames[r], o.read,
                    o.falseTexts, median(o.milliseconds), total(o.milliseconds));
        if (r != kVelmora) {
            std::printf("  velmora/peer: median %6.2f total %6.2f", median(ours.milliseconds) / median(o.milliseconds),
                        total(ours.milliseconds) / total(o.milliseconds));
        }
        std::printf("\n");
    }
    std::printf("  velmora's reach stages added:");
    for (int stage = 0; stage < velmora::kReachStageCount; ++stage) {
        std::printf(" %s %d%s", velmora::kReachStageNames[stage], folder.reachReads[stage],
                    stage + 1 < velmora::kReachStageCount ? "," : "\n");
    }
}

// One line per folder: its symbols, what each reader read (Velmora's share in percent) and the
// seconds each reader spent on it.
void printTable(const std::map<std::string, Folder>& folders, const Folder& all) {
    std::printf("\n%-24s %7s %9s %9s %9s %6s   %s\n", "folder", "symbols", kReaderNames[kZxing], kReaderNames[kZbar],
                kReaderNames[kVelmora], "share", "seconds zxing-cpp / zbar / velmora");
    auto line = [](const std::string& name, const Folder& f) {
        const int share = f.symbols > 0 ? (100 * f.outcomes[kVelmora].read + f.symbols / 2) / f.symbols : 0;
        std::printf("%-24s %7d %9d %9d %9d %5d%%   %.2f / %.2f / %.2f\n", name.c_str(), f.symbols,
                    f.outcomes[kZxing].read, f.outcomes[kZbar].read, f.outcomes[kVelmora].read, share,
                    total(f.outcomes[kZxing].milliseconds) / 1000, total(f.outcomes[kZbar].milliseconds) / 1000,
                    total(f.outcomes[kVelmora].milliseconds) / 1000);
    };
    for (const auto& [name, folder] : folders) line(name, folder);
    line("all", all);
}

// Reads every picture with the three readers, `repeats` times each, for the current wanted
// count, and prints the folders and the total.
void compareReaders(const std::vector<SamplePicture>& pictures, zbar::zbar_image_scanner_t* scanner, bool list) {
    std::map<std::string, Folder> folders;
    Folder all;
    double longestRequest = 0;
    for (const SamplePicture& picture : pictures) {
        cv::Mat grey = cv::imread(picture.path, cv::IMREAD_GRAYSCALE);
        if (grey.empty()) continue;
        if (!grey.isContinuous()) grey = grey.clone();
        Folder& folder = folders[picture.category];
        for (Folder* f : {&folder, &all}) {
            ++f->pictures;
            f->symbols += picture.symbols;
        }
        double pictureMs[kReaders] = {};
        std::array<std::vector<double>, kReaders> readings;
        std::array<std::vector<ReadAt>, kReaders> texts;
        for (int k = 0; k < repeats; ++k) {
            for (int r = 0; r < kReaders; ++r) {
                const auto start = std::chrono::steady_clock::now();
                texts[r] = r == kVelmora ? readVelmora(grey) : (r == kZxing ? readZxing(grey) : readZbar(grey, scanner));
                const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
                readings[r].push_back(ms);
                if (r == kVelmora) {
                    longestRequest = std::max(longestRequest, ms);
                    if (k == 0) {
                        for (Folder* f : {&folder, &all}) {
                            for (int stage = 0; stage < velmora::kReachStageCount; ++stage) {
                                f->reachReads[stage] += velmora::lastRequestSummary().reachReads[stage];
                            }
                        }
                    }
                }
            }
        }
        int pictureReads[kReaders] = {};
        for (int r = 0; r < kReaders; ++r) {
            const double ms = median(readings[r]);
            pictureMs[r] = ms;
            pictureReads[r] = velmora::test::scoreReads(texts[r], picture, grey.cols, grey.rows).read;
            for (Folder* f : {&folder, &all}) {
                f->outcomes[r].milliseconds.push_back(ms);
                score(texts[r], picture, grey, f->outcomes[r]);
            }
        }
        if (list) {
            const velmora::RequestSummary& summary = velmora::lastRequestSummary();
            std::printf("%-44s %d symbols  velmora %d %8.2f ms (%2d passes, %2d repeated)  zxing-cpp %d %6.2f ms  "
                        "zbar %d %6.2f ms\n",
                        picture.path.c_str(), picture.symbols, pictureReads[kVelmora], pictureMs[kVelmora],
                        summary.passes, summary.repeatedPasses, pictureReads[kZxing], pictureMs[kZxing],
                        pictureReads[kZbar], pictureMs[kZbar]);
        }
    }
    if (list) std::printf("\n");
    for (const auto& [name, folder] : folders) printFolder(name, folder);
    std::printf("symbols wanted per picture: %d; each time the median of %d readings\n", wanted, repeats);
    printFolder("all", all);
    std::printf("longest Velmora request: %.1f ms\n", longestRequest);
    printTable(folders, all);
}

}  // namespace

int main(int argc, char** argv) {
    int arg = 1;
    bool list = false;
    std::vector<int> wantedCounts = {1, 4};
    for (; arg < argc; ++arg) {
        const std::string option = argv[arg];
        if (option == "--max" && arg + 1 < argc) {
            wantedCounts = {std::atoi(argv[++arg])};
        } else if (option == "--repeat" && arg + 1 < argc) {
            repeats = std::atoi(argv[++arg]);
        } else if (option == "--list") {
            list = true;
        } else {
            break;
        }
    }
    if (wantedCounts.front() < 1 || wantedCounts.front() > 256) {
        std::fprintf(stderr, "reader_compare: --max takes 1 to 256\n");
        return 2;
    }
    if (repeats < 1 || repeats > 1000) {
        std::fprintf(stderr, "reader_compare: --repeat takes 1 to 1000\n");
        return 2;
    }
    const std::string root = arg < argc ? argv[arg] : velmora::test::sampleCorpusRoot();
    const auto pictures = velmora::test::loadSampleCorpus(root);
    if (pictures.empty()) {
        std::fprintf(stderr, "reader_compare: no pictures with expected texts or counts under '%s'\n", root.c_str());
        return 2;
    }
    zbar::zbar_image_scanner_t* scanner = zbar::zbar_image_scanner_create();
    zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    for (std::size_t k = 0; k < wantedCounts.size(); ++k) {
        if (k > 0) std::printf("\n");
        wanted = wantedCounts[k];
        compareReaders(pictures, scanner, list);
    }
    zbar::zbar_image_scanner_destroy(scanner);
    return 0;
}

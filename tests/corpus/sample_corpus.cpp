#include "tests/corpus/sample_corpus.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "codecs/exif_orientation.h"
#include "codecs/text_encoding.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Symbol counts of the synthetic pictures, from the manifest's "file" and "count" columns.
std::map<std::string, int> manifestCounts(const fs::path& manifest) {
    std::map<std::string, int> counts;
    std::ifstream in(manifest);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string category, file, count;
        if (std::getline(fields, category, '\t') && std::getline(fields, file, '\t') && std::getline(fields, count, '\t')) {
            counts[file] = std::atoi(count.c_str());
        }
    }
    return counts;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

// The labelled symbols of a corners file: after comment lines, either "SETS" and a line of
// eight numbers per symbol, or four lines of "x y" for one symbol.
std::vector<std::array<float, 8>> readQuads(const fs::path& path) {
    std::vector<std::array<float, 8>> quads;
    std::vector<float> numbers;
    bool sets = false;
    for (const std::string& line : splitLines(readFile(path))) {
        if (line[0] == '#') continue;
        if (line.rfind("SETS", 0) == 0) {
            sets = true;
            continue;
        }
        std::istringstream in(line);
        float value = 0;
        while (in >> value) numbers.push_back(value);
        while (numbers.size() >= 8 || (sets && !numbers.empty())) {
            if (numbers.size() < 8) {
                numbers.clear();
                break;
            }
            // Pairs x y become four x, then four y.
            std::array<float, 8> quad{};
            for (std::size_t i = 0; i < 4; ++i) {
                quad[i] = numbers[2 * i];
                quad[4 + i] = numbers[2 * i + 1];
            }
            quads.push_back(quad);
            numbers.erase(numbers.begin(), numbers.begin() + 8);
        }
    }
    return quads;
}

// The point of the stored pixels at (x, y) in the upright picture of width by height, for the
// EXIF orientations 1 to 8.
std::pair<float, float> uprightPoint(float x, float y, int orientation, float width, float height) {
    // The stored picture's sides: turned a quarter for orientations 5 to 8.
    const bool quarter = orientation >= 5 && orientation <= 8;
    const float storedWidth = quarter ? height : width, storedHeight = quarter ? width : height;
    switch (orientation) {
    case 2: return {storedWidth - x, y};
    case 3: return {storedWidth - x, storedHeight - y};
    case 4: return {x, storedHeight - y};
    case 5: return {y, x};
    case 6: return {storedHeight - y, x};
    case 7: return {storedHeight - y, storedWidth - x};
    case 8: return {y, storedWidth - x};
    default: return {x, y};
    }
}

}  // namespace

std::string sampleCorpusRoot() {
    const char* fromEnvironment = std::getenv("VELMORA_SAMPLES");
    for (const char* candidate : {fromEnvironment, VELMORA_SAMPLES_DIR, "/work/shared/samples"}) {
        if (candidate != nullptr && *candidate != '\0' && fs::is_directory(candidate)) return candidate;
    }
    return {};
}

std::string boofcvCorpusRoot() {
    const char* fromEnvironment = std::getenv("VELMORA_BOOFCV");
    for (const char* candidate : {fromEnvironment, VELMORA_BOOFCV_DIR, "/work/shared/boofcv"}) {
        if (candidate != nullptr && *candidate != '\0' && fs::is_directory(candidate)) return candidate;
    }
    return {};
}

std::vector<SamplePicture> loadSampleCorpus(const std::string& root) {
    std::vector<SamplePicture> pictures;
    if (!fs::is_directory(root)) return pictures;
    const auto counts = manifestCounts(fs::path(root) / "synthetic" / "manifest.tsv");
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const fs::path& path = entry.path();
        const std::string extension = path.extension().string();
        if (extension != ".png" && extension != ".jpg") continue;
        fs::path textPath = path;
        textPath.replace_extension(".txt");
        SamplePicture picture;
        picture.path = path.string();
        picture.category = fs::relative(path.parent_path(), root).string();
        if (!fs::exists(textPath)) {
            fs::path countPath = path;
            countPath.replace_extension(".count");
            if (!fs::exists(countPath)) continue;
            picture.symbols = std::atoi(readFile(countPath).c_str());
            fs::path cornersPath = path;
            cornersPath.replace_extension(".corners");
            if (fs::exists(cornersPath)) {
                picture.quads = readQuads(cornersPath);
                const std::string file = readFile(path);
                picture.orientation =
                    jpegExifOrientation({reinterpret_cast<const uint8_t*>(file.data()), file.size()});
            }
            if (picture.symbols > 0) pictures.push_back(std::move(picture));
            continue;
        }
        const std::string text = readFile(textPath);
        const auto count = counts.find(path.filename().string());
        if (count != counts.end() && count->second > 1) {
            picture.expected = splitLines(text);
        } else {
            picture.expected = {text};
        }
        picture.symbols = static_cast<int>(picture.expected.size());
        pictures.push_back(std::move(picture));
    }
    std::sort(pictures.begin(), pictures.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
    return pictures;
}

bool sameText(std::string_view decoded, const std::string& expected) {
    if (decoded == expected) return true;
    for (const char* charset : {"SHIFT_JIS", "CP932", "GB18030", "ISO-8859-1"}) {
        const TextConversion converted = toUtf8(decoded, charset);
        if (converted.ok && converted.text == expected) return true;
    }
    return false;
}

int matchedTexts(const std::vector<std::string>& decoded, const std::vector<std::string>& expected) {
    std::vector<bool> used(decoded.size(), false);
    int matched = 0;
    for (const std::string& want : expected) {
        for (size_t i = 0; i < decoded.size(); ++i) {
            if (!used[i] && sameText(decoded[i], want)) {
                used[i] = true;
                ++matched;
                break;
            }
        }
    }
    return matched;
}

PictureScore scoreTexts(const std::vector<std::string>& decoded, const SamplePicture& picture) {
    PictureScore score;
    if (picture.expected.empty()) {
        std::vector<std::string_view> distinct;
        for (const std::string& text : decoded) {
            if (std::find(distinct.begin(), distinct.end(), text) == distinct.end()) distinct.emplace_back(text);
        }
        score.read = std::min(static_cast<int>(distinct.size()), picture.symbols);
        return score;
    }
    score.read = matchedTexts(decoded, picture.expected);
    score.falseTexts = static_cast<int>(decoded.size()) - score.read;
    return score;
}

PictureScore scoreReads(const std::vector<ReadAt>& reads, const SamplePicture& picture, int width, int height) {
    if (picture.quads.empty()) {
        std::vector<std::string> texts;
        for (const ReadAt& read : reads) texts.push_back(read.text);
        return scoreTexts(texts, picture);
    }
    struct Labelled {
        float x = 0, y = 0, reach = 0;
        bool taken = false;
    };
    std::vector<Labelled> labelled;
    for (const std::array<float, 8>& quad : picture.quads) {
        std::array<std::pair<float, float>, 4> corners;
        Labelled l;
        for (std::size_t i = 0; i < 4; ++i) {
            corners[i] = uprightPoint(quad[i], quad[4 + i], picture.orientation, static_cast<float>(width),
                                      static_cast<float>(height));
            l.x += corners[i].first / 4;
            l.y += corners[i].second / 4;
        }
        for (const auto& [cx, cy] : corners) l.reach = std::max(l.reach, std::hypot(cx - l.x, cy - l.y));
        labelled.push_back(l);
    }
    PictureScore score;
    for (const ReadAt& read : reads) {
        Labelled* nearest = nullptr;
        float best = 0;
        for (Labelled& l : labelled) {
            const float d = std::hypot(read.x - l.x, read.y - l.y);
            if (d <= l.reach && (nearest == nullptr || d < best)) {
                nearest = &l;
                best = d;
            }
        }
        if (nearest != nullptr && !nearest->taken) {
            nearest->taken = true;
            ++score.read;
        }
    }
    score.read = std::min(score.read, picture.symbols);
    return score;
}

}  // namespace velmora::test

#include "tests/corpus/sample_corpus.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

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

}  // namespace velmora::test

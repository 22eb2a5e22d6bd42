// The golden reads: every field of every symbol that velmora-cli reads from the shared samples and
// from our own rendered set, one and four wanted, must stay byte for byte what the recorded
// build read. The only difference allowed is a picture listed in added_reads.txt, where the
// recording read nothing and the reader now reads something.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "tests/driver/rendered_set.h"

namespace fs = std::filesystem;

namespace {

const fs::path kGoldenDir = VELMORA_GOLDEN_DIR;
const fs::path kOutputDir = VELMORA_GOLDEN_OUTPUT_DIR;

fs::path samplesDir() {
    const char* fromEnvironment = std::getenv("VELMORA_SAMPLES");
    for (const char* candidate : {fromEnvironment, VELMORA_SAMPLES_DIR, "/work/shared/samples"}) {
        if (candidate != nullptr && fs::is_directory(candidate)) return candidate;
    }
    return {};
}

// Picture files under the folder, relative to it, in byte order.
std::vector<std::string> picturesUnder(const fs::path& folder) {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const std::string ext = entry.path().extension().string();
        if (ext == ".png" || ext == ".jpg" || ext == ".bmp") files.push_back(fs::relative(entry.path(), folder).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (const char c : s) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    out += '\'';
    return out;
}

// velmora-cli decode --json for every file, run in the folder so that the names stay relative;
// one line per file.
std::vector<std::string> decodeJson(const fs::path& folder, const std::vector<std::string>& files, int wanted) {
    std::string command = "cd ";
    command += quoted(folder.string());
    command += " && ";
    command += quoted(VELMORA_CLI);
    command += " decode --json --time-limit 0 --max ";
    command += std::to_string(wanted);
    command += " --";
    for (const std::string& f : files) {
        command += ' ';
        command += quoted(f);
    }
    command += " 2>/dev/null";
    std::vector<std::string> lines;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return lines;
    std::string line;
    for (int c; (c = std::fgetc(pipe)) != EOF;) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    pclose(pipe);
    return lines;
}

std::vector<std::string> readLines(const fs::path& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

// The file name a JSON line is about.
std::string fileOf(const std::string& line) {
    const std::string key = "{\"file\":\"";
    if (line.rfind(key, 0) != 0) return {};
    return line.substr(key.size(), line.find('"', key.size()) - key.size());
}

bool readsNothing(const std::string& line) { return line.find("\"nParsedNums\":0,") != std::string::npos; }

// "set max file" entries that may read where the recording read nothing.
std::set<std::string> addedReads() {
    std::set<std::string> added;
    for (const std::string& line : readLines(kGoldenDir / "added_reads.txt")) {
        if (line[0] != '#') added.insert(line);
    }
    return added;
}

// Decodes the pictures with 1 and 4 wanted, keeps what was read beside the build, and compares it
// with the recording.
void compareWithGolden(const std::string& setName, const fs::path& folder) {
    const std::vector<std::string> files = picturesUnder(folder);
    ASSERT_FALSE(files.empty()) << folder;
    const std::set<std::string> added = addedReads();
    for (const int wanted : {1, 4}) {
        const std::string stem = setName + "_max" + std::to_string(wanted);
        const std::vector<std::string> actual = decodeJson(folder, files, wanted);
        {
            std::ofstream out(kOutputDir / (stem + ".jsonl"), std::ios::binary);
            for (const std::string& line : actual) out << line << '\n';
        }
        const std::vector<std::string> golden = readLines(kGoldenDir / (stem + ".jsonl"));
        if (actual.size() != files.size() || golden.size() != files.size()) {
            ADD_FAILURE() << stem << ": " << files.size() << " pictures, " << actual.size() << " reports, "
                          << golden.size() << " recorded";
            continue;
        }

        std::map<std::string, std::string> recorded;
        for (const std::string& line : golden) recorded[fileOf(line)] = line;
        int changed = 0, gained = 0;
        for (const std::string& line : actual) {
            const std::string file = fileOf(line);
            const auto it = recorded.find(file);
            ASSERT_NE(it, recorded.end()) << stem << ": no recording for " << file;
            const bool listed = added.count(setName + " " + std::to_string(wanted) + " " + file) != 0;
            if (listed) {
                EXPECT_TRUE(readsNothing(it->second)) << stem << " " << file << ": listed as added but the recording read it";
                EXPECT_FALSE(readsNothing(line)) << stem << " " << file << ": listed as added but nothing was read";
                gained += readsNothing(line) ? 0 : 1;
                continue;
            }
            if (line != it->second) {
                ++changed;
                ADD_FAILURE() << stem << " " << file << " changed\n  recorded: " << it->second << "\n  now:      " << line;
            }
        }
        EXPECT_EQ(changed, 0) << stem;
        std::printf("%s: %zu pictures, %d changed, %d added reads\n", stem.c_str(), files.size(), changed, gained);
    }
}

}  // namespace

TEST(GoldenReads, SharedSamplesReadAsRecorded) {
    const fs::path samples = samplesDir();
    if (samples.empty()) GTEST_SKIP() << "no sample pictures (set VELMORA_SAMPLES to their folder)";
    compareWithGolden("samples", samples);
}

TEST(GoldenReads, RenderedSetReadsAsRecorded) {
    const fs::path folder = kOutputDir / "rendered";
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const velmora::test::RenderedPicture& picture : velmora::test::renderedSymbolSet()) {
        ASSERT_TRUE(cv::imwrite((folder / picture.name).string(), picture.grey)) << picture.name;
    }
    compareWithGolden("rendered", folder);
}

// Runs the built velmora-cli as a user would and collects its exit status and both output
// streams; each test gets a scratch directory for the files it asks for (by absolute path).
#pragma once

#include <gtest/gtest.h>
#include <spawn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "engine/velmora_engine.h"

extern char** environ;

namespace velmora::test {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The lines of a text, without their line breaks.
inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// A fixture with an empty scratch directory for the pictures of one test.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        // The streams of the child live outside the scratch directory so that "nothing was
        // written" checks see only what the program itself made.
        streams_ = dir_.string() + "-streams";
        std::filesystem::create_directory(streams_);
    }
    void TearDown() override {
        std::filesystem::remove_all(dir_);
        std::filesystem::remove_all(streams_);
    }

    std::filesystem::path path(const std::string& name) const { return dir_ / name; }

    // Names of everything in the scratch directory.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.push_back(entry.path().filename());
        return names;
    }

    // Runs velmora-cli with the arguments, feeding input on standard input.
    CliRun run(const std::vector<std::string>& arguments, const std::string& input = {}) const {
        const std::string inPath = (streams_ / "in").string();
        const std::string outPath = (streams_ / "out").string();
        const std::string errPath = (streams_ / "err").string();
        writeFile(inPath, input);
        std::vector<std::string> all = {VELMORA_CLI};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        CliRun result;
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << VELMORA_CLI;
            return result;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.out = readFile(outPath);
        result.err = readFile(errPath);
        return result;
    }

private:
    std::filesystem::path dir_;
    std::filesystem::path streams_;
};

// The symbol our engine makes in process for the same parameters: the matrix a picture or a
// drawing from velmora-cli must show. Level 0..3, version and mask as reported by the run.
struct ExpectedSymbol {
    int size = 0;
    std::vector<uint8_t> light;  // size x size, row by row, 1 light
};

inline ExpectedSymbol expectedSymbol(const std::string& bytes, int level, int version, int mask) {
    ExpectedSymbol symbol;
    if (QR_Encode_Matrix(level, &version, 0, &mask, bytes.data(), static_cast<int>(bytes.size()), nullptr) != 1)
        return symbol;
    symbol.size = g_QrEncodedData.iEncoded_WH;
    for (int r = 0; r < symbol.size; ++r)
        for (int c = 0; c < symbol.size; ++c) symbol.light.push_back(g_QrEncodedData.byEncoded_Data[r][c] != 0);
    return symbol;
}

// What the info line on standard error says.
struct ReportedSymbol {
    int version = 0;
    int mask = -1;
    char level = '?';
    int size = 0;
};

inline ReportedSymbol reportedSymbol(const std::string& err) {
    ReportedSymbol reported;
    for (const std::string& line : linesOf(err)) {
        int width = 0;
        if (std::sscanf(line.c_str(), "version %d, mask %d, level %c, %d x %d modules", &reported.version,
                        &reported.mask, &reported.level, &reported.size, &width) == 5)
            return reported;
    }
    ADD_FAILURE() << "no version line in: " << err;
    return reported;
}

// Pixels of a grey picture that differ from the symbol drawn with a four-module light quiet
// zone at the module size; -1 when the picture has the wrong size.
inline int pictureMismatches(const cv::Mat& grey, const ExpectedSymbol& symbol, int moduleSize) {
    const int side = (symbol.size + 8) * moduleSize;
    if (grey.empty() || grey.rows != side || grey.cols != side || grey.type() != CV_8UC1) return -1;
    int mismatches = 0;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int row = y / moduleSize - 4;
            const int column = x / moduleSize - 4;
            const bool inside = row >= 0 && column >= 0 && row < symbol.size && column < symbol.size;
            const bool light = !inside || symbol.light[static_cast<size_t>(row) * symbol.size + column];
            mismatches += grey.at<uint8_t>(y, x) != (light ? 255 : 0);
        }
    }
    return mismatches;
}

inline int levelIndex(char letter) {
    const std::string letters = "LMQH";
    const size_t at = letters.find(letter);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

}  // namespace velmora::test

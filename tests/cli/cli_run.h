// Runs the built velmora-cli as a user would and collects its exit status and both streams;
// each test gets a scratch directory for the files it asks for (by absolute path).
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>
#include <filesystem>
#include <fstream>
#include <opencv2/core.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "engine/velmora_engine.h"

extern char** environ;

namespace velmora::test {

struct CliRun {
    int exitCode = -1;
    std::string out, err;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

class CliTest : public ::testing::Test {
protected:
    // Far longer than any run of the tests takes, even a decode of a large picture.
    static constexpr std::chrono::seconds kHangLimit{120};

    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        // The child's streams live elsewhere, so that the scratch directory holds only what
        // the program itself wrote.
        streams_ = dir_.string() + "-streams";
        std::filesystem::create_directory(streams_);
    }
    void TearDown() override {
        std::filesystem::remove_all(dir_);
        std::filesystem::remove_all(streams_);
    }

    std::filesystem::path path(const std::string& name) const { return dir_ / name; }

    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.push_back(entry.path().filename());
        return names;
    }

    // Runs velmora-cli with the arguments, feeding input on standard input; settings such as
    // "LC_ALL=C.UTF-8" replace those of the test's own environment.
    // A run still going after limit has hung: it is ended and the test fails.
    CliRun run(const std::vector<std::string>& arguments, const std::string& input = {},
               const std::vector<std::string>& settings = {}, std::chrono::seconds limit = kHangLimit) const {
        const std::string in = streams_ / "in", out = streams_ / "out", err = streams_ / "err";
        writeFile(in, input);
        std::vector<std::string> all = {VELMORA_CLI};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = 0;
        std::vector<std::string> variables = settings;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string variable = *entry;
            const std::string name = variable.substr(0, variable.find('=') + 1);
            bool replaced = false;
            for (const std::string& setting : settings) replaced = replaced || setting.rfind(name, 0) == 0;
            if (!replaced) variables.push_back(variable);
        }
        std::vector<char*> envp;
        for (std::string& variable : variables) envp.push_back(variable.data());
        envp.push_back(nullptr);
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        CliRun result;
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << VELMORA_CLI;
            return result;
        }
        // A program that hangs (waiting on a FIFO, say) is ended, so that the test fails instead.
        int status = 0;
        const auto start = std::chrono::steady_clock::now();
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() - start > limit) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << VELMORA_CLI << " still ran after " << limit.count() << " s and was ended";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.out = readFile(out);
        result.err = readFile(err);
        return result;
    }

private:
    std::filesystem::path dir_, streams_;
};

// What the info line on standard error says.
struct ReportedSymbol {
    int version = 0, mask = -1, size = 0, level = -1;
};

inline ReportedSymbol reportedSymbol(const std::string& err) {
    ReportedSymbol reported;
    char letter = '?';
    for (const std::string& line : linesOf(err)) {
        if (std::sscanf(line.c_str(), "version %d, mask %d, level %c, %d x", &reported.version, &reported.mask,
                        &letter, &reported.size) == 4) {
            reported.level = static_cast<int>(std::string("LMQH").find(letter));
            return reported;
        }
    }
    ADD_FAILURE() << "no version line in: " << err;
    return reported;
}

// The symbol our engine makes in process with the reported parameters: what a picture or a
// drawing from velmora-cli must show. light is size x size, row by row.
struct ExpectedSymbol {
    int size = 0;
    std::vector<uint8_t> light;
    // Light at module (row, column) of the picture with its four-module quiet zone.
    bool lightAt(int row, int column) const {
        row -= 4;
        column -= 4;
        return row < 0 || column < 0 || row >= size || column >= size || light[row * size + column];
    }
};

inline ExpectedSymbol expectedSymbol(const std::string& bytes, const ReportedSymbol& reported) {
    ExpectedSymbol symbol;
    int version = reported.version, mask = reported.mask;
    if (QR_Encode_Matrix(reported.level, &version, 0, &mask, bytes.data(), static_cast<int>(bytes.size()), nullptr) != 1)
        return symbol;
    symbol.size = g_QrEncodedData.iEncoded_WH;
    for (int r = 0; r < symbol.size; ++r)
        for (int c = 0; c < symbol.size; ++c) symbol.light.push_back(g_QrEncodedData.byEncoded_Data[r][c] != 0);
    return symbol;
}

// Pixels of a grey picture that differ from the symbol at the module size; -1 for a wrong size.
inline int pictureMismatches(const cv::Mat& grey, const ExpectedSymbol& symbol, int moduleSize) {
    const int side = (symbol.size + 8) * moduleSize;
    if (grey.rows != side || grey.cols != side || grey.type() != CV_8UC1) return -1;
    int mismatches = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            mismatches += grey.at<uint8_t>(y, x) != (symbol.lightAt(y / moduleSize, x / moduleSize) ? 255 : 0);
    return mismatches;
}

}  // namespace velmora::test

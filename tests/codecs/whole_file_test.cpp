// Files read whole: what keeps a path from being read is named at once, without waiting on a
// FIFO.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/whole_file.h"

using namespace velmora;

namespace {

namespace fs = std::filesystem;

std::string readFile(const std::string& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "velmora-whole-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) folder_ = pattern;
    }
    ~ScratchFolder() { fs::remove_all(folder_); }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }

private:
    fs::path folder_;
};

}  // namespace

TEST(WholeFileReading, NamesWhatKeepsAPathFromBeingRead) {
    ScratchFolder folder;
    writeFile(folder.path("plain.png"), "bytes");
    fs::create_directory(folder.path("scan"));
    ASSERT_EQ(::mkfifo(folder.path("pipe.png").c_str(), 0600), 0);
    fs::create_symlink(folder.path("loop.png"), folder.path("loop.png"));
    fs::create_symlink(folder.path("pipe.png"), folder.path("to-pipe.png"));
    struct Case {
        std::string path;
        std::string problem;
    };
    const std::vector<Case> cases = {
        {folder.path("plain.png"), ""},
        {folder.path("scan"), "is a directory"},
        {folder.path("pipe.png"), "not a regular file"},
        {folder.path("to-pipe.png"), "not a regular file"},
        {"/dev/null", "not a regular file"},
        {folder.path("loop.png"), "too many levels of symbolic links"},
        {folder.path("gone.png"), "no such file or directory"},
        {folder.path("plain.png/inside.png"), "not a directory"},
    };
    for (const Case& c : cases) {
        // A FIFO opened for reading would wait here for a writer that never comes.
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(unreadableFileProblem(c.path), c.problem) << c.path;
        std::vector<uint8_t> bytes;
        std::string problem;
        bool tooLarge = true;
        EXPECT_EQ(readFileWhole(c.path, 1 << 20, bytes, problem, tooLarge), c.problem.empty()) << c.path;
        EXPECT_EQ(problem, c.problem) << c.path;
        EXPECT_FALSE(tooLarge) << c.path;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << c.path;
    }
    std::vector<uint8_t> bytes;
    std::string problem;
    bool tooLarge = false;
    ASSERT_TRUE(readFileWhole(folder.path("plain.png"), 5, bytes, problem, tooLarge));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "bytes");
    EXPECT_FALSE(readFileWhole(folder.path("plain.png"), 4, bytes, problem, tooLarge));
    EXPECT_TRUE(tooLarge);
}

TEST(WholeFileReading, NamesAMissingPermission) {
    if (::geteuid() == 0) GTEST_SKIP() << "running as root, which reads a file whatever its permissions say";
    ScratchFolder folder;
    writeFile(folder.path("locked.png"), "bytes");
    ASSERT_EQ(::chmod(folder.path("locked.png").c_str(), 0), 0);
    EXPECT_EQ(unreadableFileProblem(folder.path("locked.png")), "permission denied");
}

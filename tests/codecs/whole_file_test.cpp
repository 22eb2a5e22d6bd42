// Files read and written whole: what keeps a path from being read is named at once, without
// waiting on a FIFO; a save on a full disk fails with its reason and leaves the old file as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/bmp_writer.h"
#include "codecs/symbol_picture.h"
#include "codecs/whole_file.h"
#include "engine/velmora_engine.h"
#include "tests/codecs/full_disk.h"

using namespace velmora;
using velmora::test::FullDisk;

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

TEST(WholeFileWriting, ReplacesAFileAndKeepsItsPermissions) {
    ScratchFolder folder;
    const std::string target = folder.path("kept.bmp");
    writeFile(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    std::string error;
    ASSERT_TRUE(writeFileWhole(target, "newer", 5, error)) << error;
    EXPECT_EQ(readFile(target), "newer");
    struct stat status {};
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path("")), {}), 1);
}

// Every writer of the program's files (symbols, the ornament's and capture bitmaps) goes through
// the whole-file road: on a full disk each fails with the reason and the old file stays.
TEST(WholeFileWriting, AFullDiskLeavesTheOldFileAndSaysWhy) {
    FullDisk disk;
    if (!disk.ready()) GTEST_SKIP() << disk.reason();
    int version = 0, mask = -1;
    const std::string text = "a symbol saved on a full disk";
    ASSERT_EQ(QR_Encode_Matrix(1, &version, 1, &mask, text.data(), static_cast<int>(text.size()), nullptr), 1);
    const uint8_t* matrix = &g_QrEncodedData.byEncoded_Data[0][0];
    const int size = g_QrEncodedData.iEncoded_WH;
    const std::vector<uint8_t> bgr(600 * 600 * 3, 200);
    using Save = std::function<bool(const std::string&, std::string&)>;
    const std::vector<std::pair<std::string, Save>> saves = {
        {"symbol.bmp", [&](const std::string& p, std::string& e) { return writeSymbolBmp(p, matrix, 177, size, 20, e); }},
        {"symbol.png", [&](const std::string& p, std::string& e) { return writeSymbolPng(p, matrix, 177, size, 20, e); }},
        {"symbol.svg", [&](const std::string& p, std::string& e) { return writeSymbolSvg(p, matrix, 177, size, 20, e); }},
        {"temp.bmp", [&](const std::string& p, std::string& e) { return writeBmp24(p, bgr.data(), 600, 600, 1800, e); }},
        {"Config.ini", [&](const std::string& p, std::string& e) {
             const std::string settings(100000, 'x');
             return writeFileWhole(p, settings.data(), settings.size(), e);
         }},
    };
    for (const auto& save : saves) writeFile(disk.path(save.first), "what was there before " + save.first);
    ASSERT_TRUE(disk.fill());
    const std::vector<std::string> before = disk.names();
    for (const auto& [name, save] : saves) {
        std::string error;
        EXPECT_FALSE(save(disk.path(name), error)) << name;
        EXPECT_EQ(error, disk.path(name) + ": No space left on device") << name;
        EXPECT_EQ(readFile(disk.path(name)), "what was there before " + name);
        EXPECT_EQ(disk.names(), before) << name << ": the temporary file must go";
    }
    // With room again the same saves succeed.
    fs::remove(disk.path("filler"));
    std::string error;
    EXPECT_TRUE(writeSymbolBmp(disk.path("symbol.bmp"), matrix, 177, size, 2, error)) << error;
    EXPECT_EQ(readFile(disk.path("symbol.bmp")).substr(0, 2), "BM");
}

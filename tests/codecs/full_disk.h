// A small tmpfs mounted for one test and filled to the last byte, so that a test can watch a save
// fail for want of room. Mounting needs root on a system that allows it; where it is refused,
// ready() is false and reason() says why, for the test's skip message.
#pragma once

#include <sys/mount.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace velmora::test {

class FullDisk {
public:
    FullDisk() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-full-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            reason_ = std::string("no scratch folder for a small disk: ") + std::strerror(errno);
            return;
        }
        folder_ = pattern;
        if (::mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0777") != 0) {
            reason_ = std::string("cannot mount a 64 KiB tmpfs to fill (") + std::strerror(errno) +
                      "); the full-disk checks need root where mounting is allowed";
            ::rmdir(folder_.c_str());
            return;
        }
        mounted_ = true;
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
    ~FullDisk() {
        if (!mounted_) return;
        ::umount2(folder_.c_str(), MNT_DETACH);
        ::rmdir(folder_.c_str());
    }

    bool ready() const { return mounted_; }
    const std::string& reason() const { return reason_; }
    const std::string& folder() const { return folder_; }
    std::string path(const std::string& name) const { return folder_ + "/" + name; }

    // Takes every block still free into the file "filler", so that the next write that needs
    // room fails; false when the disk did not fill.
    bool fill() const {
        const int fd = ::open(path("filler").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        const std::vector<char> block(4096, 'f');
        ssize_t written = 0;
        do {
            written = ::write(fd, block.data(), block.size());
        } while (written > 0);
        const bool full = written < 0 && errno == ENOSPC;
        ::close(fd);
        return full;
    }

    // The names in the folder, sorted: what a failed save must not leave behind.
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(folder_)) found.push_back(entry.path().filename());
        std::sort(found.begin(), found.end());
        return found;
    }

private:
    std::string folder_;
    std::string reason_;
    bool mounted_ = false;
};

}  // namespace velmora::test

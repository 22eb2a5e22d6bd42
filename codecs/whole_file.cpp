#include "codecs/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace velmora {
namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { close(); }
    int get() const { return fd_; }
    // Closes now; false when the close itself reports a failure (a late write error).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

// What a failed call's errno means to a user, in the lower-case English of the codecs' other
// reasons, so that the words do not change with the locale.
std::string problemOf(int error) {
    switch (error) {
    case ENOENT: return "no such file or directory";
    case EISDIR: return "is a directory";
    case ENOTDIR: return "not a directory";
    case ELOOP: return "too many levels of symbolic links";
    case EACCES: return "permission denied";
    case EPERM: return "operation not permitted";
    case ENAMETOOLONG: return "file name too long";
    case ENOSPC: return "no space left on device";
    case EDQUOT: return "disk quota exceeded";
    case EROFS: return "read-only file system";
    case EIO: return "input/output error";
    default: break;
    }
    std::string words = std::strerror(error);
    if (!words.empty()) words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
    return words;
}

// The problem of a file whose status is known: a directory or anything but a regular file.
std::string problemOfKind(mode_t mode) {
    if (S_ISDIR(mode)) return "is a directory";
    if (!S_ISREG(mode)) return "not a regular file";
    return {};
}

}  // namespace

bool writeFileWhole(const std::string& path, const void* bytes, size_t length, std::string& error) {
    const std::string temporary = path + ".part";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    errno = 0;
    const bool written = std::fwrite(bytes, 1, length, file) == length;
    int failure = errno;
    const bool closed = std::fclose(file) == 0;
    if (failure == 0) failure = errno;
    bool renamed = false;
    if (written && closed) {
        renamed = std::rename(temporary.c_str(), path.c_str()) == 0;
        if (!renamed) failure = errno;
    }
    if (!renamed) {
        error = path + ": " + std::strerror(failure != 0 ? failure : EIO);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

int openRegularFile(const std::string& path, std::string& problem) {
    problem.clear();
    // The status comes first so that a FIFO or a device is never opened: opening one may wait
    // for a writer or act on the device.
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0) {
        problem = problemOf(errno);
        return -1;
    }
    problem = problemOfKind(before.st_mode);
    if (!problem.empty()) return -1;
    // O_NONBLOCK keeps even a file swapped for a FIFO since the look from waiting; the
    // descriptor's own status then refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        problem = problemOf(errno);
        return -1;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) {
        problem = problemOf(errno);
    } else {
        problem = problemOfKind(opened.st_mode);
    }
    if (!problem.empty()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string unreadableFileProblem(const std::string& path) {
    std::string problem;
    Descriptor fd(openRegularFile(path, problem));
    return problem;
}

bool readFileWhole(const std::string& path, int64_t limit, std::vector<uint8_t>& bytes, std::string& problem,
                   bool& tooLarge) {
    bytes.clear();
    tooLarge = false;
    Descriptor fd(openRegularFile(path, problem));
    if (fd.get() < 0) return false;
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        problem = problemOf(errno);
        return false;
    }
    if (status.st_size > limit) {
        tooLarge = true;
        problem = "the file holds " + std::to_string(status.st_size) + " bytes";
        return false;
    }
    // The size read at opening is what is read; a file that shrinks meanwhile ends early.
    bytes.resize(static_cast<std::size_t>(status.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t read = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (read < 0 && errno == EINTR) continue;
        if (read < 0) {
            problem = problemOf(errno);
            bytes.clear();
            return false;
        }
        if (read == 0) break;
        got += static_cast<std::size_t>(read);
    }
    bytes.resize(got);
    return true;
}

std::string lowerExtensionOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

}  // namespace velmora

#include "codecs/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
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

// Why a file cannot be read, from a failed call's errno, in the lower-case English of the
// codecs' other reasons, so that the words do not change with the locale.
std::string problemOf(int error) {
    switch (error) {
    case ENOENT: return "no such file or directory";
    case EISDIR: return "is a directory";
    case ENOTDIR: return "not a directory";
    case ELOOP: return "too many levels of symbolic links";
    case EACCES: return "permission denied";
    case EPERM: return "operation not permitted";
    case ENAMETOOLONG: return "file name too long";
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

// Writes all of the bytes, going on after short writes and interrupted calls; false with errno
// set when the system refuses the rest (a full disk).
bool writeAll(int fd, const char* bytes, std::size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, bytes, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

// Creates a new hidden file beside path that no other writer uses (another instance may be
// saving the same name); -1 with errno set when the folder takes no new file.
int createTemporaryBeside(const std::string& path, std::string& temporary) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char unique[64];
        std::snprintf(unique, sizeof unique, ".%ld-%llx.part", static_cast<long>(::getpid()),
                      static_cast<unsigned long long>(ticks) + static_cast<unsigned long long>(attempt));
        temporary = folder + "." + name + unique;
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Makes a rename in the folder of path last through a power cut; failures only weaken that.
void syncFolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) ::fsync(fd.get());
}

}  // namespace

bool writeFileWhole(const std::string& path, const void* bytes, size_t length, std::string& error) {
    std::string temporary;
    Descriptor fd(createTemporaryBeside(path, temporary));
    if (fd.get() < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) ::fchmod(fd.get(), existing.st_mode & 07777);
    const bool stored = writeAll(fd.get(), static_cast<const char*>(bytes), length) && ::fsync(fd.get()) == 0;
    int failure = stored ? 0 : errno;
    const bool closed = fd.close();
    if (failure == 0 && !closed) failure = errno;
    if (failure == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) failure = errno;
    if (failure != 0) {
        ::unlink(temporary.c_str());
        error = path + ": " + std::strerror(failure);
        return false;
    }
    syncFolderOf(path);
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

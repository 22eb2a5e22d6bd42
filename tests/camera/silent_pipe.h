// A camera source that stops delivering: a video fed through a named pipe whose writer goes
// quiet, as a webcam does when it is unplugged or taken by another program.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>

namespace velmora::test {

// Opens the pipe for writing once a reader has opened it; -1 after ten seconds without one.
inline int openPipeForWriting(const std::string& path) {
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            return fd;
        }
        std::this_thread::sleep_for(10ms);
    }
    return -1;
}

// Writes the first `count` bytes of data to the pipe, then holds it open and silent until told
// to hang up.
inline void feedThenFallSilent(const std::string& pipe, const std::string& data, std::size_t count,
                               std::shared_future<void> hangUp) {
    const int fd = openPipeForWriting(pipe);
    if (fd < 0) return;
    std::size_t written = 0;
    while (written < count) {
        const ssize_t n = write(fd, data.data() + written, count - written);
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    hangUp.wait();
    close(fd);
}

// The bytes of a file.
inline std::string fileContents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A pipe that plays the first half of a video and then falls silent until the object goes.
class SilentPipe {
public:
    SilentPipe(const std::string& pipe, const std::string& video) : video_(fileContents(video)) {
        if (mkfifo(pipe.c_str(), 0600) != 0) return;
        made_ = true;
        writer_ = std::thread(feedThenFallSilent, pipe, video_, video_.size() / 2, hangUp_.get_future().share());
    }
    ~SilentPipe() {
        if (!made_) return;
        hangUp_.set_value();
        writer_.join();
    }
    SilentPipe(const SilentPipe&) = delete;
    SilentPipe& operator=(const SilentPipe&) = delete;

    bool made() const { return made_; }

private:
    std::string video_;
    std::promise<void> hangUp_;
    std::thread writer_;
    bool made_ = false;
};

}  // namespace velmora::test

#include "app/camera_source.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <string_view>
#include <utility>

namespace velmora {
namespace {

constexpr std::string_view kNodePrefix = "video";

// The number of a node named video<digits>, or -1 for any other name.
int videoNodeNumber(std::string_view name) {
    if (!name.starts_with(kNodePrefix) || name.size() == kNodePrefix.size()) return -1;
    const std::string_view digits = name.substr(kNodePrefix.size());
    int number = -1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc{} || end != digits.data() + digits.size()) return -1;
    return number;
}

// ioctl that retries when a signal interrupts it.
int queryCapabilities(int fd, v4l2_capability& capability) {
    int result;
    do {
        result = ioctl(fd, VIDIOC_QUERYCAP, &capability);
    } while (result == -1 && errno == EINTR);
    return result;
}

}  // namespace

bool isVideoCaptureDevice(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return false;
    // Non-blocking, so that a node held by another program answers at once.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    v4l2_capability capability{};
    const bool answered = queryCapabilities(fd, capability) == 0;
    close(fd);
    if (!answered) return false;
    // device_caps describes this node; capabilities describes the whole device, which for a UVC
    // camera includes the capture of its sibling node.
    const std::uint32_t caps = (capability.capabilities & V4L2_CAP_DEVICE_CAPS) != 0
                                   ? capability.device_caps
                                   : capability.capabilities;
    return (caps & V4L2_CAP_VIDEO_CAPTURE) != 0;
}

std::vector<std::string> captureDevicePaths(const std::string& directory) {
    std::vector<std::pair<int, std::string>> nodes;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        const int number = videoNodeNumber(entry.path().filename().native());
        if (number < 0) continue;
        const std::string path = entry.path().string();
        if (isVideoCaptureDevice(path)) nodes.emplace_back(number, path);
    }
    std::sort(nodes.begin(), nodes.end());
    std::vector<std::string> paths;
    paths.reserve(nodes.size());
    for (auto& node : nodes) paths.push_back(std::move(node.second));
    return paths;
}

CameraSourceKind classifyCameraSource(const std::string& source) {
    struct stat info {};
    if (stat(source.c_str(), &info) == 0 && S_ISCHR(info.st_mode)) return CameraSourceKind::Device;
    if (source.find('%') != std::string::npos) return CameraSourceKind::PictureSequence;
    return CameraSourceKind::VideoFile;
}

}  // namespace velmora

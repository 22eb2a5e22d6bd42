#include "codecs/whole_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace velmora {

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

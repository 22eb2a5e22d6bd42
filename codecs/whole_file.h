// Files written whole or not at all, and the extension that names a file's format.
#pragma once

#include <cstddef>
#include <string>

namespace velmora {

// Writes the bytes to a temporary file beside path and renames it into place, so that a reader
// of path never sees half a file and a failure leaves nothing behind (an existing file keeps its
// content). Returns false with "path: reason" when it cannot.
bool writeFileWhole(const std::string& path, const void* bytes, std::size_t length, std::string& error);

// The letters after the last '.' of the file name part of path, lower case; empty without one.
std::string lowerExtensionOf(const std::string& path);

}  // namespace velmora

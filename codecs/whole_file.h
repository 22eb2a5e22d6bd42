// Files read and written whole: a reader never waits on a FIFO or a device and names what keeps
// a path from being read; a writer replaces a file whole or leaves it as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// Writes the bytes to a new temporary file beside path, flushes it to disk and renames it into
// place, so that a reader of path never sees half a file, and a failure (a full disk, no right to
// write) removes the temporary and leaves an existing file at path as it was. The new file keeps
// the permissions of the one it replaces. Returns false with "path: reason" when it cannot.
bool writeFileWhole(const std::string& path, const void* bytes, std::size_t length, std::string& error);

// Opens path for reading only when it names a regular file (links followed), without ever
// waiting: a FIFO, a device or a socket is refused before it is opened. Returns the descriptor,
// or -1 with problem set to what is in the way: "no such file or directory", "is a directory",
// "not a regular file", "too many levels of symbolic links", "permission denied", or the system's
// words for anything rarer.
int openRegularFile(const std::string& path, std::string& problem);

// What keeps path from being read as a regular file, in the words of openRegularFile; empty when
// nothing does.
std::string unreadableFileProblem(const std::string& path);

// Reads all of the regular file at path into bytes. Refuses, with problem set, what
// openRegularFile refuses and files larger than limit bytes (tooLarge is then set too).
bool readFileWhole(const std::string& path, std::int64_t limit, std::vector<std::uint8_t>& bytes,
                   std::string& problem, bool& tooLarge);

// The letters after the last '.' of the file name part of path, lower case; empty without one.
std::string lowerExtensionOf(const std::string& path);

}  // namespace velmora

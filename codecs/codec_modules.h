// Finding and opening the codec modules: libraries of ours that hold the codecs too heavy to load
// at every start (OpenCV's image codecs, libwmf), opened the first time a picture needs them.
#pragma once

#include <string>

namespace velmora {

// The module of that file name, opened and kept for the life of the program: from the folder
// the program's modules are installed in relative to the program (the same in the build folder),
// else the installed folder, else the build folder. nullptr with dlopen's words in problem when
// none opens.
void* openCodecModule(const char* fileName, std::string& problem);

}  // namespace velmora

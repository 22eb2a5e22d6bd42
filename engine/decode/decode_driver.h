// The decode driver: one request over a whole picture, with its schedule of binarisation
// passes, the retry on an enlarged copy of small pictures and the inverted pass for
// light-on-dark symbols. The entries QR_Decode_File and QR_Decode_Matrix are declared in the
// engine's public header.
#pragma once

#include "engine/decode/reach_stages.h"
#include "engine/image/raster.h"

namespace velmora {

// How the pixels handed to QR_Decode_Matrix are laid out.
enum PixelLayout : int {
    kPixelsContiguous = 0,  // height rows of exactly width samples, no padding
    kPixelsRowTable = 1,    // a table of height row pointers
    kPixelsRaster = 2,      // a Raster of bytes
};

// What the last request did: the passes of the schedule it ran (sixteen at most per picture
// size), how many of them repeated an earlier pass and skipped their search, the factor of its
// enlargement retry (0 when it made none), and the symbols each reach stage added after the
// schedule.
struct RequestSummary {
    int passes = 0;
    int repeatedPasses = 0;
    float enlargement = 0.0f;
    ReachReads reachReads{};
};
const RequestSummary& lastRequestSummary();

// Reads up to `wanted` (1 to 256) symbols from 8-bit grey pixels laid out as iBufType says, as
// QR_Decode_Matrix does, into decodedSymbols(); the C records are left as they are. Returns the
// count read.
int decodeGreyPicture(int iBufType, void* src, int iImgWidth, int iImgHeight, int wanted, int iDecodeUTF8);

// Loads the picture file in grey and reads it as decodeGreyPicture does; -1 when it cannot be
// loaded (decodedSymbols() then left as it was).
int decodePictureFile(const char* path, int wanted, int iDecodeUTF8);

}  // namespace velmora

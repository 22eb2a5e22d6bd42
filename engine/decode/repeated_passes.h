// Recognising a pass of the schedule that repeats an earlier one.
//
// A pass's search depends on its binary picture, on the reads the request holds and on the
// state that earlier attempts leave behind: the reader's matrices, the finder table, the
// candidate and pair-variant state, the frame, the alignment grids, the sampling's transforms
// and saved fourth point, the version block answer and the attempt's mode. When a pass starts
// with a binary picture and carried state equal to those at the start of an earlier pass that
// read nothing, its search would do exactly what that one did, so it is skipped and the end
// state of that pass put in place. Crisp pictures often binarise alike under several
// thresholds; such passes then cost a binarisation and a comparison.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/image/raster.h"

namespace velmora {

// A binary picture (1 light, 0 dark) packed eight samples to a byte, row by row, with a hash of
// the bytes and the size.
struct PackedPicture {
    std::vector<uint8_t> bytes;
    uint64_t hash = 0;
    bool packed = false;  // false when memory was short: such a picture is never matched
};
// Never throws: when memory is short the picture is left unpacked.
void packPicture(const Raster& binary, PackedPicture& packed);

class RepeatedPasses {
public:
    // Called with a pass's packed binary picture before its search. True when the search can
    // be skipped: the carried state then already holds what the search would leave.
    bool skipsSearch(const PackedPicture& picture);

    // Called when a pass's search has ended; keeps its end state when the pass is remembered.
    void searchEnded();

private:
    // A pass whose binary picture had been seen before: its picture packed eight samples to a
    // byte, the carried state at its start and end, and the reads before and after it.
    struct Remembered {
        uint64_t hash = 0;
        std::vector<uint8_t> packed;
        std::vector<std::byte> start;
        std::vector<std::byte> end;
        int readsBefore = 0;
        int readsAfter = -1;
    };

    std::vector<uint64_t> seen_;
    std::vector<Remembered> remembered_;
    bool open_ = false;
};

}  // namespace velmora

#include "engine/decode/pass_search.h"

#include "engine/codec/qr_decoder.h"
#include "engine/decode/decode_request.h"
#include "engine/decode/symbol_attempts.h"
#include "engine/geometry/alignment_patterns.h"
#include "engine/geometry/candidate_triples.h"
#include "engine/geometry/finder_patterns.h"
#include "engine/geometry/line_runs.h"
#include "engine/decode/decoded_symbols.h"

namespace velmora {
namespace {

// Every search scans rows, columns and both diagonals.
constexpr int kAllDirections = 3;

bool requestSatisfied() { return decodedCount() >= wantedCount(); }

// The triple loop, then the pair loop over the four best patterns, on one binary picture.
// Returns false when the request is satisfied or the budget spent.
bool tryCandidates(Raster& binary, bool convert) {
    tryFinderTriples(binary.rows, binary.height, binary.width, convert);
    if (requestSatisfied() || budgetSpent()) return false;
    listFinderPatterns(4, finderTable(), finderList());
    tryFinderPairs(binary.rows, binary.height, binary.width, convert);
    return !(requestSatisfied() || budgetSpent());
}

// The search of searchPass with the finder search's tolerances of the caller.
PassSearch searchWith(PreparedPass& pass, RepeatedPasses* repeats, const FinderTolerances& t) {
    clearAlignmentFoundCount();
    Raster* binary = pass.binary;
    if (binary == nullptr) return PassSearch::NoPicture;
    if (repeats != nullptr && repeats->skipsSearch(pass.packed)) return PassSearch::Skipped;
    const int height = binary->height;
    const int width = binary->width;
    // The finder search reads the picture's line changes, and the alignment search after it; the
    // picture stays as it is (or inverted, which keeps every change) until the pass ends.
    allowLineChangeRecording(true);
    if (pass.swept) adoptLineChanges(pass.changes);

    const bool convert = convertUtf8Requested();
    findFinderPatterns(binary->rows, height, width, t.ratioBound, t.centreTolerance, t.pairTolerance, kAllDirections);
    processDecoder().setColourInverse(0);
    if (tryCandidates(*binary, convert)) {
        // Light-on-dark symbols: the same search on the inverted picture.
        for (int y = 0; y < height; ++y) {
            uint8_t* row = binary->rows[y];
            for (int x = 0; x < width; ++x) row[x] = static_cast<uint8_t>(1 - row[x]);
        }
        findFinderPatterns(binary->rows, height, width, t.ratioBound, t.centreTolerance, t.pairTolerance,
                           kAllDirections);
        processDecoder().setColourInverse(1);
        tryCandidates(*binary, convert);
    }
    allowLineChangeRecording(false);
    if (repeats != nullptr) repeats->searchEnded();
    return PassSearch::Searched;
}

}  // namespace

PassSearch searchPass(PreparedPass& pass, RepeatedPasses* repeats) {
    return searchWith(pass, repeats, kScheduleTolerances);
}

void searchBinaryPicture(Raster& binary, const FinderTolerances& tolerances) {
    PreparedPass pass;
    pass.binary = &binary;
    searchWith(pass, nullptr, tolerances);
}

}  // namespace velmora

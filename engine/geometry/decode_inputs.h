// What the decode driver tells the geometry about the request in progress: the mask of areas
// already read, the boxes around finder centres already used, the enlargement of the picture
// being searched, and the view that modules are sampled into. The driver sets these; the
// geometry only reads them.
#pragma once

#include <cstdint>

#include "engine/image/raster.h"

namespace velmora {

// [x0, x1] by [y0, y1] in the caller's picture coordinates (before any enlargement).
struct ExclusionBox {
    float x0;
    float x1;
    float y0;
    float y1;
};

// Three boxes for each of the 256 symbols a request may record, and the spare slot.
inline constexpr int kMaxExclusionBoxes = 3 * 256 + 1;

// The 0/1 mask of areas covered by symbols already read (1 covered), of the size of the
// picture being searched; null when there is none. The mask is not owned here.
void setDecodedAreaMask(const Raster* mask);
const Raster* decodedAreaMask();

// Counts the changes of the decoded-area mask: setting a mask, and every symbol marked on it.
// What a search works out from the mask holds while the count stands, so whoever writes the
// mask after handing it over notes the change.
uint64_t decodedAreaRevision();
void noteDecodedAreaChanged();

// Empties the box table (start of every request).
void clearFinderExclusionBoxes();

// Appends the box [cx - 3, cx + 3] by [cy - 3, cy + 3]. The count stops one below the table's
// size: a box appended to a full table is written to the spare last slot and not counted.
void appendFinderExclusionBox(float cx, float cy);

int finderExclusionBoxCount();
const ExclusionBox& finderExclusionBox(int index);

// True when (x, y) lies inside any box, edges included.
bool isInFinderExclusionBox(float x, float y);

// The enlargement of the picture being searched: factor f (> 0) and its reciprocal, used to
// bring enlarged coordinates back to the caller's. Not enlarged: f = 1. A reduced copy searched
// after the schedule is "enlarged" by a factor below 1.
void setEnlargement(bool enlarged, float factor);
bool isEnlarged();
float enlargementFactor();
float enlargementReciprocal();

// The 177 x 177 byte view over the reader's sampling buffer, row y at byte 177 y; null outside
// a request.
Raster* moduleMatrixView();
void setModuleMatrixView(Raster* view);

}  // namespace velmora

// What becomes of a symbol once the reader has read it: its entry in the decode record (finder
// centres, attributes, text), its outer corners, and the mask over its area that keeps later
// searches of the request away from it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/geometry/point.h"

namespace velmora {

// Longest text an entry of the decode record keeps.
inline constexpr int kMaxRecordedText = 7089;

// Writes the symbol the reader holds into entry k (below the wanted count) of the decode record: the finder
// centres of the current frame in the caller's picture coordinates (each also boxed against
// later finder searches), the inverted and mirrored flags, version, level and mask, and the
// text. With convertFlag set, a text that is UTF-8 of one- to three-byte sequences is stored
// in the system code page; any other text, or one the code page cannot hold, is stored as read.
// Texts are cut to 7089 bytes. Then the count becomes k + 1. An entry k outside that range is left.
void recordSymbol(int k, int convertFlag);

// Factor from the searched picture's coordinates to the caller's.
float backToCaller();

// The same with the three finder centres given (caller's picture coordinates, in the frame's
// order: corner, along the first edge, along the second edge) instead of the current frame's.
void recordSymbolWithFinders(int k, const std::array<PointF, 3>& finders, int convertFlag);

// The text converted from UTF-8 into the system code page; empty when the bytes are not UTF-8
// of one- to three-byte sequences, the code page cannot hold a character, or the text is empty.
// Zero bytes are characters like any other.
std::string textInSystemCodePage(const uint8_t* bytes, int length);

// The codeset of the user's locale as iconv names it; a C or POSIX locale counts as UTF-8.
const std::string& systemCodePage();

// Installed as the reader's corners hook while the candidate loops run: maps the symbol's outer
// corners and the would-be fourth finder centre back into the picture and stores them in the
// entry about to be recorded (the current count). Returns 1, -1 when a transform cannot be
// inverted, -2 when a point maps to infinity; what was stored before a failure stays.
int computeSymbolCorners();

// A read through one transform fitted to the finder centres and a guessed fourth point (the
// parallelogram's, or that point moved by the module-size ratios) can put the far corner a
// module or more off under a perspective, although the modules read. When the bottom-right
// alignment pattern of the read version is found within a module and a half of where the
// reading transform puts it, the corners and the fourth finder point of the entry about to be
// recorded (the current count) are mapped again through the transform fitted to the three finder
// centres and that pattern. A read through the alignment grid can put the far corner modules off
// when the grid's bottom-right centre is a look-alike in the data: when the other found patterns
// agree on a flat view of the symbol that puts that centre more than a module and a half from its
// place, the corners and fourth finder point are mapped again through the transform fitted to the
// finder centres and the pattern found around where that view puts it, or through that view when
// none is found there. rows is the searched binary picture, height by width. Returns 1 when they
// were; 0 otherwise (a read through an alignment pattern, a symbol without one, a pattern not
// found, a grid read whose centre is trusted or whose patterns do not lie flat), and the corners
// stay as the read left them.
int anchorCornersOnAlignment(const uint8_t* const* rows, int height, int width);

// Marks the area of the most recently recorded symbol, from the centre of module 1 to the
// centre of module N - 1 along both sides, in the 0/1 mask (1 covered) of the searched picture,
// width by height, with about two samples per pixel in each direction.
void markDecodedArea(uint8_t* const* maskRows, int width, int height);

}  // namespace velmora

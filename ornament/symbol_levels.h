// The grey levels in which the symbol's light and dark modules are drawn when a picture is added.
#pragma once

namespace velmora {

// Closer than this, light and dark modules no longer read apart, whatever the picture.
inline constexpr int kMinLevelGap = 128;

struct SymbolLevels {
    int light = 255;
    int dark = 0;
    // True when the picture's own levels lay closer than kMinLevelGap and were moved apart.
    bool heldApart = false;
};

// The levels for a picture whose brightest and darkest grey are given: those two themselves when
// they lie at least kMinLevelGap apart; otherwise moved apart about their middle to exactly
// kMinLevelGap, shifted as a pair to stay within 0..255, so that a one-colour or faint picture
// still gives a symbol that reads.
SymbolLevels symbolLevelsFor(int brightest, int darkest);

}  // namespace velmora

#include "ornament/symbol_levels.h"

#include <algorithm>

namespace velmora {

SymbolLevels symbolLevelsFor(int brightest, int darkest) {
    brightest = std::clamp(brightest, 0, 255);
    darkest = std::clamp(darkest, 0, brightest);
    if (brightest - darkest >= kMinLevelGap) return {brightest, darkest, false};
    const int dark = std::clamp((brightest + darkest - kMinLevelGap) / 2, 0, 255 - kMinLevelGap);
    return {dark + kMinLevelGap, dark, true};
}

}  // namespace velmora

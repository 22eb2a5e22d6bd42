// Reading a composed ornament back with Velmora's own reader, so that a picture that spoils the
// symbol is noticed before it is saved.
#pragma once

namespace velmora {

class OrnamentComposer;

// The light margin, in modules, put around a composition before it is read: the quiet zone a
// shown or printed ornament gets from the page around it.
inline constexpr int kCheckQuietModules = 4;

// True when Velmora's reader finds, in the composer's last composition, the symbol that its
// symbol picture draws: the same bytes, version, error correction level and mask. What is read
// is what a camera pointed at the symbol sees: the symbol with kCheckQuietModules modules of
// scale pixels around it, the canvas where it reaches that far and white beyond. The
// process-wide decode records are left as they were, so the caller's last decode keeps its
// results.
bool ornamentScans(const OrnamentComposer& composer, int scale);

}  // namespace velmora

#include "engine/geometry/decode_inputs.h"

#include <array>

namespace velmora {
namespace {

struct DecodeInputs {
    const Raster* mask = nullptr;
    uint64_t maskRevision = 0;
    std::array<ExclusionBox, kMaxExclusionBoxes> boxes{};
    int boxCount = 0;
    bool enlarged = false;
    float factor = 1.0f;
    float reciprocal = 1.0f;
    Raster* moduleMatrixView = nullptr;
};

DecodeInputs inputs;

}  // namespace

void setDecodedAreaMask(const Raster* mask) {
    inputs.mask = mask;
    noteDecodedAreaChanged();
}
const Raster* decodedAreaMask() { return inputs.mask; }
uint64_t decodedAreaRevision() { return inputs.maskRevision; }
void noteDecodedAreaChanged() { ++inputs.maskRevision; }

void clearFinderExclusionBoxes() { inputs.boxCount = 0; }

void appendFinderExclusionBox(float cx, float cy) {
    inputs.boxes[static_cast<std::size_t>(inputs.boxCount)] = {cx - 3.0f, cx + 3.0f, cy - 3.0f, cy + 3.0f};
    ++inputs.boxCount;
    if (inputs.boxCount >= kMaxExclusionBoxes) --inputs.boxCount;
}

int finderExclusionBoxCount() { return inputs.boxCount; }
const ExclusionBox& finderExclusionBox(int index) { return inputs.boxes[static_cast<std::size_t>(index)]; }

bool isInFinderExclusionBox(float x, float y) {
    for (int i = 0; i < inputs.boxCount; ++i) {
        const ExclusionBox& b = inputs.boxes[static_cast<std::size_t>(i)];
        if (b.x0 <= x && x <= b.x1 && b.y0 <= y && y <= b.y1) return true;
    }
    return false;
}

void setEnlargement(bool enlarged, float factor) {
    inputs.enlarged = enlarged;
    inputs.factor = enlarged && factor > 0.0f ? factor : 1.0f;
    inputs.reciprocal = 1.0f / inputs.factor;
}

bool isEnlarged() { return inputs.enlarged; }
float enlargementFactor() { return inputs.factor; }
float enlargementReciprocal() { return inputs.reciprocal; }

Raster* moduleMatrixView() { return inputs.moduleMatrixView; }
void setModuleMatrixView(Raster* view) { inputs.moduleMatrixView = view; }

}  // namespace velmora

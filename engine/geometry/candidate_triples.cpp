#include "engine/geometry/candidate_triples.h"

namespace velmora {
namespace {

struct CandidateState {
    CandidateTriple triple{};
    std::array<SlotSizes, kCandidateSlots> slots{};
};

CandidateState state;

}  // namespace

CandidateTriple& candidateTriple() { return state.triple; }
std::array<SlotSizes, kCandidateSlots>& slotSizes() { return state.slots; }

void clearCandidateTriple() {
    for (auto& value : state.triple.values) value.fill(0.0f);
    state.triple.scores.fill(0.0f);
}

}  // namespace velmora

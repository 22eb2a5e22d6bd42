#include "engine/geometry/symbol_frame.h"

#include <cmath>
#include <utility>

#include "engine/geometry/candidate_triples.h"
#include "engine/image/state_bytes.h"

namespace velmora {
namespace {

struct FrameState {
    std::array<FrameCorner, 4> corners{};
    std::array<int, 3> order{};
    FramePoints points{};
};

FrameState frame;

constexpr double kHalfRoot2 = 0.7071067811865476;
constexpr double kCos22_5 = 0.9238795;
constexpr double kCos67_5 = 0.3826834;

// Scan directions to measure a side of each class with, best first: the scan that crosses
// the side's modules most squarely.
constexpr std::array<std::array<int, 3>, 4> kDirectionPreference = {{{0, 1, 3}, {3, 2, 0}, {2, 3, 1}, {1, 0, 2}}};

float squaredDistance(PointF a, PointF b) {
    const float dx = a.x - b.x, dy = a.y - b.y;
    return dx * dx + dy * dy;
}

PointF difference(PointF a, PointF b) { return {a.x - b.x, a.y - b.y}; }
float lengthOf(PointF v) { return std::sqrt(v.x * v.x + v.y * v.y); }

PointF slotCentre(int slot) {
    const CandidateTriple& t = candidateTriple();
    return {t.values[kFinderX][static_cast<std::size_t>(slot)], t.values[kFinderY][static_cast<std::size_t>(slot)]};
}

// Module size along unit side e of class k, from the slot's first measured scan direction;
// 0 when none is measured.
float moduleSizeAlong(PointF e, int k, const SlotSizes& sizes) {
    for (int d : kDirectionPreference[static_cast<std::size_t>(k)]) {
        if (sizes.counts[static_cast<std::size_t>(d)] == 0) continue;
        const PointF v = sizes.vectors[static_cast<std::size_t>(d)];
        return std::fabs(e.x * v.x + e.y * v.y);
    }
    return 0.0f;
}

const SlotSizes& sizesOf(FrameRole role) {
    return slotSizes()[static_cast<std::size_t>(frame.order[static_cast<std::size_t>(role)])];
}

// D takes its sides from C (side 1) and B (side 2), reversed so that they run from D.
void fillFourthCorner() {
    const FrameCorner& b = frame.corners[kFrameB];
    const FrameCorner& c = frame.corners[kFrameC];
    FrameCorner& d = frame.corners[kFrameD];
    d.e1 = {-c.e1.x, -c.e1.y};
    d.e2 = {-b.e2.x, -b.e2.y};
    d.m1 = c.m1;
    d.m2 = b.m2;
    d.length1 = c.length1;
    d.length2 = b.length2;
}

// Sets a side vector to `to - from` normalised, with its length; false for length 0.
bool setSide(PointF& e, float& length, PointF from, PointF to) {
    e = difference(to, from);
    length = lengthOf(e);
    if (length == 0.0f) return false;
    e = {e.x / length, e.y / length};
    return true;
}

}  // namespace

std::array<FrameCorner, 4>& frameCorners() { return frame.corners; }
std::span<std::byte> frameStateBytes() { return stateBytes(frame); }
const std::array<int, 3>& frameOrder() { return frame.order; }
FramePoints& framePoints() { return frame.points; }

int orientFinderTriple(FramePoints& points) {
    const PointF p[3] = {slotCentre(0), slotCentre(1), slotCentre(2)};
    const float d01 = squaredDistance(p[0], p[1]);
    const float d12 = squaredDistance(p[1], p[2]);
    const float d20 = squaredDistance(p[2], p[0]);
    if (d20 > d01 && d20 > d12) {
        frame.order = {1, 2, 0};
    } else if (d12 > d01 && d12 > d20) {
        frame.order = {0, 1, 2};
    } else if (d01 > d12 && d01 > d20) {
        frame.order = {2, 0, 1};
    } else {
        return -1;
    }
    PointF a = p[frame.order[0]], b = p[frame.order[1]], c = p[frame.order[2]];
    if ((c.x - a.x) * (b.y - a.y) >= (b.x - a.x) * (c.y - a.y)) {
        std::swap(b, c);
        std::swap(frame.order[1], frame.order[2]);
    }
    points = {a, b, c, PointF{b.x - a.x + c.x, b.y - a.y + c.y}};
    frame.points = points;
    return 1;
}

int measureFrame(const FramePoints& points) {
    for (SlotSizes& s : slotSizes()) {
        s.vectors[0] = {s.sizes[0], 0.0f};
        s.vectors[1] = {static_cast<float>(s.sizes[1] * kHalfRoot2), static_cast<float>(s.sizes[1] * kHalfRoot2)};
        s.vectors[2] = {0.0f, s.sizes[2]};
        s.vectors[3] = {static_cast<float>(-s.sizes[3] * kHalfRoot2), static_cast<float>(s.sizes[3] * kHalfRoot2)};
    }
    frame.points = points;
    auto& [a, b, c, d] = frame.corners;
    a.point = points[kFrameA];
    b.point = points[kFrameB];
    c.point = points[kFrameC];
    d.point = points[kFrameD];
    if (!setSide(a.e1, a.length1, a.point, b.point) || !setSide(a.e2, a.length2, a.point, c.point)) return -1;
    if (!setSide(b.e1, b.length1, b.point, a.point) || !setSide(b.e2, b.length2, b.point, d.point)) return -1;
    if (!setSide(c.e1, c.length1, c.point, d.point) || !setSide(c.e2, c.length2, c.point, a.point)) return -1;
    const float ratio = a.length1 / a.length2;
    if (ratio > 2.5f || ratio < 0.4f) return -1;
    return 1;
}

int directionClassOf(PointF unit) {
    const double x = unit.x;
    if (x >= kCos22_5 || x <= -kCos22_5) return kHorizontal;
    if (x >= kCos67_5) return unit.y > 0.0f ? kFallingDiagonal : kRisingDiagonal;
    if (x >= -kCos67_5) return kVertical;
    return unit.y > 0.0f ? kRisingDiagonal : kFallingDiagonal;
}

int classifyEdgeDirections() {
    for (int role = kFrameA; role <= kFrameC; ++role) {
        FrameCorner& corner = frame.corners[static_cast<std::size_t>(role)];
        corner.class1 = directionClassOf(corner.e1);
        corner.class2 = directionClassOf(corner.e2);
    }
    return 1;
}

int measureModuleSizes() {
    for (int role = kFrameA; role <= kFrameC; ++role) {
        FrameCorner& corner = frame.corners[static_cast<std::size_t>(role)];
        const SlotSizes& sizes = sizesOf(static_cast<FrameRole>(role));
        corner.m1 = moduleSizeAlong(corner.e1, corner.class1, sizes);
        corner.m2 = moduleSizeAlong(corner.e2, corner.class2, sizes);
        if (corner.m1 == 0.0f || corner.m2 == 0.0f) return -1;
    }
    fillFourthCorner();
    return 1;
}

int correctFourthCorner(FramePoints& points) {
    auto& [a, b, c, d] = frame.corners;
    float p = c.m1 / a.m1;
    float q = b.m2 / a.m2;
    const bool pNear = p > 0.8 && p < 1.2;
    const bool qNear = q > 0.8 && q < 1.2;
    if (pNear && qNear) return 1;
    if (pNear) p = 1.0f;
    if (qNear) q = 1.0f;
    const PointF dd = d.point;
    const PointF corrected = {(c.point.x + (dd.x - c.point.x) * p) + (b.point.x + (dd.x - b.point.x) * q) - dd.x,
                              (c.point.y + (dd.y - c.point.y) * p) + (b.point.y + (dd.y - b.point.y) * q) - dd.y};
    points[kFrameD] = corrected;
    frame.points[kFrameD] = corrected;
    d.point = corrected;
    if (!setSide(b.e2, b.length2, b.point, corrected) || !setSide(c.e1, c.length1, c.point, corrected)) return -1;
    c.m1 = moduleSizeAlong(c.e1, c.class1, sizesOf(kFrameC));
    b.m2 = moduleSizeAlong(b.e2, b.class2, sizesOf(kFrameB));
    if (c.m1 == 0.0f || b.m2 == 0.0f) return -1;
    fillFourthCorner();
    return 1;
}

int buildSymbolFrame(FramePoints& points) {
    if (orientFinderTriple(points) != 1) return -1;
    if (measureFrame(points) != 1) return -1;
    if (classifyEdgeDirections() != 1) return -1;
    return measureModuleSizes();
}

}  // namespace velmora

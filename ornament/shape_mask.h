// The shape in which a small picture shows inside the symbol: a disc, a rounded rectangle or
// the whole rectangle.
#pragma once

namespace cv {
class Mat;
}

namespace velmora {

// A width x height 8-bit mask, 170 inside the shape and 128 outside (PictureShape: 0 a disc of
// diameter min(width, height) around the picture's middle, 1 a rectangle with its corners cut
// by arcs of radius min(width, height) / 8, 2 and any other value the whole picture). Empty
// when a size is not positive.
cv::Mat ShapeMask(int shape, int width, int height);

// The radius of the disc and the middle of a width x height picture, as the shape and its frame
// draw them.
struct DiscGeometry {
    double radius;
    double cx;
    double cy;
};
DiscGeometry discGeometry(int width, int height);

// The radius of the rounded rectangle's corner arcs.
double cornerRadius(int width, int height);

// The centre of corner arc k (0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right) and the
// quarter of a turn it spans, in degrees, both ends included.
struct CornerArc {
    double cx;
    double cy;
    int fromDegree;
    int toDegree;
};
CornerArc cornerArc(int corner, int width, int height);

}  // namespace velmora

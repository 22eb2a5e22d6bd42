// Pictures drawn from our own encoder for the golden reads and the negative set: every version,
// turned, mirrored, inverted, several symbols in one picture, crisp symbols at one or two pixels
// per module, and pictures that hold no readable symbol. Everything is drawn deterministically,
// so the same build draws the same pixels every time.
#pragma once

#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace velmora::test {

struct RenderedPicture {
    std::string name;  // file name, unique within its set
    cv::Mat grey;
};

// Pictures with symbols: what the golden reads record.
std::vector<RenderedPicture> renderedSymbolSet();

// Pictures without a readable symbol: photos-like noise and gradients, screen-like text and
// boxes, barcode-like stripes and grids, lone finder patterns, and symbols whose corner is painted
// over beyond what their error correction repairs.
std::vector<RenderedPicture> negativeSet();

}  // namespace velmora::test

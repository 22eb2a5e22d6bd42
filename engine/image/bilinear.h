// The bilinear formula that resampling and perspective sampling share.
#pragma once

namespace velmora {

// The value between four samples at fractions fx (along a row) and fy (down a column), plus one
// half so that truncating it rounds: p00 is the sample at the lower row and column, p01 the next
// column, p10 the next row. Evaluated in T, in this order; with T long double every product is
// exact for byte samples and float fractions, so the order of the last product does not matter.
template <typename T>
constexpr T bilinearValue(T p00, T p01, T p10, T p11, T fx, T fy) {
    return p00 + T(0.5) + (p10 - p00) * fy + (p01 - p00) * fx + (p00 + p11 - p10 - p01) * fx * fy;
}

}  // namespace velmora

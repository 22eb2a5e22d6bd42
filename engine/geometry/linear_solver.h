// Small dense linear algebra: Gaussian elimination with complete pivoting, for the eight
// unknowns of a homography and the inverse of its 3 by 3 matrix.
#pragma once

namespace velmora {

// Solves A x = b for n unknowns (A row by row, n by n). Returns 1 and writes x, or -1 and
// leaves x untouched when the system is singular, n is not positive, or memory runs out.
int solveLinear(float* x, const float* A, const float* b, int n);

// Writes the inverse of the n by n matrix A (row by row) into out. With normalise set and a
// nonzero last element, the result is scaled so that its last element is 1. Returns 1, or -1
// (out untouched) when A is singular, n is not positive, or memory runs out.
int invertMatrix(float* out, const float* A, int n, int normalise);

}  // namespace velmora

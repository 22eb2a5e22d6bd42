#include "engine/geometry/linear_solver.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <new>
#include <utility>
#include <vector>

namespace velmora {
namespace {

// Systems up to this size (the homography's 8 unknowns, or an inverse up to 8 by 8) are worked
// on the stack; larger ones take heap memory for the call.
constexpr int kInlineUnknowns = 8;
constexpr int kInlineColumns = 2 * kInlineUnknowns;

// An n by (n + m) float matrix addressed through row pointers, so that a row swap is a pointer
// swap, plus the log of the column swaps made while pivoting.
class EliminationMatrix {
public:
    // False when the heap memory of a large system cannot be had.
    bool allocate(int n, int columns) {
        n_ = n;
        columns_ = columns;
        float* base = inline_.data();
        if (n > kInlineUnknowns || columns > kInlineColumns) {
            try {
                heap_.resize(static_cast<std::size_t>(n) * columns);
                heapRows_.resize(static_cast<std::size_t>(n));
                heapSwaps_.resize(static_cast<std::size_t>(n));
            } catch (const std::bad_alloc&) {
                return false;
            }
            base = heap_.data();
            rows_ = heapRows_.data();
            swaps_ = heapSwaps_.data();
        } else {
            rows_ = inlineRows_.data();
            swaps_ = inlineSwaps_.data();
        }
        for (int r = 0; r < n; ++r) rows_[r] = base + static_cast<std::ptrdiff_t>(r) * columns;
        swapCount_ = 0;
        return true;
    }

    float* operator[](int r) { return rows_[r]; }
    void swapRows(int s, int t) { std::swap(rows_[s], rows_[t]); }

    // Forward elimination with complete pivoting; with jordan, also reduces above the diagonal
    // so that the right-hand columns hold the solution. Returns false for a singular matrix.
    bool eliminate(bool jordan) {
        for (int s = 0; s + 1 < n_; ++s) {
            if (!pivot(s)) return false;
            for (int r = s + 1; r < n_; ++r) {
                const float f = rows_[r][s] / rows_[s][s];
                for (int j = s + 1; j < columns_; ++j) rows_[r][j] -= f * rows_[s][j];
            }
        }
        if (rows_[n_ - 1][n_ - 1] == 0.0f) return false;
        if (jordan) reduceAbove();
        return true;
    }

    // Column swaps in the order made, to be undone last first.
    int swapCount() const { return swapCount_; }
    std::pair<int, int> swapAt(int k) const { return swaps_[k]; }

private:
    // Brings the largest remaining element (first found wins a tie) to (s, s).
    bool pivot(int s) {
        float best = 0.0f;
        int pivotRow = s, pivotColumn = s;
        for (int r = s; r < n_; ++r) {
            for (int c = s; c < n_; ++c) {
                const float magnitude = std::fabs(rows_[r][c]);
                if (magnitude > best) {
                    best = magnitude;
                    pivotRow = r;
                    pivotColumn = c;
                }
            }
        }
        if (!(best > 0.0f)) return false;
        if (pivotRow != s) std::swap(rows_[pivotRow], rows_[s]);
        if (pivotColumn != s) {
            for (int r = 0; r < n_; ++r) std::swap(rows_[r][s], rows_[r][pivotColumn]);
            swaps_[swapCount_++] = {s, pivotColumn};
        }
        return true;
    }

    // Unit diagonal, then elimination upward from the last pivot. Entries left of and on the
    // diagonal are not kept up to date: nothing reads them again.
    void reduceAbove() {
        for (int i = 0; i < n_; ++i) {
            const float p = rows_[i][i];
            for (int j = i + 1; j < columns_; ++j) rows_[i][j] /= p;
        }
        for (int s = n_ - 1; s >= 1; --s) {
            for (int r = s - 1; r >= 0; --r) {
                const float f = rows_[r][s];
                for (int j = s + 1; j < columns_; ++j) rows_[r][j] -= f * rows_[s][j];
            }
        }
    }

    int n_ = 0;
    int columns_ = 0;
    float** rows_ = nullptr;
    std::pair<int, int>* swaps_ = nullptr;
    int swapCount_ = 0;
    std::array<float, kInlineUnknowns * kInlineColumns> inline_{};
    std::array<float*, kInlineUnknowns> inlineRows_{};
    std::array<std::pair<int, int>, kInlineUnknowns> inlineSwaps_{};
    std::vector<float> heap_;
    std::vector<float*> heapRows_;
    std::vector<std::pair<int, int>> heapSwaps_;
};

}  // namespace

int solveLinear(float* x, const float* A, const float* b, int n) {
    if (x == nullptr || A == nullptr || b == nullptr || n <= 0) return -1;
    EliminationMatrix m;
    if (!m.allocate(n, n + 1)) return -1;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) m[r][c] = A[r * n + c];
        m[r][n] = b[r];
    }
    if (!m.eliminate(false)) return -1;

    std::vector<float> heapSolution;
    std::array<float, kInlineUnknowns> inlineSolution{};
    float* solution = inlineSolution.data();
    if (n > kInlineUnknowns) {
        try {
            heapSolution.resize(static_cast<std::size_t>(n));
        } catch (const std::bad_alloc&) {
            return -1;
        }
        solution = heapSolution.data();
    }
    solution[n - 1] = m[n - 1][n] / m[n - 1][n - 1];
    for (int i = n - 2; i >= 0; --i) {
        float sum = m[i][n];
        for (int j = i + 1; j < n; ++j) sum -= m[i][j] * solution[j];
        solution[i] = sum / m[i][i];
    }
    // Column swaps exchanged unknowns; exchange them back, last swap first.
    for (int k = m.swapCount() - 1; k >= 0; --k) {
        const auto [s, t] = m.swapAt(k);
        std::swap(solution[s], solution[t]);
    }
    for (int i = 0; i < n; ++i) x[i] = solution[i];
    return 1;
}

int invertMatrix(float* out, const float* A, int n, int normalise) {
    if (out == nullptr || A == nullptr || n <= 0) return -1;
    EliminationMatrix m;
    if (!m.allocate(n, 2 * n)) return -1;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            m[r][c] = A[r * n + c];
            m[r][n + c] = r == c ? 1.0f : 0.0f;
        }
    }
    if (!m.eliminate(true)) return -1;

    // The right half is the inverse of A with its columns permuted, that is the inverse with
    // its rows permuted: swap the rows back, last swap first.
    for (int k = m.swapCount() - 1; k >= 0; --k) {
        const auto [s, t] = m.swapAt(k);
        m.swapRows(s, t);
    }
    const float last = m[n - 1][2 * n - 1];
    const bool scale = normalise != 0 && last != 0.0f;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) out[r * n + c] = scale ? m[r][n + c] / last : m[r][n + c];
    }
    return 1;
}

}  // namespace velmora

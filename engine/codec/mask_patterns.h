// The eight data mask patterns of ISO/IEC 18004 (table 10) and the codeword placement path,
// shared by the encoder and the reader.
#pragma once

namespace velmora {

// True where mask k inverts the module at row i, column j.
inline bool maskCondition(int k, int i, int j) {
    switch (k) {
    case 0: return (i + j) % 2 == 0;
    case 1: return i % 2 == 0;
    case 2: return j % 3 == 0;
    case 3: return (i + j) % 3 == 0;
    case 4: return (i / 2 + j / 3) % 2 == 0;
    case 5: return (i * j) % 2 + (i * j) % 3 == 0;
    case 6: return ((i * j) % 2 + (i * j) % 3) % 2 == 0;
    case 7: return ((i * j) % 3 + (i + j) % 2) % 2 == 0;
    default: return false;
    }
}

// Walks every module position in codeword placement order: two-column strips from the right
// edge, alternately upward and downward, right column first, skipping the vertical timing
// column. Function modules are produced too; callers pass over them.
class PlacementPath {
public:
    explicit PlacementPath(int size) : size_(size), x_(size), y_(size - 1) {}

    // Next position as (column x, row y); false once the walk has left the symbol.
    bool next(int& x, int& y) {
        x_ += step_;
        step_ = -step_;
        if (step_ < 0) {
            y_ += direction_;
            if (y_ < 0 || y_ == size_) {
                y_ = (y_ < 0) ? 0 : size_ - 1;
                direction_ = -direction_;
                x_ -= 2;
                if (x_ == 6) x_ = 5;
            }
        }
        if (x_ < 0) return false;
        x = x_;
        y = y_;
        return true;
    }

private:
    int size_;
    int x_;
    int y_;
    int step_ = 1;
    int direction_ = 1;
};

}  // namespace velmora

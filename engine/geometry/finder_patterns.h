// The finder-pattern search: run-length scans along rows, columns, diagonals and
// anti-diagonals for the 1:1:3:1:1 dark-light sequence, pairing of crossing hits, clustering,
// consistency checks and scores, and the best twelve patterns in the process-wide FinderTable.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <cstdint>
#include <vector>

namespace velmora {

// The eleven values of a pattern: one column of the FinderTable, one row of cluster
// statistics. Sizes are mean module sizes of the pattern's hits in that scan family (diagonal
// sizes measured along the diagonal); counts are hit counts, stored as floats.
enum FinderValue : int {
    kFinderX = 0,
    kFinderY = 1,
    kFinderScore = 2,
    kFinderRowSize = 3,
    kFinderRowCount = 4,
    kFinderColumnSize = 5,
    kFinderColumnCount = 6,
    kFinderDiagonalSize = 7,
    kFinderDiagonalCount = 8,
    kFinderAntiDiagonalSize = 9,
    kFinderAntiDiagonalCount = 10,
};

inline constexpr int kFinderValues = 11;
inline constexpr int kFinderTableColumns = 40;
inline constexpr int kFinderPatternsKept = 12;
// A pattern counts as found (listed, usable) from this score on.
inline constexpr float kFinderMinScore = 1.5f;

// FinderTable[value][column]; columns 0 to 11 in descending order of score, empty ones zero.
using FinderTable = std::array<std::array<float, kFinderTableColumns>, kFinderValues>;
// Rows x, y and score of FinderTable columns 0 to 11 as the search found them.
using FinderBackup = std::array<std::array<float, kFinderTableColumns>, 3>;

// Columns of the FinderTable whose score is at least 1.5, ascending.
struct FinderList {
    std::array<int, kFinderTableColumns> columns;
    int count;
};

FinderTable& finderTable();
FinderList& finderList();
const FinderBackup& finderBackup();

// The bytes of the table, list and backup of the last search, which later attempts and passes may read.
std::span<std::byte> finderStateBytes();

// Scan families, in the order of the tags of the hits they produce.
enum ScanFamily : int { kScanRows = 0, kScanColumns = 1, kScanDiagonals = 2, kScanAntiDiagonals = 3 };

// Searches the binary raster (0 dark, nonzero light) for finder patterns. ratioBound bounds
// the ratio of neighbouring runs, centreTolerance the centre run's deviation from 3 modules,
// pairTolerance the distance of crossing hits in module sizes; directions 1 scans rows and
// columns, 2 the diagonals, 3 both. Pixels covered by the decoded-area mask break every line,
// and clusters inside a finder exclusion box are dropped. Fills the FinderTable, FinderList and
// FinderBackup (and clears the candidate triple); returns 0.
int findFinderPatterns(const uint8_t* const* rows, int height, int width, float ratioBound, float centreTolerance,
                       float pairTolerance, int directions);

// Hit table capacity of a search over height by width pixels:
// (height / 25) * (width / 25) * 10, at least 200.
int finderMaxHits(int height, int width);

// A table of hits stored column-wise: centre x, centre y and module size.
struct HitTable {
    float* x;
    float* y;
    float* size;
};

// One scan: rows (family 0) or diagonals down and to the right (family 1) into table, in line
// order. hitCount receives the number of hits, at most maxHits - 1 (a hit at x = 0 or y = 0 is
// written to the table but not counted). Returns -1 when no table is given, else 0.
int scanRuns(int family, int& hitCount, const HitTable* table, int maxHits, const uint8_t* const* rows, int height,
             int width, float ratioBound, float centreTolerance);

// The crossing scan: columns (family 0) or anti-diagonals down and to the left (family 1).
int scanRunsCrossing(int family, int& hitCount, const HitTable* table, int maxHits, const uint8_t* const* rows,
                     int height, int width, float ratioBound, float centreTolerance);

// Paired hits, column-wise with their scan family as tag (0 rows .. 3 anti-diagonals).
struct PairedHits {
    float* x;
    float* y;
    float* size;
    int32_t* family;
    int count;
};

// Pairs hits of two crossing families (a: rows or diagonals, b: columns or anti-diagonals;
// diagonal selects the diagonal rule), appending to out every hit that pairs at least once, in
// the order of its first pairing. out must have room for countA + countB more hits.
void pairFinderHits(const HitTable& a, int countA, const HitTable& b, int countB, bool diagonal, float pairTolerance,
                    PairedHits& out);

// Statistics of the search's clusters, one row of FinderValues per cluster (all zero for an
// empty cluster).
inline constexpr int kFinderClusters = 20;
using ClusterStatistics = std::array<std::array<float, kFinderValues>, kFinderClusters>;

// What sets the finder search and the alignment window search apart when they group hits.
// A hit joins the first cluster whose running mean lies within sqrt(squaredReach) times the
// hit's size or the size of the cluster's last member. A cluster that one family crosses more
// than maxDensity times per module of the crossing family is no pattern. (originX, originY) is
// where the searched raster's (0, 0) lies in the picture the finder exclusion boxes refer to.
struct ClusterRule {
    float squaredReach;
    float maxDensity;
    float originX;
    float originY;
};

// Working storage of clusterPairedHits, kept by its caller so that repeated searches reuse it.
struct ClusterScratch {
    std::vector<int> next;      // the next member of a hit's cluster, -1 after the last
    std::vector<char> removed;  // the hit was dropped by a cluster's checks

    // Room for count hits; grows only. False when the memory cannot be had.
    bool reserve(int count);
};

// Groups the paired hits, in order, into kFinderClusters clusters (when every cluster is taken,
// those whose member counts are among the five smallest are dropped), then checks and scores
// each cluster. A family pair whose mean sizes or counts disagree loses its hits; a cluster left
// empty, too dense, or whose centre (moved by the origin, then brought back from an enlarged
// pass) lies in a finder exclusion box scores all zero. Otherwise its row holds the centre in the
// raster's coordinates, per-family mean sizes and counts, and the score: the sum over families
// of hit count per module size of the crossing family. Every row of statistics is written.
// Returns false, with all rows zero, only when scratch cannot hold the hits.
bool clusterPairedHits(const PairedHits& hits, const ClusterRule& rule, ClusterScratch& scratch,
                       ClusterStatistics& statistics);

// Copies the twelve best clusters whose score lies in [1.5, 14) into columns 0 to 11 of table,
// in descending order of score; equal scores go to distinct clusters, lowest index first. A
// column whose rank holds a score outside that range stays as it was (the search clears it).
// The chosen clusters' scores are set to 0 in statistics.
void selectFinderPatterns(ClusterStatistics& statistics, FinderTable& table);

// Rebuilds list from columns 0 to n - 1 of table: the columns whose score is at least 1.5.
void listFinderPatterns(int n, const FinderTable& table, FinderList& list);

}  // namespace velmora

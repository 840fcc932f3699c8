#include "imaging/paper_scan.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/colour.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace skewtrim {

namespace {
constexpr int kPaperRowPixels = 150;  // a paper row has more bright pixels than this
constexpr int kBandHalfWidth = 9;     // SKEWTRIM_RULE_OUTSIDE: background is level +- (this - 1)
constexpr int kRunLength = 6;         // points per run at most
constexpr int kRunMinimum = 4;        // shorter runs are dropped
constexpr int kRunGap = 6;            // a larger step in x or y starts a new run
}  // namespace

int GreyView::operator()(int x, int y) const {
    const std::uint8_t* row = bmp_.rows[y];
    switch (bmp_.bitCount) {
        case 8:
            return row[x];
        case 1:
            return bit_at(row, x) ? 255 : 0;
        default:
            return grey_of_bgr(row + 3 * x);
    }
}

PaperTest PaperTest::make(int level, int rule) {
    PaperTest t;
    if (rule == SKEWTRIM_RULE_OUTSIDE) {
        t.band = true;
        t.low = std::max(level - kBandHalfWidth, 0);
        t.high = std::min(level + kBandHalfWidth, 255);
    } else {
        t.low = level;
    }
    return t;
}

int measure_level(const GreyView& grey) {
    const int w = grey.width();
    // Narrow images repeat columns rather than read outside the row.
    const int columns[4] = {0, std::min(1, w - 1), std::max(w - 2, 0), w - 1};
    std::int64_t sum = 0;
    for (int y = 0; y < grey.height(); ++y) {
        for (int x : columns) {
            sum += grey(x, y);
        }
    }
    const double mean = static_cast<double>(sum) / (4.0 * grey.height());
    return static_cast<int>(mean + 0.5);
}

namespace {

#if defined(__SSE2__)
constexpr int kChunk = 16;  // grey bytes tested at once

// The paper test on 16 grey bytes at once: bit k of the answer is set when
// byte k is paper.
class PaperBytes {
public:
    explicit PaperBytes(const PaperTest& test)
        : band_(test.band),
          never_(!test.band && test.low >= 255),
          above_(_mm_set1_epi8(static_cast<char>(test.low + 1))),
          low_(_mm_set1_epi8(static_cast<char>(test.low))),
          high_(_mm_set1_epi8(static_cast<char>(test.high))) {}

    int operator()(const std::uint8_t* p) const {
        if (never_) {
            return 0;
        }
        const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (!band_) {  // above low: at least low + 1
            return _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(g, above_), g));
        }
        const __m128i atMostLow = _mm_cmpeq_epi8(_mm_min_epu8(g, low_), g);
        const __m128i atLeastHigh = _mm_cmpeq_epi8(_mm_max_epu8(g, high_), g);
        return _mm_movemask_epi8(_mm_or_si128(atMostLow, atLeastHigh));
    }

private:
    bool band_;
    bool never_;
    __m128i above_, low_, high_;
};
#endif

// Set bits of each byte value (the baseline processor has no bit-count instruction).
constexpr std::array<std::uint8_t, 256> kSetBits = [] {
    std::array<std::uint8_t, 256> t{};
    for (int v = 0; v < 256; ++v) {
        t[static_cast<size_t>(v)] = static_cast<std::uint8_t>((v & 1) + t[static_cast<size_t>(v >> 1)]);
    }
    return t;
}();

// True when more than 150 pixels of row y are above `low` (counting stops there).
bool is_paper_row(const GreyView& grey, const Bitmap& bmp, int low, int y) {
    const std::uint8_t* row = bmp.rows[y];
    if (bmp.bitCount == 1) {
        if (low >= 255) {
            return false;  // grey values are 0 and 255
        }
        int count = 0;
        const int full = bmp.width / 8;
        for (int i = 0; i < full; ++i) {
            count += kSetBits[row[i]];
            if (count > kPaperRowPixels) {
                return true;
            }
        }
        for (int x = full * 8; x < bmp.width; ++x) {
            count += bit_at(row, x) ? 1 : 0;
        }
        return count > kPaperRowPixels;
    }
    int count = 0;
    if (bmp.bitCount == 8) {
        int x = 0;
#if defined(__SSE2__)
        // Byte counters (a compare gives -1 per bright byte), summed every 8
        // chunks, before any counter could pass 255.
        if (low < 255) {
            const __m128i above = _mm_set1_epi8(static_cast<char>(low + 1));
            constexpr int kGroup = 8 * kChunk;
            for (; x + kGroup <= bmp.width; x += kGroup) {
                __m128i counts = _mm_setzero_si128();
                for (int c = 0; c < kGroup; c += kChunk) {
                    const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x + c));
                    counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(_mm_max_epu8(g, above), g));
                }
                const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
                count += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
                if (count > kPaperRowPixels) {
                    return true;
                }
            }
        }
#endif
        for (; x < bmp.width; ++x) {
            if (row[x] > low && ++count > kPaperRowPixels) {
                return true;
            }
        }
        return false;
    }
    for (int x = 0; x < bmp.width; ++x) {
        if (grey(x, y) > low && ++count > kPaperRowPixels) {
            return true;
        }
    }
    return false;
}

// Paper test per pixel through a table over grey values, specialised by depth.
template <int kDepth>
struct PaperPixels {
    const Bitmap& bmp;
    std::array<bool, 256> paper{};
    PaperPixels(const Bitmap& b, const PaperTest& test) : bmp(b) {
        for (int g = 0; g < 256; ++g) {
            paper[static_cast<size_t>(g)] = test(g);
        }
    }
    // 1-bit rows: bit k of `byte` (most significant first) set where pixel k is paper.
    unsigned paper_bits(unsigned byte) const {
        return ((paper[255] ? byte : 0u) | (paper[0] ? ~byte : 0u)) & 0xFFu;
    }
    bool operator()(const std::uint8_t* row, int x) const {
        if constexpr (kDepth == 8) {
            return paper[row[x]];
        } else if constexpr (kDepth == 1) {
            return paper[bit_at(row, x) ? 255 : 0];
        } else {
            return paper[static_cast<size_t>(grey_of_bgr(row + 3 * x))];
        }
    }
};

template <int kDepth>
void side_edges(const Bitmap& bmp, const PaperTest& test, int bottom, int top, Edge& left, Edge& right) {
    const PaperPixels<kDepth> paper(bmp, test);
    RunBuilder leftRuns(left);
    RunBuilder rightRuns(right);
    const int w = bmp.width;
#if defined(__SSE2__)
    const PaperBytes bytes(test);
#endif
    for (int y = bottom; y <= top; ++y) {
        const std::uint8_t* row = bmp.rows[y];
        int x = 0;
#if defined(__SSE2__)
        if constexpr (kDepth == 8) {
            for (; x + kChunk <= w; x += kChunk) {
                if (const int m = bytes(row + x); m != 0) {
                    x += __builtin_ctz(static_cast<unsigned>(m));
                    break;
                }
            }
        }
#endif
        if constexpr (kDepth == 1) {
            // Whole bytes without a paper pixel at once.
            for (; x + 8 <= w; x += 8) {
                if (const unsigned m = paper.paper_bits(row[x >> 3]); m != 0) {
                    x += __builtin_clz(m) - 24;
                    break;
                }
            }
        }
        while (x < w && !paper(row, x)) {
            ++x;
        }
        if (x == w) {
            continue;  // a row without paper gives no points
        }
        leftRuns.add({x, y});
        int xr = w - 1;
#if defined(__SSE2__)
        if constexpr (kDepth == 8) {
            // Paper exists at x, so the backward scan stops at x at the latest.
            for (; xr - kChunk + 1 >= x; xr -= kChunk) {
                if (const int m = bytes(row + xr - kChunk + 1); m != 0) {
                    xr = xr - kChunk + 1 + (31 - __builtin_clz(static_cast<unsigned>(m)));
                    break;
                }
            }
        }
#endif
        if constexpr (kDepth == 1) {
            // The last, partial byte pixel by pixel, then whole bytes; paper
            // exists at x, so the byte holding x stops the scan at the latest.
            while ((xr & 7) != 7 && !paper(row, xr)) {
                --xr;
            }
            if ((xr & 7) == 7) {
                while (paper.paper_bits(row[xr >> 3]) == 0) {
                    xr -= 8;
                }
            }
        }
        while (!paper(row, xr)) {
            --xr;
        }
        rightRuns.add({xr, y});
    }
    leftRuns.finish();
    rightRuns.finish();
}

// Walks the rows in memory order (not column by column) and records, for every
// column of fromX..toX, the first row from `start` in direction `step` that
// holds paper; -1 where the column has none up to `end`.
template <int kDepth>
std::vector<int> first_paper_rows(const PaperPixels<kDepth>& paper, int start, int end, int step, int fromX,
                                  int toX) {
    std::vector<int> found(static_cast<size_t>(fromX - toX + 1), -1);
    std::vector<int> pending;
    pending.reserve(found.size());
    for (int x = toX; x <= fromX; ++x) {
        pending.push_back(x);
    }
    for (int y = start; !pending.empty(); y += step) {
        const std::uint8_t* row = paper.bmp.rows[y];
        size_t kept = 0;
        for (const int x : pending) {
            if (paper(row, x)) {
                found[static_cast<size_t>(x - toX)] = y;
            } else {
                pending[kept++] = x;
            }
        }
        pending.resize(kept);
        if (y == end) {
            break;
        }
    }
    return found;
}

#if defined(__SSE2__)
// The same for 8-bit rows, 16 columns at a time: a group of columns leaves the
// walk once all of its columns have met paper.
std::vector<int> first_paper_rows_grey(const Bitmap& bmp, const PaperTest& test, int start, int end, int step,
                                       int fromX, int toX) {
    struct Group {
        int first;    // column of bit 0
        int pending;  // columns still without paper, a bit each
    };
    const PaperBytes bytes(test);
    std::vector<int> found(static_cast<size_t>(fromX - toX + 1), -1);
    std::vector<Group> groups;
    int x = toX;
    for (; x + kChunk - 1 <= fromX; x += kChunk) {
        groups.push_back({x, 0xFFFF});
    }
    if (x <= fromX) {  // the last columns: a group ending at fromX, only its new columns pending
        const int fresh = fromX - x + 1;
        groups.push_back({fromX - kChunk + 1, (0xFFFF << (kChunk - fresh)) & 0xFFFF});
    }
    for (int y = start; !groups.empty(); y += step) {
        const std::uint8_t* row = bmp.rows[y];
        size_t kept = 0;
        for (const Group& g : groups) {
            int hit = bytes(row + g.first) & g.pending;
            const int left = g.pending & ~hit;
            while (hit != 0) {
                const int k = __builtin_ctz(static_cast<unsigned>(hit));
                found[static_cast<size_t>(g.first + k - toX)] = y;
                hit &= hit - 1;
            }
            if (left != 0) {
                groups[kept++] = {g.first, left};
            }
        }
        groups.resize(kept);
        if (y == end) {
            break;
        }
    }
    return found;
}
#endif

// The same for 1-bit rows, 8 columns at a time.
std::vector<int> first_paper_rows_bits(const PaperPixels<1>& paper, int start, int end, int step, int fromX,
                                       int toX) {
    constexpr int kGroup = 8;
    struct Group {
        int first;         // column of bit 7
        unsigned pending;  // columns still without paper, bit 7 - k for column first + k
    };
    std::vector<int> found(static_cast<size_t>(fromX - toX + 1), -1);
    std::vector<Group> groups;
    int x = toX;
    for (; x + kGroup - 1 <= fromX; x += kGroup) {
        groups.push_back({x, 0xFFu});
    }
    if (x <= fromX) {  // the last columns: a group ending at fromX, only its new columns pending
        const int fresh = fromX - x + 1;
        groups.push_back({fromX - kGroup + 1, (1u << fresh) - 1u});
    }
    for (int y = start; !groups.empty(); y += step) {
        const std::uint8_t* row = paper.bmp.rows[y];
        size_t kept = 0;
        for (const Group& g : groups) {
            // Columns first .. first + 7 as one byte; the next byte only when the
            // group straddles two (it then holds a column of the group).
            const int b = g.first >> 3;
            const int shift = g.first & 7;
            const unsigned pair = (static_cast<unsigned>(row[b]) << 8) | (shift != 0 ? row[b + 1] : 0u);
            unsigned hit = paper.paper_bits(pair >> (8 - shift)) & g.pending;
            const unsigned left = g.pending & ~hit;
            while (hit != 0) {
                const int k = __builtin_ctz(hit);
                found[static_cast<size_t>(g.first + 7 - k - toX)] = y;
                hit &= hit - 1;
            }
            if (left != 0) {
                groups[kept++] = {g.first, left};
            }
        }
        groups.resize(kept);
        if (y == end) {
            break;
        }
    }
    return found;
}

// The first paper row of each column of fromX..toX, from `start` toward `end`.
template <int kDepth>
std::vector<int> first_rows(const Bitmap& bmp, const PaperTest& test, const PaperPixels<kDepth>& paper,
                            int start, int end, int step, int fromX, int toX) {
#if defined(__SSE2__)
    if (kDepth == 8 && fromX - toX + 1 >= kChunk) {
        return first_paper_rows_grey(bmp, test, start, end, step, fromX, toX);
    }
#endif
    if constexpr (kDepth == 1) {
        if (fromX - toX + 1 >= 8) {
            return first_paper_rows_bits(paper, start, end, step, fromX, toX);
        }
    }
    (void)bmp;
    (void)test;
    return first_paper_rows(paper, start, end, step, fromX, toX);
}

template <int kDepth>
void end_edges(const Bitmap& bmp, const PaperTest& test, int bottom, int top, int fromX, int toX,
               Edge& bottomEdge, Edge& topEdge) {
    if (fromX < toX) {
        return;
    }
    const PaperPixels<kDepth> paper(bmp, test);
    const std::vector<int> up = first_rows(bmp, test, paper, bottom, top, 1, fromX, toX);
    const std::vector<int> down = first_rows(bmp, test, paper, top, bottom, -1, fromX, toX);
    RunBuilder bottomRuns(bottomEdge);
    RunBuilder topRuns(topEdge);
    for (int x = fromX; x >= toX; --x) {
        const size_t i = static_cast<size_t>(x - toX);
        if (up[i] < 0) {
            continue;
        }
        bottomRuns.add({x, up[i]});
        topRuns.add({x, down[i]});
    }
    bottomRuns.finish();
    topRuns.finish();
}

}  // namespace

int find_paper_rows(const GreyView& grey, int low, int& bottom, int& top) {
    const Bitmap& bmp = grey.bitmap();
    const int h = grey.height();
    bottom = -1;
    for (int y = 0; y < h; ++y) {
        if (is_paper_row(grey, bmp, low, y)) {
            bottom = y;
            break;
        }
    }
    if (bottom < 0) {
        return kNoPaper;
    }
    if (bottom == h - 1) {
        top = bottom;
        return kOk;
    }
    for (int y = h - 1; y > bottom; --y) {
        if (is_paper_row(grey, bmp, low, y)) {
            top = y;
            return kOk;
        }
    }
    return kNoPaper;
}

void RunBuilder::add(Point p) {
    if (count_ > 0) {
        const Point& last = edge_.points.back();
        if (count_ == kRunLength || std::abs(p.x - last.x) > kRunGap || std::abs(p.y - last.y) > kRunGap) {
            close();
        }
    }
    if (count_ == 0) {
        start_ = static_cast<int>(edge_.points.size());
    }
    edge_.points.push_back(p);
    ++count_;
}

void RunBuilder::close() {
    if (count_ == 0) {
        return;
    }
    if (count_ >= kRunMinimum) {
        std::int64_t sx = 0;
        std::int64_t sy = 0;
        for (int i = start_; i < start_ + count_; ++i) {
            sx += edge_.points[static_cast<size_t>(i)].x;
            sy += edge_.points[static_cast<size_t>(i)].y;
        }
        Run run;
        run.count = count_;
        run.first = start_;
        run.centroid = {static_cast<int>(sx / count_), static_cast<int>(sy / count_)};
        edge_.runs.push_back(run);
        edge_.runPoints += count_;
    } else {
        edge_.points.resize(static_cast<size_t>(start_));
    }
    count_ = 0;
}

void scan_side_edges(const Bitmap& bmp, const PaperTest& paper, int bottom, int top, Edge& left,
                     Edge& right) {
    switch (bmp.bitCount) {
        case 1:
            side_edges<1>(bmp, paper, bottom, top, left, right);
            break;
        case 8:
            side_edges<8>(bmp, paper, bottom, top, left, right);
            break;
        default:
            side_edges<24>(bmp, paper, bottom, top, left, right);
            break;
    }
}

void scan_end_edges(const Bitmap& bmp, const PaperTest& paper, int bottom, int top, int fromX, int toX,
                    Edge& bottomEdge, Edge& topEdge) {
    switch (bmp.bitCount) {
        case 1:
            end_edges<1>(bmp, paper, bottom, top, fromX, toX, bottomEdge, topEdge);
            break;
        case 8:
            end_edges<8>(bmp, paper, bottom, top, fromX, toX, bottomEdge, topEdge);
            break;
        default:
            end_edges<24>(bmp, paper, bottom, top, fromX, toX, bottomEdge, topEdge);
            break;
    }
}

Extreme find_extreme(const Edge& edge, ExtremeKind kind) {
    Extreme best;
    for (size_t r = 0; r < edge.runs.size(); ++r) {
        const Run& run = edge.runs[r];
        if (run.count != kRunLength) {
            continue;
        }
        for (int i = run.first; i < run.first + run.count; ++i) {
            const Point& p = edge.points[static_cast<size_t>(i)];
            const int ri = static_cast<int>(r);
            if (!best.found()) {
                best = {p, ri, ri};
                continue;
            }
            switch (kind) {
                case ExtremeKind::Left:
                case ExtremeKind::Bottom: {
                    const int v = kind == ExtremeKind::Left ? p.x : p.y;
                    const int b = kind == ExtremeKind::Left ? best.at.x : best.at.y;
                    if (v < b) {
                        best = {p, ri, ri};
                    } else if (v == b) {
                        best.lastRun = ri;
                    }
                    break;
                }
                case ExtremeKind::Top:
                    if (p.y > best.at.y) {
                        best = {p, ri, ri};
                    } else if (p.y == best.at.y) {
                        best.lastRun = ri;
                    }
                    break;
                case ExtremeKind::Right:
                    // The last point reaching the largest x decides, and both indices are its run.
                    if (p.x >= best.at.x) {
                        best = {p, ri, ri};
                    }
                    break;
            }
        }
    }
    return best;
}

}  // namespace skewtrim

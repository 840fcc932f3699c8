#include "marks/printed/block_fit.h"

#include <algorithm>
#include <cstdlib>

namespace typemark {

namespace {

// Distances are compared within these multiples of dpm.
constexpr int kSpanTolerance = 2;  // block spans
constexpr int kClearance = 3;      // free space around the block
constexpr int kNarrowMargin = 4;   // band kept around the anchor row's columns

bool near(int a, int b, int tolerance) {
    return std::abs(a - b) <= tolerance;
}

const Region* end_region(const RowGroup& row, bool last) {
    return last ? row.back() : row.front();
}

// What one cell of a row was read from: its mark, or none and the x it was expected at.
struct CellSpot {
    const Region* mark = nullptr;
    int x = 0;
};

PixelBox box_of(const Region& r) {
    return {r.minX, r.minY, r.maxX, r.maxY};
}

// A mark-sized box centred on (x, y), the centre taken as a centroid of its pixels.
PixelBox box_around(int x, int y, int width, int height) {
    PixelBox b;
    b.minX = x - (width - 1) / 2;
    b.minY = y - (height - 1) / 2;
    b.maxX = b.minX + std::max(width, 1) - 1;
    b.maxY = b.minY + std::max(height, 1) - 1;
    return b;
}

// Appends the boxes of one block row read at line `y`.
void place_row(const std::vector<CellSpot>& spots, int y, const PrintedForm& a, BlockPlace& place) {
    for (const CellSpot& s : spots)
        place.cells.push_back(s.mark != nullptr ? box_of(*s.mark)
                                                : box_around(s.x, y, a.markWidth, a.markHeight));
}

// Column test over consecutive rows, on their first (last) regions.
bool column_test(const std::vector<const RowGroup*>& rows, const PrintedForm& a, int dpm, bool last) {
    for (std::size_t j = 0; j < rows.size(); ++j) {
        if (rows[j] == nullptr || rows[j]->empty()) return false;
        const Region* e = end_region(*rows[j], last);
        if (!near(e->width, a.markWidth, dpm) || !near(e->height, a.markHeight, dpm)) return false;
        if (j == 0) continue;
        const Region* p = end_region(*rows[j - 1], last);
        if (!near(e->centroidX, p->centroidX, dpm)) return false;
        if (!near(e->centroidY - p->centroidY, a.row_gap(static_cast<int>(j) - 1), dpm)) return false;
    }
    const int span = end_region(*rows.back(), last)->centroidY - end_region(*rows.front(), last)->centroidY;
    return near(span, a.spanY, kSpanTolerance * dpm);
}

// A row next to the block must not continue its first (last) column.
bool continues_column(const RowGroup& neighbour, const RowGroup& outer, const PrintedForm& a, int dpm,
                      bool last) {
    const Region* n = end_region(neighbour, last);
    const Region* o = end_region(outer, last);
    return std::abs(n->centroidY - o->centroidY) < kClearance * dpm &&
           std::abs(n->centroidX - o->centroidX) < a.markWidth;
}

// Cells of one row against the anchor row's column positions: a column is marked when
// the row's next unused region lies within dpm of it. Regions beside the block are passed
// over when they stand at least 3 x dpm clear of it; a region inside the block that
// matches no column, or one closer beside it, means the block does not lie here.
std::optional<std::string> read_by_columns(const RowGroup& row, const std::vector<int>& columnX, int dpm,
                                           std::vector<CellSpot>* spots = nullptr) {
    std::string cells(columnX.size(), '0');
    if (spots != nullptr) spots->assign(columnX.size(), CellSpot{});
    std::size_t k = 0;
    while (k < row.size() && row[k]->centroidX < columnX.front() - dpm) {
        // Beside the block, but not closer than the clearance.
        if (row[k]->centroidX > columnX.front() - kClearance * dpm) return std::nullopt;
        ++k;
    }
    for (std::size_t i = 0; i < columnX.size(); ++i) {
        if (k < row.size() && row[k]->centroidX < columnX[i] - dpm) return std::nullopt;
        if (spots != nullptr) (*spots)[i].x = columnX[i];
        if (k < row.size() && near(row[k]->centroidX, columnX[i], dpm)) {
            cells[i] = '1';
            if (spots != nullptr) (*spots)[i].mark = row[k];
            ++k;
        }
    }
    if (k < row.size() && row[k]->centroidX < columnX.back() + kClearance * dpm) return std::nullopt;
    return cells;
}

// Cells of one row read from its first (or last) region, which is the first (last)
// column; the expected position advances by the column gaps and follows each mark found.
// As above, a region between the columns means the block does not lie here.
std::optional<std::string> read_from_end(const RowGroup& row, const PrintedForm& a, int dpm, bool last,
                                         std::vector<CellSpot>* spots = nullptr) {
    const int columns = a.columnCount;
    std::string cells(static_cast<std::size_t>(columns), '0');
    if (row.empty()) return std::nullopt;
    if (spots != nullptr) spots->assign(static_cast<std::size_t>(columns), CellSpot{});
    auto note = [&](int column, const Region* mark, int x) {
        if (spots != nullptr) (*spots)[static_cast<std::size_t>(column)] = CellSpot{mark, x};
    };
    const long n = static_cast<long>(row.size());
    // Walk in x order from the first region, or backwards from the last.
    const int step = last ? -1 : 1;
    long k = last ? n - 1 : 0;
    auto cx = [&](long i) { return row[static_cast<std::size_t>(i)]->centroidX; };
    auto column = [&](int i) { return last ? columns - 1 - i : i; };
    auto gapAfter = [&](int i) { return last ? a.column_gap(columns - 2 - (i - 1)) : a.column_gap(i - 1); };
    int expected = cx(k);
    cells[static_cast<std::size_t>(column(0))] = '1';
    note(column(0), row[static_cast<std::size_t>(k)], expected);
    k += step;
    for (int i = 1; i < columns; ++i) {
        expected += step * gapAfter(i);
        const bool inRange = k >= 0 && k < n;
        if (inRange && step * (cx(k) - expected) < -dpm) return std::nullopt;
        if (inRange && near(cx(k), expected, dpm)) {
            cells[static_cast<std::size_t>(column(i))] = '1';
            expected = cx(k);
            note(column(i), row[static_cast<std::size_t>(k)], expected);
            k += step;
        } else {
            note(column(i), nullptr, expected);
        }
    }
    if (k >= 0 && k < n && step * (cx(k) - expected) < kClearance * dpm) return std::nullopt;
    return cells;
}

bool end_tests(const std::vector<const RowGroup*>& rows, const PrintedForm& a, int dpm) {
    if (a.anchor[kAnchorL] && !column_test(rows, a, dpm, false)) return false;
    if (a.anchor[kAnchorR] && !column_test(rows, a, dpm, true)) return false;
    return true;
}

// Block located by an anchor row (flags U or D).
std::optional<CellGrid> fit_by_anchor(const std::vector<const Region*>& candidates,
                                      const std::vector<RowGroup>& groups, const PrintedForm& a, int dpm,
                                      BlockPlace* place) {
    const int rowCount = a.rowCount;
    const int columnCount = a.columnCount;
    // D: the anchor is the block's first stored row; U: its last.
    const bool anchorFirst = a.anchor[kAnchorD] != 0;
    const std::size_t anchorIndex = anchorFirst ? 0 : static_cast<std::size_t>(rowCount - 1);

    for (const RowGroup& group : groups) {
        const auto start = find_anchor_run(group, a, dpm);
        if (!start) continue;
        const Region* firstMark = group[*start];
        const int lo = firstMark->centroidX - kNarrowMargin * dpm;
        const int hi =
            group[*start + static_cast<std::size_t>(columnCount) - 1]->centroidX + kNarrowMargin * dpm;

        // Narrow the candidates to the block's band of columns and regroup them.
        std::vector<const Region*> band;
        for (const Region* r : candidates)
            if (r->centroidX >= lo && r->centroidX <= hi) band.push_back(r);
        const std::vector<RowGroup> rows = group_rows(band, dpm);
        std::size_t anchorGroup = rows.size();
        for (std::size_t h = 0; h < rows.size() && anchorGroup == rows.size(); ++h)
            if (std::find(rows[h].begin(), rows[h].end(), firstMark) != rows[h].end()) anchorGroup = h;
        if (anchorGroup == rows.size()) continue;
        const auto start2 = find_anchor_run(rows[anchorGroup], a, dpm);
        if (!start2) continue;

        std::vector<int> columnX(static_cast<std::size_t>(columnCount));
        long long sumY = 0;
        for (int i = 0; i < columnCount; ++i) {
            const Region* r = rows[anchorGroup][*start2 + static_cast<std::size_t>(i)];
            columnX[static_cast<std::size_t>(i)] = r->centroidX;
            sumY += r->centroidY;
        }
        const int anchorY = static_cast<int>(sumY / columnCount);

        // Expected line of every block row from the row gaps.
        std::vector<int> lineY(static_cast<std::size_t>(rowCount));
        lineY[anchorIndex] = anchorY;
        for (int j = static_cast<int>(anchorIndex) + 1; j < rowCount; ++j)
            lineY[static_cast<std::size_t>(j)] = lineY[static_cast<std::size_t>(j - 1)] + a.row_gap(j - 1);
        for (int j = static_cast<int>(anchorIndex) - 1; j >= 0; --j)
            lineY[static_cast<std::size_t>(j)] = lineY[static_cast<std::size_t>(j + 1)] - a.row_gap(j);

        // Every row group in the band is a block row, or stands clear of the block.
        std::vector<RowGroup> blockRows(static_cast<std::size_t>(rowCount));
        std::vector<bool> present(static_cast<std::size_t>(rowCount), false);
        std::vector<int> outside;
        for (const RowGroup& row : rows) {
            const int y = row_line(row);
            int best = -1, bestDistance = dpm + 1;
            for (int j = 0; j < rowCount; ++j) {
                const int d = std::abs(y - lineY[static_cast<std::size_t>(j)]);
                if (d < bestDistance) {
                    best = j;
                    bestDistance = d;
                }
            }
            if (best < 0) {
                outside.push_back(y);
                continue;
            }
            auto& target = blockRows[static_cast<std::size_t>(best)];
            target.insert(target.end(), row.begin(), row.end());
            present[static_cast<std::size_t>(best)] = true;
        }
        const int firstY = lineY.front(), lastY = lineY.back();
        const int top = std::max(firstY, lastY), bottom = std::min(firstY, lastY);
        // The rows at both ends of the block hold marks: they fix its extent (a blank row
        // inside the block is located by the gaps around it).
        bool clear = present.front() && present.back();
        for (int y : outside)
            if (y > bottom - kClearance * dpm && y < top + kClearance * dpm) clear = false;
        if (!clear) continue;
        for (auto& row : blockRows)
            std::stable_sort(row.begin(), row.end(),
                             [](const Region* p, const Region* q) { return p->centroidX < q->centroidX; });

        if (a.anchor[kAnchorL] || a.anchor[kAnchorR]) {
            std::vector<const RowGroup*> ptrs;
            for (int j = 0; j < rowCount; ++j)
                ptrs.push_back(present[static_cast<std::size_t>(j)] ? &blockRows[static_cast<std::size_t>(j)]
                                                                    : nullptr);
            if (!end_tests(ptrs, a, dpm)) continue;
        }

        CellGrid grid;
        for (int j = 0; j < rowCount && clear; ++j) {
            auto cells = read_by_columns(blockRows[static_cast<std::size_t>(j)], columnX, dpm);
            if (cells)
                grid.push_back(std::move(*cells));
            else
                clear = false;
        }
        if (!clear) continue;
        if (place != nullptr) {
            // Read again, noting where each cell lies (only on the fit, so the search stays lean).
            *place = BlockPlace{};
            std::vector<CellSpot> spots;
            for (int j = 0; j < rowCount; ++j) {
                const RowGroup& row = blockRows[static_cast<std::size_t>(j)];
                read_by_columns(row, columnX, dpm, &spots);
                place_row(
                    spots,
                    present[static_cast<std::size_t>(j)] ? row_line(row) : lineY[static_cast<std::size_t>(j)],
                    a, *place);
                if (a.anchor[kAnchorL] || a.anchor[kAnchorR])
                    place->anchorColumn.push_back(
                        place->cells[place->cells.size() - (a.anchor[kAnchorL] ? spots.size() : 1)]);
            }
            for (int i = 0; i < columnCount; ++i)
                place->anchorRow.push_back(box_of(*rows[anchorGroup][*start2 + static_cast<std::size_t>(i)]));
        }
        return grid;
    }
    return std::nullopt;
}

// Block located by its first (L) or last (R) column alone.
std::optional<CellGrid> fit_by_column(const std::vector<RowGroup>& groups, const PrintedForm& a, int dpm,
                                      BlockPlace* place) {
    const std::size_t rowCount = static_cast<std::size_t>(a.rowCount);
    if (groups.size() < rowCount) return std::nullopt;
    const bool last = a.anchor[kAnchorL] == 0;
    for (std::size_t g0 = 0; g0 + rowCount <= groups.size(); ++g0) {
        std::vector<const RowGroup*> rows;
        for (std::size_t j = 0; j < rowCount; ++j) rows.push_back(&groups[g0 + j]);
        if (!end_tests(rows, a, dpm)) continue;
        if (g0 > 0 && continues_column(groups[g0 - 1], *rows.front(), a, dpm, last)) continue;
        if (g0 + rowCount < groups.size() &&
            continues_column(groups[g0 + rowCount], *rows.back(), a, dpm, last))
            continue;
        CellGrid grid;
        for (const RowGroup* row : rows) {
            auto cells = read_from_end(*row, a, dpm, last);
            if (!cells) break;
            grid.push_back(std::move(*cells));
        }
        if (grid.size() != rowCount) continue;
        if (place != nullptr) {
            *place = BlockPlace{};
            std::vector<CellSpot> spots;
            for (const RowGroup* row : rows) {
                read_from_end(*row, a, dpm, last, &spots);
                place_row(spots, row_line(*row), a, *place);
                place->anchorColumn.push_back(box_of(*end_region(*row, last)));
            }
        }
        return grid;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::size_t> find_anchor_run(const RowGroup& row, const PrintedForm& a, int dpm) {
    const std::size_t columns = static_cast<std::size_t>(a.columnCount);
    if (columns == 0 || row.size() < columns) return std::nullopt;
    for (std::size_t s = 0; s + columns <= row.size(); ++s) {
        const Region* first = row[s];
        int expected = first->centroidX;
        bool fits = true;
        for (std::size_t i = 1; i < columns && fits; ++i) {
            const Region* r = row[s + i];
            const int gap = a.column_gap(static_cast<int>(i) - 1);
            expected += gap;
            fits = near(r->centroidX - row[s + i - 1]->centroidX, gap, dpm) &&
                   near(r->centroidX, expected, dpm) && near(r->centroidY, first->centroidY, dpm);
        }
        if (!fits) continue;
        const Region* lastMark = row[s + columns - 1];
        if (!near(lastMark->centroidX - first->centroidX, a.spanX, kSpanTolerance * dpm)) continue;
        if (s + columns < row.size() && row[s + columns]->centroidX - lastMark->centroidX < kClearance * dpm)
            continue;
        return s;
    }
    return std::nullopt;
}

std::optional<CellGrid> fit_block(const std::vector<const Region*>& candidates, const PrintedForm& a, int dpm,
                                  BlockPlace* place) {
    if (a.rowCount < 1 || a.columnCount < 1 || a.markWidth <= 0 || a.markHeight <= 0) return std::nullopt;
    if (static_cast<int>(a.rows.size()) != a.rowCount || static_cast<int>(a.columns.size()) != a.columnCount)
        return std::nullopt;
    const std::vector<RowGroup> groups = group_rows(candidates, dpm);
    if (groups.empty()) return std::nullopt;
    if (a.anchor[kAnchorU] || a.anchor[kAnchorD]) return fit_by_anchor(candidates, groups, a, dpm, place);
    if (a.anchor[kAnchorL] || a.anchor[kAnchorR]) return fit_by_column(groups, a, dpm, place);
    return std::nullopt;
}

}  // namespace typemark

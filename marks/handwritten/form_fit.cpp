#include "marks/handwritten/form_fit.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <optional>

#include "marks/handwritten/orientation.h"

namespace inkmark {

namespace {

constexpr int kDpm = kDotsPerMm;
constexpr int kSizeTolerance = 12;  // 1.5 mm
constexpr int kMinBandHalfWidth = 2 * kDpm;

using Blobs = std::vector<marks::MarkBlob>;

bool gap_ok(int measured, int gap) {
    return std::abs(measured - gap) <= gap_tolerance(gap);
}

// Tries `track` on `band` from blob `start`; the matched blobs (one per mark)
// or nothing.
std::optional<Blobs> match_track(const OmrTrack& track, Edge edge, const Blobs& band, std::size_t start) {
    const std::size_t count = static_cast<std::size_t>(track.markCount);
    if (count == 0 || track.marks.size() != count || start >= band.size()) return std::nullopt;
    const std::size_t available = band.size() - start;
    Blobs collected;
    if (count == 1) {
        // A single mark: any blob of the band may be it; its place is checked
        // against the other track.
        if (!size_matches(band[start], track.marks[0])) return std::nullopt;
        collected.push_back(band[start]);
        return collected;
    }
    if (track.openEnded != 1) {
        if (available != count) return std::nullopt;
        for (std::size_t i = 0; i < count; ++i) {
            if (!size_matches(band[start + i], track.marks[i])) return std::nullopt;
        }
        collected.assign(band.begin() + static_cast<std::ptrdiff_t>(start), band.end());
        for (std::size_t i = 1; i < count; ++i) {
            const int measured = std::abs(along(edge, collected[i]) - along(edge, collected[i - 1]));
            if (!gap_ok(measured, track.gaps[i])) return std::nullopt;
        }
        return collected;
    }
    for (std::size_t i = 0; i < available; ++i) {
        const OmrCell& mark = track.marks[std::min(i, count - 1)];
        if (size_matches(band[start + i], mark)) collected.push_back(band[start + i]);
    }
    if (collected.size() < count) return std::nullopt;
    for (std::size_t w = 0; w + count <= collected.size(); ++w) {
        bool ok = true;
        for (std::size_t i = 1; i < count && ok; ++i) {
            const int measured = std::abs(along(edge, collected[w + i]) - along(edge, collected[w + i - 1]));
            ok = gap_ok(measured, track.gaps[i]);
        }
        if (ok)
            return Blobs(collected.begin() + static_cast<std::ptrdiff_t>(w),
                         collected.begin() + static_cast<std::ptrdiff_t>(w + count));
    }
    return std::nullopt;
}

// Image coordinate of a blob on the axis across `edge`.
int across_of(Edge edge, const marks::MarkBlob& b) {
    return across(edge, b);
}

int pair_tolerance(int expected) {
    return kDpm + 2 + static_cast<int>(std::abs(expected * 0.015));
}

// Second track of a two-track form, with the locating track matched.
FitOutcome fit_second(const OmrForm& form, int c, const TrackMatch& first, const EdgeLists& lists,
                      const marks::Image& work, TrackMatch& out) {
    const OmrTrack& t1 = form.tracks[static_cast<std::size_t>(first.track)];
    const int second = 1 - first.track;
    const OmrTrack& t2 = form.tracks[static_cast<std::size_t>(second)];
    if (t2.markCount < 1 || t2.marks.empty()) return FitOutcome::NoFit;
    const Edge e1 = first.edge;
    const Edge e2 = kListFor[c][t2.kind];
    const marks::MarkBlob& near1 = first.blobs[static_cast<std::size_t>(t1.nearest)];
    const int expected = across_of(e2, near1) + kPairSign[c][t2.kind] * form.pairOffset[t2.kind][t1.kind];

    const EdgeList* list = &lists[e2];
    EdgeList fresh;
    const int expectedDepth = depth_of(e2, expected, work.width, work.height);
    if (t2.role == 1 && expectedDepth > list->deepest) {
        const int acrossSize = is_vertical(t2.kind) ? t2.markWidth : t2.markHeight;
        const int half = std::max(kMinBandHalfWidth, acrossSize);
        if (!scan_band(work, e2, expectedDepth - half, expectedDepth + half, fresh))
            return FitOutcome::OutOfMemory;
        list = &fresh;
    }
    for (const Blobs& band : list->bands) {
        for (std::size_t s = 0; s < band.size(); ++s) {
            std::optional<Blobs> m = match_track(t2, e2, band, s);
            if (!m) continue;
            const marks::MarkBlob& near2 = (*m)[static_cast<std::size_t>(t2.nearest)];
            if (t2.markCount == 1) {
                const int measured = std::abs(across_of(e1, near2) - across_of(e1, near1));
                if (!gap_ok(measured, t2.gaps[0])) continue;
            }
            // The pair offsets, both ways: toward the second track and toward the first.
            const int expected21 = form.pairOffset[t2.kind][t1.kind];
            const int measured21 = kPairSign[c][t2.kind] * (across_of(e2, near2) - across_of(e2, near1));
            if (std::abs(measured21 - expected21) > pair_tolerance(expected21)) continue;
            const int expected12 = form.pairOffset[t1.kind][t2.kind];
            const int measured12 = kPairSign[c][t1.kind] * (across_of(e1, near1) - across_of(e1, near2));
            if (std::abs(measured12 - expected12) > pair_tolerance(expected12)) continue;
            out.track = second;
            out.edge = e2;
            out.blobs = std::move(*m);
            return FitOutcome::Fitted;
        }
    }
    return FitOutcome::NoFit;
}

}  // namespace

int gap_tolerance(int gap) {
    return static_cast<int>(gap * 0.015 + kDpm + 2);
}

bool size_matches(const marks::MarkBlob& blob, const OmrCell& mark) {
    const bool straight = std::abs(blob.width - mark.width) <= kSizeTolerance &&
                          std::abs(blob.height - mark.height) <= kSizeTolerance;
    const bool turned = std::abs(blob.height - mark.width) <= kSizeTolerance &&
                        std::abs(blob.width - mark.height) <= kSizeTolerance;
    return straight || turned;
}

FitOutcome fit_form(const OmrForm& form, const EdgeLists& lists, const marks::Image& work, FitResult& out) {
    try {
        int locating = -1;
        for (std::size_t i = 0; i < form.tracks.size(); ++i) {
            if (form.tracks[i].role == 0 && form.tracks[i].markCount > 1) {
                locating = static_cast<int>(i);
                break;
            }
        }
        if (locating < 0) return FitOutcome::NoFit;
        const OmrTrack& loc = form.tracks[static_cast<std::size_t>(locating)];
        const bool twoTracks = form.trackCount == 2 && form.tracks.size() == 2;
        if (twoTracks && is_vertical(form.tracks[0].kind) == is_vertical(form.tracks[1].kind))
            return FitOutcome::NoFit;

        std::vector<Edge> candidates;
        if (twoTracks) {
            candidates = {kEdgeL, kEdgeR, kEdgeB, kEdgeT};
        } else {
            candidates = {kListFor[2][loc.kind]};
        }
        for (Edge x : candidates) {
            const int c = kOrientationOf[x][loc.kind];
            for (const Blobs& band : lists[x].bands) {
                for (std::size_t s = 0; s < band.size(); ++s) {
                    std::optional<Blobs> m = match_track(loc, x, band, s);
                    if (!m) continue;
                    TrackMatch first;
                    first.track = locating;
                    first.edge = x;
                    first.blobs = std::move(*m);
                    if (!twoTracks) {
                        out.orientation = c;
                        out.matches.assign(1, std::move(first));
                        return FitOutcome::Fitted;
                    }
                    TrackMatch second;
                    const FitOutcome o = fit_second(form, c, first, lists, work, second);
                    if (o == FitOutcome::OutOfMemory) return o;
                    if (o != FitOutcome::Fitted) continue;
                    out.orientation = c;
                    out.matches.clear();
                    out.matches.push_back(std::move(first));
                    out.matches.push_back(std::move(second));
                    return FitOutcome::Fitted;
                }
            }
        }
    } catch (const std::bad_alloc&) {
        return FitOutcome::OutOfMemory;
    }
    return FitOutcome::NoFit;
}

}  // namespace inkmark

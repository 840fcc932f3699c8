#pragma once
// Runs of equal colour along a scan line, the noise merge and candidate segments.

#include <cstdint>
#include <vector>

#include "barcode/linear/image.h"

namespace stripescan {

constexpr std::uint8_t kBlack = 0;
constexpr std::uint8_t kWhite = 1;

struct Run {
    int x = 0;  // first pixel of the run
    int y = 0;
    int length = 0;  // pixels along the line
    std::uint8_t color = kWhite;
};

// Lengths of the runs that band_runs measures: eighths of a pixel.
constexpr int kBandUnit = 8;

struct RunList {
    std::vector<Run> runs;
    int unit = 1;  // length units per pixel

    int size() const { return static_cast<int>(runs.size()); }
    int length(int i) const { return runs[static_cast<std::size_t>(i)].length; }
};

// Reverses the list so that a symbol read backwards reads forwards; the symbol's first and last
// run indexes follow it.
void reverse_runs(RunList& list, int& first, int& last);

// Runs along one image row from column 0 to the right edge. False when the image or row is unusable.
bool row_runs(const Image& image, int y, RunList& out);

// Runs from `start` along the precomputed `offsets` (offset 0 is the start itself) until a point
// at or beyond the column or row of `stop`, or until a run grows longer than `max_run` (0: no
// limit). Points outside the image are skipped. False when the start point is outside the image.
bool line_runs(const Image& image, Point start, const std::vector<Point>& offsets, Point stop, int maxRun,
               RunList& out);

// Runs along a thick line: samples every half pixel from (x, y) in the unit direction (fx, fy);
// each sample is the black coverage of 2 * half + 1 points across the line, one pixel apart
// (along the bars), each interpolated between its four pixels, which averages out the stair
// steps of a slanted edge. Edges lie where the coverage crosses one half, interpolated between
// samples; lengths are in eighths of a pixel (unit kBandUnit). Ends where the centre leaves the
// image, after `max_samples` samples, or when a run spans more than `max_run` samples. False
// when the start lies outside the image.
// With `firstWhite` > 0 the line also ends as soon as its first run is complete and is black or
// shorter than `firstWhite` (in kBandUnit): a probe that needs a quiet zone first is refused by
// those two runs alone. Each run depends only on the samples up to its end, so the runs kept are
// those of the whole line.
bool band_runs(const Image& image, double x, double y, double fx, double fy, int half, int maxSamples,
               int maxRun, RunList& out, int firstWhite = 0);

// Merges runs of `width` pixels or less, together with the run after them, into the run before.
void merge_noise(RunList& runs, int width);

struct Segment {
    int begin = 0;  // first run
    int end = 0;    // one past the last run
};

// Cuts the line where neighbouring runs differ in length by more than a factor of 6 and keeps
// the pieces with at least `min_runs` runs.
std::vector<Segment> candidate_segments(const RunList& runs, int minRuns);

}  // namespace stripescan

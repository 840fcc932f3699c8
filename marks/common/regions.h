#pragma once
// Dark runs along image lines and their linking into connected dark regions.
//
// A line is a row or a column of a 1-bit image; positions along it are pixel
// indices. Runs found on consecutive lines are linked when their spans
// intersect; the regions a run bridges are merged. A region is finished on the
// first line that gives it no run, and then handed to the caller, who decides
// whether to keep it.

#include <cstdint>
#include <vector>

namespace marks {

// A stretch of dark pixels along a line, first and last position inclusive.
struct Run {
    int start = 0;
    int end = 0;
    int length() const { return end - start + 1; }
};

// Which runs count: lengths in [minLength, maxLength]; a counting run that
// starts at most mergeGap pixels after the previous counting run's last pixel
// joins it, and a joined run whose length reaches maxLength is dropped.
struct RunRules {
    int minLength = 1;
    int maxLength = 1 << 30;
    int mergeGap = 0;
};

// Appends the counting runs of a packed 1-bit line (most significant bit
// first, 0 = dark) of `length` pixels to `out` (which is cleared first).
// Bytes of eight light pixels are skipped whole.
void find_runs(const std::uint8_t* line, int length, const RunRules& rules, std::vector<Run>& out);

enum BlobState : std::int32_t { kBlobOpen = 0, kBlobKept = 1, kBlobRejected = 2 };

// One dark connected region. Width and height are the bounding-box extents
// (maximum - minimum + 1) when the region is finished; readers may replace
// them afterwards. Centroids are coordinate sums divided by the pixel count
// (integer division).
struct MarkBlob {
    std::int32_t pixelCount = 0;
    std::int32_t centroidX = 0;
    std::int32_t centroidY = 0;
    std::int32_t width = 0;
    std::int32_t minX = 0;
    std::int32_t maxX = 0;
    std::int32_t height = 0;
    std::int32_t maxY = 0;
    std::int32_t minY = 0;
    std::int32_t state = kBlobOpen;
    std::int32_t scratch[2] = {0, 0};
    std::vector<std::int32_t> merged;  // numbers of the regions merged into this one
    std::int32_t mergedInto = -1;      // number of the region this one was merged into
    std::int64_t sumX = 0;
    std::int64_t sumY = 0;
    std::int32_t number = 0;  // region number within its labeller
};

// Links the runs of consecutive lines into regions. With linesAreColumns
// false a line is a row (line index = y, positions = x); with true a column
// (line index = x, positions = y). Lines must be added in a monotonic walk,
// one line after the other (either direction).
class RegionLabeller {
public:
    explicit RegionLabeller(bool linesAreColumns = false) : columns_(linesAreColumns) {}

    // Starts over (no open regions, numbering from 0).
    void reset();

    // Links the runs of `line` (sorted by start, disjoint) to the previous
    // line's, then moves every open region that received no run on this
    // line, finished, to the end of `finished` (in region number order).
    void add_line(int line, const std::vector<Run>& runs, std::vector<MarkBlob>& finished);

    // Finishes every open region (end of the image or of the scan).
    void finish_all(std::vector<MarkBlob>& finished);

    // Number of regions still open.
    std::size_t open_count() const { return active_.size(); }

private:
    struct LinkedRun {
        Run run;
        std::int32_t region;
    };
    std::int32_t root(std::int32_t region);
    void merge(std::int32_t into, std::int32_t from);
    void add_run(std::int32_t region, int line, const Run& run);
    void finish(std::int32_t region, std::vector<MarkBlob>& finished);

    bool columns_;
    std::vector<MarkBlob> pool_;
    std::vector<std::int32_t> parent_;
    std::vector<int> lastLine_;
    std::vector<std::int32_t> active_;
    std::vector<LinkedRun> previous_;
    std::vector<LinkedRun> current_;
};

// Finishes a region's derived fields: centroid from the sums, width and
// height from the extents.
void finish_blob(MarkBlob& blob);

}  // namespace marks

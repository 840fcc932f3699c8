#pragma once
// Test support around the software scanner-printer, part one: what a test
// needs on disk and on paper, with no device involved. A scratch folder that
// removes itself, a working-folder switch that restores the previous one, a
// painter for test tickets and a reader for the rows of a saved BMP. The
// device half (environment, clock, sleep seam) is in emulated_device.h, the
// fixture for the device library against it in kit_on_emulator.h.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace emutesting {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder /tmp/<prefix>_XXXXXX, removed with everything in it when
// the object goes. path() is empty when the folder could not be made.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    bool made() const { return !path_.empty(); }

private:
    std::filesystem::path path_;
};

// Makes `folder` the working folder until the object goes, then returns to
// the folder that was current before.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::filesystem::path& folder);
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    std::filesystem::path previous_;
};

// Fills the w x h box at (x0, y0) of an 8-bit grey ticket `width` dots wide
// with grey level `value`; the box must lie inside the ticket.
void paint_box(Bytes& ticket, int width, int x0, int y0, int w, int h, std::uint8_t value);

// The rows of a bottom-up BMP file, top row first and without row padding;
// empty when the file is missing or its size does not fit `lines` rows of
// `lineBytes` bytes.
Bytes bmp_rows(const std::string& path, int lineBytes, int lines);

}  // namespace emutesting

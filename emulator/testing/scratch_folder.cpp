// Scratch folders, the working-folder switch and ticket pictures for tests.

#include "emulator/testing/scratch_folder.h"

#include <unistd.h>

#include <fstream>
#include <iterator>

namespace emutesting {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(const std::string& prefix) {
    std::string pattern = "/tmp/" + prefix + "_XXXXXX";
    if (::mkdtemp(pattern.data())) path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

WorkingFolder::WorkingFolder(const fs::path& folder) : previous_(fs::current_path()) {
    fs::current_path(folder);
}

WorkingFolder::~WorkingFolder() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
}

void paint_box(Bytes& ticket, int width, int x0, int y0, int w, int h, std::uint8_t value) {
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) ticket[static_cast<std::size_t>(y) * width + x] = value;
}

Bytes bmp_rows(const std::string& path, int lineBytes, int lines) {
    std::ifstream in(path, std::ios::binary);
    const Bytes file(std::istreambuf_iterator<char>(in), {});
    if (file.size() < 54) return {};
    const std::uint32_t offset = file[10] | file[11] << 8 | file[12] << 16;
    const std::size_t stride = (static_cast<std::size_t>(lineBytes) + 3) / 4 * 4;
    if (file.size() != offset + stride * static_cast<std::size_t>(lines)) return {};
    Bytes rows;
    for (int r = lines - 1; r >= 0; --r) {
        const auto at =
            file.begin() + static_cast<std::ptrdiff_t>(offset + stride * static_cast<std::size_t>(r));
        rows.insert(rows.end(), at, at + lineBytes);
    }
    return rows;
}

}  // namespace emutesting

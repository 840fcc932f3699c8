#pragma once
// Writing an annotated raster to a file: PNG through libpng, or a 24-bit
// BMP through the kit's BMP header codec. The format follows the file name's
// suffix.

#include <optional>
#include <string>

#include "raster.h"

namespace annotate {

enum class ImageFormat { Png, Bmp };

// The format a file name asks for by its suffix (".png" or ".bmp", any
// case); nothing for any other name.
std::optional<ImageFormat> format_for(const std::string& path);

// Writes `raster` to `path` in the format its suffix names. `dotsPerMetreX/Y`
// record the picture's resolution in the file (0: not recorded). Returns ""
// on success, else why it failed (unknown suffix, empty raster, cannot write).
std::string write_image(const Raster& raster, const std::string& path, int dotsPerMetreX = 0,
                        int dotsPerMetreY = 0);

}  // namespace annotate

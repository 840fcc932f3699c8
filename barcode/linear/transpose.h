#pragma once
// Exchanging rows and columns of a 1-bit picture, so that the vertical pass can read columns as rows.

#include <cstdint>
#include <vector>

#include "barcode/linear/image.h"

namespace stripescan {

// Writes the transpose of `in` into `storage` and answers a view of it (width and height exchanged).
Image transpose(const Image& in, std::vector<std::uint8_t>& storage);

}  // namespace stripescan

#pragma once
// Where the printed-mark format file is, and how a form is picked out of it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace typemark {

constexpr const char* kDefaultFormatFile = "FormatFileSP.txt";
constexpr const char* kFormatFileVariable = "FMTFILESPPATH";

// FMTFILESPPATH when set, else "FormatFileSP.txt" in the current directory; nothing
// when the path is empty or longer than the supported 254 characters.
std::optional<std::string> format_file_path();

// Skips `count` forms from `pos`, each one '*' and the 29 title bytes after it (the
// values of a skipped form are not examined); false when the file runs out of '*' first.
bool skip_forms(const std::vector<std::uint8_t>& file, std::size_t& pos, int count);

}  // namespace typemark

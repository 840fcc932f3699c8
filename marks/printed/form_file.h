#pragma once
// The printed-mark format file: where it is, and how its forms are framed and tokenised.
// A form starts at '*'; the 30 bytes from the '*' are a free title; its values run to the
// next '*', which must exist. Values are numbers made of digits and '.', at most 19
// characters; every other character separates them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace typemark {

constexpr const char* kDefaultFormatFile = "FormatFileSP.txt";
constexpr const char* kFormatFileVariable = "FMTFILESPPATH";
// Longest supported path (the path buffer holds 255 characters with its terminator).
constexpr std::size_t kMaxFormatPath = 254;

// FMTFILESPPATH when set, else "FormatFileSP.txt" in the current directory; nothing
// when the path is empty or longer than kMaxFormatPath.
std::optional<std::string> format_file_path();

enum class FormStatus { Ok, NoMoreForms, Failed };

// Reads the values of the form whose '*' is the first one at or after `pos`. On Ok,
// `pos` is left at the closing '*' (where the next form starts). NoMoreForms when no '*'
// follows `pos`; Failed when the form is not closed or a number is too long.
FormStatus read_form_values(const std::vector<std::uint8_t>& file, std::size_t& pos,
                            std::vector<double>& values);

// Skips `count` forms from `pos` (each one '*' and the 29 bytes after it); false when
// the file runs out of forms first.
bool skip_forms(const std::vector<std::uint8_t>& file, std::size_t& pos, int count);

}  // namespace typemark

#pragma once
// The framing and number syntax the mark readers' format files share.
//
// A form starts at a '*'; everything before the file's first '*' is ignored.
// The 30 bytes starting at the '*' are a free title area and are skipped.
// The form's values follow, up to the next '*', which closes the form and
// starts the next one; a form that reaches the end of the file unclosed fails.
// Inside the value area the characters '0'..'9' and '.' build numbers of at
// most 19 characters; every other character separates (there is no sign).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace marks {

// Bytes skipped from a form's '*', the '*' included.
inline constexpr std::size_t kTitleBytes = 30;
// Longest number, in characters.
inline constexpr std::size_t kMaxNumberLength = 19;
// Longest format-file path, in characters (a 255-byte buffer with its zero).
inline constexpr std::size_t kMaxPathLength = 254;

enum class FormTextStatus {
    Ok,      // values read; nextOffset is the closing '*'
    NoForm,  // no '*' at or after the offset: the file holds no further form
    Failed,  // a number longer than 19 characters, or no closing '*'
};

struct FormText {
    std::vector<double> values;
    std::size_t start = 0;       // offset of the form's '*'
    std::size_t nextOffset = 0;  // offset of the closing '*' (the next form's start)
};

// Reads the values of the form that starts at the first '*' at or after
// `offset` in `file`.
FormTextStatus read_form_text(const std::vector<std::uint8_t>& file, std::size_t offset, FormText& out);

// Converts one token of digits and dots as the standard text-to-double
// conversion does (a second '.' ends the number).
double token_value(const char* token, std::size_t length);

// The format file's path: the value of the environment variable `variable`
// when it is set, else `defaultName` (in the current directory). Nothing when
// the path is longer than kMaxPathLength characters or empty.
std::optional<std::string> locate_format_file(const char* variable, const char* defaultName);

}  // namespace marks

#pragma once
// How a mark reader's result text from the dispatcher is shown.

#include <string>

namespace tellerdesk {

// The dispatcher's mark text starts with a decimal count and a ','. The shown
// text is "Block num:<count>", then the characters after the count in order:
// each ',' becomes a line break ("\r\n"), any other character is copied, or,
// with `reliability`, written as its byte value in three decimal digits and two
// blanks. Stops after `count` non-comma characters or at the end of the text,
// whichever comes first; a text without a leading count gives "Block num:".
std::string format_mark_result(const std::string& text, bool reliability);

}  // namespace tellerdesk

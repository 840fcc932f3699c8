#pragma once
// The message panel's contents: newest message on top, a progress line that
// overwrites the top line, and a bound on the number of lines kept.

#include <deque>
#include <string>

namespace tellerdesk {

// When the panel holds this many lines, the oldest are dropped before the next
// message goes in...
constexpr std::size_t kPanelTrimAtLines = 500;
// ...down to this many lines.
constexpr std::size_t kPanelKeepLines = 300;

class MessagePanel {
public:
    // Inserts `text` as the new first line(s). A text with line breaks ("\r\n"
    // or "\n") occupies one line per part.
    void add(const std::string& text);
    // Replaces the first line with `text` (adds it when the panel is empty).
    void replaceTop(const std::string& text);
    void clear() { lines_.clear(); }

    std::size_t lineCount() const { return lines_.size(); }
    const std::deque<std::string>& lines() const { return lines_; }
    // The panel as one text, lines separated by "\n", newest first.
    std::string text() const;

private:
    std::deque<std::string> lines_;
};

// "\r\n" and lone "\r" become "\n", for display.
std::string to_display_text(const std::string& text);

}  // namespace tellerdesk

#include "demo/message_panel.h"

#include <vector>

namespace tellerdesk {

std::string to_display_text(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

namespace {

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : to_display_text(text)) {
        if (c == '\n') {
            parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    parts.push_back(current);
    return parts;
}

}  // namespace

void MessagePanel::add(const std::string& text) {
    if (lines_.size() >= kPanelTrimAtLines) lines_.resize(kPanelKeepLines);
    const auto parts = split_lines(text);
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) lines_.push_front(*it);
}

void MessagePanel::replaceTop(const std::string& text) {
    if (!lines_.empty()) lines_.pop_front();
    const auto parts = split_lines(text);
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) lines_.push_front(*it);
}

std::string MessagePanel::text() const {
    std::string out;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i) out += '\n';
        out += lines_[i];
    }
    return out;
}

}  // namespace tellerdesk

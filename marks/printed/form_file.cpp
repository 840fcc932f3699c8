#include "marks/printed/form_file.h"

#include <cstdlib>

#include "platform/files.h"

namespace typemark {

namespace {

constexpr std::size_t kTitleBytes = 30;     // the '*' and the 29 title bytes after it
constexpr std::size_t kMaxNumberChars = 19;

bool number_char(std::uint8_t c) { return (c >= '0' && c <= '9') || c == '.'; }

std::optional<std::size_t> find_star(const std::vector<std::uint8_t>& file, std::size_t from) {
    for (std::size_t i = from; i < file.size(); ++i)
        if (file[i] == '*') return i;
    return std::nullopt;
}

}  // namespace

std::optional<std::string> format_file_path() {
    std::string path = platform::environment(kFormatFileVariable).value_or(kDefaultFormatFile);
    if (path.empty() || path.size() > kMaxFormatPath) return std::nullopt;
    return path;
}

FormStatus read_form_values(const std::vector<std::uint8_t>& file, std::size_t& pos,
                            std::vector<double>& values) {
    values.clear();
    const auto start = find_star(file, pos);
    if (!start) return FormStatus::NoMoreForms;
    std::size_t i = *start + kTitleBytes;
    char token[kMaxNumberChars + 1];
    std::size_t length = 0;
    for (; i < file.size(); ++i) {
        const std::uint8_t c = file[i];
        if (number_char(c)) {
            if (length == kMaxNumberChars) return FormStatus::Failed;
            token[length++] = static_cast<char>(c);
            continue;
        }
        if (length > 0) {
            token[length] = '\0';
            values.push_back(std::strtod(token, nullptr));
            length = 0;
        }
        if (c == '*') {
            pos = i;
            return FormStatus::Ok;
        }
    }
    return FormStatus::Failed;  // the file ended before the form was closed
}

bool skip_forms(const std::vector<std::uint8_t>& file, std::size_t& pos, int count) {
    for (int k = 0; k < count; ++k) {
        const auto star = find_star(file, pos);
        if (!star) return false;
        pos = *star + kTitleBytes;
    }
    return true;
}

}  // namespace typemark

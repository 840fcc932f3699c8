#include "marks/printed/result_text.h"

namespace typemark {

std::string result_text(const CellGrid& grid, int orientation) {
    const int rows = static_cast<int>(grid.size());
    const int columns = rows > 0 ? static_cast<int>(grid[0].size()) : 0;
    const int cells = static_cast<int>((static_cast<long long>(rows) * columns) % 10000);
    std::string text;
    text.reserve(4 + static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns + 1));
    text.push_back(static_cast<char>('0' + cells / 1000));
    text.push_back(static_cast<char>('0' + cells / 100 % 10));
    text.push_back(static_cast<char>('0' + cells / 10 % 10));
    text.push_back(static_cast<char>('0' + cells % 10));
    auto at = [&](int r, int c) { return grid[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]; };
    switch (orientation & 3) {
        case 0:
            for (int r = 0; r < rows; ++r) {
                text.push_back(',');
                for (int c = 0; c < columns; ++c) text.push_back(at(r, c));
            }
            break;
        case 1:
            for (int c = 0; c < columns; ++c) {
                text.push_back(',');
                for (int r = rows - 1; r >= 0; --r) text.push_back(at(r, c));
            }
            break;
        case 2:
            for (int r = rows - 1; r >= 0; --r) {
                text.push_back(',');
                for (int c = columns - 1; c >= 0; --c) text.push_back(at(r, c));
            }
            break;
        case 3:
            for (int c = columns - 1; c >= 0; --c) {
                text.push_back(',');
                for (int r = 0; r < rows; ++r) text.push_back(at(r, c));
            }
            break;
    }
    return text;
}

}  // namespace typemark

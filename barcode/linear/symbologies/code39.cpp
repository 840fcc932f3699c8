// Code 39: 43 characters of 9 elements, 3 of them wide, with an optional mod-43 check character
// and the full-ASCII pairs.

#include <cstring>

#include "barcode/linear/keys.h"
#include "barcode/linear/symbologies/colour_split.h"
#include "barcode/linear/symbology.h"

namespace stripescan {
namespace {

constexpr int kElements = 9;
constexpr int kWide = 3;
constexpr int kGap = 1;  // the narrow space between characters
constexpr int kModulus = 43;
constexpr char kCharacters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
// Element widths (bar first, 1 narrow, 2 wide) in the order of kCharacters.
constexpr const char* kPatterns[43] = {
    "111221211", "211211112", "112211112", "212211111", "111221112", "211221111", "112221111", "111211212",
    "211211211", "112211211", "211112112", "112112112", "212112111", "111122112", "211122111", "112122111",
    "111112212", "211112211", "112112211", "111122211", "211111122", "112111122", "212111121", "111121122",
    "211121121", "112121121", "111111222", "211111221", "112111221", "111121221", "221111112", "122111112",
    "222111111", "121121112", "221121111", "122121111", "121111212", "221111211", "122111211", "121212111",
    "121211121", "121112121", "111212121"};
constexpr const char* kStartStop = "121121211";
constexpr const char* kStartLoose = "021121211";  // the start, its bar next to the quiet zone loose
constexpr const char* kStopLoose = "121121210";

const KeyTable& table() {
    static const KeyTable t = [] {
        KeyTable k;
        for (int v = 0; v < 43; ++v) k.add(pattern_digits(kPatterns[v]), v);
        k.finish();
        return k;
    }();
    return t;
}

int value_of(char c) {
    const char* p = std::strchr(kCharacters, c);
    return (p && c) ? static_cast<int>(p - kCharacters) : -1;
}

// Expands the full-ASCII pairs. A shift character with no partner at the end stays as it is.
bool expand(const std::string& in, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == ' ' || c == '-' || c == '.') {
            out.push_back(c);
            continue;
        }
        if (i + 1 >= in.size()) {
            out.push_back(c);
            continue;
        }
        const char n = in[++i];
        if (c == '$' && n >= 'A' && n <= 'Z')
            out.push_back(static_cast<char>(n - 'A' + 1));
        else if (c == '%' && n >= 'A' && n <= 'E')
            out.push_back(static_cast<char>(n - 'A' + 27));
        else if (c == '%' && n >= 'F' && n <= 'J')
            out.push_back(static_cast<char>(n - 'F' + 59));
        else if (c == '%' && n >= 'K' && n <= 'O')
            out.push_back(static_cast<char>(n - 'K' + 91));
        else if (c == '%' && n >= 'P' && n <= 'T')
            out.push_back(static_cast<char>(n - 'P' + 123));
        else if (c == '%' && n == 'U')
            out.push_back('\0');
        else if (c == '%' && n == 'V')
            out.push_back('@');
        else if (c == '%' && n == 'W')
            out.push_back('`');
        else if (c == '+' && n >= 'A' && n <= 'Z')
            out.push_back(static_cast<char>(n - 'A' + 'a'));
        else if (c == '/' && n >= 'A' && n <= 'L')
            out.push_back(static_cast<char>(n - 'A' + 33));
        else if (c == '/' && n == 'O')
            out.push_back('/');
        else if (c == '/' && n == 'Z')
            out.push_back(':');
        else
            return false;
    }
    return true;
}

// Reads the characters between start and stop of the symbol runs[first .. first + size - 1] into
// `text` with the bars and the spaces each judged against their own narrow and wide widths over
// the characters around (up to kColourReach on each side, start and stop included), each
// character the pattern that fits clearly best (nearest_colour_pattern on character_split); the
// start and stop must show their pattern by colour (shows_pattern_by_colour). False otherwise.
constexpr int kColourReach = 2;
bool read_by_colour(const RunList& runs, int first, int size, std::string& text) {
    const int characters = (size + kGap) / (kElements + kGap);
    if ((size + kGap) % (kElements + kGap) != 0 || characters < 3) return false;
    text.clear();
    for (int c = 0; c < characters; ++c) {
        const auto split = local_colour_split(runs, first, characters, kElements, kGap, c, kColourReach);
        if (!split) return false;
        const int at = first + c * (kElements + kGap);
        if (c == 0 || c == characters - 1) {
            // Its element next to the quiet zone may take more or less ink than the others.
            if (!shows_pattern_by_colour(runs, at, kElements, kStartStop, c == 0 ? 0 : kElements - 1))
                return false;
            continue;
        }
        const int v = nearest_colour_pattern(
            runs, at, kElements, character_split(runs, at, kElements, *split), kPatterns, 0, kModulus);
        if (v < 0) return false;
        text.push_back(kCharacters[v]);
    }
    return true;
}

// Whether the elements of the symbol read by the keys as `text` from runs[first ..] (start,
// characters, stop) all stand clear of the middle of their colour (elements_stand_clear).
// `looseEnds`: the start's first and the stop's last bar, next to the quiet zones, are left out.
bool keys_stand_clear(const RunList& runs, int first, const std::string& text, bool looseEnds = false) {
    std::vector<ReadCharacter> read;
    read.push_back(ReadCharacter{first, 1, looseEnds ? kStartLoose : kStartStop});
    for (std::size_t c = 0; c < text.size(); ++c)
        read.push_back(ReadCharacter{first + static_cast<int>(c + 1) * (kElements + kGap), 1,
                                     kPatterns[value_of(text[c])]});
    read.push_back(ReadCharacter{first + static_cast<int>(text.size() + 1) * (kElements + kGap), 1,
                                 looseEnds ? kStopLoose : kStartStop});
    return elements_stand_clear(runs, read);
}

ReadOutcome read_code39(SymbolCursor symbol, const Symbology&, const ReadOptions& options, Decoded& out) {
    // Start, then characters each followed by its gap, then the stop: 9 + 1 + 10 n + 9 runs.
    const int between = symbol.size() - 2 * kElements - kGap;  // the characters and their gaps
    if (between <= 0 || between % (kElements + kGap) != 0) return ReadOutcome::Rejected;
    const int first = symbol.at();
    symbol.skip(kElements + kGap);
    std::string text;
    bool byColour = false;
    while (symbol.remaining() >= kElements + kGap + kElements) {
        const int v =
            read_narrow_wide(symbol.runs(), symbol.next(kElements + kGap), kElements, kWide, table());
        if (v < 0) {
            // The keys fail: the colours judged apart, vouched for by a second line.
            if (!read_by_colour(symbol.runs(), first, symbol.size(), text)) return ReadOutcome::Rejected;
            byColour = true;
            break;
        }
        text.push_back(kCharacters[v]);
    }
    if (text.empty()) return ReadOutcome::Rejected;
    if (options.contrastLine && !byColour &&
        !keys_stand_clear(symbol.runs(), first, text, options.inkNeutralEnds))
        return ReadOutcome::Rejected;
    // A starved band read by colour has no second line but the other band: its widths are even
    // along the symbol, so every element must stand clear and every gap stay narrow; the bars
    // next to the quiet zones, which a local threshold prints thicker, as the ends found them.
    if (byColour && options.inkNeutralEnds &&
        (!keys_stand_clear(symbol.runs(), first, text, true) ||
         !gaps_stay_narrow(symbol.runs(), first, symbol.size(), kElements, kGap)))
        return ReadOutcome::Rejected;
    const bool verify = options.setting.verifyCheck == 1;
    if (verify) {
        if (text.size() < 2) return ReadOutcome::Rejected;
        int sum = 0;
        for (std::size_t i = 0; i + 1 < text.size(); ++i) sum += value_of(text[i]);
        if (sum % kModulus != value_of(text.back())) return ReadOutcome::Rejected;
    }
    if (options.setting.plainCode39 != 1) {
        std::string expanded;
        if (!expand(text, expanded)) return ReadOutcome::Rejected;
        text = std::move(expanded);
    }
    if (verify && options.setting.sendCheck == 0) text.pop_back();
    out.symbology = kCode39;
    out.text = std::move(text);
    out.needsSecondLine = byColour;
    return ReadOutcome::Read;
}

}  // namespace

Symbology make_code39() {
    Symbology s;
    s.starts.push_back(Pattern{pattern_digits(kStartStop),
                               pattern_digits(reversed_pattern(kStartStop).c_str()), kElements, kWide, 0});
    s.stops = s.starts;
    s.read = read_code39;
    return s;
}

bool code39_table_is_unique() {
    return table().unique() && table().size() == 43;
}

}  // namespace stripescan

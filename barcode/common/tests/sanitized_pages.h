#pragma once
// How many pages the long page-by-page tests draw. The sanitizer builds check memory, not reading
// rates, and run every page several times slower: they draw a third of the pages. The plain build
// draws them all.

namespace barcode::degrade {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif

// `pages` in a plain build; under the sanitizers a third of them, at least one.
constexpr int pages_to_draw(int pages) {
    return kSanitizedBuild ? (pages + 2) / 3 : pages;
}

}  // namespace barcode::degrade

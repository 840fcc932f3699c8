#pragma once
// The boundary of every shared library: how an export is declared and the fence
// that keeps exceptions inside the library.

#include <type_traits>
#include <utility>

// Makes a symbol visible outside the library (everything else is hidden).
#define KIT_VISIBLE __attribute__((visibility("default")))
// Declares a C export function; exported variables sit in an extern "C" block
// and carry KIT_VISIBLE.
#define KIT_EXPORT extern "C" KIT_VISIBLE

namespace kit {

// Runs `body` and returns its result; any exception (an allocation failure
// included) becomes `onFailure`, so nothing thrown crosses the C boundary.
// The result type is the body's; `onFailure` converts to it.
template <typename Body>
std::invoke_result_t<Body&> fenced(std::invoke_result_t<Body&> onFailure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return onFailure;
    }
}

// The same for exports without a result: an exception is swallowed.
template <typename Body>
void fenced(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

}  // namespace kit

// The exported entry points: argument checks, no exception across the boundary.

#include <cstring>

#include "kit/export.h"
#include "marks/printed/Typemark.h"
#include "marks/printed/reader.h"

namespace {

void forget_layout() {
    typemark::library_state().lastRead.reset();
    typemark::library_state().lastLayout.reset();
}

// Runs one read, traced: the library keeps the trace when the read succeeds (the previous
// one is already forgotten).
int read_and_deliver(typemark::ReadRequest rq, char* result) {
    std::optional<typemark::ReadTrace> trace;
    rq.trace = &trace;
    const std::optional<std::string> text = typemark::read_printed_marks(rq);
    if (!text) return 0;
    std::memcpy(result, text->c_str(), text->size() + 1);
    typemark::library_state().lastRead = std::move(trace);
    return 1;
}

}  // namespace

KIT_EXPORT int OMReadSP(const uint8_t* image, int* selector, int flip, int width, int height, int scanMode,
                        char* result) {
    forget_layout();
    return kit::fenced(0, [&] {
        if (image == nullptr || selector == nullptr || result == nullptr || width <= 0 || height <= 0)
            return 0;
        return read_and_deliver(typemark::make_request(image, (static_cast<std::size_t>(width) + 7) / 8,
                                                       width, height, 1, flip, scanMode, selector),
                                result);
    });
}

KIT_EXPORT int image_decode_OMRSP(Bitmap* bitmap, int straighten, int flip, int scanMode, int* selector,
                                  char* result) {
    forget_layout();
    return kit::fenced(0, [&] {
        if (bitmap == nullptr || selector == nullptr || result == nullptr) return 0;
        if (bitmap->bitCount != 1 || bitmap->width <= 0 || bitmap->height <= 0 || bitmap->bits == nullptr)
            return 0;
        if (static_cast<long long>(bitmap->stride) < (static_cast<long long>(bitmap->width) + 7) / 8)
            return 0;
        return read_and_deliver(
            typemark::make_request(bitmap->bits, static_cast<std::size_t>(bitmap->stride), bitmap->width,
                                   bitmap->height, straighten, flip, scanMode, selector),
            result);
    });
}

KIT_EXPORT int OMReadLayoutSP(MarkLayout* layout) {
    return kit::fenced(0, [&] {
        auto& state = typemark::library_state();
        if (state.lastRead) {
            // Worked out once, on the first call after the read.
            state.lastLayout = typemark::layout_through_library(*state.lastRead);
            state.lastRead.reset();
        }
        return typemark::hand_out(state.lastLayout ? &*state.lastLayout : nullptr, layout);
    });
}

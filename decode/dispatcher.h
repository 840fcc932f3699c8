#pragma once
// The dispatcher behind Decode: checks the call, binds the reader the kind needs, reads, and
// writes the bounded text. Every read of every dispatcher in the process takes one lock, since
// the readers keep process-wide state.

#include "decode/reader_libraries.h"

namespace decode {

class Dispatcher {
public:
    explicit Dispatcher(ReaderNames names = {}) : libraries_(std::move(names)) {}

    // Decode's contract (Decode.h): 1 when something was read, else 0; *out and text always
    // written when present.
    int decode(const std::uint8_t* image, int widthPixels, int heightLines, const int* kind, int* out,
               char* text1024);

private:
    ReaderLibraries libraries_;  // guarded by the process-wide reading lock
};

// The dispatcher the exports use, bound to the kit's libraries.
Dispatcher& process_dispatcher();

// The version text GetDecodeVersion hands out.
const char* version_text();

}  // namespace decode

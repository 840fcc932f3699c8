// Decode on pictures and arguments made from the input, and the text conversions on the input as
// a reader's text: nothing may crash, and the text never passes its 1,024 bytes.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "decode/Decode.h"
#include "decode/dispatcher.h"
#include "decode/mark_text.h"
#include "decode/result_text.h"
#include "platform/dynamic_library.h"

namespace {

constexpr int kMaxSide = 320;  // pixels: small pictures keep every run short
constexpr std::size_t kGuard = 32;

void check_text(const std::string& text) {
    if (text.size() >= DECODE_TEXT_CAPACITY) std::abort();
}

}  // namespace

// The mark readers open and release libSkewtrim on every read; held open here, it stays mapped,
// so the fuzzer's coverage counters inside it stay readable between runs.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static platform::DynamicLibrary skewtrim;
    skewtrim.open("Skewtrim.dll");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) return 0;
    const int kinds[6] = {0, 1, 2, 5, 3, -1};
    const int lines[4] = {0, 4, 8, 6};
    int kind = kinds[data[0] % 6];
    int out = lines[data[1] % 4];
    const int width = 8 * (1 + data[2] % (kMaxSide / 8));
    const int height = 1 + (data[3] | data[4] << 8) % kMaxSide;
    // The picture: the input's bytes repeated, or white with the input's bytes as dark spots.
    std::vector<std::uint8_t> picture(static_cast<std::size_t>(width / 8) * height, 0xFF);
    const std::uint8_t* rest = data + 5;
    const std::size_t restSize = size - 5;
    for (std::size_t i = 0; i < picture.size(); ++i) {
        if (data[1] & 0x80)
            picture[i] = rest[i % restSize];
        else if (i < restSize)
            picture[(rest[i] * 131u + i * 977u) % picture.size()] = rest[i];
    }
    std::vector<char> text(DECODE_TEXT_CAPACITY + kGuard, 0x5A);
    const int status =
        decode::process_dispatcher().decode(picture.data(), width, height, &kind, &out, text.data());
    for (std::size_t i = DECODE_TEXT_CAPACITY; i < text.size(); ++i)
        if (text[i] != 0x5A) std::abort();
    if (std::memchr(text.data(), 0, DECODE_TEXT_CAPACITY) == nullptr) std::abort();
    if (status == 0 && (out != 0 || text[0] != 0)) std::abort();

    // The rest of the input as a reader's text.
    const std::string_view reader(reinterpret_cast<const char*>(rest), restSize);
    if (auto t = decode::digit_mark_text(reader)) check_text(decode::cut_mark_text(*t, DECODE_TEXT_CAPACITY));
    if (auto t = decode::reliability_mark_text(reader)) {
        if (t->find('\0') != std::string::npos) std::abort();
        check_text(decode::cut_mark_text(*t, DECODE_TEXT_CAPACITY));
    }
    check_text(decode::cut_barcode_text(std::string(reader), DECODE_TEXT_CAPACITY));
    return 0;
}

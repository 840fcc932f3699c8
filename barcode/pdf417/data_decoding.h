// Turns corrected data codewords into bytes: text, byte and numeric compaction.
#pragma once

#include <cstdint>

namespace pdf417 {

// Where decoded bytes go; never writes more than `capacity` bytes.
struct ByteSink {
    uint8_t* out;
    int capacity;
    int length = 0;
    bool overflow = false;
    void put(int byte) {
        if (length < capacity)
            out[length++] = static_cast<uint8_t>(byte);
        else
            overflow = true;
    }
};

// The data length: the first `dataRegion` codewords without the codewords 900 at their end.
int data_length(const int* codewords, int dataRegion);

// Decodes codewords 1 .. length - 1 (codeword 0 is the length descriptor) into `sink`.
// Decoding ends at a codeword of 900 or more that selects no known mode (ECI, macro and
// reserved codewords), keeping what was decoded up to there. Always terminates.
void decode_data(const int* codewords, int length, ByteSink& sink);

}  // namespace pdf417

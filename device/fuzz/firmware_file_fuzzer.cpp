// Firmware update files of any content: the reader must never read outside
// the file nor fail in any other way than by answering nothing. Inputs whose
// first byte is odd are taken as the plain record text and wrapped into a
// file with the preamble and the scrambling, so the record reader is reached.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/firmware_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> file;
    if (size > 0 && (data[0] & 1)) {
        static const char preamble[] = "TQ-RMX7KP/TQ-RMX7KP\r\n#";
        static const std::uint8_t key[4] = {0x5A, 0xC3, 0x3C, 0xA5};
        file.assign(preamble, preamble + sizeof preamble - 1);
        for (std::size_t i = 1; i < size; ++i) file.push_back(data[i] ^ key[(i - 1) % 4]);
    } else {
        file.assign(data, data + size);
    }
    if (const auto image = kestrom::firmware_image(file)) {
        (void)kestrom::firmware_version(*image);
    }
    return 0;
}

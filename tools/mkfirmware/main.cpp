// mkfirmware: packs a firmware image into a TQ-RMX7KP update file that the
// device library's ReadVersion, UpdateOnLine and UpdateDeviceFirmware accept.
//
//   mkfirmware [--hex image.hex | --bin image.bin] [--version VVVVVV] output.JK
//
// --hex takes the records of an Intel HEX file as they are; --bin encodes a
// binary image as data records. --version appends the text
// "MainFirmware:V<version>" (6 characters) to the image as data records, for
// images that do not carry it yet. At least one of the three is needed.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tools/mkfirmware/firmware_pack.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: mkfirmware [--hex image.hex | --bin image.bin] [--version VVVVVV] output.JK\n");
    return 2;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "mkfirmware: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string hexPath, binPath, version, output;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--hex" || arg == "--bin" || arg == "--version") && i + 1 < argc) {
            (arg == "--hex" ? hexPath : arg == "--bin" ? binPath : version) = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && output.empty()) {
            output = arg;
        } else {
            return usage();
        }
    }
    if (output.empty() || (!hexPath.empty() && !binPath.empty()) ||
        (hexPath.empty() && binPath.empty() && version.empty()))
        return usage();
    if (!version.empty() && version.size() != 6) return fail("the version must have 6 characters");

    std::vector<std::string> records;
    if (!hexPath.empty()) {
        const auto text = platform::read_file(hexPath);
        if (!text) return fail("cannot read " + hexPath);
        std::string error;
        std::uint32_t end = 0;
        const auto parsed = mkfirmware::records_of_hex(std::string(text->begin(), text->end()), error, end);
        if (!parsed) return fail(hexPath + ": " + error);
        records = *parsed;
        if (!version.empty()) {
            // The version block as extra data records just past the image.
            const auto block = mkfirmware::records_of_image(mkfirmware::version_block(version),
                                                            mkfirmware::kMaxRecordData, (end + 1) & ~1u);
            records.insert(records.end(), block.begin(), block.end() - 1);  // without its end record
        }
        records.push_back(mkfirmware::hex_record(0x01, 0, nullptr, 0));
    } else {
        std::vector<std::uint8_t> image;
        if (!binPath.empty()) {
            const auto data = platform::read_file(binPath);
            if (!data) return fail("cannot read " + binPath);
            image = *data;
            if (!version.empty() && image.size() % 2 != 0) image.push_back(0);
        }
        if (!version.empty()) {
            const auto block = mkfirmware::version_block(version);
            image.insert(image.end(), block.begin(), block.end());
        }
        if (image.empty()) return fail("the image is empty");
        records = mkfirmware::records_of_image(image, mkfirmware::kMaxRecordData);
    }

    const std::vector<std::uint8_t> file = mkfirmware::pack(records);
    if (!platform::write_file(output, file.data(), file.size())) return fail("cannot write " + output);
    return 0;
}

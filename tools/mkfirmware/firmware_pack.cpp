#include "tools/mkfirmware/firmware_pack.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>

namespace mkfirmware {
namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Checks a record line: ':' then count, address, type, data and a checksum
// that brings the byte sum to 0.
bool valid_record(const std::string& line, std::vector<int>& bytes) {
    if (line.size() < 11 || line[0] != ':' || (line.size() - 1) % 2 != 0) return false;
    bytes.clear();
    for (std::size_t i = 1; i + 1 < line.size(); i += 2) {
        const int hi = hex_value(line[i]), lo = hex_value(line[i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes.push_back(hi * 16 + lo);
    }
    if (bytes.size() != static_cast<std::size_t>(bytes[0]) + 5) return false;
    int sum = 0;
    for (int b : bytes) sum += b;
    return (sum & 0xFF) == 0;
}

}  // namespace

std::string hex_record(std::uint8_t type, std::uint16_t address, const std::uint8_t* data,
                       std::size_t count) {
    std::string line = ":";
    char cell[3];
    unsigned sum = 0;
    auto put = [&](unsigned v) {
        std::snprintf(cell, sizeof cell, "%02X", v & 0xFF);
        line += cell;
        sum += v & 0xFF;
    };
    put(static_cast<unsigned>(count));
    put(address >> 8);
    put(address & 0xFF);
    put(type);
    for (std::size_t i = 0; i < count; ++i) put(data[i]);
    put(0x100 - (sum & 0xFF));
    return line;
}

std::vector<std::string> records_of_image(const std::vector<std::uint8_t>& image, std::size_t recordBytes,
                                          std::uint32_t base) {
    std::vector<std::string> out;
    std::uint32_t segment = 0;
    for (std::size_t offset = 0; offset < image.size();) {
        const std::uint32_t at = base + static_cast<std::uint32_t>(offset);
        const std::uint32_t upper = at >> 16;
        if (upper != segment) {
            const std::uint8_t high[2] = {static_cast<std::uint8_t>(upper >> 8),
                                          static_cast<std::uint8_t>(upper)};
            out.push_back(hex_record(0x04, 0, high, 2));
            segment = upper;
        }
        // A record never crosses a 64 KiB boundary.
        const std::size_t count =
            std::min({recordBytes, image.size() - offset, static_cast<std::size_t>(0x10000 - (at & 0xFFFF))});
        out.push_back(
            hex_record(0x00, static_cast<std::uint16_t>(at & 0xFFFF), image.data() + offset, count));
        offset += count;
    }
    out.push_back(hex_record(0x01, 0, nullptr, 0));
    return out;
}

std::optional<std::vector<std::string>> records_of_hex(const std::string& text, std::string& error,
                                                       std::uint32_t& end) {
    std::vector<std::string> out;
    std::vector<int> bytes;
    std::uint32_t upper = 0;
    end = 0;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        while (!line.empty() &&
               (line.back() == '\r' || std::isspace(static_cast<unsigned char>(line.back()))))
            line.pop_back();
        if (line.empty()) continue;
        if (!valid_record(line, bytes)) {
            error = "line " + std::to_string(number) + " is not a valid Intel HEX record";
            return std::nullopt;
        }
        if (line.size() > 127) {
            error = "line " + std::to_string(number) + " is longer than 127 characters";
            return std::nullopt;
        }
        const int type = bytes[3];
        if (type == 0x01) break;
        if (type == 0x04 && bytes[0] == 2)
            upper = static_cast<std::uint32_t>(bytes[4] << 24 | bytes[5] << 16);
        if (type == 0x00)
            end = std::max(end, upper + static_cast<std::uint32_t>(bytes[1] << 8 | bytes[2]) +
                                    static_cast<std::uint32_t>(bytes[0]));
        out.push_back(line);
    }
    return out;
}

std::vector<std::uint8_t> version_block(const std::string& version) {
    std::vector<std::uint8_t> block(kVersionMarker, kVersionMarker + sizeof kVersionMarker - 1);
    block.push_back('V');
    block.insert(block.end(), version.begin(), version.end());
    if (block.size() % 2 != 0) block.push_back(0);  // whole byte pairs
    return block;
}

std::vector<std::uint8_t> pack(const std::vector<std::string>& records) {
    std::vector<std::uint8_t> out;
    for (char c : std::string(kPreamble)) out.push_back(static_cast<std::uint8_t>(c));
    for (char c : kGap) out.push_back(static_cast<std::uint8_t>(c));
    std::size_t k = 0;
    for (const std::string& line : records) {
        for (char c : line + "\r\n") out.push_back(static_cast<std::uint8_t>(c) ^ kKey[k++ % 4]);
    }
    return out;
}

}  // namespace mkfirmware

#pragma once
// Little-endian numbers in byte buffers: the byte order of BMP files and of the
// device's command arguments.

#include <cstdint>
#include <vector>

namespace kit {

// The 16-bit unsigned number stored low byte first at `p`.
inline std::uint16_t get_le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// The 32-bit unsigned number stored low byte first at `p`.
inline std::uint32_t get_le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Appends the low 16 bits of `v`, low byte first.
inline void put_le16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// Appends `v`, low byte first.
inline void put_le32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put_le16(out, v & 0xFFFF);
    put_le16(out, v >> 16);
}

// The low and high byte of a 16-bit command argument.
inline std::uint8_t low_byte(int v) {
    return static_cast<std::uint8_t>(v & 0xFF);
}
inline std::uint8_t high_byte(int v) {
    return static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

}  // namespace kit

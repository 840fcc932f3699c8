#pragma once
// Small file-system helpers; every call opens and closes what it touches.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

bool is_directory(const std::string& path);
bool file_exists(const std::string& path);

// Creates one directory level; true when it exists afterwards.
bool create_directory(const std::string& path);

// Size in bytes, or -1 when the file cannot be examined.
std::int64_t file_size(const std::string& path);

// The whole file, or nothing when it cannot be read.
std::optional<std::vector<std::uint8_t>> read_file(const std::string& path);

// Writes (replacing) the whole file; false on any failure.
bool write_file(const std::string& path, const std::uint8_t* data, std::size_t size);

// The value of an environment variable, or nothing when it is unset.
std::optional<std::string> environment(const char* name);

}  // namespace platform

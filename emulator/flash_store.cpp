#include "emulator/flash_store.h"

#include <algorithm>
#include <cstdio>

#include "platform/files.h"

namespace emu {
namespace {

constexpr std::uint8_t kMagic[4] = {'T', 'Q', 'F', 'L'};
constexpr std::uint32_t kFormat = 1;

// The settings in file order.
constexpr int Settings::*kSettingFields[] = {
    &Settings::border,     &Settings::width,    &Settings::height,          &Settings::pictureType,
    &Settings::linesPerMm, &Settings::lockScan, &Settings::thresholdMethod, &Settings::threshold1,
    &Settings::threshold2, &Settings::darkness, &Settings::headMode,        &Settings::detectTime};

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    bool take(std::size_t n, const std::uint8_t*& out) {
        if (n > bytes_.size() - pos_) return false;
        out = bytes_.data() + pos_;
        pos_ += n;
        return true;
    }
    bool u32(std::uint32_t& v) {
        const std::uint8_t* p = nullptr;
        if (!take(4, p)) return false;
        v = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
        return true;
    }
    bool at_end() const { return pos_ == bytes_.size(); }

private:
    const std::vector<std::uint8_t>& bytes_;
    std::size_t pos_ = 0;
};

}  // namespace

std::vector<std::uint8_t> encode_flash(const FlashImage& image) {
    std::vector<std::uint8_t> out(kMagic, kMagic + 4);
    put32(out, kFormat);
    for (auto field : kSettingFields) put32(out, static_cast<std::uint32_t>(image.fixed.*field));
    put32(out, static_cast<std::uint32_t>(image.firmwareVersion.size()));
    out.insert(out.end(), image.firmwareVersion.begin(), image.firmwareVersion.end());
    put32(out, static_cast<std::uint32_t>(image.bitmaps.size()));
    for (const StoredBitmap& bitmap : image.bitmaps) {
        out.push_back(static_cast<std::uint8_t>(bitmap.side));
        put32(out, static_cast<std::uint32_t>(bitmap.name.size()));
        out.insert(out.end(), bitmap.name.begin(), bitmap.name.end());
        put32(out, static_cast<std::uint32_t>(bitmap.file.size()));
        out.insert(out.end(), bitmap.file.begin(), bitmap.file.end());
    }
    return out;
}

bool decode_flash(const std::vector<std::uint8_t>& bytes, FlashImage& image) {
    Reader in(bytes);
    const std::uint8_t* p = nullptr;
    std::uint32_t v = 0;
    if (!in.take(4, p) || !std::equal(p, p + 4, kMagic) || !in.u32(v) || v != kFormat) return false;
    FlashImage read;
    for (auto field : kSettingFields) {
        if (!in.u32(v)) return false;
        read.fixed.*field = static_cast<int>(v);
    }
    if (!in.u32(v) || v > 64 || !in.take(v, p)) return false;
    read.firmwareVersion.assign(p, p + v);
    std::uint32_t count = 0;
    if (!in.u32(count) || count > static_cast<std::uint32_t>(kMaxStoredBitmaps)) return false;
    std::size_t total = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        StoredBitmap bitmap;
        if (!in.take(1, p)) return false;
        bitmap.side = static_cast<char>(p[0]);
        if (!in.u32(v) || v < 1 || v > 8 || !in.take(v, p)) return false;
        bitmap.name.assign(p, p + v);
        if (!in.u32(v) || v > kFlashBytes || !in.take(v, p)) return false;
        bitmap.file.assign(p, p + v);
        total += v;
        read.bitmaps.push_back(std::move(bitmap));
    }
    if (!in.at_end() || total > kFlashBytes) return false;
    image = std::move(read);
    return true;
}

std::string flash_path(const std::string& stateDir) {
    return stateDir + "/" + kFlashFileName;
}

bool load_flash(const std::string& stateDir, FlashImage& image) {
    const auto bytes = platform::read_file(flash_path(stateDir));
    return bytes && decode_flash(*bytes, image);
}

bool store_flash(const std::string& stateDir, const FlashImage& image) {
    if (!platform::is_directory(stateDir) && !platform::create_directory(stateDir)) return false;
    const std::vector<std::uint8_t> bytes = encode_flash(image);
    // Write a sibling and rename it, so a crash never leaves half an image.
    const std::string path = flash_path(stateDir);
    const std::string temporary = path + ".new";
    if (!platform::write_file(temporary, bytes.data(), bytes.size())) return false;
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace emu

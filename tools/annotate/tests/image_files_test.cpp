// Annotated pictures written as PNG and BMP read back, with their size and
// colours, through independent readers: libpng's own reader and Pillow.

#include "image_files.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace annotate {
namespace {

namespace fs = std::filesystem;

Raster sample() {
    Raster r;
    r.width = 37;  // odd: BMP rows need padding
    r.height = 11;
    r.pixels.assign(static_cast<std::size_t>(r.width) * r.height * 3, 200);
    r.put(0, 0, {255, 0, 0});
    r.put(36, 10, {0, 0, 255});
    r.put(5, 7, {10, 200, 30});
    return r;
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, p)) out += buf;
        pclose(p);
    }
    return out;
}

class ImageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("annotate_files_" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST_F(ImageFiles, APngReadsBackPixelForPixelThroughLibpng) {
    const Raster r = sample();
    const std::string path = (dir / "out.PNG").string();
    ASSERT_EQ(write_image(r, path, 7875, 3937), "");
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << image.message;
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> back(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, back.data(), 0, nullptr)) << image.message;
    EXPECT_EQ(image.width, 37u);
    EXPECT_EQ(image.height, 11u);
    EXPECT_EQ(back, r.pixels);
}

TEST_F(ImageFiles, ABmpIs24BitsUprightWithItsResolutionForPillow) {
    const Raster r = sample();
    const std::string path = (dir / "out.bmp").string();
    ASSERT_EQ(write_image(r, path, 7875, 7875), "");
    const std::string said =
        run("/usr/bin/python3 -c \"from PIL import Image; im = Image.open('" + path +
            "'); print(im.format, im.mode, im.size, im.getpixel((0, 0)), im.getpixel((36, 10)), "
            "im.getpixel((5, 7)), round(im.info['dpi'][0]))\" 2>&1");
    EXPECT_EQ(said, "BMP RGB (37, 11) (255, 0, 0) (0, 0, 255) (10, 200, 30) 200\n");
}

TEST_F(ImageFiles, OnlyPngAndBmpNamesAreAcceptedAndFailuresAreSaid) {
    EXPECT_EQ(format_for("a.png"), ImageFormat::Png);
    EXPECT_EQ(format_for("A.Bmp"), ImageFormat::Bmp);
    EXPECT_FALSE(format_for("a.jpg"));
    EXPECT_FALSE(format_for("png"));
    const Raster r = sample();
    EXPECT_NE(write_image(r, (dir / "a.tif").string()), "");
    EXPECT_FALSE(fs::exists(dir / "a.tif"));
    EXPECT_NE(write_image(Raster{}, (dir / "e.png").string()), "");
    EXPECT_NE(write_image(r, (dir / "no" / "such" / "folder.png").string()), "");
    EXPECT_NE(write_image(r, (dir / "no" / "such" / "folder.bmp").string()), "");
}

}  // namespace
}  // namespace annotate

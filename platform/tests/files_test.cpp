#include "platform/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/local_time.h"

namespace {

std::string fresh_dir(const char* tag) {
    std::string path = std::string("platform_files_") + tag + "_" + std::to_string(::getpid());
    std::string cmd = "rm -rf '" + path + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return path;
}

TEST(Files, DirectoriesSizesAndWholeFileReads) {
    const std::string dir = fresh_dir("a");
    EXPECT_FALSE(platform::is_directory(dir));
    EXPECT_TRUE(platform::create_directory(dir));
    EXPECT_TRUE(platform::create_directory(dir));  // already there
    EXPECT_TRUE(platform::is_directory(dir));
    EXPECT_FALSE(platform::create_directory(dir + "/missing/parent"));

    const std::string file = dir + "/data.bin";
    EXPECT_EQ(platform::file_size(file), -1);
    EXPECT_FALSE(platform::read_file(file).has_value());
    const std::uint8_t bytes[] = {0, 1, 2, 255, 0x1A};
    ASSERT_TRUE(platform::write_file(file, bytes, sizeof bytes));
    EXPECT_TRUE(platform::file_exists(file));
    EXPECT_FALSE(platform::file_exists(dir));
    EXPECT_EQ(platform::file_size(file), 5);
    EXPECT_EQ(platform::file_size(dir), -1);
    auto read = platform::read_file(file);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, std::vector<std::uint8_t>(bytes, bytes + 5));

    ASSERT_TRUE(platform::write_file(file, nullptr, 0));
    EXPECT_EQ(platform::file_size(file), 0);
    EXPECT_TRUE(platform::read_file(file)->empty());
    EXPECT_FALSE(platform::write_file(dir + "/no/such/file", bytes, 1));
}

TEST(Files, EnvironmentLookup) {
    ::setenv("KIT_PLATFORM_TEST_VAR", "value 1", 1);
    EXPECT_EQ(platform::environment("KIT_PLATFORM_TEST_VAR").value_or(""), "value 1");
    ::unsetenv("KIT_PLATFORM_TEST_VAR");
    EXPECT_FALSE(platform::environment("KIT_PLATFORM_TEST_VAR").has_value());
}

TEST(LocalTime, FormatsWithStrftimePattern) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ(platform::format_local_time("%Y-%m-%d %X ", 86400 * 365), "1971-01-01 00:00:00 ");
    EXPECT_EQ(platform::format_local_time("").size(), 0u);
    EXPECT_EQ(platform::format_local_time("%Y").size(), 4u);
}

}  // namespace

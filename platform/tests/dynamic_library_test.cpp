#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

namespace {

TEST(LibraryFileName, MapsLogicalNamesAndKeepsFileNames) {
    EXPECT_EQ(platform::library_file_name("Skewtrim.dll"), "libSkewtrim.so");
    EXPECT_EQ(platform::library_file_name("Pipewell.DLL"), "libPipewell.so");
    EXPECT_EQ(platform::library_file_name("decode"), "libdecode.so");
    EXPECT_EQ(platform::library_file_name("/opt/x/libEmu.so"), "/opt/x/libEmu.so");
    EXPECT_EQ(platform::library_file_name("./local.dll"), "./local.dll");
    EXPECT_EQ(platform::library_file_name("libThing.so"), "libThing.so");
}

TEST(DynamicLibrary, LoadsByLogicalNameThroughRunpathAndResolves) {
    platform::DynamicLibrary lib;
    ASSERT_TRUE(lib.open("PlatformProbe.dll")) << lib.error();
    auto answer = lib.resolve<int (*)(int)>("ProbeAnswer");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(20), 41);

    EXPECT_EQ(lib.symbol("NoSuchEntry"), nullptr);
    EXPECT_FALSE(lib.error().empty());

    platform::DynamicLibrary moved = std::move(lib);
    EXPECT_FALSE(lib.isOpen());
    EXPECT_TRUE(moved.isOpen());
    moved.close();
    EXPECT_FALSE(moved.isOpen());
    EXPECT_EQ(moved.symbol("ProbeAnswer"), nullptr);
}

TEST(DynamicLibrary, MissingFileFailsCleanly) {
    platform::DynamicLibrary lib;
    EXPECT_FALSE(lib.open("NoSuchLibraryAnywhere.dll"));
    EXPECT_FALSE(lib.isOpen());
    EXPECT_FALSE(lib.error().empty());
    EXPECT_FALSE(lib.open("/nonexistent/dir/libX.so"));
}

}  // namespace

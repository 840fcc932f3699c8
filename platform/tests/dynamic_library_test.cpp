#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

#include <string>

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
    EXPECT_FALSE(lib.is_open());
    EXPECT_TRUE(moved.is_open());
    moved.close();
    EXPECT_FALSE(moved.is_open());
    EXPECT_EQ(moved.symbol("ProbeAnswer"), nullptr);
}

#define STRINGIFY_(x) #x
#define STRINGIFY(x) STRINGIFY_(x)

TEST(LibraryFileName, VersionedNameAppendsTheKitNumberToSharedObjectsOnly) {
    const std::string n = STRINGIFY(KIT_SOVERSION);
    EXPECT_EQ(platform::versioned_file_name("libSkewtrim.so"), "libSkewtrim.so." + n);
    EXPECT_EQ(platform::versioned_file_name("libSkewtrim.so.3"), "libSkewtrim.so.3");
    EXPECT_EQ(platform::versioned_file_name("Skewtrim"), "Skewtrim");
}

TEST(DynamicLibrary, FallsBackToTheVersionedFileOfAnInstalledLibrary) {
    // Only libPlatformProbeInstalled.so.N exists, as in a runtime-only install.
    platform::DynamicLibrary lib;
    ASSERT_TRUE(lib.open("PlatformProbeInstalled.dll")) << lib.error();
    auto answer = lib.resolve<int (*)(int)>("ProbeAnswer");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(1), 3);
}

TEST(DynamicLibrary, MissingFileFailsCleanly) {
    platform::DynamicLibrary lib;
    EXPECT_FALSE(lib.open("NoSuchLibraryAnywhere.dll"));
    EXPECT_FALSE(lib.is_open());
    EXPECT_FALSE(lib.error().empty());
    EXPECT_FALSE(lib.open("/nonexistent/dir/libX.so"));
    // The message names the file asked for, not the versioned fallback.
    EXPECT_FALSE(lib.open("NoSuchLibraryAnywhere.dll"));
    EXPECT_NE(lib.error().find("libNoSuchLibraryAnywhere.so:"), std::string::npos) << lib.error();
}

}  // namespace

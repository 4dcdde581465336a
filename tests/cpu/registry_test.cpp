#include "Scoped.h"

#include "platform/DriverInfo.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

using TESK_AE::platform::DriverVersionFromFileName;
using TESK_AE::platform::Registry;

namespace {

const char* const kClassKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
                              "{4D36E968-E325-11CE-BFC1-08002BE10318}\\0000";

// Points the registry at a file of the test's own for the life of the object.
struct RegistryFile {
    explicit RegistryFile(const std::string& text) { std::ofstream(path) << text; }
    ~RegistryFile() { std::remove(path.c_str()); }

    const std::string path = ::testing::TempDir() + "tesk_registry_test.reg";
    const tesk_test::ScopedEnv env{"TESK_AE_REGISTRY", path.c_str()};
};

} // namespace

TEST(Registry, ReadsValuesOfEveryKind) {
    RegistryFile file("Windows Registry Editor Version 5.00\r\n"
                      "\r\n"
                      "; the display driver's key\r\n"
                      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
                      "{4D36E968-E325-11CE-BFC1-08002BE10318}\\0000]\r\n"
                      "\"HardwareInformation.MemorySize\"=dword:10000000\r\n"
                      "\"OpenGLDriverName\"=\"C:\\\\Windows\\\\nvoglv64.dll\"\r\n"
                      "\"Quoted\"=\"say \\\"hi\\\"\"\r\n"
                      "\"Binary\"=hex:12,34,56,\\\r\n"
                      "  78\r\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwell\\Shaders]\r\n"
                      "\"MasterDirectory\"=\"/opt/shaders\"\r\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwell\\Shaders\\Sub One]\r\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwell\\Shaders\\Sub Two\\Deeper]\r\n");
    uint32_t dword = 0;
    ASSERT_TRUE(Registry::ReadDword(kClassKey, "HardwareInformation.MemorySize", dword));
    EXPECT_EQ(dword, 0x10000000u);
    // Keys and names compare without case, and either separator works.
    ASSERT_TRUE(Registry::ReadDword("hklm/system/currentcontrolset/control/class/"
                                    "{4d36e968-e325-11ce-bfc1-08002be10318}/0000",
                                    "hardwareinformation.memorysize", dword));
    ASSERT_TRUE(Registry::ReadDword(kClassKey, "Binary", dword));
    EXPECT_EQ(dword, 0x78563412u); // little-endian bytes, continued over two lines
    std::string text;
    ASSERT_TRUE(Registry::ReadString(kClassKey, "OpenGLDriverName", text));
    EXPECT_EQ(text, "C:\\Windows\\nvoglv64.dll");
    ASSERT_TRUE(Registry::ReadString(kClassKey, "Quoted", text));
    EXPECT_EQ(text, "say \"hi\"");
    EXPECT_FALSE(Registry::ReadString(kClassKey, "HardwareInformation.MemorySize", text));
    EXPECT_FALSE(Registry::ReadDword(kClassKey, "Missing", dword));
    const auto subKeys = Registry::SubKeys("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwell\\Shaders");
    ASSERT_EQ(subKeys.size(), 2u);
    EXPECT_EQ(subKeys[0], "Sub One");
    EXPECT_EQ(subKeys[1], "Sub Two");
}

TEST(Registry, MissingOrBrokenFileIsAnEmptyRegistry) {
    uint32_t dword = 7;
    {
        const tesk_test::ScopedEnv missing("TESK_AE_REGISTRY", "/nonexistent/tesk/registry.reg");
        EXPECT_FALSE(Registry::ReadDword(kClassKey, "HardwareInformation.MemorySize", dword));
        EXPECT_EQ(dword, 7u);
        EXPECT_TRUE(Registry::SubKeys("HKEY_LOCAL_MACHINE").empty());
    }
    RegistryFile broken("[HKEY_LOCAL_MACHINE\\A]\n\"Bad\"=dword:xyz\n\"Open\"=\"never closed\n"
                        "\"Good\"=dword:2A\n");
    EXPECT_FALSE(Registry::ReadDword("HKEY_LOCAL_MACHINE\\A", "Bad", dword));
    std::string text;
    EXPECT_FALSE(Registry::ReadString("HKEY_LOCAL_MACHINE\\A", "Open", text));
    ASSERT_TRUE(Registry::ReadDword("HKEY_LOCAL_MACHINE\\A", "Good", dword));
    EXPECT_EQ(dword, 42u);
}

TEST(Registry, FileLocationFollowsTheEnvironment) {
    const tesk_test::ScopedEnv file("TESK_AE_REGISTRY", nullptr), home("HOME", "/home/u");
    tesk_test::ScopedEnv config("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(Registry::FilePath(), "/cfg/tesk-ae/registry.reg");
    config.Set(nullptr);
    EXPECT_EQ(Registry::FilePath(), "/home/u/.config/tesk-ae/registry.reg");
}

TEST(DriverInfo, VersionComesFromVendorLibraryNames) {
    EXPECT_EQ(DriverVersionFromFileName("libnvidia-glcore.so.535.104.05"), "535.104.05");
    EXPECT_EQ(DriverVersionFromFileName("libEGL_nvidia.so.550.54.14"), "550.54.14");
    EXPECT_EQ(DriverVersionFromFileName("libEGL_mesa.so.0.0.0"), "");
    EXPECT_EQ(DriverVersionFromFileName("libGLX_mesa.so.0"), "");
    EXPECT_EQ(DriverVersionFromFileName("libEGL.so.1.1.0"), ""); // glvnd, not a driver
    EXPECT_EQ(DriverVersionFromFileName("libc.so.6"), "");
}

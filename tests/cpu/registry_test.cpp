#include "Scoped.h"

#include "platform/DriverInfo.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using TESK_AE::platform::Registry;

TEST(Registry, ReadsValuesOfEveryKindAndSkipsBrokenLines) {
    const std::string path = ::testing::TempDir() + "tesk_registry_test.reg";
    std::ofstream(path)
        << "Windows Registry Editor Version 5.00\r\n\r\n; a comment\r\n"
           "[HKEY_LOCAL_MACHINE\\Drivers\\Card]\r\n\"MemorySize\"=dword:10000000\r\n"
           "\"Driver\"=\"C:\\\\Windows\\\\nvoglv64.dll\"\r\n"
           "\"Quoted\"=\"say \\\"hi\\\"\"\r\n\"Binary\"=hex:12,34,56,\\\r\n  78\r\n"
           "\"Bad\"=dword:xyz\r\n\"Open\"=\"never closed\r\n\"Good\"=dword:2A\r\n"
           "[HKEY_LOCAL_MACHINE\\Drivers\\Sub One]\r\n"
           "[HKEY_LOCAL_MACHINE\\Drivers\\Sub Two\\Deeper]\r\n";
    const tesk_test::ScopedEnv env("TESK_AE_REGISTRY", path.c_str());
    // Keys and names compare without case, and either separator works.
    const auto read = [](const char* name) {
        uint32_t dword = 7;
        std::string text;
        if (Registry::ReadDword("hklm/drivers/card", name, dword))
            return "dword " + std::to_string(dword);
        if (Registry::ReadString("HKEY_LOCAL_MACHINE\\Drivers\\Card", name, text))
            return "text " + text;
        return "none " + std::to_string(dword);
    };
    const std::pair<const char*, const char*> rows[] = {
        {"MemorySize", "dword 268435456"},
        {"memorysize", "dword 268435456"}, // 0x10000000
        {"Binary", "dword 2018915346"},    // 0x78563412: little-endian bytes, over two lines
        {"Driver", "text C:\\Windows\\nvoglv64.dll"},
        {"Quoted", "text say \"hi\""},
        {"Missing", "none 7"},
        {"Bad", "none 7"},
        {"Open", "none 7"},
        {"Good", "dword 42"}};
    for (const auto& [name, expected] : rows) EXPECT_EQ(read(name), expected) << name;
    EXPECT_EQ(Registry::SubKeys("HKEY_LOCAL_MACHINE\\Drivers"),
              (std::vector<std::string>{"Card", "Sub One", "Sub Two"}));
    std::remove(path.c_str());
}

TEST(Registry, FileFollowsTheEnvironmentAndAMissingOneIsEmpty) {
    {
        const tesk_test::ScopedEnv missing("TESK_AE_REGISTRY", "/nonexistent/tesk/registry.reg");
        EXPECT_TRUE(Registry::SubKeys("HKEY_LOCAL_MACHINE").empty());
    }
    const tesk_test::ScopedEnv file("TESK_AE_REGISTRY", nullptr), home("HOME", "/home/u");
    tesk_test::ScopedEnv config("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(Registry::FilePath(), "/cfg/tesk-ae/registry.reg");
    config.Set(nullptr);
    EXPECT_EQ(Registry::FilePath(), "/home/u/.config/tesk-ae/registry.reg");
}

TEST(DriverInfo, VersionComesFromVendorLibraryNames) {
    const std::pair<const char*, const char*> rows[] = {
        {"libnvidia-glcore.so.535.104.05", "535.104.05"},
        {"libEGL_nvidia.so.550.54.14", "550.54.14"},
        {"libEGL_mesa.so.0.0.0", ""},
        {"libEGL.so.1.1.0", ""},
        {"libc.so.6", ""}};
    for (const auto& [file, version] : rows)
        EXPECT_EQ(TESK_AE::platform::DriverVersionFromFileName(file), version);
}

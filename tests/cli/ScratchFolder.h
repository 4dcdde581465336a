#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

namespace cli {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
struct ScratchFolder {
    ScratchFolder() { EXPECT_TRUE(::mkdtemp(fPath.data())) << fPath; }
    ~ScratchFolder() { std::filesystem::remove_all(fPath, fIgnored); }

    std::string Path(const std::string& name) const { return fPath + "/" + name; }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(fPath))
            names.insert(entry.path().filename());
        return names;
    }

    std::string fPath = std::filesystem::temp_directory_path() / "tesk-cli-XXXXXX";
    std::error_code fIgnored;
};

} // namespace cli

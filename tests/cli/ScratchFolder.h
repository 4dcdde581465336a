#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace cli {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder() { EXPECT_TRUE(::mkdtemp(fPath.data())) << fPath; }
    ~ScratchFolder() { std::filesystem::remove_all(fPath, fIgnored); }

    std::string Path(const std::string& name) const { return fPath + "/" + name; }
    // Sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(fPath))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string fPath = std::filesystem::temp_directory_path() / "tesk-cli-XXXXXX";
    std::error_code fIgnored;
};

} // namespace cli

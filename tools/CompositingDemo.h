#pragma once

#include "tools/ContactSheet.h"
#include "tools/HostImage.h"

#include <filesystem>
#include <list>
#include <vector>

namespace cli {

// The demo's blurs, composites and glow: writes their new inputs and their results into out,
// prints each one's time and appends a sheet row for each. results keeps every image a row
// points at. Returns how many failed; ran receives how many there were.
int CompositingRows(const std::filesystem::path& out, Layout layout, Rows order,
                    std::list<OIIO::ImageBuf>& results, std::vector<SheetRow>& rows, int& ran);

} // namespace cli

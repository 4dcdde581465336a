#pragma once

#include "tools/ContactSheet.h"
#include "tools/HostImage.h"

#include <filesystem>
#include <list>
#include <vector>

namespace cli {

// The demo's lit 3-D scene: quadrics on a checker floor under two lights, rendered into host
// images plainly, through supersampled tiles at levels 1 and 3 and through eight jittered
// passes. Writes the four pictures into out, prints each one's time and appends two sheet rows:
// the four side by side, then the same small stretch of an edge of each enlarged 8 times.
// results keeps every image a row points at. Returns how many failed; ran receives how many
// there were.
int SceneRows(const std::filesystem::path& out, Layout layout, Rows order,
              std::list<OIIO::ImageBuf>& results, std::vector<SheetRow>& rows, int& ran);

} // namespace cli

#pragma once

#include "tools/ContactSheet.h"
#include "tools/HostImage.h"

#include <filesystem>
#include <list>
#include <vector>

namespace cli {

// The demo's shader row: the sample catalogue's three stone shaders, one surface program whose
// 3-D texture argument makes a noise, a veins and a distance volume, each drawn over a quad with
// its argument values uploaded. Writes the pictures into out, prints each one's time and appends
// one sheet row with the three side by side; results keeps every image the row points at.
// Returns how many failed; ran receives how many there were.
int ShaderRows(const std::filesystem::path& out, Layout layout, Rows order,
               std::list<OIIO::ImageBuf>& results, std::vector<SheetRow>& rows, int& ran);

} // namespace cli

#pragma once

#include <string>

namespace TESK_AE {
namespace platform {

// The version of the vendor OpenGL library loaded in this process, read from its file name
// (libnvidia-glcore.so.535.104.05 gives "535.104.05"). Empty when no loaded vendor library
// carries a real version in its name (Mesa's are all ".so.0.0.0").
std::string LoadedDriverVersion();

// The version a vendor library's file name carries, or "" for none; exposed for testing.
std::string DriverVersionFromFileName(const std::string& fileName);

} // namespace platform
} // namespace TESK_AE

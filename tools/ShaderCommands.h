#pragma once

#include <string>

namespace cli {

// Description files for shipping: the enciphered container the library reads transparently.
int EncipherFile(const std::string& in, const std::string& out);
int DecipherFile(const std::string& in, const std::string& out);

// Parses one description file, with the other description files of its catalogue at hand for
// copyshader and duplicate IDs, and prints the record; prints the parse error and returns
// kFailed when it does not parse.
int PrintShaderInfo(const std::string& file);

} // namespace cli

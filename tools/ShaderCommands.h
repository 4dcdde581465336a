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

// The sample catalogue: installed beside the program (share/TESK_Common_AE/shaders), else the
// source tree's data/shaders this program was built from.
std::string SampleCatalogue();

// Lists the library's catalogue below root (see the shaders command), or binds the shader
// named bind; kFailed when the catalogue is empty or the shader does not bind.
int ListShaders(const std::string& root, const std::string& bind);

} // namespace cli

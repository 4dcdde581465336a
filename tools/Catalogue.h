#pragma once

#include "common/XIImage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace OGL_TESK_AE {
class Shader;
}

namespace cli {

// The library's shader catalogue as tesk-ae and the Python module show it. Everything here runs
// on the library's worker thread, after ShaderManager::Init for the root wanted; it uses the
// library's public API only, so that the Python module compiles it against the library's objects.

// One shader of the catalogue.
struct CatalogueEntry {
    std::string category; // "surface", ..., or "by ID only"
    std::string name;
    uint32_t id = 0;   // the front-end ID
    std::string group; // the sub-group, "" for none
    bool groupDefault = false;
    std::string kind;    // by ID only: "utility", "copy" or "legacy"; "" otherwise
    std::string failure; // why its programs do not bind, "" where they do
};

// Every shader, by category in the catalogue's order, then those reachable by ID only.
std::vector<CatalogueEntry> ListCatalogue();

// Binding a shader loads its programs; the error text when they fail, "" when they bind.
std::string BindError(const OGL_TESK_AE::Shader* shader);

// Draws the surface shader with its argument values over the whole destination, tile by tile:
// a unit quad scaled to the picture, so that object-linear coordinates run from 0 to 1 across
// it. Throws when the shader does not bind.
void DrawSurfaceShader(OGL_TESK_AE::Shader* shader, XIImage* destination);

} // namespace cli

#include "math/Color.h"

#include "gl/geometry/ObjectArray.h"

#include <GL/gl.h>
#include <cstdlib>

namespace OGL_TESK_AE {

// constexpr constructors make these constant-initialised, so other static objects may use them
// during loading whatever the order in which translation units initialise.
const Color Color::White(1.0f, 1.0f, 1.0f, 1.0f);
const Color Color::Bright(1.0f, 1.0f, 1.0f, 1.0f);
const Color Color::Black(0.0f, 0.0f, 0.0f, 1.0f);
const Color Color::Off(0.0f, 0.0f, 0.0f, 0.0f);
const Color Color::Transparent(0.0f, 0.0f, 0.0f, 0.0f);
const Color Color::Red(1.0f, 0.0f, 0.0f, 1.0f);
const Color Color::Normal(1.0f, 0.0f, 0.0f, 1.0f);
const Color Color::Green(0.0f, 1.0f, 0.0f, 1.0f);
const Color Color::Blue(0.0f, 0.0f, 1.0f, 1.0f);
const Color Color::Yellow(1.0f, 1.0f, 0.0f, 1.0f);
const Color Color::DarkGray(0.2f, 0.2f, 0.2f, 1.0f);
const Color Color::Gray(0.4f, 0.4f, 0.4f, 1.0f);
const Color Color::LightGray(0.8f, 0.8f, 0.8f, 1.0f);
const Color Color::LumaScale(0.3f, 0.59f, 0.11f, 1.0f);
const Color Color::MaskRed(1.0f, 0.0f, 0.0f, 0.5f);

namespace {
float Unit(float c) {
    return c > 0.0f ? (c < 1.0f ? c : 1.0f) : 0.0f;
}
} // namespace

Color Color::Clamp() const {
    return Color(Unit(r), Unit(g), Unit(b), Unit(a));
}

void Color::Apply() const {
    // Batched vertices take the current colour too, so code written for immediate mode keeps
    // its colours when it collects vertices into an ObjectArray.
    ObjectArray::fColor = *this;
    glColor4fv(*this);
}

void Color::Retrieve() {
    glGetFloatv(GL_CURRENT_COLOR, &r);
}

Color Color::Random() {
    // The scale assumes a 15-bit generator; glibc's rand() is 31-bit, so keep its low 15 bits
    // to stay within [0, 1].
    constexpr float kScale = 3.051851e-5f;
    float blue = static_cast<float>(std::rand() & 0x7FFF) * kScale;
    float green = static_cast<float>(std::rand() & 0x7FFF) * kScale;
    float red = static_cast<float>(std::rand() & 0x7FFF) * kScale;
    return Color(red, green, blue, 1.0f);
}

} // namespace OGL_TESK_AE

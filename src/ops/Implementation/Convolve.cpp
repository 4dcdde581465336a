// Separable convolution by accumulation: each non-zero tap is one textured pass of the source,
// moved by the tap's distance through the texture matrix and added at the tap's weight by
// blending.
#include "ops/Implementation/Convolve.h"

#include "common/Shared.h"
#include "gl/context/Implementation/EntryPoints.h"
#include "gl/context/State.h"
#include "gl/effects/EffectProgram.h"
#include "gl/effects/GLSL.h"
#include "gl/geometry/SimplePlane.h"
#include "gl/state/Blend.h"
#include "gl/state/Clear.h"
#include "gl/state/Fragment.h"
#include "gl/state/MatrixState.h"
#include "gl/state/Push.h"
#include "gl/texture/ImageTextures.h"
#include "gl/texture/Implementation/Selection.h"
#include "gl/texture/Implementation/TileScissor.h"
#include "gl/texture/TextureBuffer.h"
#include "gl/texture/TextureFormat.h"
#include "gl/texture/TiledBuffer.h"
#include "ops/BasicOps.h"
#include "math/Vector.h"
#include "ops/Implementation/Kernel.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace OGL_TESK_AE {

namespace {

// The cache hands out textures larger than asked for, and clamping then reaches texels beyond
// the w x h in use that belong to earlier work. Repeating the last column (row) over the next
// columns (rows) that a tap can reach makes sampling there see the edge, as clamping at the
// left and bottom does. Copies double in width so a wide kernel costs a few copies.
void RepeatEdges(const RenderedTexture& texture, int w, int h, int rx, int ry) {
    TextureBuffer* buffer = texture.Buffer();
    if (!buffer || w <= 0 || h <= 0) return;
    const int right = std::min(buffer->Width(), w + rx);
    const int top = std::min(buffer->Height(), h + ry);
    if (right <= w && top <= h) return;
    Selection<TextureBuffer> selection(*buffer);
    if (!selection.IsSelected()) return;
    buffer->Bind();
    const GLenum target = buffer->Key().Target();
    for (int end = w; end < right;) {
        const int n = std::min(end - (w - 1), right - end);
        glCopyTexSubImage2D(target, 0, end, 0, w - 1, 0, n, h);
        end += n;
    }
    for (int end = h; end < top;) {
        const int n = std::min(end - (h - 1), top - end);
        glCopyTexSubImage2D(target, 0, 0, end, 0, h - 1, right, n);
        end += n;
    }
}

// Binds a texture for exact texel reads: nearest filtering and edges clamped.
void BindNearest(const RenderedTexture& texture) {
    texture.Apply();
    texture.ApplyNearest();
    texture.ApplyClampToEdge();
    texture.ApplyModulate();
}

// Kernels up to this many taps are summed in one pass by a program; longer ones accumulate.
constexpr int kMaxSummedTaps = 255;
// The rows of a tile an image blur sums at a time.
constexpr int kBandRows = 270;

// The same premultiplied weighted sum as the accumulation, for one direction in one pass:
// summed in the program's floats and rounded once, into the target's texels. Positions beyond
// the texels in use are clamped to the last one in use. The taps are written out one by one
// for each tap count: a loop the compiler cannot unroll costs llvmpipe several times more.
// Texels already premultiplied are summed as they are.
std::string SumSource(int taps, bool horizontal, bool premultiplied) {
    std::ostringstream text;
    const char* along = horizontal ? "x" : "y";
    text << "#version 110\n#extension GL_ARB_texture_rectangle : enable\n"
            "uniform sampler2DRect source;\nuniform float weights["
         << taps
         << "];\nuniform float last;\n"
            "void main()\n{\n    vec2 at = gl_TexCoord[0].xy;\n    vec2 p = at;\n    vec4 t;\n"
            "    vec4 sum = vec4(0.0);\n";
    for (int i = 0; i < taps; ++i) {
        const int offset = i - (taps - 1) / 2;
        text << "    p." << along << " = ";
        if (offset < 0)
            text << "max(at." << along << " - " << -offset << ".0, 0.5);\n";
        else if (offset > 0)
            text << "min(at." << along << " + " << offset << ".0, last);\n";
        else
            text << "at." << along << ";\n";
        text << "    t = texture2DRect(source, p);\n    sum += weights[" << i
             << (premultiplied ? "] * t;\n" : "] * t.a * vec4(t.rgb, 1.0);\n");
    }
    text << "    gl_FragColor = sum;\n}\n";
    return text.str();
}

struct SumProgram {
    explicit SumProgram(const std::string& source)
        : shader(GL_FRAGMENT_SHADER, source.c_str()), program(&shader) {}
    GLSL::Shader shader;
    EffectProgram program;
};

const EffectProgram& ProgramFor(const std::string& source) {
    static std::map<std::string, std::unique_ptr<SumProgram>> programs;
    std::unique_ptr<SumProgram>& slot = programs[source];
    if (!slot) slot.reset(new SumProgram(source));
    return slot->program;
}

void SetWeights(const char* name, int count, const float* weights) {
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    const GLint location = TESK_GL(glGetUniformLocation)(GLuint(current), name);
    TESK_GL(glUniform1fv)(location, count, weights);
}

// A box of n equal taps is a few boxes of b taps laid end to end: a first pass sums each b
// neighbours, a second reads a of those sums b apart, and taps from the source put right what
// the a x b taps reach beyond the box and the box's fractional ends. On llvmpipe a pass costs
// about what five taps do, so a box of 21 taps (7 reads, then 3) takes two thirds of the time.
constexpr int kPassTaps = 5;

struct BoxSteps {
    int b = 0, a = 0; // b taps per sum, a sums read
    float weight = 0.0f;
    // The source taps that put the sums right: offsets from the centre, and their weights.
    std::vector<int> offsets;
    std::vector<float> corrections;

    int Reads() const { return a + b + int(offsets.size()); }
    // How far the sums reach beyond the source on each side.
    int Apron() const { return (a - 1) / 2 * b; }
};

bool StepsFor(const Kernel& kernel, BoxSteps& steps) {
    const int n = kernel.Size(), r = (n - 1) / 2;
    if (n < 9 || kernel[0] != kernel[n - 1]) return false;
    const float v = kernel[1], end = kernel[0];
    for (int i = 2; i < n - 1; ++i)
        if (kernel[i] != v) return false;
    steps = BoxSteps();
    // A first step longer than a program sums could not be the fewest reads of one that fits.
    for (int b = 3; b < std::min(n, kMaxSummedTaps); b += 2) {
        int a = 3;
        while ((a * b - 1) / 2 < r - 1) a += 2;
        const int reach = (a * b - 1) / 2;
        BoxSteps candidate;
        candidate.b = b, candidate.a = a, candidate.weight = v;
        for (int i = r; i <= std::max(r, reach); ++i) {
            const float w = (i <= reach ? -v : 0.0f) + (i == r ? end : 0.0f);
            if (w == 0.0f) continue;
            candidate.offsets.insert(candidate.offsets.end(), {-i, i});
            candidate.corrections.insert(candidate.corrections.end(), {w, w});
        }
        // Of equal reads the longer first step, whose sums reach less far beyond the source.
        if (steps.b == 0 || candidate.Reads() <= steps.Reads()) steps = candidate;
    }
    return steps.b > 0 && steps.Reads() + kPassTaps < n && steps.Reads() <= kMaxSummedTaps;
}

// Whether a program can sum the kernel: in one pass, or a box longer than that in its steps.
bool Summed(const Kernel& kernel) {
    BoxSteps steps;
    return kernel.Size() > 0 && (kernel.Size() <= kMaxSummedTaps || StepsFor(kernel, steps));
}

// Reads of the source at offsets along the direction, each clamped to the texels in use,
// premultiplied unless the texels are, and weighted by the uniform array weights (nullptr: not
// weighted).
void ReadTaps(std::ostringstream& text, const char* along, const std::vector<int>& offsets,
              const char* weights, bool premultiplied) {
    for (size_t i = 0; i < offsets.size(); ++i) {
        text << "    p." << along << " = clamp(at." << along << " + " << offsets[i]
             << ".0, 0.5, last);\n    t = texture2DRect(source, p);\n    sum += ";
        if (weights) text << weights << "[" << i << "] * ";
        text << (premultiplied ? "t;\n" : "t.a * vec4(t.rgb, 1.0);\n");
    }
}

constexpr const char* kTapHead = "#version 110\n#extension GL_ARB_texture_rectangle : enable\n"
                                 "uniform sampler2DRect source;\nuniform float last;\n";

// The first step: the unweighted sum of b taps, over positions that reach (a - 1) / 2 sums
// beyond the source on both sides.
std::string BoxSumSource(int b, bool horizontal, bool premultiplied) {
    std::ostringstream text;
    text << kTapHead
         << "void main()\n{\n    vec2 at = gl_TexCoord[0].xy;\n    vec2 p = at;\n    vec4 t;\n"
            "    vec4 sum = vec4(0.0);\n";
    std::vector<int> offsets;
    for (int i = 0; i < b; ++i) offsets.push_back(i - (b - 1) / 2);
    ReadTaps(text, horizontal ? "x" : "y", offsets, nullptr, premultiplied);
    text << "    gl_FragColor = sum;\n}\n";
    return text.str();
}

// The second step: a sums b apart, from a texture whose texel at + k * b holds the sum centred
// (k - (a - 1) / 2) * b from at, and the source's corrections.
std::string BoxStepSource(const BoxSteps& steps, bool horizontal, bool premultiplied) {
    std::ostringstream text;
    const char* along = horizontal ? "x" : "y";
    text << kTapHead << "uniform sampler2DRect sums;\nuniform float weight;\n";
    if (!steps.corrections.empty())
        text << "uniform float corrections[" << steps.corrections.size() << "];\n";
    text << "void main()\n{\n    vec2 at = gl_TexCoord[0].xy;\n    vec2 p = at;\n    vec4 t;\n"
            "    vec4 sum = vec4(0.0);\n";
    for (int k = 0; k < steps.a; ++k)
        text << "    p." << along << " = at." << along << " + " << k * steps.b
             << ".0;\n    sum += texture2DRect(sums, p);\n";
    text << "    sum *= weight;\n";
    ReadTaps(text, along, steps.offsets, "corrections", premultiplied);
    text << "    gl_FragColor = sum;\n}\n";
    return text.str();
}

// Unit 1 back to no texture at the end of a scope: no state scope keeps another unit's binding.
struct SecondUnit {
    SecondUnit() { TextureUnit(1).Apply(); }
    SecondUnit(const SecondUnit&) = delete;
    SecondUnit& operator=(const SecondUnit&) = delete;
    ~SecondUnit() {
        TextureUnit(1).Apply();
        TextureMatrix::Identity.Apply();
        TextureBinding::Default.Apply();
        TextureUnit(0).Apply();
    }
};

// The first step of a box into sums, resized to cover the source and the apron. False where
// sums could not be drawn into.
bool SumBoxes(const RenderedTexture& source, RenderedTexture& sums, const BoxSteps& steps,
              bool horizontal, int w, int h, bool premultiplied) {
    const int apron = steps.Apron();
    const int sw = horizontal ? w + 2 * apron : w, sh = horizontal ? h : h + 2 * apron;
    // Sums beyond the largest texture are not tried: making it would refuse the whole blur,
    // where the plain pass needs no more than the source.
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RECTANGLE_TEXTURE_SIZE_ARB, &largest);
    if (sw > largest || sh > largest) return false;
    sums.UseFullFloatTexels();
    sums.Resize(sw, sh, GL_RGBA, 0);
    Selection<RenderedTexture> selection(sums);
    if (!selection.IsSelected()) return false;
    // The whole texture is written, whatever part of the tile a caller's scissor keeps.
    glDisable(GL_SCISSOR_TEST);
    PushBlendFunc overwrite(BlendFunc::Overwrite());
    Push<Texture> binding;
    BindNearest(source);
    // Texel coordinates of the source across the sums, apron included.
    source.SetTransform(float(sw), float(sh), horizontal ? -float(apron) : 0.0f,
                        horizontal ? 0.0f : -float(apron));
    const EffectProgram& program = ProgramFor(BoxSumSource(steps.b, horizontal, premultiplied));
    program.Apply();
    program.SetUniform("last", float(horizontal ? w : h) - 0.5f);
    sPlane.Draw(Region(0, 0, unsigned(sw), unsigned(sh)));
    return true;
}

// A box by its steps, from the lower-left w x h texels of source into the current target over
// at. False, with nothing drawn, where the sums' texture could not be drawn into.
bool StepPass(const RenderedTexture& source, const BoxSteps& steps, bool horizontal, int w, int h,
              const Region& at, const BlendFunc& blend, bool premultiplied) {
    RenderedTexture sums;
    try {
        if (!SumBoxes(source, sums, steps, horizontal, w, h, premultiplied)) {
            sums.Finalize();
            return false;
        }
        Push<State> state;
        PushBlendFunc blending(blend);
        PushColor white(Color::White);
        SecondUnit unit;
        BindNearest(sums);
        TextureUnit(0).Apply();
        BindNearest(source);
        const EffectProgram& program = ProgramFor(BoxStepSource(steps, horizontal, premultiplied));
        program.Apply();
        program.SetUniform("source", TextureUnit(0));
        program.SetUniform("sums", TextureUnit(1));
        TextureUnit(0).Apply();
        program.SetUniform("last", float(horizontal ? w : h) - 0.5f);
        program.SetUniform("weight", steps.weight);
        if (!steps.corrections.empty())
            SetWeights("corrections", int(steps.corrections.size()), steps.corrections.data());
        sPlane.Draw(at);
    } catch (...) {
        sums.Finalize();
        throw;
    }
    sums.Finalize();
    return true;
}

// One direction by the program: the lower-left w x h texels of source, summed into the current
// target over at. False, with nothing drawn, for a box too long for one pass whose sums could not
// be drawn.
bool SumPass(const RenderedTexture& source, const Kernel& kernel, bool horizontal, int w, int h,
             const Region& at, const BlendFunc& blend, bool premultiplied) {
    // Zero taps at both ends (where a filter crosses zero) are left out of the program: the
    // kernels are odd and centred, so dropping a pair keeps the centre.
    int skip = 0;
    while (kernel.Size() - 2 * skip > 1 && kernel[skip] == 0.0f &&
           kernel[kernel.Size() - 1 - skip] == 0.0f)
        ++skip;
    const int taps = kernel.Size() - 2 * skip;
    BoxSteps steps;
    if (StepsFor(kernel, steps) &&
        StepPass(source, steps, horizontal, w, h, at, blend, premultiplied))
        return true;
    if (taps > kMaxSummedTaps) return false;
    Push<State> state;
    PushBlendFunc blending(blend);
    PushColor white(Color::White);
    BindNearest(source);
    const EffectProgram& program = ProgramFor(SumSource(taps, horizontal, premultiplied));
    program.Apply();
    program.SetUniform("last", float(horizontal ? w : h) - 0.5f);
    SetWeights("weights", taps, kernel.Data() + skip);
    sPlane.Draw(at);
    return true;
}

int Radius(const Kernel& kernel) {
    return (kernel.Size() + 1) / 2;
}

// The texels of texture drawn in place of what the current target holds over region.
void DrawOver(const RenderedTexture& texture, const Region& region) {
    Push<Texture> binding;
    PushBlendFunc overwrite(BlendFunc::Overwrite());
    PushColor white(Color::White);
    BindNearest(texture);
    sPlane.Draw(region);
}

// Draws the blurred band of the tile from texture, loaded with part (the band and its apron):
// the vertical pass goes straight into the tile where it can; a box whose sums could not be
// drawn accumulates into a texture of its own, laid over the band.
void SumBand(const RenderedTexture& texture, TiledBuffer& tiled, const Region& band,
             const Region& part, const Kernel& x, const Kernel& y) {
    const int w = int(part.Width()), h = int(part.Height());
    RenderedTexture scratch, along;
    try {
        ConvolveAcross(texture, scratch, x, w, h);
        bool summed = false;
        {
            TileScissor only(tiled, band);
            summed = SumInto(scratch, y, false, part, BlendFunc::Overwrite());
        }
        if (!summed) {
            along.UseFullFloatTexels();
            along.Resize(w, h, GL_RGBA, 0);
            ConvolvePass(scratch, along, y, false, w, h);
            TileScissor only(tiled, band);
            DrawOver(along, part);
        }
    } catch (...) {
        scratch.Finalize();
        along.Finalize();
        throw;
    }
    scratch.Finalize();
    along.Finalize();
}

} // namespace

void Convolve(const Kernel& kernel, int columns, int rows, const Region& region,
              bool premultiplied) {
    // The first drawn tap replaces what the target held; every later one adds to it. Both
    // multiply colour by the texel's alpha times the weight, so the sum is premultiplied; texels
    // premultiplied already are taken at the weight alone, in all four channels.
    const GLenum factor = premultiplied ? GL_ONE : GL_SRC_ALPHA;
    PushBlendFunc blend(factor, GL_ZERO, GL_ONE, GL_ZERO);
    Push<DepthFunc> depth(DepthFunc::Always);
    PushColor color;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const int tap = r * columns + c;
            const float weight = tap < kernel.Size() ? kernel[tap] : 0.0f;
            if (weight == 0.0f) continue;
            if (premultiplied)
                glColor4f(weight, weight, weight, weight);
            else
                glColor4f(1.0f, 1.0f, 1.0f, weight);
            {
                PushTextureMatrix matrix;
                glLoadIdentity();
                glTranslatef(float(c) - float(columns - 1) / 2.0f,
                             float(r) - float(rows - 1) / 2.0f, 0.0f);
                glMultMatrixd(matrix.m);
                glMatrixMode(matrix.mode);
                sPlane.Draw(region);
            }
            BlendFunc::ApplyFactors(factor, GL_ONE, GL_ONE, GL_ONE);
        }
}

void ConvolvePass(const RenderedTexture& source, RenderedTexture& target, const Kernel& kernel,
                  bool horizontal, int w, int h, bool premultiplied) {
    if (w <= 0 || h <= 0) return;
    if (kernel.Size() == 0) {
        // A kernel that could not be allocated copies: drawing no tap would leave the target's
        // old texels in place.
        Kernel identity;
        identity.Resize(1);
        if (identity.Size() == 0) return;
        identity[0] = 1.0f;
        return ConvolvePass(source, target, identity, horizontal, w, h, premultiplied);
    }
    Push<Texture> binding;
    if (Summed(kernel)) {
        // Loaded before the target is selected, so that a first load selects its own.
        BindNearest(source);
        Selection<RenderedTexture> selection(target);
        if (!selection.IsSelected() ||
            SumPass(source, kernel, horizontal, w, h, Region(0, 0, unsigned(w), unsigned(h)),
                    BlendFunc::Overwrite(), premultiplied))
            return;
    }
    // Loaded before the target is selected, so that a first load selects its own.
    BindNearest(source);
    RepeatEdges(source, w, h, horizontal ? kernel.Size() / 2 : 0,
                horizontal ? 0 : kernel.Size() / 2);
    Selection<RenderedTexture> selection(target);
    if (!selection.IsSelected()) return;
    BindNearest(source);
    const Region area(0, 0, unsigned(w), unsigned(h));
    if (horizontal)
        Convolve(kernel, kernel.Size(), 1, area, premultiplied);
    else
        Convolve(kernel, 1, kernel.Size(), area, premultiplied);
}

void ConvolveAcross(const RenderedTexture& source, RenderedTexture& scratch, const Kernel& x, int w,
                    int h) {
    scratch.UseFullFloatTexels();
    scratch.Resize(w, h, GL_RGBA, 0);
    ConvolvePass(source, scratch, x, true, w, h, false);
}

bool SumInto(const RenderedTexture& source, const Kernel& kernel, bool horizontal, const Region& at,
             const BlendFunc& blend) {
    if (!Summed(kernel)) return false;
    Push<Texture> binding;
    return SumPass(source, kernel, horizontal, int(at.Width()), int(at.Height()), at, blend, false);
}

void ConvolveTexture(RenderedTexture& texture, const Kernel& x, const Kernel& y, bool alphaOnce) {
    if (x.Size() <= 1 && y.Size() < 2) return;
    ConvolveTexture(texture, texture, x, y, alphaOnce);
}

void ConvolveTexture(const RenderedTexture& source, RenderedTexture& target, const Kernel& x,
                     const Kernel& y, bool alphaOnce) {
    const int w = target.Width(), h = target.Height();
    if (w <= 0 || h <= 0) return;
    RenderedTexture scratch;
    try {
        ConvolveAcross(source, scratch, x, w, h);
        ConvolvePass(scratch, target, y, false, w, h, alphaOnce);
    } catch (...) {
        scratch.Finalize();
        throw;
    }
    scratch.Finalize();
}

void ConvolveImage(const XIImage* source, XIImage* destination, const Kernel* x, const Kernel* y) {
    if (Dispatch(&ConvolveImage, source, destination, x, y)) return;
    if (x->Size() <= 1 && y->Size() <= 1) {
        if (source != destination) Copy(source, destination);
        return;
    }
    const int rx = Radius(*x), ry = Radius(*y);
    const Region bounds(0, 0, unsigned(source->GetWidth()), unsigned(source->GetHeight()));
    // The source is only read when the vertical pass goes straight into the tile, and 8-bit
    // texels then hold an 8-bit source exactly and are the cheapest to read.
    const bool banded = Summed(*y);
    SubImageTexture texture;
    if (banded && IsByteImage(source))
        texture.UseByteTexels();
    else if (banded)
        texture.UseFullFloatTexels();
    texture.SetImage(source);
    {
        TiledBuffer tiled(destination);
        tiled.ReleaseBeforeRender(texture);
        while (tiled.Next()) {
            const Region tile = tiled.GetCurrentTile();
            const Region area = tile.Grow(rx, ry) & bounds;
            // Parts of the tile beyond the source stay transparent.
            if ((area & tile) != tile) ClearColorBuffer(Color::Transparent);
            if (!area.IsValid()) continue;
            // The blurred region lies where it came from, texel for texel.
            if (banded) {
                // The vertical pass draws straight into the tile, a band of it at a time: the
                // source and scratch textures, 32-bit floats for a band and its apron, are then
                // a fraction of the tile's size, which is most of what a blur holds beside the
                // frames.
                for (int bottom = tile.YOrigin(); bottom < tile.YEnd(); bottom += kBandRows) {
                    const Region band(tile.XOrigin(), bottom, tile.Width(),
                                      unsigned(std::min(kBandRows, tile.YEnd() - bottom)));
                    const Region part = band.Grow(rx, ry) & bounds;
                    if (!part.IsValid()) continue;
                    texture.SetRegion(part);
                    SumBand(texture, tiled, band, part, *x, *y);
                }
                continue;
            }
            texture.SetRegion(area);
            ConvolveTexture(texture, *x, *y);
            DrawOver(texture, area);
        }
    }
    texture.Finalize();
}

} // namespace OGL_TESK_AE

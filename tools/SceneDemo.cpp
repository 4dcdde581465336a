#include "tools/SceneDemo.h"

#include "tools/ImageFile.h"
#include "tools/Operations.h"

#include "gl/geometry/Object.h"
#include "gl/geometry/Quadric.h"
#include "gl/state/Blend.h"
#include "gl/state/Clear.h"
#include "gl/state/Fragment.h"
#include "gl/state/Light.h"
#include "gl/state/LightModel.h"
#include "gl/state/Material.h"
#include "gl/texture/AntiAliasBuffer.h"
#include "gl/texture/AntiAliasRender.h"
#include "gl/texture/TiledBuffer.h"
#include "math/Transform.h"

#include <GL/gl.h>

#include <chrono>
#include <cstdio>
#include <memory>

namespace cli {

namespace {

namespace tesk = OGL_TESK_AE;
using tesk::Color;
using tesk::p3f;
using tesk::p4f;

constexpr int kWidth = 256;
constexpr int kHeight = 176;
// The view: about 50 degrees from top to bottom.
constexpr float kNear = 1.0f;
constexpr float kFar = 40.0f;
constexpr float kTop = 0.466f * kNear;
constexpr float kRight = kTop * kWidth / kHeight;
// The enlarged stretch: the sphere's upper left edge against the empty sky, lit, at about 45
// degrees, where steps show plainly.
constexpr int kCropX = 60;
constexpr int kCropY = 55;
constexpr int kCropSide = 16;
constexpr int kEnlarge = 8;

// Nothing behind the scene, so that the alpha view shows each method's coverage of its edges.
const Color kSky(0.0f, 0.0f, 0.0f, 0.0f);

enum class Method { Plain, Supersampled, Passes };

struct Render {
    const char* file;
    const char* caption;
    Method method;
    int level;
};

const Render kRenders[] = {{"scene-plain", "PLAIN", Method::Plain, 0},
                           {"scene-aa-buffer-1", "AA BUFFER 1", Method::Supersampled, 1},
                           {"scene-aa-buffer-3", "AA BUFFER 3", Method::Supersampled, 3},
                           {"scene-aa-render-8", "AA RENDER 8", Method::Passes, 3}};

tesk::Material Plastic(float r, float g, float b) {
    return tesk::Material(Color(r * 0.3f, g * 0.3f, b * 0.3f, 1.0f), Color(r, g, b, 1.0f),
                          Color(0.8f, 0.8f, 0.8f, 1.0f), Color(0.0f, 0.0f, 0.0f, 1.0f), 60.0f);
}

tesk::Material Metal(float r, float g, float b) {
    return tesk::Material(Color(r * 0.2f, g * 0.2f, b * 0.2f, 1.0f),
                          Color(r * 0.8f, g * 0.8f, b * 0.8f, 1.0f), Color(r, g, b, 1.0f),
                          Color(0.0f, 0.0f, 0.0f, 1.0f), 25.0f);
}

// A light at infinity from direction (x, y, z) in the scene.
tesk::ParamLight Sun(int index, const Color& diffuse, const Color& specular, float x, float y,
                     float z) {
    tesk::ParamLight light(index);
    light.enabled = true;
    light.ambientOn = false;
    light.spot = false;
    light.diffuse = diffuse;
    light.specular = specular;
    light.quadraticAttenuation = 0.0f;
    light.position = p4f(x, y, z, 0.0f);
    return light;
}

// A checker floor of 1-unit squares at y = 0: the floor is drawn in its own xy plane, whose
// normal Object gives, and laid down by a quarter turn about x.
void Floor() {
    const tesk::Material light = Plastic(0.75f, 0.74f, 0.7f), dark = Plastic(0.2f, 0.22f, 0.26f);
    glPushMatrix();
    tesk::Rotate(-90.0f, p3f(1.0f, 0.0f, 0.0f));
    for (int parity = 0; parity < 2; ++parity) {
        (parity ? dark : light).Apply();
        tesk::Object quads(GL_QUADS);
        for (int j = -2; j < 10; ++j)
            for (int i = -7; i < 7; ++i) {
                if (((i + j) & 1) != parity) continue;
                const float x = float(i), y = float(j);
                glVertex3f(x, y, 0.0f);
                glVertex3f(x + 1.0f, y, 0.0f);
                glVertex3f(x + 1.0f, y + 1.0f, 0.0f);
                glVertex3f(x, y + 1.0f, 0.0f);
            }
    }
    glPopMatrix();
}

// GLU's cylinders run along +z: turned to stand on the floor at (x, z), with a lid.
void Upright(const tesk::Quadric& quadric, float x, float z, float base, float top, float height) {
    glPushMatrix();
    tesk::Translate(x, 0.0f, z);
    tesk::Rotate(-90.0f, p3f(1.0f, 0.0f, 0.0f));
    quadric.DrawCylinder(base, top, height, 48, 4);
    if (top > 0.0f) {
        tesk::Translate(0.0f, 0.0f, height);
        quadric.DrawDisk(0.0f, top, 48, 1);
    }
    glPopMatrix();
}

// The scene under the projection the caller set, into the target bound now.
void DrawScene() {
    // RS3dPerspective puts y = 0 at the top of the picture; the view is turned over in y to stand
    // upright there, which turns every face's winding over as well.
    glFrontFace(GL_CW);
    tesk::ClearColorBuffer(kSky);
    tesk::ClearDepthBuffer(1.0f);
    tesk::DepthFunc::Less.Apply();
    tesk::BlendFunc::Overwrite().Apply();
    // The camera multiplies what is there: the jittered passes may have moved the eye.
    glMatrixMode(GL_MODELVIEW);
    tesk::Rotate(14.0f, p3f(1.0f, 0.0f, 0.0f));
    tesk::Translate(0.0f, -2.6f, -4.5f);
    tesk::LightModel(Color(0.15f, 0.15f, 0.18f, 1.0f)).Apply();
    Sun(0, Color(1.0f, 0.95f, 0.85f, 1.0f), Color(1.0f, 1.0f, 1.0f, 1.0f), -3.0f, 5.0f, 4.0f)
        .ApplyCustom();
    Sun(1, Color(0.25f, 0.3f, 0.45f, 1.0f), Color(0.0f, 0.0f, 0.0f, 1.0f), 4.0f, 1.5f, 1.0f)
        .ApplyCustom();
    Floor();
    tesk::Quadric quadric;
    glPushMatrix();
    tesk::Translate(-1.7f, 1.0f, -3.0f);
    Plastic(0.85f, 0.15f, 0.1f).Apply();
    quadric.DrawSphere(1.0f, 48, 32);
    glPopMatrix();
    Metal(0.55f, 0.75f, 0.95f).Apply();
    Upright(quadric, 0.4f, -4.6f, 0.6f, 0.6f, 1.7f);
    Metal(1.0f, 0.78f, 0.3f).Apply();
    Upright(quadric, 2.1f, -2.4f, 0.8f, 0.0f, 2.0f);
}

// One picture by one method, drawn on the worker; milliseconds receives the time.
void RenderScene(const Render& render, HostImage& image, double& milliseconds) {
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<tesk::TiledBuffer> tiles(render.method == Method::Supersampled
                                                 ? new tesk::AntiAliasBuffer(&image, render.level)
                                                 : new tesk::TiledBuffer(&image));
    while (tiles->Next()) {
        if (render.method != Method::Passes) {
            tiles->RS3dPerspective(-kRight, kRight, kTop, -kTop, kNear, kFar);
            DrawScene();
            continue;
        }
        tesk::AntiAliasRender passes(tiles->GetCurrentTile(), render.level, 0, 0.0f, 0.0f, 0.0f);
        while (passes.Next()) {
            passes.Perspective(*tiles, -kRight, kRight, kTop, -kTop, kNear, kFar);
            DrawScene();
        }
    }
    milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The crop square of image, each pixel made kEnlarge x kEnlarge.
OIIO::ImageBuf Enlarged(const OIIO::ImageBuf& image) {
    const int side = kCropSide * kEnlarge;
    OIIO::ImageBuf enlarged(OIIO::ImageSpec(side, side, 4, OIIO::TypeFloat));
    float pixel[4];
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            image.getpixel(kCropX + x / kEnlarge, kCropY + y / kEnlarge, pixel, 4);
            enlarged.setpixel(x, y, pixel, 4);
        }
    return enlarged;
}

} // namespace

int SceneRows(const std::filesystem::path& out, Layout layout, Rows order,
              std::list<OIIO::ImageBuf>& results, std::vector<SheetRow>& rows, int& ran) {
    constexpr int count = sizeof kRenders / sizeof kRenders[0];
    ran = count;
    SheetRow pictures, crops;
    std::string timings;
    int failures = 0;
    for (const Render& render : kRenders) {
        HostImage image(layout, kWidth, kHeight, order);
        double milliseconds = 0.0;
        std::string error;
        const std::string path = (out / (std::string(render.file) + ".png")).string();
        SheetImage shown{render.caption, nullptr}, crop{render.caption, nullptr};
        if (RunOnWorker([&] { RenderScene(render, image, milliseconds); }, error)) {
            results.push_back(image.Load());
            shown.image = &results.back();
            WriteImage(path, results.back(), layout);
            results.push_back(Enlarged(*shown.image));
            crop.image = &results.back();
            std::printf("%-17s %5.1f ms  %s\n", render.file, milliseconds, path.c_str());
            char time[32];
            std::snprintf(time, sizeof time, "%s%.1f", timings.empty() ? "" : ", ", milliseconds);
            timings += time;
        } else {
            ++failures;
            std::printf("%-17s    failed  %s\n", render.file, error.c_str());
            timings += timings.empty() ? "FAILED" : ", FAILED";
        }
        // The last method is the row's result; the others lead up to it.
        if (&render == &kRenders[count - 1]) {
            pictures.output = shown;
            crops.output = crop;
        } else {
            pictures.inputs.push_back(shown);
            crops.inputs.push_back(crop);
        }
    }
    pictures.title = "SCENE  PLAIN, AA BUFFER 1 AND 3, AA RENDER 8 PASSES  " + timings + " MS";
    crops.title = "SCENE  THE SPHERE'S EDGE, 16X16 PIXELS ENLARGED 8 TIMES";
    rows.push_back(std::move(pictures));
    rows.push_back(std::move(crops));
    return failures;
}

} // namespace cli

#pragma once

#include "common/Export.h"
#include "math/Color.h"
#include "math/Vector.h"

#include <vector>

namespace OGL_TESK_AE {

// Collects vertices one by one into process-wide arrays and draws them with one glDrawArrays,
// so plug-ins can write immediate-mode style code that runs as a vertex array.
class TESK_API ObjectArray {
public:
    static constexpr int kCapacity = 16384;

    explicit ObjectArray(unsigned mode);
    ObjectArray(const ObjectArray&) = delete;
    ObjectArray& operator=(const ObjectArray&) = delete;
    // Draws the batch if nobody did.
    ~ObjectArray();

    static void TexCoord(const p2f& t);
    static void Normal(const p3f& n);
    static void Color(const OGL_TESK_AE::Color& c);
    // Appends a vertex with the current attributes. A batch holds at most kCapacity vertices;
    // further vertices are dropped rather than written past the arrays.
    static void Vertex(const p3f& p);
    static void Vertex(const p3f& p, const p2f& t);

    void Draw();

    // Points OpenGL's client arrays at the process-wide arrays; once per context.
    static void Initialize();

    // Three floats a coordinate, two used: the texture-coordinate stride is 12 bytes.
    struct TexCoord2 {
        float s, t, unused;
    };

    static p3f fVertices[kCapacity];
    static TexCoord2 fTexCoords[kCapacity];
    static p3f fNormals[kCapacity];
    static OGL_TESK_AE::Color fColors[kCapacity];
    static int fCount;
    static p2f fTexCoord;
    static p3f fNormal;
    static OGL_TESK_AE::Color fColor;
    static unsigned char fTexCoordEnabled;
    static unsigned char fNormalEnabled;
    static unsigned char fColorEnabled;

private:
    unsigned fMode;
    bool fPending;
};

// A scope over the client vertex-array state with the vertex array and the requested ones on.
class TESK_API PushArrays {
public:
    explicit PushArrays(unsigned char texCoords = 0, unsigned char normals = 0,
                        unsigned char colors = 0);
    PushArrays(const PushArrays&) = delete;
    PushArrays& operator=(const PushArrays&) = delete;
    ~PushArrays();
};

// Draws the indexed vertices indices[first .. first + count - 1] as one batch.
TESK_API void IndexVertices(unsigned mode, std::vector<p3f>& vertices, std::vector<p3f>& normals,
                            std::vector<p3f>& texCoords, std::vector<int>& indices, int first,
                            int count);

} // namespace OGL_TESK_AE

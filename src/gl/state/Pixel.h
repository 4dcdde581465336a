#pragma once

#include "common/Export.h"
#include "gl/state/Push.h"

#include <GL/gl.h>

class XIImage;

namespace OGL_TESK_AE {

// The four unpack values that plain 2-D uploads need.
class TESK_API PixelStore {
public:
    PixelStore(int alignment = 0, int rowLength = 0, int skipPixels = 0, int skipRows = 0);

    void Apply() const;
    void Retrieve();

    int alignment;
    int rowLength;
    int skipPixels;
    int skipRows;
};

// How pixels are laid out in client memory when they are read from it (unpack) or written to
// it (pack). The image forms describe the image's own rows, so that a region of it can be
// moved in one call.
class TESK_API PixelUnpack {
public:
    PixelUnpack(int alignment = 4, int rowLength = 0, int imageHeight = 0, int skipPixels = 0,
                int skipRows = 0);
    PixelUnpack(const XIImage* image, int skipPixels, int skipRows);

    void Apply() const;
    void Retrieve();

    int alignment;
    int rowLength;
    int imageHeight;
    int skipPixels;
    int skipRows;
};

class TESK_API PixelPack {
public:
    PixelPack(int alignment = 4, int rowLength = 0, int imageHeight = 0, int skipPixels = 0,
              int skipRows = 0);
    PixelPack(const XIImage* image, int skipPixels, int skipRows);

    void Apply() const;
    void Retrieve();

    int alignment;
    int rowLength;
    int imageHeight;
    int skipPixels;
    int skipRows;
};

// Scale and bias of each channel during pixel transfer.
class TESK_API PixelTransfer {
public:
    // The identity mapping.
    PixelTransfer();
    // The given mapping performed after the current one: reads OpenGL, so a worker-thread
    // call only. x becomes s * (scale * x + bias) + b for each channel.
    PixelTransfer(float redScale, float redBias, float greenScale, float greenBias, float blueScale,
                  float blueBias, float alphaScale, float alphaBias);

    void Apply() const;
    void Retrieve();

    float redScale, redBias;
    float greenScale, greenBias;
    float blueScale, blueBias;
    float alphaScale, alphaBias;
};

// The channel scales that bring pixels of a type whose full intensity is whiteLevel to 1.
// Both constructors read the current scales (worker thread only).
class TESK_API ColorSpace {
public:
    ColorSpace();
    ColorSpace(GLenum type, int whiteLevel);

    void Apply() const;
    void Retrieve();

    float redScale;
    float greenScale;
    float blueScale;
    float alphaScale;
};

// Alpha scale of the pixel transfer, multiplied onto the current one (read in the constructor).
class TESK_API Opacity {
public:
    explicit Opacity(float opacity = 1.0f);

    void Apply() const;
    void Retrieve();

    float alphaScale;
};

class TESK_API PushPixelStore : public Push<PixelStore> {
public:
    PushPixelStore(int alignment = 0, int rowLength = 0, int skipPixels = 0, int skipRows = 0);
};

class TESK_API PushPixelUnpack : public Push<PixelUnpack> {
public:
    PushPixelUnpack(int alignment = 4, int rowLength = 0, int imageHeight = 0, int skipPixels = 0,
                    int skipRows = 0);
    PushPixelUnpack(const XIImage* image, int skipPixels, int skipRows);
};

class TESK_API PushPixelPack : public Push<PixelPack> {
public:
    PushPixelPack(int alignment = 4, int rowLength = 0, int imageHeight = 0, int skipPixels = 0,
                  int skipRows = 0);
    PushPixelPack(const XIImage* image, int skipPixels, int skipRows);
};

class TESK_API PushPixelTransfer : public Push<PixelTransfer> {
public:
    PushPixelTransfer() = default;
    PushPixelTransfer(float redScale, float redBias, float greenScale, float greenBias,
                      float blueScale, float blueBias, float alphaScale, float alphaBias);
};

extern template class Push<PixelStore>;
extern template class Push<PixelUnpack>;
extern template class Push<PixelPack>;
extern template class Push<PixelTransfer>;

} // namespace OGL_TESK_AE

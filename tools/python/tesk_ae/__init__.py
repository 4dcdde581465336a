"""TESK_Common_AE's image operations on NumPy arrays, run on the graphics card.

Images are H x W x C arrays (C = 1, 3 or 4) of uint8, uint16, float16 or float32, rows top-down
as NumPy keeps them; integer images hold 0..1 as 0..255 or 0..65535, and float values outside
0..1 (HDR) pass through unchanged. A C-contiguous RGBA array is handed to the library as it is,
without a copy; any other layout (grey, RGB, a strided view) is converted to RGBA once on the way
in (grey to r = g = b, a missing alpha opaque) and the result back to the input's channels.

Every operation returns a new array, or writes into ``out=`` when given one of the right shape
and type (and returns it). Where images of different sizes meet, they are aligned at their
top-left corners (row 0, column 0). Bad arguments raise ValueError naming the argument; an
operation the library refuses raises RuntimeError with the library's reason. The interpreter's
lock is released while the library works, and calls from several threads are safe: the library
runs them one at a time on its own thread.
"""

import enum as _enum

import numpy as _np

from . import _core

__all__ = [
    "BlendMode", "BlendOp", "Kernel", "Interpolation", "Decimation", "RotationOrder",
    "premultiply", "copy", "resize", "fit", "center", "clear", "copy_alpha", "mask",
    "inverse_mask", "alpha", "luma", "blend", "blur", "box_blur", "pascal_blur", "composite",
    "composite_blurred", "transform", "shaders", "render_shader", "hardware_info",
]

BlendMode = _enum.IntEnum(
    "BlendMode", [(_core.mode_name(i), i) for i in range(49)], module=__name__)
BlendMode.__doc__ = ("The 49 numbered blend modes: " +
                     ", ".join("%d %s" % (m.value, m.name) for m in BlendMode) + ".")

BlendOp = _enum.IntEnum("BlendOp", [
    ("Default", 0), ("Composite", 1), ("Additive", 2), ("Lighten", 3), ("Screen", 4),
    ("Max", 5), ("Min", 6), ("Darken", 7), ("Subtractive", 8), ("Multiply", 9),
    ("Difference", 10), ("Replace", 11)], module=__name__)
BlendOp.__doc__ = "The fixed-function blends composite and composite_blurred lay with."


class Kernel(_enum.Enum):
    """The blur kernels: Gaussian (of a spread in half-widths), box, binomial (Pascal)."""
    Gaussian = "gaussian"
    Box = "box"
    Pascal = "pascal"


class Interpolation(_enum.IntEnum):
    """How transform smooths a front drawn at a scale of 1 or more."""
    Nearest = 0
    Texture = 1
    CatmullRom = 2
    Mitchell = 3
    BSpline = 4
    Lanczos2 = 5
    Lanczos3 = 6


class Decimation(_enum.IntEnum):
    """How transform filters a front drawn smaller than its size."""
    None_ = 0
    Box = 1
    Triangle = 2
    Binomial = 3
    Lanczos2 = 4
    Lanczos3 = 5


class RotationOrder(_enum.IntEnum):
    """The order transform turns the front about its axes in."""
    XYZ = 0
    ZXY = 1
    YZX = 2
    XZY = 3
    ZYX = 4
    YXZ = 5


_TYPES = (_np.uint8, _np.uint16, _np.float16, _np.float32)
_WHITE = {_np.dtype(_np.uint8): 255, _np.dtype(_np.uint16): 65535}


def _by_name(enumeration, value, what):
    """An enumeration's member from itself, its number or its name in any case ("soft-light")."""
    if isinstance(value, enumeration):
        return value
    if isinstance(value, str):
        wanted = value.replace("-", "").replace("_", "").replace(" ", "").lower()
        for member in enumeration:
            if member.name.replace("_", "").lower() == wanted:
                return member
        raise ValueError("%s: unknown %s '%s'" % (what, enumeration.__name__, value))
    if isinstance(value, (int, _np.integer)) and not isinstance(value, bool):
        try:
            return enumeration(int(value))
        except ValueError:
            pass
    raise ValueError("%s: unknown %s %r" % (what, enumeration.__name__, value))


def _image(array, what):
    """The array as a C-contiguous RGBA array of its type, and its channel count."""
    if not isinstance(array, _np.ndarray):
        raise ValueError("%s: expected a NumPy array, got %s" % (what, type(array).__name__))
    if array.ndim != 3 or array.shape[2] not in (1, 3, 4):
        raise ValueError("%s: expected an H x W x C array with C = 1, 3 or 4, got shape %s"
                         % (what, array.shape))
    if array.dtype not in [_np.dtype(t) for t in _TYPES]:
        raise ValueError("%s: type %s is not uint8, uint16, float16 or float32"
                         % (what, array.dtype))
    if array.shape[0] < 1 or array.shape[1] < 1:
        raise ValueError("%s: the image is empty (shape %s)" % (what, array.shape))
    channels = array.shape[2]
    if channels == 4:
        return _np.ascontiguousarray(array), 4
    white = _WHITE.get(array.dtype, 1)
    rgba = _np.empty(array.shape[:2] + (4,), array.dtype)
    rgba[..., :3] = array if channels == 3 else array[..., :1]
    rgba[..., 3] = white
    return rgba, channels


def _optional(array, what):
    return None if array is None else _image(array, what)[0]


class _Destination:
    """Where a result goes: out= itself when it is a C-contiguous RGBA array of the right shape
    and type, else a new RGBA array copied into out= (or returned in the input's channels)."""

    def __init__(self, out, height, width, dtype, channels, start=None):
        self.out = out
        self.channels = channels
        if out is not None:
            if not isinstance(out, _np.ndarray):
                raise ValueError("out: expected a NumPy array, got %s" % type(out).__name__)
            wanted = (height, width, channels)
            if out.shape != wanted or out.dtype != dtype:
                raise ValueError("out: expected shape %s of %s, got shape %s of %s"
                                 % (wanted, _np.dtype(dtype), out.shape, out.dtype))
            if not out.flags.writeable:
                raise ValueError("out: the array is read-only")
        if (out is not None and channels == 4 and out.flags.c_contiguous and start is None):
            self.rgba = out
        elif start is not None:
            self.rgba = _np.array(start, dtype=dtype, order="C", copy=True)
        else:
            self.rgba = _np.zeros((height, width, 4), dtype)

    def result(self):
        if self.out is self.rgba:
            return self.out
        rgba = self.rgba
        result = rgba if self.channels == 4 else (
            rgba[..., :3] if self.channels == 3 else rgba[..., :1])
        if self.out is None:
            return _np.ascontiguousarray(result)
        self.out[...] = result
        return self.out


def _like(src, channels, out):
    return _Destination(out, src.shape[0], src.shape[1], src.dtype, channels)


def _size(size, what="size"):
    try:
        width, height = (int(v) for v in size)
    except (TypeError, ValueError):
        raise ValueError("%s: expected (width, height), got %r" % (what, size)) from None
    if width < 1 or height < 1:
        raise ValueError("%s: width and height must be at least 1, got %r" % (what, size))
    return width, height


def _color(color):
    values = [float(v) for v in color]
    if len(values) == 3:
        values.append(1.0)
    if len(values) != 4:
        raise ValueError("color: expected (r, g, b) or (r, g, b, a), got %r" % (color,))
    return values


def premultiply(src, out=None):
    """Colour multiplied by alpha: (r*a, g*a, b*a, a) for every pixel."""
    s, channels = _image(src, "src")
    d = _like(s, channels, out)
    _core.premultiply(s, d.rgba)
    return d.result()


def copy(src, out=None):
    """The image as it is (through the library)."""
    s, channels = _image(src, "src")
    d = _like(s, channels, out)
    _core.copy(s, d.rgba)
    return d.result()


def _sized(call, src, size, out, dtype=None):
    s, channels = _image(src, "src")
    width, height = _size(size)
    d = _Destination(out, height, width, dtype or s.dtype, channels)
    call(s, d.rgba)
    return d.result()


def resize(src, size, out=None):
    """The image stretched to size = (width, height)."""
    return _sized(_core.resize, src, size, out)


def fit(src, size, out=None):
    """The image scaled to fit size = (width, height), aspect kept, centred; the rest of the
    frame transparent."""
    return _sized(_core.fit, src, size, out)


def center(src, size, out=None):
    """The image unscaled in the middle of a frame of size = (width, height); the rest of the
    frame transparent. An odd spare column goes to the right, an odd spare row to the bottom."""
    return _sized(_core.center, src, size, out)


def clear(size, color, dtype=_np.float32, channels=4, out=None):
    """An image of one colour (r, g, b[, a], each 0..1) of size = (width, height)."""
    width, height = _size(size)
    if _np.dtype(dtype) not in [_np.dtype(t) for t in _TYPES]:
        raise ValueError("dtype: %s is not uint8, uint16, float16 or float32" % _np.dtype(dtype))
    if channels not in (1, 3, 4):
        raise ValueError("channels: expected 1, 3 or 4, got %r" % (channels,))
    d = _Destination(out, height, width, _np.dtype(dtype), channels)
    _core.clear(d.rgba, _color(color))
    return d.result()


def copy_alpha(src, dest, out=None):
    """dest's colour with src's alpha (where src reaches; elsewhere dest keeps its own)."""
    s = _image(src, "src")[0]
    start, channels = _image(dest, "dest")
    d = _Destination(out, start.shape[0], start.shape[1], start.dtype, channels, start)
    _core.copy_alpha(s, d.rgba)
    return d.result()


def _mask(mask_image, image, color, inverse, out):
    m = _image(mask_image, "mask")[0]
    i, channels = _image(image, "image")
    d = _like(i, channels, out)
    _core.mask(m, i, d.rgba, _color(color), inverse)
    return d.result()


def mask(mask_image, image, color, out=None):
    """The colour laid over the image where the mask is opaque: with t = colour alpha * mask
    alpha, rgb = image rgb * (1 - t) + colour rgb * t, alpha = image alpha * (1 - t) + t."""
    return _mask(mask_image, image, color, False, out)


def inverse_mask(mask_image, image, color, out=None):
    """As mask, with t = colour alpha * (1 - mask alpha)."""
    return _mask(mask_image, image, color, True, out)


def alpha(src):
    """The alpha channel as an H x W float32 array."""
    return _core.alpha(_image(src, "src")[0])


def luma(src):
    """a * (0.30 r + 0.59 g + 0.11 b) as an H x W float32 array, each product clamped to 0..1."""
    return _core.luma(_image(src, "src")[0])


def blend(front, back, mode, mix=1.0, mask=None, out=None):
    """front blended over back by a numbered mode (a BlendMode, its number or its name in any
    case), mixed with back by mix (0..1); mask's alpha multiplies front's. The result has back's
    size and type.

    Modes: """
    f = _image(front, "front")[0]
    b, channels = _image(back, "back")
    chosen = _by_name(BlendMode, mode, "mode")
    if not 0.0 <= float(mix) <= 1.0:
        raise ValueError("mix: expected a number from 0 to 1, got %r" % (mix,))
    d = _like(b, channels, out)
    _core.blend(f, b, _optional(mask, "mask"), d.rgba, int(chosen), float(mix))
    return d.result()


blend.__doc__ += ", ".join("%d %s" % (m.value, m.name) for m in BlendMode) + "."


def _extent(width, height):
    if height is None:
        height = width
    w, h = float(width), float(height)
    if not (_np.isfinite(w) and _np.isfinite(h)) or w < 0 or h < 0:
        raise ValueError("width, height: expected finite sizes of 0 or more, got %r, %r"
                         % (width, height))
    return w, h


def blur(src, width, height=None, kernel=Kernel.Gaussian, spread=0.85, out=None):
    """The image blurred by a kernel width x height pixels (height defaults to width; 1 or less
    blurs nothing in that direction). Gaussian weights of spread (in half-widths) unless kernel
    is Kernel.Box or Kernel.Pascal."""
    s, channels = _image(src, "src")
    w, h = _extent(width, height)
    chosen = kernel if isinstance(kernel, Kernel) else _by_name(Kernel, kernel, "kernel")
    d = _like(s, channels, out)
    _core.blur(s, d.rgba, w, h, chosen.value, float(spread))
    return d.result()


def box_blur(src, width, height=None, out=None):
    """blur with a box kernel."""
    return blur(src, width, height, Kernel.Box, out=out)


def pascal_blur(src, width, height=None, out=None):
    """blur with binomial (Pascal's triangle) weights."""
    return blur(src, width, height, Kernel.Pascal, out=out)


def composite(fg, bg, op=BlendOp.Default, opacity=1.0, mask=None, out=None):
    """fg laid over bg with a fixed-function BlendOp: fg's alpha times mask's alpha, all four
    channels scaled by opacity (0..1). The result has bg's size and type."""
    f = _image(fg, "fg")[0]
    b, channels = _image(bg, "bg")
    if not 0.0 <= float(opacity) <= 1.0:
        raise ValueError("opacity: expected a number from 0 to 1, got %r" % (opacity,))
    d = _like(b, channels, out)
    _core.composite(f, b, _optional(mask, "mask"), d.rgba, float(opacity),
                    int(_by_name(BlendOp, op, "op")))
    return d.result()


def composite_blurred(layers, sizes, bg, op=BlendOp.Screen, unpremultiply=False, out=None):
    """Each layer blurred by its (width, height) of sizes with Gaussian weights, stacked in order
    and laid over bg with the BlendOp; with unpremultiply the result's colour is divided by its
    alpha."""
    layers = list(layers)
    sizes = [list(_extent(*_size_pair(s))) for s in sizes]
    if len(layers) != len(sizes):
        raise ValueError("sizes: one (width, height) for each of the %d layers, got %d"
                         % (len(layers), len(sizes)))
    images = [_image(layer, "layers[%d]" % i)[0] for i, layer in enumerate(layers)]
    b, channels = _image(bg, "bg")
    d = _like(b, channels, out)
    _core.composite_blurred(images, b, d.rgba, sizes, int(_by_name(BlendOp, op, "op")),
                            bool(unpremultiply))
    return d.result()


def _size_pair(size):
    try:
        width, height = size
    except (TypeError, ValueError):
        raise ValueError("sizes: expected (width, height) pairs, got %r" % (size,)) from None
    return width, height


def _triple(value, what):
    try:
        values = [float(v) for v in value]
    except (TypeError, ValueError):
        raise ValueError("%s: expected three numbers, got %r" % (what, value)) from None
    if len(values) != 3 or not all(_np.isfinite(values)):
        raise ValueError("%s: expected three finite numbers, got %r" % (what, value))
    return values


def transform(front, back, position=None, scale=(1, 1, 1), rotation=(0, 0, 0),
              order=RotationOrder.XYZ, interpolation=Interpolation.Texture,
              decimation=Decimation.None_, mode=BlendMode.Over, mask=None, out=None):
    """front scaled, turned and placed over back, blended by a numbered mode. position (x, y, z)
    is where front's centre goes, in back's pixels from its top-left corner, y down (default
    back's centre); rotation (degrees about x, y, z, in order) turns the picture as tesk-ae
    turns a file's: positive z clockwise as the picture is seen. The result has back's size and
    type."""
    f = _image(front, "front")[0]
    b, channels = _image(back, "back")
    if position is None:
        position = (b.shape[1] / 2.0, b.shape[0] / 2.0, 0.0)
    x, y, z = _triple(position, "position")
    ax, ay, az = _triple(rotation, "rotation")
    # The library sees the pictures upside down (see the module's compiled half): its y counts
    # rows as NumPy does, and turns about x and z go the other way.
    d = _like(b, channels, out)
    _core.transform(f, b, _optional(mask, "mask"), d.rgba, int(_by_name(BlendMode, mode, "mode")),
                    [x, y, z], _triple(scale, "scale"), [-ax, ay, -az],
                    int(_by_name(RotationOrder, order, "order")),
                    int(_by_name(Interpolation, interpolation, "interpolation")),
                    int(_by_name(Decimation, decimation, "decimation")))
    return d.result()


def _root(root):
    import os
    if not isinstance(root, (str, os.PathLike)) or not os.path.isdir(root):
        raise ValueError("root: there is no shader root folder %r" % (root,))
    return os.path.join(os.fspath(root), "")


def shaders(root):
    """The shader catalogue below the folder root, as tesk-ae shaders lists it: one dict per
    shader with its category ("surface", ..., or "by ID only"), name, front-end id, sub-group
    (and whether it is the sub-group's default), kind ("utility", "copy" or "legacy" for those
    reachable by ID only) and failure (why its programs do not bind; "" where they do)."""
    return _core.shaders(_root(root))


def render_shader(root, name, size, dtype=_np.float32, out=None):
    """The surface shader of that name from the catalogue below root, drawn with its argument
    values over a picture of size = (width, height), as tesk-ae's demo draws the stone
    shaders: RGBA of dtype."""
    width, height = _size(size)
    if _np.dtype(dtype) not in [_np.dtype(t) for t in _TYPES]:
        raise ValueError("dtype: %s is not uint8, uint16, float16 or float32" % _np.dtype(dtype))
    if not isinstance(name, str) or not name:
        raise ValueError("name: expected a shader's name, got %r" % (name,))
    d = _Destination(out, height, width, _np.dtype(dtype), 4)
    _core.render_shader(_root(root), name, d.rgba)
    return d.result()


def hardware_info():
    """The library's hardware report: the OpenGL vendor, renderer, version and limits."""
    return _core.hardware_info()

"""The tesk_ae module against NumPy references written from the operations' definitions."""

import os
import threading
import tracemalloc

import numpy as np
import pytest

import tesk_ae

TYPES = [np.uint8, np.uint16, np.float16, np.float32]
WHITE = {np.uint8: 255.0, np.uint16: 65535.0, np.float16: 1.0, np.float32: 1.0}
# How far a result may be from the reference, in 0..1 units: a step of the type, or the
# half-float texels the library works in.
TOLERANCE = {np.uint8: 1.5 / 255, np.uint16: 2e-3, np.float16: 3e-3, np.float32: 2e-3}


def picture(height, width, dtype, seed, low=0.0, high=1.0):
    return stored(np.random.default_rng(seed).uniform(low, high, (height, width, 4)), dtype)


def stored(values, dtype):
    white = WHITE[dtype]
    return (values if white == 1.0 else np.round(np.clip(values, 0, 1) * white)).astype(dtype)


def unit(array):
    return array.astype(np.float64) / WHITE[array.dtype.type]


def expect_near(result, reference, dtype, scale=1.0):
    assert result.dtype == dtype
    assert result.shape == reference.shape
    if WHITE[dtype] > 1:  # integer types hold 0..1 only
        reference = np.clip(reference, 0, 1)
    np.testing.assert_allclose(unit(result), reference, rtol=0,
                               atol=TOLERANCE[dtype] * scale)


# ---- basic operations


@pytest.mark.parametrize("dtype", TYPES)
def test_premultiply_copy_alpha_and_luma_follow_their_formulas(dtype):
    src = picture(23, 37, dtype, 1)
    s = unit(src)
    expected = np.concatenate([s[..., :3] * s[..., 3:], s[..., 3:]], axis=2)
    expect_near(tesk_ae.premultiply(src), expected, dtype)
    assert np.array_equal(tesk_ae.copy(src), src)
    np.testing.assert_allclose(tesk_ae.alpha(src), s[..., 3], atol=TOLERANCE[dtype])
    luma = np.clip(s[..., :3] * s[..., 3:] * [0.30, 0.59, 0.11], 0, 1).sum(axis=2)
    np.testing.assert_allclose(tesk_ae.luma(src), luma, atol=3 * TOLERANCE[dtype])


@pytest.mark.parametrize("dtype", TYPES)
def test_masks_clear_and_copy_alpha(dtype):
    mask, image = picture(16, 20, dtype, 2), picture(16, 20, dtype, 3)
    m, i = unit(mask), unit(image)
    color = (0.9, 0.2, 0.4, 0.8)
    for inverse, call in ((False, tesk_ae.mask), (True, tesk_ae.inverse_mask)):
        t = color[3] * ((1 - m[..., 3:]) if inverse else m[..., 3:])
        expected = np.concatenate(
            [i[..., :3] * (1 - t) + np.array(color[:3]) * t, i[..., 3:] * (1 - t) + t], axis=2)
        expect_near(call(mask, image, color), expected, dtype)
    cleared = tesk_ae.clear((5, 3), color, dtype=dtype)
    expect_near(cleared, np.broadcast_to(color, (3, 5, 4)), dtype)
    expected = np.concatenate([i[..., :3], m[..., 3:]], axis=2)
    expect_near(tesk_ae.copy_alpha(mask, image), expected, dtype)


def test_center_puts_the_picture_in_the_middle_and_resize_keeps_a_flat_field_flat():
    small = picture(3, 4, np.float32, 4)
    centred = tesk_ae.center(small, (10, 7))
    # (10 - 4) / 2 = 3 columns before it; (7 - 3) / 2 = 2 rows above.
    np.testing.assert_allclose(centred[2:5, 3:7], small, atol=TOLERANCE[np.float32])
    centred[2:5, 3:7] = 0
    assert not centred.any()
    flat = np.full((9, 13, 4), 0.375, np.float32)
    for width, height in ((26, 18), (5, 4), (13, 1)):
        expect_near(tesk_ae.resize(flat, (width, height)), np.full((height, width, 4), 0.375),
                    np.float32)


# ---- blend modes, through the main steps: premultiply both, apply, clamp, mix with the back,
# unpremultiply


MODES = {
    "Over": lambda f, b: np.concatenate(
        [f[..., :3] * f[..., 3:] + b[..., :3] * (1 - f[..., 3:]), f[..., 3:] + b[..., 3:]], 2),
    "Multiply": lambda f, b: f * b,
    "Screen": lambda f, b: np.concatenate([f[..., :3] + b[..., :3] * (1 - f[..., :3]),
                                           f[..., 3:]], 2),
    "Difference": lambda f, b: np.concatenate([np.abs(f[..., :3] - b[..., :3]), f[..., 3:]], 2),
}


def blended(front, back, apply, mix):
    f, b = unit(front), unit(back)
    f = np.concatenate([f[..., :3] * f[..., 3:], f[..., 3:]], 2)
    b = np.concatenate([b[..., :3] * b[..., 3:], b[..., 3:]], 2)
    r = np.clip(apply(f, b), 0, 1)
    r = b + (r - b) * mix
    a = r[..., 3:]
    colour = np.divide(r[..., :3], a, out=np.zeros_like(r[..., :3]), where=a > 0)
    return np.concatenate([colour, a], 2)


@pytest.mark.parametrize("dtype", TYPES)
@pytest.mark.parametrize("mode", sorted(MODES))
def test_blend_modes_follow_their_formulas(dtype, mode):
    # Alpha kept away from 0, where unpremultiplying magnifies every rounding.
    front = stored(np.random.default_rng(5).uniform(0.2, 1, (12, 17, 4)), dtype)
    back = stored(np.random.default_rng(6).uniform(0.2, 1, (12, 17, 4)), dtype)
    for mix in (1.0, 0.4):
        expected = blended(front, back, MODES[mode], mix)
        expect_near(tesk_ae.blend(front, back, mode, mix=mix), expected, dtype, 4)
    # By number and by name in any case, as tesk-ae takes them.
    number = int(getattr(tesk_ae.BlendMode, mode))
    assert np.array_equal(tesk_ae.blend(front, back, number),
                          tesk_ae.blend(front, back, mode.upper()))


# ---- a blur kernel and a transform placement


@pytest.mark.parametrize("dtype", TYPES)
def test_box_blur_spreads_a_point_over_its_box_and_keeps_a_flat_field_flat(dtype):
    dot = np.zeros((11, 11, 4))
    dot[..., 3] = 1
    dot[5, 5, :3] = 1
    expected = np.zeros((11, 11, 4))
    expected[4:7, 4:7, :3] = 1 / 9
    expected[..., 3] = 1
    expect_near(tesk_ae.box_blur(stored(dot, dtype), 3), expected, dtype, 2)
    flat = np.full((20, 30, 4), 0.6)
    flat[..., 3] = 1
    for kernel in tesk_ae.Kernel:
        expect_near(tesk_ae.blur(stored(flat, dtype), 7, 3, kernel=kernel), flat, dtype)


@pytest.mark.parametrize("dtype", TYPES)
def test_transform_places_and_turns_the_front_as_tesk_ae_does(dtype):
    front = np.zeros((6, 8, 4))
    front[..., 2:] = 1
    front[0, 0, 0] = 1  # red at the top-left corner
    front = stored(front, dtype)
    back = np.zeros((16, 16, 4), dtype)
    placed = tesk_ae.transform(front, back, position=(11, 10, 0),
                               interpolation=tesk_ae.Interpolation.Nearest)
    # Centred at (11, 10), y down: columns 7..14, rows 7..12.
    assert np.array_equal(placed[7:13, 7:15], front)
    placed[7:13, 7:15] = 0
    assert not placed.any()
    # A quarter turn about z is clockwise on the picture.
    turned = tesk_ae.transform(front, back, rotation=(0, 0, 90), interpolation="nearest")
    rows, columns = np.nonzero(turned[..., 3])
    window = turned[rows.min():rows.max() + 1, columns.min():columns.max() + 1]
    assert np.array_equal(window, np.rot90(front, -1))


# ---- what the module promises about arrays


def test_hdr_values_grey_rgb_strided_arrays_and_out_reuse():
    hdr = np.array([[[3.5, -0.25, 12.0, 1.0], [0.5, 2.0, -1.0, 0.5]]], np.float32)
    assert np.array_equal(tesk_ae.copy(hdr), hdr)
    np.testing.assert_allclose(tesk_ae.premultiply(hdr)[0, 1], [0.25, 1.0, -0.5, 0.5], atol=2e-3)
    added = tesk_ae.composite(hdr, hdr, tesk_ae.BlendOp.Composite)[0, 1]
    np.testing.assert_allclose(added, [0.75, 3.0, -1.5, 0.75], rtol=2e-3)
    rgb = picture(5, 6, np.uint8, 7)[..., :3]
    assert np.array_equal(tesk_ae.copy(rgb), rgb)
    grey = picture(5, 6, np.uint16, 8)[..., :1]
    assert np.array_equal(tesk_ae.copy(grey), grey)
    strided = picture(10, 12, np.float32, 9)[::2, ::3]
    assert np.array_equal(tesk_ae.copy(strided), strided)
    src = picture(7, 9, np.float32, 10)
    out = np.empty_like(src)
    assert tesk_ae.premultiply(src, out=out) is out
    assert np.array_equal(out, tesk_ae.premultiply(src))
    out3 = np.empty((7, 9, 3), np.float32)
    assert tesk_ae.copy(src[..., :3], out=out3) is out3
    assert np.array_equal(out3, src[..., :3])


@pytest.mark.parametrize("call, message", [
    (lambda a: tesk_ae.premultiply(a.astype(np.int32)), "src: type int32"),
    (lambda a: tesk_ae.premultiply(a[..., 0]), "src: expected an H x W x C array"),
    (lambda a: tesk_ae.blend(a, a, "no-such-mode"), "mode: unknown BlendMode"),
    (lambda a: tesk_ae.blend(a, a, 49), "mode: unknown BlendMode"),
    (lambda a: tesk_ae.blend(a[..., :2], a, 0), "front: expected an H x W x C array"),
    (lambda a: tesk_ae.copy(a, out=np.empty((3, 3, 4), np.float32)), "out: expected shape"),
    (lambda a: tesk_ae.copy(a, out=np.empty(a.shape, np.uint8)), "out: expected shape"),
    (lambda a: tesk_ae.resize(a, (0, 4)), "size: width and height"),
    (lambda a: tesk_ae.blend(a, a, 0, mix=2), "mix:"),
    (lambda a: tesk_ae.blur(a, float("nan")), "width, height"),
    (lambda a: tesk_ae.composite_blurred([a], [], a), "sizes:"),
])
def test_bad_arguments_raise_value_error_naming_them(call, message):
    with pytest.raises(ValueError, match=message):
        call(picture(4, 5, np.float32, 11))


def test_a_refusal_of_the_library_raises_runtime_error_with_its_reason():
    empty = np.zeros((0, 4, 4), np.float32)
    with pytest.raises(RuntimeError, match="source image"):
        tesk_ae._core.premultiply(empty, np.zeros((3, 4, 4), np.float32))


def test_four_python_threads_at_once_get_what_one_thread_gets():
    pairs = [(picture(40 + i, 50, np.float32, 20 + i), picture(40 + i, 50, np.float32, 30 + i))
             for i in range(4)]
    alone = [tesk_ae.blend(f, b, "Screen") for f, b in pairs]
    results = [None] * 4

    def work(i):
        for _ in range(5):
            results[i] = tesk_ae.blend(*pairs[i], "Screen")

    threads = [threading.Thread(target=work, args=(i,)) for i in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for mine, theirs in zip(results, alone):
        assert np.array_equal(mine, theirs)


def test_a_blend_of_contiguous_rgba_arrays_allocates_only_its_output():
    front = picture(600, 800, np.float32, 40)
    back = picture(600, 800, np.float32, 41)
    tesk_ae.blend(front, back, "Over")  # programs compiled, caches filled
    tracemalloc.start()
    result = tesk_ae.blend(front, back, "Over")
    peak = tracemalloc.get_traced_memory()[1]
    tracemalloc.stop()
    assert result.nbytes <= peak < result.nbytes + 64 * 1024


# The sample catalogue the build puts together (the descriptions of data/shaders and the example
# deformer module), next to the package in the build tree.
CATALOGUE = os.path.join(os.path.dirname(os.path.dirname(tesk_ae.__file__)), "..", "shaders")


@pytest.mark.skipif(not os.path.isdir(CATALOGUE), reason="no sample catalogue in this build")
def test_the_sample_catalogue_lists_and_its_stone_shader_draws():
    entries = tesk_ae.shaders(CATALOGUE)
    surfaces = {e["name"] for e in entries if e["category"] == "surface"}
    assert surfaces == {"Plastic", "Chrome", "Brushed Metal", "Stone", "Veined Stone",
                        "Polished Stone"}
    assert [e["name"] for e in entries if e["category"] == "volume"] == ["Fog"]
    stone = next(e for e in entries if e["name"] == "Stone")
    assert (stone["group"], stone["group_default"], stone["failure"]) == ("Stone", True, "")
    picture = tesk_ae.render_shader(CATALOGUE, "Stone", (64, 48))
    assert picture.shape == (48, 64, 4) and picture.dtype == np.float32
    assert np.all(picture[..., 3] == 1) and picture.min() >= 0 and picture.max() <= 1
    assert picture[..., :3].std() > 0.01  # a pattern, not a flat colour
    assert np.array_equal(picture, tesk_ae.render_shader(CATALOGUE, "Stone", (64, 48)))
    with pytest.raises(RuntimeError, match="no surface shader 'Granite'"):
        tesk_ae.render_shader(CATALOGUE, "Granite", (8, 8))
    with pytest.raises(ValueError, match="root: there is no shader root folder"):
        tesk_ae.shaders(os.path.join(CATALOGUE, "no-such-folder"))


def test_the_example_blends_and_blurs_exr_frames(tmp_path):
    oiio = pytest.importorskip("OpenImageIO")
    import subprocess
    import sys
    paths = {}
    for name, colour in (("front", [0.5, 0.25, 2.0, 1.0]), ("back", [0.5, 0.5, 0.25, 1.0])):
        paths[name] = str(tmp_path / (name + ".exr"))
        out = oiio.ImageOutput.create(paths[name])
        assert out.open(paths[name], oiio.ImageSpec(40, 30, 4, oiio.FLOAT))
        assert out.write_image(np.full((30, 40, 4), colour, np.float32)) and out.close()
    result = str(tmp_path / "out.exr")
    script = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "blend_and_blur.py")
    subprocess.run([sys.executable, script, paths["front"], paths["back"], result,
                    "--mode", "Multiply", "--blur", "5"], check=True)
    written = oiio.ImageInput.open(result)
    pixels = written.read_image(oiio.FLOAT)
    written.close()
    # Multiply of two opaque flat fields, and a blur keeps a flat field flat.
    assert pixels.shape == (30, 40, 4)
    np.testing.assert_allclose(pixels, np.full((30, 40, 4), [0.25, 0.125, 0.5, 1.0]), atol=2e-3)

#!/usr/bin/env python3
"""Reads two EXR frames with OpenImageIO, lays the front over the back with a blend mode, blurs
the result and writes it as an EXR: the shape of a pipeline step built on tesk_ae.

    blend_and_blur.py FRONT.exr BACK.exr OUT.exr [--mode Screen] [--blur 9]

Frames are read as float32 RGBA (a missing alpha is opaque), so HDR values pass unchanged."""

import argparse
import sys

import numpy as np
import OpenImageIO as oiio

import tesk_ae


def read_rgba(path):
    image = oiio.ImageInput.open(path)
    if image is None:
        raise SystemExit("blend_and_blur: cannot read %s: %s" % (path, oiio.geterror()))
    spec = image.spec()
    pixels = image.read_image(oiio.FLOAT)
    image.close()
    if pixels is None:
        raise SystemExit("blend_and_blur: cannot read %s" % path)
    pixels = pixels.reshape(spec.height, spec.width, spec.nchannels)
    rgba = np.ones((spec.height, spec.width, 4), np.float32)
    channels = min(spec.nchannels, 4)
    rgba[..., :channels] = pixels[..., :channels]
    if channels < 3:  # grey: the one channel is every colour
        rgba[..., 1] = rgba[..., 2] = rgba[..., 0]
    return rgba


def write_rgba(path, pixels):
    out = oiio.ImageOutput.create(path)
    if out is None:
        raise SystemExit("blend_and_blur: cannot write %s: %s" % (path, oiio.geterror()))
    height, width = pixels.shape[:2]
    if not (out.open(path, oiio.ImageSpec(width, height, 4, oiio.HALF)) and
            out.write_image(pixels) and out.close()):
        raise SystemExit("blend_and_blur: cannot write %s: %s" % (path, out.geterror()))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("front")
    parser.add_argument("back")
    parser.add_argument("out")
    parser.add_argument("--mode", default="Screen", help="a blend mode's name or number")
    parser.add_argument("--blur", type=float, default=9.0, help="the Gaussian's width in pixels")
    args = parser.parse_args(argv)
    front, back = read_rgba(args.front), read_rgba(args.back)
    try:
        result = tesk_ae.blur(tesk_ae.blend(front, back, args.mode), args.blur)
    except (ValueError, RuntimeError) as error:
        raise SystemExit("blend_and_blur: %s" % error)
    write_rgba(args.out, result)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

import enum
from typing import Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

Image = npt.NDArray[Union[np.uint8, np.uint16, np.float16, np.float32]]
Plane = npt.NDArray[np.float32]
Size = Tuple[int, int]
Color = Sequence[float]
Triple = Sequence[float]

class BlendMode(enum.IntEnum):
    Over: int
    Lighten: int
    Darken: int
    Multiply: int
    Screen: int
    Difference: int
    Lighter: int
    Darker: int
    ScaleMultiply: int
    ScaleScreen: int
    ExpandDifference: int
    ExpandDifference2: int
    Add: int
    Subtract: int
    Overlay: int
    SoftLight: int
    HardLight: int
    Hue: int
    Saturation: int
    Color: int
    Luminosity: int
    Transparency: int
    Opacity: int
    MoreGray: int
    LeastGray: int
    ReverseSubtract: int
    ClippedSubtract: int
    LessGray: int
    MostGray: int
    BoostExponential1: int
    BoostExponential2: int
    BoostEqualPowerPositive: int
    BoostEqualPowerNegative: int
    BoostEqualPowerBias1: int
    Mix5050: int
    Dissolve: int
    DancingDissolve: int
    AlphaMask: int
    LumaMask: int
    InverseAlphaMask: int
    InverseLumaMask: int
    AddAlpha: int
    AddPremultiplied: int
    ReverseSubtractBasic: int
    BitwiseAND: int
    BitwiseOR: int
    BitwiseXOR: int
    SoftDissolve: int
    DancingSoftDissolve: int

class BlendOp(enum.IntEnum):
    Default: int
    Composite: int
    Additive: int
    Lighten: int
    Screen: int
    Max: int
    Min: int
    Darken: int
    Subtractive: int
    Multiply: int
    Difference: int
    Replace: int

class Kernel(enum.Enum):
    Gaussian: str
    Box: str
    Pascal: str

class Interpolation(enum.IntEnum):
    Nearest: int
    Texture: int
    CatmullRom: int
    Mitchell: int
    BSpline: int
    Lanczos2: int
    Lanczos3: int

class Decimation(enum.IntEnum):
    None_: int
    Box: int
    Triangle: int
    Binomial: int
    Lanczos2: int
    Lanczos3: int

class RotationOrder(enum.IntEnum):
    XYZ: int
    ZXY: int
    YZX: int
    XZY: int
    ZYX: int
    YXZ: int

ModeLike = Union[BlendMode, int, str]
OpLike = Union[BlendOp, int, str]

def premultiply(src: Image, out: Optional[Image] = ...) -> Image: ...
def copy(src: Image, out: Optional[Image] = ...) -> Image: ...
def resize(src: Image, size: Size, out: Optional[Image] = ...) -> Image: ...
def fit(src: Image, size: Size, out: Optional[Image] = ...) -> Image: ...
def center(src: Image, size: Size, out: Optional[Image] = ...) -> Image: ...
def clear(size: Size, color: Color, dtype: npt.DTypeLike = ..., channels: int = ...,
          out: Optional[Image] = ...) -> Image: ...
def copy_alpha(src: Image, dest: Image, out: Optional[Image] = ...) -> Image: ...
def mask(mask_image: Image, image: Image, color: Color, out: Optional[Image] = ...) -> Image: ...
def inverse_mask(mask_image: Image, image: Image, color: Color,
                 out: Optional[Image] = ...) -> Image: ...
def alpha(src: Image) -> Plane: ...
def luma(src: Image) -> Plane: ...
def blend(front: Image, back: Image, mode: ModeLike, mix: float = ...,
          mask: Optional[Image] = ..., out: Optional[Image] = ...) -> Image: ...
def blur(src: Image, width: float, height: Optional[float] = ...,
         kernel: Union[Kernel, str] = ..., spread: float = ...,
         out: Optional[Image] = ...) -> Image: ...
def box_blur(src: Image, width: float, height: Optional[float] = ...,
             out: Optional[Image] = ...) -> Image: ...
def pascal_blur(src: Image, width: float, height: Optional[float] = ...,
                out: Optional[Image] = ...) -> Image: ...
def composite(fg: Image, bg: Image, op: OpLike = ..., opacity: float = ...,
              mask: Optional[Image] = ..., out: Optional[Image] = ...) -> Image: ...
def composite_blurred(layers: Sequence[Image], sizes: Sequence[Tuple[float, float]], bg: Image,
                      op: OpLike = ..., unpremultiply: bool = ...,
                      out: Optional[Image] = ...) -> Image: ...
def transform(front: Image, back: Image, position: Optional[Triple] = ..., scale: Triple = ...,
              rotation: Triple = ..., order: Union[RotationOrder, int, str] = ...,
              interpolation: Union[Interpolation, int, str] = ...,
              decimation: Union[Decimation, int, str] = ..., mode: ModeLike = ...,
              mask: Optional[Image] = ..., out: Optional[Image] = ...) -> Image: ...
def shaders(root: str) -> list[dict[str, object]]: ...
def render_shader(root: str, name: str, size: Size, dtype: npt.DTypeLike = ...,
                  out: Optional[Image] = ...) -> Image: ...
def hardware_info() -> str: ...

# Types of the markeye package, for editors and type checkers.
import os
from typing import Iterable, Literal, Optional, Sequence, Tuple, TypedDict, Union

import numpy as np
import numpy.typing as npt

__version__: str

PathLike = Union[str, os.PathLike[str]]
CameraSource = Union[None, PathLike, bytes, bytearray, memoryview, "Camera"]
Order = Literal["bgr", "rgb"]
Grid = Union[int, Tuple[int, int]]
FloatArray = npt.NDArray[np.float64]
ByteArray = npt.NDArray[np.uint8]

class Error(ValueError):
    """Every refusal of the library or the binding; the message names the file or argument and the fault."""

class Distortion:
    centre_x: float
    centre_y: float
    coefficient: float
    scale: float
    def __init__(
        self, centre_x: float = 0.0, centre_y: float = 0.0, coefficient: float = 0.0, scale: float = 1.0
    ) -> None: ...

class Camera:
    @staticmethod
    def from_file(path: PathLike) -> Camera: ...
    @staticmethod
    def from_bytes(data: Union[bytes, bytearray, memoryview], name: str = "camera bytes") -> Camera: ...
    @staticmethod
    def from_intrinsics(
        width: int,
        height: int,
        fx: float,
        fy: float,
        cx: Optional[float] = None,
        cy: Optional[float] = None,
        name: str = "camera",
    ) -> Camera: ...
    @staticmethod
    def builtin(width: int, height: int) -> Camera: ...
    @property
    def width(self) -> int: ...
    @property
    def height(self) -> int: ...
    @property
    def size(self) -> Tuple[int, int]: ...
    @property
    def fx(self) -> float: ...
    @property
    def fy(self) -> float: ...
    @property
    def cx(self) -> float: ...
    @property
    def cy(self) -> float: ...
    @property
    def K(self) -> FloatArray: ...
    @property
    def projection(self) -> FloatArray: ...
    @property
    def distortion(self) -> Distortion: ...
    @property
    def name(self) -> str: ...
    def with_distortion(self, distortion: Distortion) -> Camera: ...
    def fits(self, width: int, height: int) -> bool: ...
    def rescaled(self, width: int, height: int) -> Camera: ...
    def ideal_to_observed(self, x: float, y: float) -> Tuple[float, float]: ...
    def to_bytes(self) -> bytes: ...
    def save(self, path: PathLike) -> None: ...

class Pattern:
    @staticmethod
    def from_file(path: PathLike, grid: Optional[Grid] = None) -> Pattern: ...
    @staticmethod
    def from_numbers(
        numbers: Sequence[int], grid_width: int = 16, grid_height: int = 16, name: str = "pattern"
    ) -> Pattern: ...
    @staticmethod
    def from_image(image: ByteArray, grid: Grid = 16, name: str = "picture", order: Order = "bgr") -> Pattern: ...
    @staticmethod
    def builtin(name: str, grid: Grid = 16) -> Pattern: ...
    @staticmethod
    def builtins(grid: Grid = 16) -> list[Pattern]: ...
    @staticmethod
    def builtin_names() -> list[str]: ...
    @staticmethod
    def builtin_picture(name: str, order: Order = "bgr") -> ByteArray: ...
    @property
    def name(self) -> str: ...
    @property
    def grid_width(self) -> int: ...
    @property
    def grid_height(self) -> int: ...
    @property
    def numbers(self) -> npt.NDArray[np.int32]: ...
    def picture(self, direction: int = 0, order: Order = "bgr") -> ByteArray: ...
    def save(self, path: PathLike) -> None: ...

class DetectionDict(TypedDict):
    pattern: int
    name: str
    confidence: float
    direction: int
    corners: list[Tuple[float, float]]
    rotation: list[Tuple[float, float, float]]
    translation: Tuple[float, float, float]
    reprojection_error: float
    pose_ambiguity: float
    track_id: int
    marker_width: float

class Detection:
    @property
    def pattern(self) -> int: ...
    @property
    def name(self) -> str: ...
    @property
    def confidence(self) -> float: ...
    @property
    def direction(self) -> int: ...
    @property
    def corners(self) -> FloatArray: ...
    @property
    def rotation(self) -> FloatArray: ...
    @property
    def translation(self) -> FloatArray: ...
    @property
    def pose(self) -> FloatArray: ...
    @property
    def reprojection_error(self) -> float: ...
    @property
    def pose_ambiguity(self) -> float: ...
    @property
    def track_id(self) -> int: ...
    @property
    def marker_width(self) -> float: ...
    def as_dict(self) -> DetectionDict: ...

class TemporalOptionsDict(TypedDict, total=False):
    enabled: bool
    filter: bool
    min_cutoff_hz: float
    rotation_beta: float
    translation_beta: float
    depth_beta: float
    derivative_cutoff_hz: float
    max_lost_frames: int
    frame_rate: float

class TrackerOptionsDict(TypedDict):
    marker_width: float
    min_confidence: float
    min_margin: float
    binarisation: Literal["tile", "fixed"]
    threshold: int
    subpixel_edges: bool
    pose_solver: Literal["planar", "plugin"]
    plugin_compatible: bool
    temporal: TemporalOptionsDict

class Tracker:
    def __init__(
        self,
        camera: CameraSource = None,
        patterns: Optional[Iterable[Union[PathLike, Pattern]]] = None,
        *,
        marker_width: float = 80.0,
        min_confidence: float = 0.55,
        min_margin: float = 0.24,
        binarisation: Literal["tile", "fixed"] = "tile",
        threshold: int = 100,
        subpixel_edges: bool = True,
        pose_solver: Literal["planar", "plugin"] = "planar",
        plugin_compatible: bool = False,
        temporal: Union[bool, TemporalOptionsDict] = False,
    ) -> None: ...
    def track(
        self, image: ByteArray, order: Order = "bgr", allow_copy: bool = True, time: Optional[float] = None
    ) -> list[Detection]: ...
    def reset_tracks(self) -> None: ...
    def prepare(self, width: int, height: int) -> None: ...
    @property
    def camera(self) -> Optional[Camera]: ...
    @property
    def patterns(self) -> list[Pattern]: ...
    @property
    def options(self) -> TrackerOptionsDict: ...
    @property
    def best_confidences(self) -> list[float]: ...
    @property
    def elapsed_ms(self) -> float: ...

def plugin_options() -> TrackerOptionsDict: ...
def draw(
    image: ByteArray,
    detections: Iterable[Detection],
    camera: CameraSource = None,
    *,
    order: Order = "bgr",
    labels: bool = True,
) -> ByteArray: ...

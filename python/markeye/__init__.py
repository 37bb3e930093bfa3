"""Markeye, the square-marker tracker, for NumPy and OpenCV users.

    import cv2, markeye
    tracker = markeye.Tracker()                 # built-in camera and markers
    frame = cv2.imread("frame_000.png")         # BGR, as OpenCV gives it
    for found in tracker.track(frame):
        print(found.name, found.confidence, found.translation)
    markeye.draw(frame, tracker.track(frame), tracker.camera)

Lengths are in the unit of the tracker's ``marker_width`` (80: millimetres for
an 80 mm marker); pixels have x right and y down; the camera frame has x
right, y down, z forward, and a marker point p lies at
``rotation @ p + translation``. Every refusal raises ``markeye.Error``, a
``ValueError``. See docs/python.md.
"""

from ._markeye import (
    Camera,
    Detection,
    Distortion,
    Error,
    Pattern,
    Tracker,
    __version__,
    _draw_shapes,
    plugin_options,
)

__all__ = [
    "Camera",
    "Detection",
    "Distortion",
    "Error",
    "Pattern",
    "Tracker",
    "__version__",
    "draw",
    "plugin_options",
]


def draw(image, detections, camera=None, *, order="bgr", labels=True):
    """Draws found markers onto ``image`` in place, as the command-line
    program's overlays do, and returns it.

    Each marker gets its outline (yellow), a dot on vertex 0 (magenta), its
    axes projected through ``camera`` (x red, y green, z blue, half a marker
    width long) and, with ``labels`` and OpenCV (cv2) importable, a label
    with its pattern number, name and confidence. ``image`` is a writeable
    uint8 array laid out as for ``Tracker.track`` with its pixels packed
    (rows may be any distance apart); ``camera`` is the tracker's camera
    (``tracker.camera``), a path, bytes, or None for the built-in camera of
    the image's size, and is rescaled to the image's size.
    """
    detections = list(detections)
    _draw_shapes(image, detections, camera, order)
    if labels and detections:
        _draw_labels(image, detections)
    return image


def _draw_labels(image, detections):
    """White text on a black box above each marker's highest vertex, kept
    inside the image. Needs OpenCV's fonts; without cv2 no label is drawn."""
    try:
        import cv2
    except ImportError:
        return
    import numpy

    height, width = image.shape[:2]
    # Text grows with the frame, as the lines do.
    scale = max(1, width // 320)
    font = cv2.FONT_HERSHEY_SIMPLEX
    for found in detections:
        text = f"{found.pattern} {found.name} {found.confidence:.2f}"
        (text_width, text_height), baseline = cv2.getTextSize(text, font, 0.3 * scale, scale)
        box_width = text_width + 2 * scale
        box_height = text_height + baseline + 2 * scale
        corners = found.corners
        left, top = corners.min(axis=0)
        x = int(min(max(round(left), 0), max(0, width - box_width)))
        y = int(min(max(round(top) - box_height - 2 * scale, 0), max(0, height - box_height)))
        mask = numpy.zeros((box_height, box_width), numpy.uint8)
        cv2.putText(mask, text, (scale, scale + text_height), font, 0.3 * scale, 255, scale, cv2.LINE_8)
        mask = mask[: height - y, : width - x]
        region = image[y : y + mask.shape[0], x : x + mask.shape[1]]
        if region.ndim == 3:
            # The colour channels only: a fourth (alpha) stays.
            region = region[..., :3]
        region[...] = 0
        region[mask > 0] = 255


# Shown as markeye.Camera and so on, not markeye._markeye.Camera.
for _name in ("Camera", "Detection", "Distortion", "Error", "Pattern", "Tracker", "plugin_options"):
    globals()[_name].__module__ = __name__
del _name

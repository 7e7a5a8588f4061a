"""Where the page's files come from: the viewer's own static files beside this
module, and the plotting library (uPlot), which `npm ci` installs from the
committed package.json and package-lock.json and which is never part of the
source tree. Its two distribution files are looked for, in order, in the
directory $KVDATAREADER_UPLOT names; in vendor/ beside this module (where
`cmake --install` and the wheel put a copy); in node_modules/uplot/dist beside
this module (`npm ci` run in this directory); and in the build trees of the
source checkout (<checkout>/build*/python/viewer/node_modules/uplot/dist, where
the build runs `npm ci`)."""

import os

VIEWER_DIR = os.path.dirname(os.path.abspath(__file__))
STATIC_DIR = os.path.join(VIEWER_DIR, "static")
UPLOT_FILES = ("uPlot.iife.min.js", "uPlot.min.css")

_TYPES = {".html": "text/html; charset=utf-8", ".js": "text/javascript; charset=utf-8",
          ".css": "text/css; charset=utf-8"}


def content_type(name):
    return _TYPES.get(os.path.splitext(name)[1], "application/octet-stream")


def uplot_candidates():
    """The directories searched for uPlot's distribution files, in order."""
    found = []
    configured = os.environ.get("KVDATAREADER_UPLOT")
    if configured:
        found.append(configured)
    found.append(os.path.join(VIEWER_DIR, "vendor"))
    found.append(os.path.join(VIEWER_DIR, "node_modules", "uplot", "dist"))
    root = os.path.dirname(os.path.dirname(os.path.dirname(VIEWER_DIR)))
    try:
        builds = sorted(d for d in os.listdir(root) if d.startswith("build"))
    except OSError:
        builds = []
    found.extend(os.path.join(root, build, "python", "viewer", "node_modules", "uplot", "dist") for build in builds)
    return found


def uplot_dir():
    """The first candidate directory holding both uPlot files, or None."""
    for directory in uplot_candidates():
        if all(os.path.isfile(os.path.join(directory, name)) for name in UPLOT_FILES):
            return directory
    return None


def load():
    """The files the server hands out, read once: request path -> (content type,
    bytes). The uPlot files are missing when no candidate holds them."""
    files = {}
    for name in sorted(os.listdir(STATIC_DIR)):
        path = os.path.join(STATIC_DIR, name)
        if os.path.isfile(path) and os.path.splitext(name)[1] in _TYPES:
            with open(path, "rb") as source:
                files["static/" + name] = (content_type(name), source.read())
    directory = uplot_dir()
    if directory is not None:
        for name in UPLOT_FILES:
            with open(os.path.join(directory, name), "rb") as source:
                files["vendor/" + name] = (content_type(name), source.read())
    return files

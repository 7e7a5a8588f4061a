"""The package's build backend: builds the pure-Python wheel and the source archive
with the standard library alone, so that `python3 -m pip install ./python` works on a
machine without a package index (an isolated build would otherwise have to fetch
setuptools). It reads the project's metadata from pyproject.toml. The wheel carries
the viewer's page and, when `npm ci` has installed it (in the viewer's directory or
a build tree), a copy of its plotting library; the source archive carries the npm
manifests instead."""

import base64
import hashlib
import io
import pathlib
import re
import tarfile
import zipfile

_ROOT = pathlib.Path(__file__).resolve().parent.parent
_PACKAGE = "kvdatareader"


def _project():
    """The [project] table of pyproject.toml (tomllib, or the few flat keys it uses)."""
    text = (_ROOT / "pyproject.toml").read_text(encoding="utf-8")
    try:
        import tomllib
        return tomllib.loads(text)["project"]
    except ImportError:  # Python before 3.11: strings, string lists, one sub-table
        project, table = {}, None
        for line in text.splitlines():
            header = re.match(r"\[(.+)\]", line.strip())
            if header:
                table = header.group(1)
                continue
            pair = re.match(r'([\w.-]+)\s*=\s*(.+)', line.strip())
            if not pair or not table or not table.startswith("project"):
                continue
            value = pair.group(2)
            value = re.findall(r'"([^"]*)"', value) if value.startswith("[") else value.strip('"')
            if table == "project":
                project[pair.group(1)] = value
            else:
                project.setdefault(table.split(".", 1)[1], {})[pair.group(1)] = value
        return project


def _metadata(project):
    lines = ["Metadata-Version: 2.1", f"Name: {project['name']}", f"Version: {project['version']}",
             f"Summary: {project.get('description', '')}",
             f"Requires-Python: {project.get('requires-python', '>=3')}"]
    lines += [f"Requires-Dist: {requirement}" for requirement in project.get("dependencies", [])]
    for extra, requirements in project.get("optional-dependencies", {}).items():
        lines.append(f"Provides-Extra: {extra}")
        lines += [f'Requires-Dist: {requirement}; extra == "{extra}"' for requirement in requirements]
    return "\n".join(lines) + "\n"


def _record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}"


def _package_files():
    """The package's files, path inside the wheel -> source path: its modules, the
    viewer's modules, page and npm manifests."""
    files = {f"{_PACKAGE}/{path.name}": path for path in sorted((_ROOT / _PACKAGE).glob("*.py"))}
    viewer = _ROOT / _PACKAGE / "viewer"
    for pattern in ("*.py", "package.json", "package-lock.json", "static/*.html", "static/*.js", "static/*.css"):
        for path in sorted(viewer.glob(pattern)):
            files[f"{_PACKAGE}/viewer/{path.relative_to(viewer).as_posix()}"] = path
    return files


def _uplot_files():
    """uPlot's distribution files and licence as `npm ci` installed them (in the
    viewer's directory or a build tree of the checkout), for the wheel's viewer/vendor;
    none when it has not run."""
    import os
    configured = os.environ.get("KVDATAREADER_UPLOT")
    candidates = [pathlib.Path(configured)] if configured else []
    candidates.append(_ROOT / _PACKAGE / "viewer" / "node_modules" / "uplot" / "dist")
    candidates += [build / "python" / "viewer" / "node_modules" / "uplot" / "dist"
                   for build in sorted(_ROOT.parent.glob("build*"))]
    for directory in candidates:
        names = ("uPlot.iife.min.js", "uPlot.min.css")
        if all((directory / name).is_file() for name in names):
            found = {f"{_PACKAGE}/viewer/vendor/{name}": directory / name for name in names}
            if (directory.parent / "LICENSE").is_file():
                found[f"{_PACKAGE}/viewer/vendor/uPlot-LICENSE"] = directory.parent / "LICENSE"
            return found
    return {}


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    project = _project()
    name, version = project["name"], project["version"]
    info = f"{name}-{version}.dist-info"
    sources = {**_package_files(), **_uplot_files()}
    files = {name: path.read_bytes() for name, path in sources.items()}
    files[f"{info}/METADATA"] = _metadata(project).encode()
    files[f"{info}/WHEEL"] = b"Wheel-Version: 1.0\nGenerator: kvbuild\nRoot-Is-Purelib: true\nTag: py3-none-any\n"
    files[f"{info}/top_level.txt"] = f"{_PACKAGE}\n".encode()
    record = [_record_line(path, data) for path, data in files.items()] + [f"{info}/RECORD,,"]
    files[f"{info}/RECORD"] = ("\n".join(record) + "\n").encode()
    wheel_name = f"{name}-{version}-py3-none-any.whl"
    with zipfile.ZipFile(pathlib.Path(wheel_directory) / wheel_name, "w", zipfile.ZIP_DEFLATED) as wheel:
        for path, data in files.items():
            wheel.writestr(path, data)
    return wheel_name


def build_sdist(sdist_directory, config_settings=None):
    project = _project()
    base = f"{project['name']}-{project['version']}"
    archive_name = f"{base}.tar.gz"
    with tarfile.open(pathlib.Path(sdist_directory) / archive_name, "w:gz") as archive:
        for path in ["pyproject.toml", "_build/kvbuild.py", *_package_files()]:
            archive.add(_ROOT / path, arcname=f"{base}/{path}")
        pkg_info = _metadata(project).encode()
        entry = tarfile.TarInfo(f"{base}/PKG-INFO")
        entry.size = len(pkg_info)
        archive.addfile(entry, io.BytesIO(pkg_info))
    return archive_name

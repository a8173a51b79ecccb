"""The build backend of the package orvy (PEP 517), from the standard library alone.

The package is pure Python: its wheel holds the files of orvy/ as they are,
with the metadata that pyproject.toml's [project] table gives and the
version of orvy.__version__. pip runs it from this directory; CMake runs
prepare_metadata_for_build_wheel() for the metadata that it installs beside
the package (Debian's python3-orvy), so both carry the same.
"""

from __future__ import annotations

import base64
import hashlib
import io
import re
import tarfile
import tomllib
import zipfile
from pathlib import Path
from typing import Any

SOURCE = Path(__file__).resolve().parent.parent
PACKAGE = "orvy"
# The [project] keys that this backend writes into the metadata; any other
# is refused rather than left out.
KNOWN_KEYS = {"name", "version", "dynamic", "description", "requires-python", "dependencies"}
# Fixed time stamps, so that a build of the same files gives the same archive.
ZIP_TIME = (1980, 1, 1, 0, 0, 0)


def _project() -> dict[str, Any]:
    with open(SOURCE / "pyproject.toml", "rb") as file:
        project: dict[str, Any] = tomllib.load(file)["project"]
    unknown = set(project) - KNOWN_KEYS
    if unknown:
        raise ValueError(f"pyproject.toml: this backend cannot write {sorted(unknown)}")
    return project


def version() -> str:
    """orvy.__version__, read from the source without importing it."""
    text = (SOURCE / PACKAGE / "__init__.py").read_text(encoding="utf-8")
    found = re.search(r'^__version__ = "([^"]+)"$', text, re.MULTILINE)
    if found is None:
        raise ValueError(f"{PACKAGE}/__init__.py has no line __version__ = \"...\"")
    return found.group(1)


def _metadata() -> str:
    project = _project()
    lines = ["Metadata-Version: 2.1", f"Name: {project['name']}", f"Version: {version()}"]
    if "description" in project:
        lines.append(f"Summary: {project['description']}")
    if "requires-python" in project:
        lines.append(f"Requires-Python: {project['requires-python']}")
    lines += [f"Requires-Dist: {requirement}" for requirement in project.get("dependencies", [])]
    return "\n".join(lines) + "\n"


def _dist_info() -> dict[str, bytes]:
    """The files of the wheel's .dist-info directory but RECORD, by name."""
    wheel = "Wheel-Version: 1.0\nGenerator: orvy_build\nRoot-Is-Purelib: true\nTag: py3-none-any\n"
    return {"METADATA": _metadata().encode(), "WHEEL": wheel.encode()}


def _dist_info_name() -> str:
    return f"{PACKAGE}-{version()}.dist-info"


def _package_files() -> dict[str, bytes]:
    """The package's files by their path in the wheel, as CMake installs them."""
    files = sorted(SOURCE.joinpath(PACKAGE).glob("*.py")) + [SOURCE / PACKAGE / "py.typed"]
    return {path.relative_to(SOURCE).as_posix(): path.read_bytes() for path in files}


def _record_line(name: str, data: bytes) -> str:
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}"


def get_requires_for_build_wheel(config_settings: Any = None) -> list[str]:
    return []


def get_requires_for_build_sdist(config_settings: Any = None) -> list[str]:
    return []


def prepare_metadata_for_build_wheel(metadata_directory: str,
                                     config_settings: Any = None) -> str:
    """Writes the .dist-info directory into ``metadata_directory``; returns its name."""
    directory = Path(metadata_directory, _dist_info_name())
    directory.mkdir(parents=True, exist_ok=True)
    for name, data in _dist_info().items():
        directory.joinpath(name).write_bytes(data)
    return directory.name


def build_wheel(wheel_directory: str, config_settings: Any = None,
                metadata_directory: str | None = None) -> str:
    """Writes orvy-VERSION-py3-none-any.whl into ``wheel_directory``; returns its name."""
    info = _dist_info_name()
    files = _package_files()
    files.update({f"{info}/{name}": data for name, data in _dist_info().items()})
    record = [_record_line(name, data) for name, data in files.items()] + [f"{info}/RECORD,,"]
    files[f"{info}/RECORD"] = ("\n".join(record) + "\n").encode()
    name = f"{PACKAGE}-{version()}-py3-none-any.whl"
    with zipfile.ZipFile(Path(wheel_directory, name), "w", zipfile.ZIP_DEFLATED) as wheel:
        for path, data in files.items():
            entry = zipfile.ZipInfo(path, ZIP_TIME)
            entry.external_attr = 0o644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(entry, data)
    return name


def build_sdist(sdist_directory: str, config_settings: Any = None) -> str:
    """Writes orvy-VERSION.tar.gz (this backend, pyproject.toml, the package)."""
    top = f"{PACKAGE}-{version()}"
    files = _package_files()
    files["pyproject.toml"] = SOURCE.joinpath("pyproject.toml").read_bytes()
    files["build_backend/orvy_build.py"] = Path(__file__).read_bytes()
    files["PKG-INFO"] = _metadata().encode()
    name = f"{top}.tar.gz"
    with tarfile.open(Path(sdist_directory, name), "w:gz", format=tarfile.PAX_FORMAT) as archive:
        for path, data in sorted(files.items()):
            entry = tarfile.TarInfo(f"{top}/{path}")
            entry.size = len(data)
            entry.mode = 0o644
            archive.addfile(entry, io.BytesIO(data))
    return name

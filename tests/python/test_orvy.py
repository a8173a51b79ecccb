"""The orvy package against the simulated printers (tests/python/CMakeLists.txt)."""

from __future__ import annotations

import errno
import json
import os
import pickle
import subprocess
import sys
import threading
import time
from collections.abc import Callable
from pathlib import Path

import pytest

import orvy

USB = "/dev/bus/usb/001/011"
LP = "/dev/usb/lp0"
SECOND_USB = "/dev/bus/usb/001/012"


def run(*command: str) -> subprocess.CompletedProcess[str]:
    return subprocess.run(command, capture_output=True, text=True, timeout=60, check=False)


def test_coded_notation_both_ways() -> None:
    assert orvy.encode('[1B 40] "Hello" // reset, then text') == b"\x1b@Hello"
    assert orvy.decode(b"\x1b@") == "[1B 40]"
    every_byte = bytes(range(256))
    assert orvy.encode(orvy.decode(every_byte)) == every_byte
    assert orvy.decode(b"") == "" and orvy.encode("") == b""
    with pytest.raises(orvy.PrinterError):
        orvy.encode("\u20ac")  # not one byte


def test_open_errors_carry_the_code_and_the_library_text() -> None:
    with pytest.raises(orvy.OpenError) as missing:
        orvy.Printer("/dev/usb/lp7")
    assert isinstance(missing.value, OSError) and isinstance(missing.value, orvy.PrinterError)
    assert missing.value.code == -1 and missing.value.errno == errno.ENOENT
    assert "/dev/usb/lp7" in str(missing.value)
    with pytest.raises(orvy.OpenError) as nothing_there:
        orvy.Printer("/dev/bus/usb/001/099")
    assert nothing_there.value.code == -2 and nothing_there.value.text


def test_every_error_pickles_with_its_attributes() -> None:
    with pytest.raises(orvy.OpenError) as missing:
        orvy.Printer("/dev/usb/lp7")
    errors: list[orvy.PrinterError] = [
        missing.value,
        orvy.OpenError(-2, USB, "no printer of the family there"),
        orvy.WriteTimeout(16384, 40000, 5.0),
        orvy.WriteTimeout(3, 9, None, cancelled=True),
        orvy.PrinterGone("gone", written=16384),
        orvy.InquiryError("status", -3, "no header"),
        orvy.LibraryError("cannot load"),
        orvy.PrinterClosedError("closed"),
    ]
    for error in errors:
        copy = pickle.loads(pickle.dumps(error))
        assert (type(copy), str(copy), copy.args) == (type(error), str(error), error.args)
        assert vars(copy) == vars(error)
        if isinstance(error, OSError):
            assert (copy.errno, copy.filename) == (error.errno, error.filename)


def test_pip_installs_the_version_of_the_toolkit_offline(tmp_path: Path) -> None:
    assert orvy.__version__ == os.environ["ORVY_VERSION"]
    source = str(Path(orvy.__file__).parent.parent)
    venv = tmp_path / "venv"
    outside = {name: value for name, value in os.environ.items() if name != "PYTHONPATH"}
    for command in ([os.environ.get("ORVY_PYTHON3", sys.executable), "-m", "venv", str(venv)],
                    [str(venv / "bin/pip"), "install", "--no-build-isolation", "--no-index",
                     source],
                    [str(venv / "bin/python"), "-c", "import importlib.metadata as m, orvy;"
                     " print(m.version('orvy'), orvy.__version__, orvy.__file__)"]):
        result = subprocess.run(command, capture_output=True, text=True, timeout=120,
                                env=outside, check=False)
        assert result.returncode == 0, result.stdout + result.stderr
    version, own_version, path = result.stdout.split()
    assert version == own_version == orvy.__version__ and path.startswith(str(venv))
    # The installed package drives the simulated printers with the build's libraries.
    listing = subprocess.run([str(venv / "bin/python"), "-m", "orvy"], capture_output=True,
                             text=True, timeout=120, env=outside, check=False)
    assert listing.returncode == 0 and "K80P1-26-004711" in listing.stdout, listing.stderr


def test_listing_is_the_programs_listing() -> None:
    listed = json.loads(run(os.environ["ORVY_LIST_PRINTERS"], "--json").stdout)
    printers = orvy.list_printers()
    assert [info.as_dict() for info in printers] == listed
    assert [info.serial for info in printers] == ["K80P1-26-004711", "K80P1-26-004712"]
    port = printers[0].port
    assert printers[0].usb_port == USB and port is not None
    assert port.startswith("/dev/orvy/by-serial/")
    # Keys that a later listing adds arrive as attributes.
    assert orvy.PrinterInfo({"serial": "X", "model": "K80P"}).model == "K80P"


def test_inquire_gives_what_the_inquiry_tool_prints() -> None:
    document = json.loads(run(os.environ["ORVY_INQUIRY_TOOL"], "-j", LP, "[3F]").stdout)
    expected = [record["fields"] for record in document["records"]]
    with orvy.Printer(USB) as printer:
        got = [printer.inquire(name) for name in orvy.record_names()]
    assert orvy.record_names() == ["status", "information", "sensor", "flash", "presenter", "life"]
    assert got == expected
    assert isinstance(got[0]["printer_status.siPrintHeadTempC"], int)


def test_two_printers_at_once_from_two_threads() -> None:
    spans: dict[str, list[tuple[float, float]]] = {}
    serials: dict[str, set[str]] = {}
    failures: list[BaseException] = []

    def inquire_often(port: str) -> None:
        try:
            with orvy.Printer(port) as printer:
                for _ in range(3):
                    start = time.monotonic()
                    info = printer.inquire("information")
                    spans.setdefault(port, []).append((start, time.monotonic()))
                    serials.setdefault(port, set()).add(str(info["printer_info.szSerialNr"]))
        except BaseException as error:  # noqa: BLE001 - reported below
            failures.append(error)

    threads = [threading.Thread(target=inquire_often, args=(port,)) for port in (USB, SECOND_USB)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(60)
    assert not failures
    assert serials == {USB: {"K80P1-26-004711"}, SECOND_USB: {"K80P1-26-004712"}}
    # Each inquiry waits at least 200 ms: with the interpreter lock released
    # during the waits, the two printers' inquiries overlap in time.
    assert any(a0 < b1 and b0 < a1 for a0, a1 in spans[USB] for b0, b1 in spans[SECOND_USB])


def test_read_returns_what_arrived_when_the_time_runs_out() -> None:
    with orvy.Printer(LP) as printer:
        printer.clear()
        start = time.monotonic()
        assert printer.read(8, timeout=0.3) == b""
        assert time.monotonic() - start >= 0.25
        assert printer.write(orvy.encode("[1D 61 01]")) == 3
        answer = printer.read(100, timeout=0.5)
        assert answer[:4] == bytes([0x1B, 0xFF, 2, 14]) and len(answer) == 4 + 14


def test_a_closed_printer_is_like_a_closed_file() -> None:
    printer = orvy.Printer(USB)
    printer.close()
    printer.close()
    assert printer.closed
    calls: list[Callable[[], object]] = [lambda: printer.write(b"x"), lambda: printer.read(1),
                                         printer.clear, lambda: printer.inquire("status")]
    for call in calls:
        with pytest.raises(ValueError):
            call()
    with orvy.Printer(LP) as printer, pytest.raises(orvy.ArgumentError):
        printer.read(1, timeout=-1)


def test_python_m_orvy_prints_each_printer_in_one_line() -> None:
    result = run(os.environ.get("ORVY_PYTHON3", sys.executable), "-m", "orvy")
    lines = result.stdout.splitlines()
    assert result.returncode == 0, result.stdout + result.stderr
    assert len(lines) == 2
    assert "K80P1-26-004711" in lines[0] and "K80P1-26-004712" in lines[1]
    assert all(" ok " in line for line in lines)


@pytest.mark.paper_out
def test_write_timeout_says_how_much_was_taken() -> None:
    with orvy.Printer(USB) as printer:
        with pytest.raises(orvy.WriteTimeout) as usb:
            printer.write(b"\0" * 64, timeout=0.2)
    assert isinstance(usb.value, TimeoutError) and usb.value.written == 0
    with orvy.Printer(LP) as printer:
        with pytest.raises(orvy.WriteTimeout) as lp:
            printer.write(b"\0" * 1_000_000, timeout=0.2)
    assert 0 <= lp.value.written < 1_000_000

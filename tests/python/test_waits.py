"""Waits that a signal or another thread ends at once, waits without a limit,
and a printer that leaves in the middle of a call."""

from __future__ import annotations

import contextlib
import errno
import math
import os
import signal
import threading
import time
from typing import Callable, Iterator

import pytest

import orvy

USB = "/dev/bus/usb/001/011"
LP = "/dev/usb/lp0"
INQUIRY = bytes([0x1D, 0x61, 0x01])  # the status record: 4 + 14 bytes back
# The "held" run: the first printer prints slowly, the second's interface is
# claimed elsewhere. The first is unplugged and plugged again there, so its
# tests open it by its stable names.
HELD_USB = "/dev/orvy/by-serial/K80P1-26-004711/usb"
HELD_LP = "/dev/orvy/by-serial/K80P1-26-004711/lp"
BUSY_USB = "/dev/bus/usb/001/012"
# More than the print buffer and the pty hold: a write of it waits for the
# printer, which takes the rest at its print rate.
JOB = b"".join(b"line %05d\n" % number for number in range(6000))
# From the signal or the other thread's call to the end of the wait.
PROMPT = 0.25


def ctrl_c() -> None:
    os.kill(os.getpid(), signal.SIGINT)


@contextlib.contextmanager
def after(delay: float, action: Callable[[], object]) -> Iterator[list[float]]:
    """Runs ``action`` on another thread after ``delay`` seconds; yields the
    list that then holds when the action started and when it returned."""
    times: list[float] = []

    def act() -> None:
        times.append(time.monotonic())
        action()
        times.append(time.monotonic())

    timer = threading.Timer(delay, act)
    timer.start()
    try:
        yield times
    finally:
        timer.cancel()
        timer.join()


def logged(tag: str) -> bytes:
    """The bytes that the transcript shows the host sent to ``tag`` ("usb", "lp")."""
    with open(os.environ["ORVY_SIM_LOG"], encoding="ascii") as log:
        return b"".join(bytes.fromhex(line[len(tag) + 3:])
                        for line in log if line.startswith(f"{tag} > "))


def wait_for(condition: Callable[[], bool], seconds: float = 10.0) -> bool:
    give_up = time.monotonic() + seconds
    while not condition() and time.monotonic() < give_up:
        time.sleep(0.05)
    return condition()


def control(command: str) -> None:
    with open(os.environ["ORVY_SIM_CONTROL"], "w", encoding="ascii") as fifo:
        fifo.write(command + "\n")


def test_ctrl_c_ends_a_long_read_and_what_arrived_stays_readable() -> None:
    for port in (USB, LP):
        with orvy.Printer(port) as printer:
            printer.clear()
            printer.write(INQUIRY)
            with after(0.5, ctrl_c) as pressed, pytest.raises(KeyboardInterrupt):
                printer.read(100, timeout=8.0)
            assert time.monotonic() - pressed[0] < PROMPT, port
            answer = printer.read(100, timeout=0)
            assert answer[:4] == bytes([0x1B, 0xFF, 2, 14]) and len(answer) == 18, port
            # No limit returns once the bytes are there, not later.
            for forever in (None, math.inf):
                printer.write(INQUIRY)
                start = time.monotonic()
                assert printer.read(18, timeout=forever) == answer
                assert time.monotonic() - start < 1.0


def test_another_thread_ends_a_pending_read() -> None:
    for port in (USB, LP):
        printer = orvy.Printer(port)
        printer.clear()
        printer.write(INQUIRY)
        with after(0.3, printer.cancel_read) as cancelled:
            answer = printer.read(100, timeout=4.0)
        assert time.monotonic() - cancelled[0] < PROMPT, port
        assert len(answer) == 18, port
        with after(0.3, printer.close) as closed, pytest.raises(orvy.PrinterClosedError):
            printer.read(10, timeout=4.0)
        assert time.monotonic() - closed[0] < PROMPT, port
        assert closed[1] - closed[0] < PROMPT and printer.closed, port


def test_time_outs_are_seconds_none_or_infinity() -> None:
    with orvy.Printer(LP) as printer:
        for bad in (-1, math.nan, "1", True, 1e300, 10**400):
            with pytest.raises(orvy.ArgumentError):
                printer.read(1, timeout=bad)  # type: ignore[arg-type]
            with pytest.raises(orvy.ArgumentError):
                printer.write(b"", timeout=bad)  # type: ignore[arg-type]


def test_a_port_held_elsewhere_is_ebusy_on_every_transport() -> None:
    for port in (USB, LP, "/dev/ttyS1"):
        with orvy.Printer(port):
            with pytest.raises(orvy.OpenError) as held:
                orvy.Printer(port)
        assert held.value.errno == errno.EBUSY, (port, held.value)


@pytest.mark.held
@pytest.mark.parametrize("stop", ["ctrl-c", "cancel_write"])
def test_a_held_write_ends_at_once_and_no_byte_is_lost_or_doubled(stop: str) -> None:
    for port, tag in ((HELD_LP, "lp"), (HELD_USB, "usb")):
        before = len(logged(tag))
        with orvy.Printer(port) as printer:
            expected: type[BaseException] = KeyboardInterrupt
            action: Callable[[], None] = ctrl_c
            if stop == "cancel_write":
                expected, action = orvy.WriteTimeout, printer.cancel_write
            with after(0.5, action) as stopped, pytest.raises(expected) as ended:
                printer.write(JOB, timeout=None)
            assert time.monotonic() - stopped[0] < PROMPT, port
            written = getattr(ended.value, "written")
            assert 0 < written < len(JOB), port
            assert printer.write(JOB[written:], timeout=30.0) == len(JOB) - written
        # The lp bytes that the pty still held reach the transcript shortly.
        assert wait_for(lambda: logged(tag)[before:] == JOB), (port, stop)


@pytest.mark.held
def test_ctrl_c_ends_an_open_that_waits_for_a_claimed_interface() -> None:
    with after(0.3, ctrl_c) as pressed, pytest.raises(KeyboardInterrupt):
        orvy.Printer(BUSY_USB)
    assert time.monotonic() - pressed[0] < PROMPT


def reopen(port: str) -> orvy.Printer:
    """The first printer again, once it is back at a new address."""
    control("plug 1")
    give_up = time.monotonic() + 10.0
    while True:
        try:
            return orvy.Printer(port)
        except orvy.OpenError:
            if time.monotonic() > give_up:
                raise
            time.sleep(0.1)


@pytest.mark.held
def test_an_unplugged_printer_is_gone_not_slow() -> None:
    before = len(logged("usb"))
    printer = orvy.Printer(HELD_USB)
    with after(0.5, lambda: control("unplug 1")), pytest.raises(orvy.PrinterGone) as gone:
        printer.write(JOB, timeout=5.0)
    printer.close()
    assert 0 < gone.value.written < len(JOB)
    assert logged("usb")[before:] == JOB[:gone.value.written]

    with reopen(HELD_USB) as printer:
        printer.write(INQUIRY)
        with after(0.5, lambda: control("unplug 1")):
            assert len(printer.read(100, timeout=None)) == 18
        with pytest.raises(orvy.PrinterGone):
            printer.read(100, timeout=None)
    reopen(HELD_USB).close()

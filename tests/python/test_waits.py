"""Waits that a signal ends at once, and waits without a limit."""

from __future__ import annotations

import contextlib
import math
import os
import signal
import threading
import time
from typing import Iterator

import pytest

import orvy

USB = "/dev/bus/usb/001/011"
LP = "/dev/usb/lp0"
BUSY_USB = "/dev/bus/usb/001/012"  # claim-busy in the "held" run
INQUIRY = bytes([0x1D, 0x61, 0x01])  # the status record: 4 + 14 bytes back
# What the issue promises, from the signal to the exception.
PROMPT = 0.25


@contextlib.contextmanager
def ctrl_c_after(delay: float) -> Iterator[list[float]]:
    """Sends this process SIGINT after ``delay`` seconds; yields when it went."""
    sent: list[float] = []

    def press() -> None:
        sent.append(time.monotonic())
        os.kill(os.getpid(), signal.SIGINT)

    timer = threading.Timer(delay, press)
    timer.start()
    try:
        yield sent
    finally:
        timer.cancel()
        timer.join()


def test_ctrl_c_ends_a_long_read_and_what_arrived_stays_readable() -> None:
    for port in (USB, LP):
        with orvy.Printer(port) as printer:
            printer.clear()
            printer.write(INQUIRY)
            with ctrl_c_after(0.5) as sent, pytest.raises(KeyboardInterrupt):
                printer.read(100, timeout=8.0)
            assert time.monotonic() - sent[0] < PROMPT, port
            answer = printer.read(100, timeout=0)
            assert answer[:4] == bytes([0x1B, 0xFF, 2, 14]) and len(answer) == 18, port
            # No limit returns once the bytes are there, not later.
            for forever in (None, math.inf):
                printer.write(INQUIRY)
                start = time.monotonic()
                assert printer.read(18, timeout=forever) == answer
                assert time.monotonic() - start < 1.0


def test_time_outs_are_seconds_none_or_infinity() -> None:
    with orvy.Printer(LP) as printer:
        for bad in (-1, math.nan, "1", True, 1e300, 10**400):
            with pytest.raises(orvy.ArgumentError):
                printer.read(1, timeout=bad)  # type: ignore[arg-type]
            with pytest.raises(orvy.ArgumentError):
                printer.write(b"", timeout=bad)  # type: ignore[arg-type]


def logged(tag: str) -> bytes:
    """The bytes that the transcript shows the host sent to ``tag`` ("usb", "lp")."""
    with open(os.environ["ORVY_SIM_LOG"], encoding="ascii") as log:
        return b"".join(bytes.fromhex(line[len(tag) + 3:])
                        for line in log if line.startswith(f"{tag} > "))


@pytest.mark.held
def test_ctrl_c_ends_a_held_write_and_no_byte_is_lost_or_doubled() -> None:
    # Far more than the print buffer and the pty hold: the printer takes the
    # rest at its print rate, so the slice that the signal ends moves bytes.
    job = b"".join(b"line %05d\n" % number for number in range(6000))
    for port, tag in ((LP, "lp"), (USB, "usb")):
        with orvy.Printer(port) as printer:
            with ctrl_c_after(0.5) as sent, pytest.raises(KeyboardInterrupt) as stop:
                printer.write(job, timeout=None)
            assert time.monotonic() - sent[0] < PROMPT, port
            written = stop.value.written  # type: ignore[attr-defined]
            assert 0 < written < len(job), port
            assert printer.write(job[written:], timeout=30.0) == len(job) - written
        # The lp bytes that the pty still held reach the transcript shortly.
        give_up = time.monotonic() + 10.0
        while logged(tag) != job and time.monotonic() < give_up:
            time.sleep(0.05)
        assert logged(tag) == job, port


@pytest.mark.held
def test_ctrl_c_ends_an_open_that_waits_for_a_claimed_interface() -> None:
    with ctrl_c_after(0.3) as sent, pytest.raises(KeyboardInterrupt):
        orvy.Printer(BUSY_USB)
    assert time.monotonic() - sent[0] < PROMPT

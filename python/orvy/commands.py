"""The Orvy printers' own commands, as bytes.

The commands that the toolkit's sample programs send, built by libOrvyTb::

    import orvy
    from orvy import commands

    with orvy.Printer(port) as printer:
        printer.write(b"TOTAL 12.50\\n" + commands.form_feed() + commands.full_cut())

==================  ========================  ==============================
function            bytes                     what the printer does
==================  ========================  ==============================
``status_inquiry``  ``1D 61 02``              answers the information record
``page_length(v)``  ``1B F1 01 03 0A hi lo``  pages of ``v`` tenths of a mm
``hard_reset``      ``1B F2 03 00``           restarts
``form_feed``       ``0C``                    feeds to the end of the page
``full_cut``        ``1B F0 06 01 02``        cuts the paper
==================  ========================  ==============================
"""

from __future__ import annotations

import ctypes
from typing import Any

from ._library import libraries
from .errors import ArgumentError

__all__ = ["form_feed", "full_cut", "hard_reset", "page_length", "status_inquiry"]

_INT_MIN = -(2**31)
_INT_MAX = 2**31 - 1


def _build(function: Any, *arguments: int) -> bytes:
    size = function(*arguments, None, 0)
    buffer = (ctypes.c_ubyte * size)()
    function(*arguments, buffer, size)
    return bytes(buffer)


def status_inquiry() -> bytes:
    """``1D 61 02``: asks for the information record (1B FF 03 6D and 109 bytes)."""
    return _build(libraries().tb.orvy_tb_command_status_inquiry)


def page_length(tenths_mm: int) -> bytes:
    """``1B F1 01 03 0A hi lo``: the page length in tenths of a millimetre.

    ``hi`` is ``tenths_mm // 255`` and ``lo`` the rest (both truncated toward
    zero, each sent as its low eight bits): ``page_length(1255)`` (125.5 mm)
    is ``1B F1 01 03 0A 04 EB``, the bytes of ``Orvy_Demo_PageLength ... 1255``.
    Lengths from 0 to 65279 are carried exactly.
    """
    if isinstance(tenths_mm, bool) or not isinstance(tenths_mm, int):
        raise ArgumentError(f"a page length is an int of tenths of a mm, not {tenths_mm!r}")
    if not _INT_MIN <= tenths_mm <= _INT_MAX:
        raise ArgumentError(f"page length {tenths_mm} is out of range")
    return _build(libraries().tb.orvy_tb_command_page_length, tenths_mm)


def hard_reset() -> bytes:
    """``1B F2 03 00``: the printer restarts."""
    return _build(libraries().tb.orvy_tb_command_hard_reset)


def form_feed() -> bytes:
    """``0C``: feeds the paper to the end of the page."""
    return _build(libraries().tb.orvy_tb_command_form_feed)


def full_cut() -> bytes:
    """``1B F0 06 01 02``: cuts the paper."""
    return _build(libraries().tb.orvy_tb_command_full_cut)

"""Printer commands in the coded notation of the toolbox, both ways."""

from __future__ import annotations

import ctypes
from ctypes import POINTER, c_ubyte, c_uint

from ._library import libraries
from .errors import ArgumentError

_MAX_SIZE = 0x7FFFFFFF


def _buffer(data: bytes) -> ctypes.Array[c_ubyte]:
    if len(data) > _MAX_SIZE:
        raise ArgumentError(f"{len(data)} bytes are more than the toolbox takes")
    return (c_ubyte * len(data)).from_buffer_copy(data)


def _take(handle: int, getter_name: str) -> bytes:
    """The raw or coded bytes of a command record; releases the record."""
    tb = libraries().tb
    if not handle:
        raise MemoryError("the toolbox could not make the command record")
    try:
        pointer = POINTER(c_ubyte)()
        size = c_uint()
        if not getattr(tb, getter_name)(handle, ctypes.byref(pointer), ctypes.byref(size)):
            return b""
        return ctypes.string_at(pointer, size.value) if size.value else b""
    finally:
        tb.orvy_tb_cmd_exit(handle)


def encode(coded: str | bytes) -> bytes:
    """The bytes that a command in coded notation stands for.

    ``[1B F0 06 01 02]`` hexadecimal pairs in brackets, ``"text"`` quoted runs,
    backslash escapes (``\\n \\r \\t \\b \\f``, ``\\x`` hex mode on, ``\\A``
    off), ``//`` comment to the end of the line; blanks and tabs are ignored.
    Text is taken as Latin-1, one byte a character::

        >>> encode('"Hello" [0A 0C] [1B F0 06 01 02]')
        b'Hello\\n\\x0c\\x1b\\xf0\\x06\\x01\\x02'
    """
    if isinstance(coded, str):
        try:
            coded = coded.encode("latin-1")
        except UnicodeEncodeError as error:
            raise ArgumentError(f"not Latin-1 text: {error}") from error
    if not coded:
        return b""
    tb = libraries().tb
    return _take(tb.orvy_tb_cmd_init_coded(_buffer(coded), len(coded)), "orvy_tb_cmd_get_raw")


def decode(data: bytes | bytearray | memoryview) -> str:
    """The canonical coded notation of raw bytes: ``"[0C]"`` for ``b"\\x0c"``.

    ``encode(decode(data)) == data`` for any bytes; ``decode(b"")`` is ``""``.
    """
    raw = bytes(data)
    if not raw:
        return ""
    tb = libraries().tb
    coded = _take(tb.orvy_tb_cmd_init_raw(_buffer(raw), len(raw)), "orvy_tb_cmd_get_coded")
    return coded.rstrip(b"\0").decode("ascii")

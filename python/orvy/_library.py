"""Loading of the toolkit's C libraries with ctypes.

The libraries are loaded on first use, in the order of their dependencies, so
that ``import orvy`` works (and ``pydoc`` reads the package) also where they
are missing. ``ORVY_LIBDIR`` names a directory to load them from; otherwise
the system loader finds the installed ones.
"""

from __future__ import annotations

import ctypes
import os
import threading
from ctypes import (
    POINTER,
    c_char_p,
    c_int,
    c_long,
    c_longlong,
    c_size_t,
    c_ubyte,
    c_uint,
    c_ulong,
    c_void_p,
)
from typing import Any, NamedTuple

from .errors import LibraryError

_SONAME_MAJOR = 1

#: The address of a command record of libOrvyTb (an intptr_t, 0 for none).
c_intptr = ctypes.c_ssize_t


class Libraries(NamedTuple):
    """The three loaded libraries, their functions' types declared."""

    tb: ctypes.CDLL
    api: ctypes.CDLL
    inquiry: ctypes.CDLL


_lock = threading.Lock()
_loaded: Libraries | None = None


def _load(name: str) -> ctypes.CDLL:
    soname = f"lib{name}.so.{_SONAME_MAJOR}"
    directory = os.environ.get("ORVY_LIBDIR")
    path = os.path.join(directory, soname) if directory else soname
    try:
        # CDLL (not PyDLL): every foreign call releases the interpreter lock,
        # so a wait on one printer never stops the other threads.
        return ctypes.CDLL(path, use_errno=True)
    except OSError as error:
        where = f"ORVY_LIBDIR={directory}" if directory else "the system's library path"
        raise LibraryError(f"cannot load {soname} from {where}: {error}") from error


def _declare(function: Any, restype: Any, *argtypes: Any) -> None:
    function.restype = restype
    function.argtypes = argtypes


def _declare_tb(tb: ctypes.CDLL) -> None:
    _declare(tb.orvy_tb_cmd_init_coded, c_intptr, POINTER(c_ubyte), c_uint)
    _declare(tb.orvy_tb_cmd_init_raw, c_intptr, POINTER(c_ubyte), c_uint)
    _declare(tb.orvy_tb_cmd_get_raw, c_int, c_intptr, POINTER(POINTER(c_ubyte)), POINTER(c_uint))
    _declare(tb.orvy_tb_cmd_get_coded, c_int, c_intptr, POINTER(POINTER(c_ubyte)), POINTER(c_uint))
    _declare(tb.orvy_tb_cmd_exit, None, c_intptr)
    buffer = POINTER(c_ubyte)
    for name in ("status_inquiry", "hard_reset", "form_feed", "full_cut"):
        _declare(getattr(tb, f"orvy_tb_command_{name}"), c_size_t, buffer, c_size_t)
    _declare(tb.orvy_tb_command_page_length, c_size_t, c_int, buffer, c_size_t)


def _declare_api(api: ctypes.CDLL) -> None:
    _declare(api.orvy_api_conn_open, c_int, c_char_p, POINTER(c_void_p))
    _declare(api.orvy_api_conn_write, c_long, c_void_p, c_void_p, c_size_t, c_ulong)
    _declare(api.orvy_api_conn_read, c_long, c_void_p, c_void_p, c_size_t, c_ulong)
    _declare(api.orvy_api_conn_clear, c_int, c_void_p)
    _declare(api.orvy_api_conn_close, None, c_void_p)
    _declare(api.orvy_api_strerror, c_char_p, c_int)


def _declare_inquiry(inquiry: ctypes.CDLL) -> None:
    record = c_void_p
    _declare(inquiry.orvy_inquiry_strerror, c_char_p, c_int)
    _declare(inquiry.orvy_inquiry_record_named, record, c_char_p)
    _declare(inquiry.orvy_inquiry_record_at, record, c_size_t)
    _declare(inquiry.orvy_inquiry_record_count, c_size_t)
    _declare(inquiry.orvy_inquiry_record_short_name, c_char_p, record)
    _declare(inquiry.orvy_inquiry_record_name, c_char_p, record)
    _declare(inquiry.orvy_inquiry_record_size, c_size_t, record)
    _declare(inquiry.orvy_inquiry_record_mask, c_uint, record)
    _declare(inquiry.orvy_inquiry_check_header, c_int, record, c_char_p)
    # Strings the library allocates come back as addresses, so that they can
    # be handed back to orvy_inquiry_free after copying.
    _declare(inquiry.orvy_inquiry_fields_json, c_void_p, record, c_void_p, c_size_t)
    _declare(inquiry.orvy_inquiry_list_printers_json, c_void_p)
    _declare(inquiry.orvy_inquiry_free, None, c_void_p)
    _declare(inquiry.orvy_inquiry_field_number, c_int, record, c_size_t, c_void_p, c_size_t,
             POINTER(c_longlong))


def libraries() -> Libraries:
    """The libraries, loaded and declared on the first call."""
    global _loaded
    with _lock:
        if _loaded is None:
            # Dependencies first: a library loaded later finds them by soname.
            tb = _load("OrvyTb")
            api = _load("OrvyApi")
            inquiry = _load("OrvyInquiry")
            try:
                _declare_tb(tb)
                _declare_api(api)
                _declare_inquiry(inquiry)
            except AttributeError as error:
                raise LibraryError(f"the loaded libraries are too old: {error}") from error
            _loaded = Libraries(tb, api, inquiry)
        return _loaded


def take_string(address: int | None) -> str | None:
    """Copies a string that libOrvyInquiry allocated, then frees it."""
    if not address:
        return None
    try:
        return ctypes.string_at(address).decode("utf-8", "surrogateescape")
    finally:
        libraries().inquiry.orvy_inquiry_free(address)

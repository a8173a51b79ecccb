"""Waits in short slices, so that signals and other threads can end them.

A library call waits without looking at the interpreter: Python runs signal
handlers only once the call has returned. So no call here waits longer than
``SLICE_SECONDS``; a long wait is a loop of such calls, and a handler that
raises (Ctrl-C's ``KeyboardInterrupt``, a SIGTERM handler's ``SystemExit``)
ends it within one slice.
"""

from __future__ import annotations

import math
import numbers
import time
from typing import Any, Callable, Optional

from .errors import ArgumentError

#: The longest that one library call here waits.
SLICE_SECONDS = 0.1

#: The longest finite time-out, as the library counts them: 2**32 - 1 ms.
MAX_TIMEOUT = (2**32 - 1) / 1000

#: A point on the monotonic clock, or ``None`` for no end.
Deadline = Optional[float]


def deadline(timeout: float | None) -> Deadline:
    """When a wait of ``timeout`` seconds ends; ``None`` waits without limit.

    Infinity is ``None``. Negative, NaN, a non-number and more than
    ``MAX_TIMEOUT`` raise :class:`ArgumentError`.
    """
    if timeout is None:
        return None
    if isinstance(timeout, bool) or not isinstance(timeout, numbers.Real):
        raise ArgumentError(f"a time-out is a number of seconds or None, not {timeout!r}")
    try:
        seconds = float(timeout)
    except OverflowError:
        seconds = math.nan if timeout < 0 else MAX_TIMEOUT * 2
    if math.isnan(seconds) or seconds < 0:
        raise ArgumentError(f"a time-out is 0 seconds or more, not {timeout!r}")
    if math.isinf(seconds):
        return None
    if seconds > MAX_TIMEOUT:
        raise ArgumentError(
            f"a time-out of {timeout!r} s is longer than the library's longest, {MAX_TIMEOUT} s"
            " (about 49.7 days); None waits without a limit")
    return time.monotonic() + seconds


def slice_ms(end: Deadline) -> int | None:
    """The milliseconds of the next slice of a wait that ends at ``end``:
    ``None`` when that time has come (0 is a call that does not wait)."""
    if end is None:
        return int(SLICE_SECONDS * 1000)
    left = end - time.monotonic()
    if left < 0:
        return None
    return math.ceil(min(left, SLICE_SECONDS) * 1000)


def moved(results: list[int]) -> int:
    """The bytes that the slices of ``results`` moved (a code counts none)."""
    return sum(count for count in results if count > 0)


def step(function: Callable[..., int], results: list[int], *arguments: Any) -> int:
    """Calls ``function(*arguments)`` and appends its result to ``results``.

    The call runs inside ``list.extend``, so its result is in ``results``
    before the interpreter looks for signals again: a handler that raises
    right after the call returns cannot lose the count of bytes it moved.
    (``count = function(...)`` could: the interpreter runs pending handlers
    between the call's return and the assignment.)
    """
    results.extend(map(function, *([argument] for argument in arguments)))
    return results[-1]

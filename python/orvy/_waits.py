"""Waits in short slices, so that signals and other threads can end them.

A library call waits without looking at the interpreter: Python runs signal
handlers only once the call has returned. So no call here waits longer than
``SLICE_SECONDS``; a long wait is a loop of such calls, and a handler that
raises (Ctrl-C's ``KeyboardInterrupt``, a SIGTERM handler's ``SystemExit``)
ends it within one slice.
"""

from __future__ import annotations

import math
import time
from typing import Any, Callable, Optional

from .errors import ArgumentError

#: The longest that one library call here waits.
SLICE_SECONDS = 0.1

#: A point on the monotonic clock, or ``None`` for no end.
Deadline = Optional[float]


def deadline(timeout: float | None) -> Deadline:
    """When a wait of ``timeout`` seconds ends; ``None`` waits without limit."""
    if timeout is None:
        return None
    if not isinstance(timeout, (int, float)) or math.isnan(timeout) or timeout < 0:
        raise ArgumentError(
            f"a time-out is a number of seconds, 0 or more, or None, not {timeout!r}")
    return time.monotonic() + timeout


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

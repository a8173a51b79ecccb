"""orvy.commands: the printer's own commands, from libOrvyTb."""

from __future__ import annotations

import pytest

import orvy
from orvy import commands


def test_commands_are_the_bytes_the_samples_send() -> None:
    assert commands.status_inquiry() == bytes.fromhex("1D 61 02")
    assert commands.hard_reset() == bytes.fromhex("1B F2 03 00")
    assert commands.form_feed() == b"\x0c"
    assert commands.full_cut() == bytes.fromhex("1B F0 06 01 02")
    assert commands.page_length(1255) == bytes.fromhex("1B F1 01 03 0A 04 EB")
    assert commands.page_length(-1) == bytes.fromhex("1B F1 01 03 0A 00 FF")


@pytest.mark.parametrize("value", [1.5, "1255", True, None, 2**31])
def test_a_page_length_is_an_int(value: object) -> None:
    with pytest.raises(orvy.ArgumentError):
        commands.page_length(value)  # type: ignore[arg-type]

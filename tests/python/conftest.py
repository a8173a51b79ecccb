"""Runs inside Orvy_Simulator: the simulated printers are the machine's."""

import pytest


def pytest_configure(config: pytest.Config) -> None:
    config.addinivalue_line("markers", "paper_out: needs Orvy_Simulator --paper-out")
    config.addinivalue_line(
        "markers", "held: needs the simulator shape of the python.held run (CMakeLists.txt)")

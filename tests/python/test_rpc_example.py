"""The README's example runs as it is and prints the results of its calls."""

from __future__ import annotations

import pathlib
import subprocess
import sys

EXAMPLE = pathlib.Path(__file__).resolve().parents[2] / "examples" / "calculator.py"


def test_example_runs_and_prints_results():
    done = subprocess.run([sys.executable, str(EXAMPLE)], capture_output=True, text=True,
                          timeout=60)
    assert done.returncode == 0, done.stderr
    lines = done.stdout.splitlines()
    assert lines[0].startswith("serving on port ")
    assert "add(1.5, 2.25) = 3.75" in lines
    assert any(line.endswith("[ 0.   2.5  5.   7.5 10. ]") for line in lines)
    assert "divide(1, 0) failed: remote exception: division by zero" in lines

import pathlib
import sys

# The soak tests reuse the fixtures and the test interfaces of the normal suite.
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "python"))

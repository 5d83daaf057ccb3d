"""Schema-driven Cap'n Proto RPC for asyncio programs."""

from . import _comms
from ._comms import errors

__version__ = "4.3.0"

__all__ = [
    "errors",
    "__version__",
]

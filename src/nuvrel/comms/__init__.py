"""Schema-driven Cap'n Proto RPC for asyncio programs."""

from . import _comms
from ._comms import DestinationParams, errors

__version__ = "4.3.0"

__all__ = [
    "DestinationParams",
    "errors",
    "__version__",
]

"""Schema-driven Cap'n Proto RPC for asyncio programs."""

from . import _comms
from ._comms import (
    DestinationParams,
    errors,
)

from . import compiler

__version__ = "4.3.0"

__all__ = [
    "DestinationParams",
    "compiler",
    "errors",
    "__version__",
]

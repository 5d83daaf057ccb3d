"""Schema-driven Cap'n Proto RPC for asyncio programs."""

from . import _comms
from ._comms import (
    DestinationParams,
    LogSeverity,
    errors,
    init_logs,
)

from . import compiler

__version__ = "4.3.0"

__all__ = [
    "DestinationParams",
    "LogSeverity",
    "compiler",
    "errors",
    "init_logs",
    "__version__",
]

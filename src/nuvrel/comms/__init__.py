"""Schema-driven Cap'n Proto RPC for asyncio programs."""

from . import _comms
from ._comms import LogSeverity, errors, init_logs

__version__ = "4.3.0"

__all__ = [
    "LogSeverity",
    "errors",
    "init_logs",
    "__version__",
]

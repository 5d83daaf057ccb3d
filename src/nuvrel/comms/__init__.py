"""Schema-driven Cap'n Proto RPC for asyncio programs."""

from . import _comms
from ._comms import (
    DestinationParams,
    DynamicEnum,
    DynamicList,
    DynamicListBuffer,
    DynamicStruct,
    InterfaceSchema,
    LogSeverity,
    SchemaLoader,
    errors,
    init_logs,
    serialize,
    unwrap,
)

from . import compiler

__version__ = "4.3.0"

__all__ = [
    "DestinationParams",
    "DynamicEnum",
    "DynamicList",
    "DynamicListBuffer",
    "DynamicStruct",
    "InterfaceSchema",
    "LogSeverity",
    "SchemaLoader",
    "compiler",
    "errors",
    "init_logs",
    "serialize",
    "unwrap",
    "__version__",
]

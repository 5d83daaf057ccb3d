"""Schema-driven Cap'n Proto RPC for asyncio programs."""

from . import _comms
from ._comms import (
    Callback,
    DestinationParams,
    DynamicClient,
    DynamicEnum,
    DynamicList,
    DynamicListBuffer,
    DynamicServer,
    DynamicStruct,
    Fulfiller,
    InterfaceSchema,
    LogSeverity,
    SchemaLoader,
    errors,
    init_logs,
    serialize,
    unwrap,
)

from . import compiler
from .context import CapnpContext
from . import server

__version__ = "4.3.0"

__all__ = [
    "Callback",
    "CapnpContext",
    "DestinationParams",
    "DynamicClient",
    "DynamicEnum",
    "DynamicList",
    "DynamicListBuffer",
    "DynamicServer",
    "DynamicStruct",
    "Fulfiller",
    "InterfaceSchema",
    "LogSeverity",
    "SchemaLoader",
    "compiler",
    "errors",
    "init_logs",
    "serialize",
    "server",
    "unwrap",
    "__version__",
]

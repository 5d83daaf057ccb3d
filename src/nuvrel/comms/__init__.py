"""Schema-driven Cap'n Proto RPC for asyncio programs."""

from . import _comms
from ._comms import (
    DynamicEnum,
    DynamicList,
    DynamicListBuffer,
    DynamicStruct,
    InterfaceSchema,
    SchemaLoader,
    errors,
    serialize,
    unwrap,
)

__version__ = "4.3.0"

__all__ = [
    "DynamicEnum",
    "DynamicList",
    "DynamicListBuffer",
    "DynamicStruct",
    "InterfaceSchema",
    "SchemaLoader",
    "errors",
    "serialize",
    "unwrap",
    "__version__",
]

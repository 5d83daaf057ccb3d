#include "compiler/stub_generator.h"

namespace nuvrel::python::detail {

// Kept verbatim: generated modules are compared byte for byte.
const char* const kPythonModuleTemplate = R"~(# ruff: noqa: E501, N815, D101, D102, N802
"""Python schema for {capnpFile}.

This file is generated and contains a Cap'n Proto schema in packed binary format;
specifically a serialized reflection_capnp.CapSchema message with the typeId field
not set.

The schema has been compiled from the file {capnpFile}.

This file contains the following schema nodes:
{nodesListing}
"""

from __future__ import annotations

import builtins
import typing as t
import warnings

import nuvrel.comms
from nuvrel.comms.server import CapnpServer
from packaging.version import Version

_GENERATED_WITH = Version("{nuvrelCommsVersion}")


def _check_version_compatibility() -> None:
    runtime_version = Version(nuvrel.comms.__version__)
    if runtime_version.major != _GENERATED_WITH.major:
        warnings.warn(
            f"You are using nuvrel.comms version {{runtime_version}}, but the schema in '{{__name__}}' was "
            f"generated using version {{_GENERATED_WITH}}. It is recommended to regenerate "
            "this file using the 'compile' command.",
            stacklevel=3,
        )


_check_version_compatibility()

_CAPNP_BINARY_SCHEMA = b"{binarySchema}"

_SCHEMA_LOADER = None


def get_schema_loader() -> nuvrel.comms.SchemaLoader:
    """Get the schema loader for the VKR schema.

    The schema is cached since it is expensive to load and there is no need to
    load it multiple times.

    Returns:
        The schema loader for the VKR schema.
    """
    global _SCHEMA_LOADER  # noqa: PLW0603
    if _SCHEMA_LOADER is None:
        _SCHEMA_LOADER = nuvrel.comms.SchemaLoader(
            _CAPNP_BINARY_SCHEMA, version=str(_GENERATED_WITH)  # type: ignore[arg-type]
        )
    return _SCHEMA_LOADER


# The following structs are generated for all structs and enums in the schema above.
# They all derive from nuvrel.comms.DynamicStruct and have no additional logic on their
# own. They mainly serve two use cases:
#
# 1. Provide a typed interface to the schema and detect breaking changes more easily.
#    Since nuvrel.comms is schema agnostic the return types are always DynamicStructs.
#    As a user one can cast the return values to the generated structs to get a typed
#    interface.
#    Example:
#       `result = t.cast(schema.GetValueResults, await client.getValues(...))`
#
#  2. Provide a typed interface for creating new messages.
#     A DynamicStruct can be created by providing a schema loader and the capnp id.
#     The generated structs provide a more convenient way to create new messages.
#     Example:
#       `msg = schema.GetValueParams()`
#     Note that the additional kwargs are passed to the constructor of the DynamicStruct
#     and can be used to set initial values.
#
#  IMPORTANT: There is no additional logic in the generated structs. They are just a
#  typed interface to the schema. All logic is implemented in the DynamicStruct class.
#
#  IMPORTANT: There are quite some differences between how python and capnp handle things.
#  One of them is that capnp struct can have unions. The generator does not support unions
#  and will generate a struct for each union branch. This is not ideal but should be fine.
#
#  For more information see the documentation of nuvrel.comms.DynamicStruct.

{stubs})~";

}  // namespace nuvrel::python::detail

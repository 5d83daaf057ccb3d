"""Schema blobs for the tests, produced without the module under test.

The Cap'n Proto compiler (`capnp compile -o-`) turns a test schema into a
CodeGeneratorRequest; pycapnp copies its nodes into a reflection `CapSchema`
message, packs it and base64-encodes it: the format `SchemaLoader` accepts.

Run as a script to print the blob of a schema file:
    python tests/python/schema_blobs.py tests/python/data/values_test.capnp
"""

from __future__ import annotations

import base64
import functools
import pathlib
import subprocess
import sys

import capnp

REPO = pathlib.Path(__file__).resolve().parents[2]
IMPORT_DIR = REPO / "src" / "native"
REFLECTION_CAPNP = IMPORT_DIR / "protocol" / "schemas" / "reflection" / "reflection.capnp"
DATA_DIR = pathlib.Path(__file__).resolve().parent / "data"
# pycapnp ships /capnp/*.capnp inside its package directory.
PYCAPNP_IMPORT_DIR = pathlib.Path(capnp.__file__).resolve().parent.parent

capnp.remove_import_hook()

# A parser of our own: pycapnp's global one may hold the same standard files
# loaded from another path by other tests, and two files with one id make
# pycapnp abort the process instead of raising.
_PARSER = capnp.SchemaParser()


@functools.lru_cache(maxsize=None)
def _schema_capnp():
    return _PARSER.load(str(PYCAPNP_IMPORT_DIR / "capnp" / "schema.capnp"),
                      imports=[str(PYCAPNP_IMPORT_DIR)])


@functools.lru_cache(maxsize=None)
def reflection_capnp():
    return _PARSER.load(str(REFLECTION_CAPNP), imports=[str(IMPORT_DIR), str(PYCAPNP_IMPORT_DIR)])


@functools.lru_cache(maxsize=None)
def load_test_schema(path: str):
    """The schema module as pycapnp sees it (an independent peer)."""
    return _PARSER.load(path, imports=[str(IMPORT_DIR), str(PYCAPNP_IMPORT_DIR)])


def code_generator_request(path: str | pathlib.Path) -> bytes:
    return subprocess.run(
        ["capnp", "compile", "-o-", f"-I{IMPORT_DIR}", str(path)],
        check=True,
        capture_output=True,
        timeout=30,
    ).stdout


def packed_cap_schema(path: str | pathlib.Path, *, include_files: bool = False,
                      type_id: int = 0) -> bytes:
    """A packed CapSchema message holding the nodes of `path` and its imports."""
    data = code_generator_request(path)
    with _schema_capnp().CodeGeneratorRequest.from_bytes(data) as request:
        nodes = [node for node in request.nodes if include_files or node.which() != "file"]
        message = reflection_capnp().CapSchema.new_message()
        message.typeId = type_id
        target = message.init("theSchema", len(nodes))
        for i, node in enumerate(nodes):
            target[i] = node
        return message.to_bytes_packed()


def schema_blob(path: str | pathlib.Path, **options) -> str:
    return base64.b64encode(packed_cap_schema(path, **options)).decode("ascii")


def node_ids(path: str | pathlib.Path) -> dict[str, int]:
    """Display name -> id of every node of the request."""
    data = code_generator_request(path)
    with _schema_capnp().CodeGeneratorRequest.from_bytes(data) as request:
        return {node.displayName: node.id for node in request.nodes}


if __name__ == "__main__":
    print(schema_blob(sys.argv[1]))

"""Loading the test interfaces with pycapnp, inside a peer process."""

from __future__ import annotations

import pathlib

import capnp

HERE = pathlib.Path(__file__).resolve().parent
DATA = HERE.parent / "data"
SRC_NATIVE = HERE.parents[2] / "src" / "native"
PYCAPNP_IMPORT_DIR = pathlib.Path(capnp.__file__).resolve().parent.parent

capnp.remove_import_hook()


def load():
    return capnp.load(str(DATA / "rpc_test.capnp"), imports=[str(SRC_NATIVE), str(PYCAPNP_IMPORT_DIR)])

"""Feeds random nested Python values to the Python-to-Cap'n Proto converter
(DynamicStruct construction and serialize.to_packed_capnp) of the probe
schemas, for a bounded time. Each attempt must either convert (and then read
back) or raise an ordinary Python exception; a crash or a sanitizer report
ends the process. Under the instrumented module:

    scripts/sanitize python --co -q >/dev/null   # builds the staged module once
    PYTHONPATH=build/asan/stage LD_PRELOAD=$(gcc -print-file-name=libasan.so) \\
      ASAN_OPTIONS=detect_leaks=0 build/asan/venv/bin/python fuzz/python_converter.py

    python fuzz/python_converter.py [--seconds 600] [--seed N]
"""

from __future__ import annotations

import argparse
import math
import pathlib
import random
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "python"))

import numpy as np  # noqa: E402

import schema_blobs  # noqa: E402
from nuvrel.comms import _comms  # noqa: E402

VALUES = schema_blobs.DATA_DIR / "values_test.capnp"
FIELDS = ["v", "b", "i8", "i16", "i32", "i64", "u8", "u16", "u32", "u64", "f32", "f64", "text",
          "data", "color", "inner", "c", "boolList", "i8List", "i32List", "u64List", "f32List",
          "f64List", "complexList", "textList", "dataList", "colorList", "innerList", "nested",
          "any", "grp", "none", "num", "word", "sub", "cap", "keys", "voidList", "value",
          "child", "children", "gx", "gy", "re", "im", "x", "name", "nope"]
INTS = [0, 1, -1, 127, 128, -129, 255, 256, 2**15, 2**31 - 1, 2**31, -2**31 - 1, 2**32,
        2**63 - 1, 2**63, 2**64, -2**64, 10**30]
FLOATS = [0.0, -0.0, 1.5, math.inf, -math.inf, math.nan, 1e308, 1e-308, 3.4e38 * 10]


def value(rng: random.Random, depth: int):
    kind = rng.randrange(16 if depth < 6 else 9)
    if kind == 0:
        return None
    if kind == 1:
        return rng.choice([True, False])
    if kind == 2:
        return rng.choice(INTS)
    if kind == 3:
        return rng.choice(FLOATS)
    if kind == 4:
        return rng.choice(["", "red", "green", "blue", "x" * rng.randrange(300), "\udcff", "\0"])
    if kind == 5:
        return bytes(rng.randrange(256) for _ in range(rng.randrange(40)))
    if kind == 6:
        dtype = rng.choice(["f8", "f4", "i4", "i8", "u1", "?", "c16", "O", "U3"])
        shape = rng.choice([(0,), (3,), (2, 2), (1, 0, 2)])
        try:
            return np.zeros(shape, dtype=dtype)
        except TypeError:
            return np.zeros(3)
    if kind == 7:
        return complex(rng.choice(FLOATS), rng.choice(FLOATS))
    if kind == 8:
        return rng.choice([object(), 1j, range(3), memoryview(b"ab"), np.float64(2.5), np.int64(-3)])
    if kind <= 11:
        return [value(rng, depth + 1) for _ in range(rng.randrange(5))]
    if kind == 12:
        return tuple(value(rng, depth + 1) for _ in range(rng.randrange(4)))
    return {rng.choice(FIELDS) if rng.random() < 0.9 else rng.choice([1, None, b"k"]): value(rng, depth + 1)
            for _ in range(rng.randrange(6))}


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=float, default=600)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    args = parser.parse_args()
    rng = random.Random(args.seed)
    loader = _comms.SchemaLoader(schema_blobs.schema_blob(VALUES), "4.3.0")
    ids = {name.split(":", 1)[1]: node_id
           for name, node_id in schema_blobs.node_ids(VALUES).items() if ":" in name}
    targets = [ids[n] for n in ("AllTypes", "Tree", "Lists", "Inner", "Plain")]
    end = time.monotonic() + args.seconds
    attempts = converted = 0
    while time.monotonic() < end:
        fields = value(rng, 0)
        if not isinstance(fields, dict):
            fields = {rng.choice(FIELDS): fields}
        fields = {k: v for k, v in fields.items() if isinstance(k, str)}
        struct_id = rng.choice(targets)
        attempts += 1
        try:
            struct = _comms.DynamicStruct(loader, struct_id, **fields)
            repr(struct)
            packed = _comms.serialize.to_packed_capnp(fields, loader, struct_id)
            _comms.serialize.to_json(packed, loader, struct_id)
            converted += 1
        except (Exception, RecursionError):
            pass
    print(f"python_converter: seed {args.seed}, {attempts} inputs, {converted} converted, no crash")
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""Bulk copies of numeric lists, in and out of Cap'n Proto messages.

Sends a numpy float64 array of 1,000,000 elements into a List(Float64) field
and reads a received list back through its buffer view. For each path it
prints the best wall time of a few runs and the peak of Python-heap memory
traced during one run (tracemalloc): the bulk paths allocate no Python object
per element, so their peak stays near zero, while the element-by-element path
(an array whose format the buffer table does not list, here big-endian
doubles) needs one Python float per element.

    python bench/bench_values_bulk.py [count]
"""

from __future__ import annotations

import pathlib
import sys
import time
import tracemalloc

import numpy as np

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tests" / "python"))

import schema_blobs  # noqa: E402
from nuvrel.comms import _comms  # noqa: E402

VALUES = schema_blobs.DATA_DIR / "values_test.capnp"


def measure(label, action, runs=5):
    best = float("inf")
    for _ in range(runs):
        start = time.perf_counter()
        action()
        best = min(best, time.perf_counter() - start)
    tracemalloc.start()
    action()
    _, peak = tracemalloc.get_traced_memory()
    tracemalloc.stop()
    print(f"{label:55s} {best * 1e3:9.2f} ms   peak Python heap {peak / 1024:10.1f} KiB")
    return best, peak


def main(count: int) -> None:
    loader = _comms.SchemaLoader(schema_blobs.schema_blob(VALUES), "4.3.0")
    ids = {name.split(":", 1)[1]: node_id
           for name, node_id in schema_blobs.node_ids(VALUES).items() if ":" in name}
    values = np.random.default_rng(1).random(count)
    big_endian = values.astype(">f8")
    struct = _comms.DynamicStruct(loader, ids["AllTypes"])

    print(f"{count} float64 elements")

    def send_bulk():
        struct.f64List = values

    def send_elements():
        struct.f64List = big_endian

    bulk_time, bulk_peak = measure("send numpy float64 (buffer, bulk copy)", send_bulk)
    element_time, element_peak = measure("send numpy >f8 (not in the table: per element)",
                                         send_elements, runs=2)

    # A fresh message: every assignment above left its old list behind in
    # `struct`'s message (Cap'n Proto does not reuse message space).
    packed = _comms.DynamicStruct(loader, ids["AllTypes"], f64List=values).to_packed_capnp()
    received = _comms.serialize.from_packed_capnp(packed, loader, ids["AllTypes"])
    buffer_list = received.f64List

    def read_view():
        array = np.asarray(buffer_list)
        assert array.shape == (count,)

    view_time, view_peak = measure("receive: np.asarray(list) (zero-copy view)", read_view)
    array = np.asarray(buffer_list)
    shared = np.shares_memory(array, np.asarray(memoryview(buffer_list)))
    print(f"view shares the message memory: {shared}; writeable: {array.flags.writeable}; "
          f"equal to the sent data: {np.array_equal(array, values)}")
    print(f"bulk send is {element_time / bulk_time:.0f}x faster than the element path and its "
          f"peak Python heap is {bulk_peak} bytes against {element_peak} bytes")


if __name__ == "__main__":
    main(int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000)

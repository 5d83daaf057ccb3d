"""What the benchmark processes share: paths, the workloads and statistics."""

from __future__ import annotations

import asyncio
import importlib.util
import pathlib
import statistics
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent
REPO = HERE.parent
SRC_NATIVE = REPO / "src" / "native"
SCHEMA = HERE / "bench.capnp"


def load_generated(folder: str):
    """The module our compiler generated from bench.capnp into `folder`."""
    path = pathlib.Path(folder) / "bench_schema.py"
    spec = importlib.util.spec_from_file_location("bench_schema", path)
    module = importlib.util.module_from_spec(spec)
    sys.modules["bench_schema"] = module
    spec.loader.exec_module(module)
    return module


def load_pycapnp():
    """bench.capnp as pycapnp sees it, through a parser of its own."""
    import capnp

    capnp.remove_import_hook()
    pycapnp_dir = pathlib.Path(capnp.__file__).resolve().parent.parent
    return capnp.SchemaParser().load(str(SCHEMA), imports=[str(SRC_NATIVE), str(pycapnp_dir)])


def points(count: int) -> list[dict]:
    return [{"x": i * 0.5, "y": -i * 0.25, "id": i, "flag": bool(i & 1)} for i in range(count)]


def records(count: int) -> list[dict]:
    return [{"name": f"record-{i}", "id": i, "value": i * 1.5, "flag": bool(i & 1),
             "point": {"x": float(i), "y": 2.0 * i, "id": -i, "flag": not (i & 1)}}
            for i in range(count)]


def percentile(sorted_values: list[float], fraction: float) -> float:
    index = min(len(sorted_values) - 1, max(0, round(fraction * (len(sorted_values) - 1))))
    return sorted_values[index]


def latency_summary(latencies: list[float], elapsed: float) -> dict:
    ordered = sorted(latencies)
    return {"rate": len(latencies) / elapsed,
            "p50_us": percentile(ordered, 0.50) * 1e6,
            "p99_us": percentile(ordered, 0.99) * 1e6}


def median(values: list[float]) -> float:
    return statistics.median(values)


# Small-call workloads: both peers' clients expose `add(a, b)` alike.
async def sequential(client, count: int) -> dict:
    latencies = []
    start = time.perf_counter()
    for i in range(count):
        t0 = time.perf_counter()
        result = await client.add(a=i, b=1)
        latencies.append(time.perf_counter() - t0)
        assert result.sum == i + 1
    return latency_summary(latencies, time.perf_counter() - start)


async def in_flight(client, depth: int) -> dict:
    total = max(depth * 10, 10_000)
    start = time.perf_counter()
    done = 0
    while done < total:
        results = await asyncio.gather(*(client.add(a=i, b=1) for i in range(depth)))
        assert results[-1].sum == depth
        done += depth
    return {"rate": done / (time.perf_counter() - start)}

"""A Calculator served by nuvrel.comms in its own process, so that a test can
kill it. Prints the listening port, then serves for at most 60 s.

    python nuvrel_server.py GENERATED_SCHEMA_MODULE.py
"""

from __future__ import annotations

import asyncio
import importlib.util
import sys

from nuvrel.comms import CapnpContext


def load_schema(path: str):
    spec = importlib.util.spec_from_file_location("rpc_test_schema", path)
    module = importlib.util.module_from_spec(spec)
    sys.modules["rpc_test_schema"] = module
    spec.loader.exec_module(module)
    return module


async def main(schema_path: str) -> None:
    schema = load_schema(schema_path)

    class Calculator(schema.CalculatorServer):
        async def add(self, a, b):
            return {"sum": a + b}

        async def sleep(self, ms):
            await asyncio.sleep(ms / 1000)

    async with CapnpContext() as ctx:
        server = await ctx.listen("127.0.0.1", 0, Calculator())
        print(server.port, flush=True)
        await asyncio.sleep(60)


if __name__ == "__main__":
    asyncio.run(main(sys.argv[1]))

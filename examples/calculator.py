"""Serve a Cap'n Proto interface and call it, both on loopback.

Run from the repository root after scripts/bootstrap:

    python examples/calculator.py

The server is a CapnpServer subclass of the generated CalculatorServer stub;
the client connects without a schema and fetches it from the server through
the reflection interface.
"""

from __future__ import annotations

import asyncio
import pathlib
import sys

import numpy as np

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))

import calculator_schema  # noqa: E402  (generated from calculator.capnp)
from nuvrel.comms import CapnpContext, errors  # noqa: E402


class Calculator(calculator_schema.CalculatorServer):
    async def add(self, a: float, b: float) -> dict:
        return {"sum": a + b}

    async def scale(self, values, factor: float) -> dict:
        # `values` is a read-only buffer over the request: numpy reads it
        # without copying; the result goes back as one bulk copy.
        return {"values": np.asarray(values) * factor}

    async def divide(self, a: float, b: float) -> dict:
        if b == 0:
            raise ValueError("division by zero")
        return {"quotient": a / b}


async def main() -> None:
    async with CapnpContext() as ctx:
        server = await ctx.listen("127.0.0.1", 0, Calculator())
        print(f"serving on port {server.port}")

        client = await asyncio.wait_for(ctx.connect("127.0.0.1", server.port), 10)
        print("methods:", sorted(dir(client)))

        result = await client.add(a=1.5, b=2.25)
        print("add(1.5, 2.25) =", result.sum)

        values = np.linspace(0.0, 1.0, 5)
        result = await client.scale(values=values, factor=10.0)
        print("scale(", values, ", 10) =", np.asarray(result.values))

        try:
            await client.divide(a=1.0, b=0.0)
        except errors.BadRequestError as error:
            print("divide(1, 0) failed:", error)

        client.close()
        server.close()


if __name__ == "__main__":
    asyncio.run(main())

"""Command line of the schema compiler, mirroring `compiler.compile`."""

from __future__ import annotations

import argparse
import sys
from collections.abc import Sequence

from .. import _comms


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="python -m nuvrel.comms.compiler",
        description="Compile a .capnp file into a typed Python module (<name>_schema.py) "
        "that embeds the compiled schema.",
    )
    parser.add_argument("src", nargs="+", help="the .capnp file to compile (only one at the moment)")
    parser.add_argument(
        "--src-prefix",
        default="",
        help="directory cut off the front of the source path to name the output file "
        "(default: the current directory)",
    )
    parser.add_argument(
        "-o",
        "--output",
        default=".",
        help="folder in which the _schema.py file is written (default: the current directory)",
    )
    parser.add_argument(
        "-I",
        "--import-path",
        action="append",
        default=[],
        help="directory searched for imports beginning with '/'; may be repeated",
    )
    return parser


def main(argv: Sequence[str] | None = None) -> int:
    """Run the compiler; returns the process exit status."""
    args = _parser().parse_args(argv)
    try:
        _comms.compiler.compile(
            src=args.src,
            src_prefix=args.src_prefix,
            output_folder=args.output,
            import_paths=args.import_path,
        )
    except (_comms.errors.BaseError, ValueError) as error:
        message = str(error)
        sys.stderr.write(message if message.endswith("\n") else message + "\n")
        return 1
    return 0

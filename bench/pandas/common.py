"""Shared by the pandas equivalents of the runner's commands: reading the ledger and writing
figures as "key<TAB>value" lines, the form bench/pandas/agree.py compares."""

import sys

import numpy as np
import pandas as pd


def read(path, columns, dtype=None):
    """The ledger's columns that the command needs, read by pandas' C parser."""
    return pd.read_csv(path, sep="\t", usecols=columns, dtype=dtype)


class Figures:
    """Collects the figures and prints them at the end, one per line."""

    def __init__(self):
        self.lines = []

    def put(self, key, value):
        if isinstance(value, (float, np.floating)):
            self.lines.append(f"{key}\t{float(value)!r}")
        else:
            self.lines.append(f"{key}\t{value}")

    def flush(self):
        sys.stdout.write("\n".join(self.lines) + "\n")


def round_half_even(x):
    """Python's round(): halves go to the even neighbour, as the engine rounds positions."""
    return int(round(x))


def path_arg():
    if len(sys.argv) < 2:
        sys.exit(f"usage: {sys.argv[0]} LEDGER [...]")
    return sys.argv[1]

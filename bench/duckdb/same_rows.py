"""Compares two extracts row by row: the rows the runner wrote and those DuckDB wrote.

    same_rows.py RUNNER_EXTRACT OTHER_EXTRACT [LABEL]

Both are tab-separated files with a header line. They agree when they hold the same lines in
the same order, each field the same text; line ends are not compared (the runner writes the
platform's, CR LF here). Prints one line saying how many rows agree, or where the first
difference is; exit status 1 when they differ.
"""

import sys


def lines(path):
    with open(path, encoding="utf-8", newline="") as f:
        out = [line.rstrip("\r\n") for line in f]
    while out and out[-1] == "":
        out.pop()
    return out


def first_difference(a, b):
    """None when the two lists of lines agree, else a line describing the first difference."""
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            where = "header" if i == 0 else f"row {i}"
            return f"{where}: {x!r} against {y!r}"
    if len(a) != len(b):
        return f"{len(a) - 1} rows against {len(b) - 1}"
    return None


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    a, b = lines(argv[1]), lines(argv[2])
    label = argv[3] if len(argv) > 3 else "extract"
    problem = first_difference(a, b)
    if problem:
        print(f"DIFFER  {label}: {problem}")
        return 1
    print(f"agree   {label}: {max(len(a) - 1, 0)} rows")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

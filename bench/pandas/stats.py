"""Descriptive statistics of Amount: the running figures, median, mode, skewness, kurtosis,
interquartile range, histogram and the extremes.

    stats.py LEDGER             figures as the in-memory statistics define them
    stats.py LEDGER --external  figures as the external-sort statistics define them
                                (nine percentiles, ln N bins, top and bottom lists)
"""

import math
import sys

import numpy as np

from common import Figures, path_arg, read, round_half_even

PATH = path_arg()
EXTERNAL = "--external" in sys.argv[2:]
a = read(PATH, ["Amount"])["Amount"]
n = len(a)
v = np.sort(a.to_numpy())
mean = float(a.mean())
s = float(a.std())
lo, hi = float(v[0]), float(v[-1])

# Mode: the value of the longest run of equal values, the smallest on ties; none below 2.
counts = a.value_counts()
top = int(counts.max())
mode = float(counts[counts == top].index.min()) if top >= 2 else 0.0


def position(rank):
    """Value at a 1-based rank of the sorted amounts, kept within 1..n."""
    return float(v[min(max(rank, 1), n) - 1])


f = Figures()
f.put("N", n)
f.put("Min", lo)
f.put("Max", hi)
f.put("Mean", mean)
f.put("Sum", float(a.sum()))
f.put("Median", float(a.median()))
f.put("Mode", mode)
f.put("StdDev", s)
f.put("Skewness", float(a.skew()))
f.put("Kurtosis", float(a.kurt()))
f.put("Variance", s * s)
f.put("USS", float((a * a).sum()))
f.put("Range", hi - lo)
f.put("SEM", s / math.sqrt(n))
f.put("CV", s / mean)
f.put("PopStdDev", float(a.std(ddof=0)))

if not EXTERNAL:
    f.put("CountPos", int((a > 0).sum()))
    f.put("SumPos", float(a[a > 0].sum()))
    f.put("CountNeg", int((a < 0).sum()))
    f.put("SumNeg", float(a[a < 0].sum()))
    f.put("CountZero", int((a == 0).sum()))
    # Percentile i: the value at rank round(i * n / 100), halves to even.
    f.put("QRange", position(round_half_even(75 * n / 100)) - position(round_half_even(25 * n / 100)))
    bins = 1 if n < 2 else round_half_even(math.log(n - 1) / math.log(2))
    last = min(bins, 30) - 1
else:
    f.put("CSS", float(((a - mean) ** 2).sum()))
    levels = [0.01, 0.05, 0.10, 0.25, 0.50, 0.75, 0.90, 0.95, 0.99]
    for level in levels:
        f.put(f"P{round(level * 100)}", position(round_half_even(n * level)))
    f.put("QRange", position(round_half_even(n * 0.75)) - position(round_half_even(n * 0.25)))
    bins = round_half_even(math.log(n) / math.log(2))
    last = min(bins, 41) - 1

# Histogram: bins of equal width from the minimum, the top bin closed.
width = (hi - lo) / bins
index = np.clip(np.floor((np.round(v, 4) - lo) / width), 0, last).astype(np.int64)
bin_counts = np.bincount(index, minlength=last + 1)
bin_amounts = np.bincount(index, weights=v, minlength=last + 1)
f.put("bins", bins)
for b in range(last + 1):
    f.put(f"bin.{b}.count", int(bin_counts[b]))
    f.put(f"bin.{b}.amount", float(bin_amounts[b]))

# The ten largest and smallest amounts; in memory, with z-scores.
for j in range(1, min(n, 10) + 1):
    f.put(f"top.{j}", float(v[n - j]))
    f.put(f"bottom.{j}", float(v[j - 1]))
    if not EXTERNAL:
        f.put(f"top.{j}.z", (float(v[n - j]) - mean) / s)
        f.put(f"bottom.{j}.z", (float(v[j - 1]) - mean) / s)  # signed: below the mean
f.flush()

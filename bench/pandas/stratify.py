"""Stratification of Amount between boundaries: count and amount below the first boundary,
in each stratum (both ends included, a boundary value counting in the lower stratum), and
above the last; shares of the total amount."""

import sys

import numpy as np
import pandas as pd

from common import Figures, path_arg, read

PATH = path_arg()
bounds = [float(b) for b in (sys.argv[2] if len(sys.argv) > 2 else "0 100 1000 10000 100000").split()]
a = read(PATH, ["Amount"])["Amount"]
below = a < bounds[0]
above = a > bounds[-1]
inside = a[~below & ~above]
strata = pd.cut(inside, bins=bounds, right=True, include_lowest=True, labels=False)
counts = np.bincount(strata, minlength=len(bounds) - 1)
amounts = np.bincount(strata, weights=inside, minlength=len(bounds) - 1)
total = float(a.sum())

f = Figures()
rows = [("Below", int(below.sum()), float(a[below].sum()))]
rows += [(f"{i}", int(c), float(s)) for i, (c, s) in enumerate(zip(counts, amounts))]
rows += [("Above", int(above.sum()), float(a[above].sum()))]
cumulative = 0.0
for name, count, amount in rows:
    cumulative += amount / total
    f.put(f"{name}.count", count)
    f.put(f"{name}.amount", amount)
    f.put(f"{name}.pct", amount / total)
    f.put(f"{name}.cum", cumulative)
f.put("Totals.count", int(len(a)))
f.put("Totals.amount", total)
f.flush()

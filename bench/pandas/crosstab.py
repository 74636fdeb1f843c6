"""Cross-tabulation of Vendor by Account: counts and amounts per cell and the chi-square of
the count table. Like the runner, only the first 30 row values and the first 30 column values
(in order of first appearance) are tabulated; rows with any other value are left out."""

import numpy as np
import pandas as pd

from common import Figures, path_arg, read

PATH = path_arg()
ROW, COL, LIMIT = "Vendor", "Account", 30
df = read(PATH, [ROW, COL, "Amount"], dtype={ROW: str, COL: str})
rows = pd.unique(df[ROW])[:LIMIT]
cols = pd.unique(df[COL])[:LIMIT]
kept = df[df[ROW].isin(rows) & df[COL].isin(cols)]
counts = pd.crosstab(kept[ROW], kept[COL]).reindex(index=rows, columns=cols, fill_value=0)
amounts = kept.pivot_table(index=ROW, columns=COL, values="Amount", aggfunc="sum",
                           fill_value=0.0).reindex(index=rows, columns=cols, fill_value=0.0)

observed = counts.to_numpy().astype(float)
expected = np.outer(observed.sum(axis=1), observed.sum(axis=0)) / observed.sum()
chisq = float(((observed - expected) ** 2 / expected).sum())
k = min(len(rows), len(cols)) - 1

f = Figures()
f.put("chisq", chisq)
f.put("df", max((len(rows) - 1) * (len(cols) - 1), 1))
f.put("cramer", (chisq / (observed.sum() * k)) ** 0.5)  # also when the test may not be valid
for r in rows:
    for c in cols:
        f.put(f"count.{r}.{c}", int(counts.at[r, c]))
        f.put(f"amount.{r}.{c}", float(amounts.at[r, c]))
f.put("left_out", len(df) - len(kept))
f.flush()

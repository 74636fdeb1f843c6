"""First-digit Benford test of Amount: digit counts, expected counts, chi-square of the
observed/expected table and the d-statistic."""

import numpy as np

from common import Figures, path_arg, read

PATH = path_arg()
amount = read(PATH, ["Amount"], dtype={"Amount": str})["Amount"]
# The first significant digit of the amount as written: signs, zeros and points skipped.
first = amount.str.lstrip("-+0.").str[:1]
first = first[first.str.len() == 1]
observed = first.value_counts().reindex([str(d) for d in range(1, 10)], fill_value=0).to_numpy()
n = int(observed.sum())
digits = np.arange(1, 10)
expected = np.round(n * np.log10(1 + 1 / digits))  # halves to even, as numpy rounds

# Chi-square of the 9 x 2 table (observed, expected) as a contingency table.
table = np.column_stack([observed, expected]).astype(float)
cells = np.outer(table.sum(axis=1), table.sum(axis=0)) / table.sum()
chisq = float((((table - cells) ** 2) / cells).sum())
gaps = np.abs(np.cumsum(observed) / observed.sum() - np.cumsum(expected) / expected.sum())

f = Figures()
f.put("n", n)
for d, o, e in zip(digits, observed, expected):
    f.put(f"observed.{d}", int(o))
    f.put(f"expected.{d}", int(e))
f.put("chisq", chisq)
f.put("df", 8)
f.put("dstat", float(gaps.max()))
f.put("hidigit", int(digits[int(gaps.argmax())]))
f.flush()

"""Summary of Amount by Vendor: count, total, debits, credits, mean, minimum, maximum and
sample standard deviation per key, keys in order of first appearance."""

from common import Figures, path_arg, read

PATH = path_arg()
KEY = "Vendor"
df = read(PATH, [KEY, "Amount"], dtype={KEY: str})
a = df["Amount"]
df["Debits"] = a.where(a > 0, 0.0)
df["Credits"] = a.where(a < 0, 0.0)
g = df.groupby(KEY, sort=False)
s = g.agg(count=("Amount", "size"), total=("Amount", "sum"), debits=("Debits", "sum"),
          credits=("Credits", "sum"), mean=("Amount", "mean"), min=("Amount", "min"),
          max=("Amount", "max"), std=("Amount", "std"))
s["std"] = s["std"].fillna(0.0)  # one item: no spread

f = Figures()
f.put("keys", len(s))
for key, row in zip(s.index, s.itertuples(index=False)):
    for name, value in zip(s.columns, row):
        f.put(f"{key}.{name}", value)
f.put("Totals.count", int(s["count"].sum()))
f.put("Totals.total", float(a.sum()))
f.put("Totals.debits", float(df["Debits"].sum()))
f.put("Totals.credits", float(df["Credits"].sum()))
f.flush()

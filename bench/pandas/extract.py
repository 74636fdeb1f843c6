"""Extract of the rows with Amount above 50,000, InvDate on or after 10/1/2023 and Vendor
before V0100 (compared without regard to case), written as a tab-separated file.

    extract.py LEDGER OUT
"""

import sys

import pandas as pd

from common import Figures, path_arg, read

PATH = path_arg()
OUT = sys.argv[2]
df = read(PATH, None, dtype={"Vendor": str, "InvNum": str, "InvDate": str, "Phone": str})
dates = pd.to_datetime(df["InvDate"], format="%m/%d/%Y")
keep = (df["Amount"] > 50000) & (dates >= pd.Timestamp(2023, 10, 1)) & (df["Vendor"].str.upper() < "V0100")
selected = df[keep]
selected.to_csv(OUT, sep="\t", index=False)

f = Figures()
f.put("read", len(df))
f.put("selected", len(selected))
f.put("amount", float(selected["Amount"].sum()))
f.flush()

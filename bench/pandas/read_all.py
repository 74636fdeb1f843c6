"""Reference: the whole ledger read by pandas, every column, as a script that loads the ledger
once for several analyses would read it. Prints the row count."""

from common import path_arg, read

df = read(path_arg(), None, dtype={"Vendor": str, "InvNum": str, "InvDate": str, "Phone": str})
print(f"rows\t{len(df)}")

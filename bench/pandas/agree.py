"""Compares the figures of a runner report with those a pandas script printed.

    agree.py COMMAND REPORT FIGURES EXTRACT|- [LABEL]

COMMAND is BE, SU, ST, UN, UNX (the external-sort statistics), XT or EX; REPORT the runner's
standard output; FIGURES the pandas script's "key<TAB>value" lines; EXTRACT, for EX, the file
the runner wrote. Prints one line saying how many figures agree, or each that does not; exit
status 1 when any figure differs or is missing from the report.

A figure printed by pandas as a whole number is a count and must agree exactly. Any other
figure agrees when it lies within one unit of the last decimal the report prints, plus a
relative allowance for sums taken in a different order: 1e-13 for sums of amounts, 1e-9 for
figures built on sums of squares.
"""

import sys

# Figures computed from sums of squares or cubes, whose rounding depends on the order of the
# additions (pandas sums pairwise, the engine in row order).
SQUARES = ("USS", "CSS", "Variance", "StdDev", "PopStdDev", "SEM", "CV", "Skewness",
           "Kurtosis", "chisq", "cramer", "dstat", ".std", ".z", ".pct", ".cum")


def number(text):
    """A report number: grouping commas dropped, a trailing percent sign read as a share."""
    t = text.strip().replace(",", "")
    if t.endswith("%"):
        return float(t[:-1]) / 100
    return float(t)


def decimals(text):
    t = text.strip().rstrip("%")
    return len(t) - t.index(".") - 1 if "." in t else 0


def fields(line):
    return line.rstrip("\r\n").split("\t")


def parse_benford(lines):
    out = {}
    labels = {"High digit": "hidigit", "Chisq": "chisq", "df": "df", "D-stat": "dstat"}
    digits = False
    n = 0
    for line in lines:
        f = fields(line)
        if len(f) == 2 and f[0].strip() in labels:
            out[labels[f[0].strip()]] = f[1]
        elif f[0] == "Digit" and not n:
            digits = True
        elif digits and len(f) == 3 and f[0] in tuple("123456789"):
            out[f"observed.{f[0]}"] = f[1]
            out[f"expected.{f[0]}"] = f[2]
            n += int(number(f[1]))
        else:
            digits = False  # the digit table ends; later tables have digit rows of their own
    out["n"] = str(n)
    return out


def parse_summary(lines):
    out = {}
    names = ["count", "total", "debits", "credits", "mean", "min", "max", "std"]
    keys = 0
    body = False
    for line in lines:
        f = fields(line)
        if f[0] == "Variable":
            body = True
        elif body and f[0] == "Totals":
            for name, value in zip(["count", "total", "debits", "credits"], f[1:]):
                out[f"Totals.{name}"] = value
        elif body and len(f) == 9:
            keys += 1
            for name, value in zip(names, f[1:]):
                out[f"{f[0]}.{name}"] = value
    out["keys"] = str(keys)
    return out


def parse_stratify(lines):
    out = {}
    stratum = 0
    for line in lines:
        f = fields(line)
        if len(f) == 6 and f[0] != "Start":
            name = f[0] if f[0] in ("Below", "Above") else str(stratum)
            if name == str(stratum):
                stratum += 1
            for key, value in zip(["count", "amount", "pct", "cum"], f[2:]):
                out[f"{name}.{key}"] = value
        elif f[0] == "Totals":
            out["Totals.count"], out["Totals.amount"] = f[2], f[3]
    return out


def parse_stats(lines):
    """Both statistics reports: in memory (population statistics, histogram, top/bottom ten
    with z-scores) and external (stat report, percentiles, histogram, top and bottom lists)."""
    labels = {"Min": "Min", "Max": "Max", "Mean": "Mean", "Sum": "Sum", "Sum X2": "USS",
              "N": "N", "Median": "Median", "Count Positive": "CountPos",
              "Sum Positive": "SumPos", "Std Dev": "StdDev", "Stdev": "StdDev",
              "Skewness": "Skewness", "Kurtosis": "Kurtosis", "Mode": "Mode",
              "Count Neg": "CountNeg", "Amt Neg": "SumNeg", "Count Zero": "CountZero",
              "CV": "CV", "Variance": "Variance", "QRange": "QRange",
              "Inter-Quartile Range": "QRange", "Stdevp": "PopStdDev",
              "Pop Std Dev": "PopStdDev", "USS": "USS", "CSS": "CSS", "Range": "Range",
              "SEM": "SEM"}
    out = {}
    section = None
    bins = 0
    lists = {"top": 0, "bottom": 0}
    for line in lines:
        f = fields(line)
        head = f[0].strip().rstrip(":").strip()
        if f[0] == "Bin Start" or f[0] == "Bin":
            section, bins = ("histo" if f[0] == "Bin Start" else "histo1"), 0
        elif f[0] == "Item" and len(f) == 6:
            section = "olreport"
        elif f[0] == "Position":
            section = "bottom" if lists["top"] else "top"
        elif head.startswith("P") and head.endswith("%") and len(f) == 2:
            out[f"P{round(number(head[1:].replace(' ', '')) * 100)}"] = f[1]
        elif f[0].startswith("Inter quartile range: "):
            out["QRange"] = f[0][len("Inter quartile range: "):]
        elif len(f) == 2 and head in labels:
            out[labels[head]] = f[1]
        elif section == "histo" and len(f) == 4:
            out[f"bin.{bins}.count"], out[f"bin.{bins}.amount"] = f[2], f[3]
            bins += 1
            out["bins"] = str(bins)
        elif section == "histo1" and len(f) == 5 and f[0].isdigit():
            out[f"bin.{bins}.count"], out[f"bin.{bins}.amount"] = f[3], f[4]
            bins += 1
            out["bins"] = str(bins)
        elif section == "olreport" and len(f) == 6:
            out[f"top.{f[0]}"], out[f"top.{f[0]}.z"] = f[1], f[2]
            out[f"bottom.{f[3]}"], out[f"bottom.{f[3]}.z"] = f[4], f[5]
        elif section in ("top", "bottom") and len(f) == 2:
            if int(f[0]) <= 10:
                out[f"{section}.{f[0]}"] = f[1]
            lists[section] = int(f[0])
    return out


def parse_crosstab(lines):
    out = {}
    labels = {"Chi Square": "chisq", "DF": "df", "Cramer's phi": "cramer"}
    table = None
    header = []
    for line in lines:
        f = fields(line)
        head = f[0].strip().rstrip(":").strip()
        if head in labels and len(f) == 2:
            out[labels[head]] = f[1]
        elif head in ("Counts", "Amounts"):
            table = "count" if head == "Counts" else "amount"
            header = []
        elif table and f[0] == " ":
            header = f[1:]
        elif table and header and len(f) > 1:
            for col, value in zip(header, f[1:]):
                if value != "":
                    out[f"{table}.{f[0]}.{col}"] = value
    return out


def parse_extract(lines, extract):
    out = {}
    for line in lines:
        f = fields(line)
        if f[0] == "Rows read":
            out["read"] = f[1]
        elif f[0] == "Rows selected":
            out["selected"] = f[1]
    total = 0.0
    with open(extract, encoding="utf-8") as x:
        header = fields(next(x))
        col = header.index("Amount")
        for line in x:
            total += float(fields(line)[col])
    out["amount"] = repr(total)
    return out


PARSERS = {"BE": parse_benford, "SU": parse_summary, "ST": parse_stratify, "UN": parse_stats,
           "UNX": parse_stats, "XT": parse_crosstab}


def compare(runner, pandas):
    """Lines describing every figure of `pandas` that the runner's figures miss or contradict."""
    problems = []
    for key, expected_text in pandas.items():
        if key not in runner:
            problems.append(f"{key}: missing from the report (pandas {expected_text})")
            continue
        got_text = runner[key]
        try:
            got = number(got_text)
        except ValueError:
            problems.append(f"{key}: report shows {got_text!r}")
            continue
        if "." not in expected_text and "e" not in expected_text.lower():
            if got != int(expected_text):
                problems.append(f"{key}: report {got_text}, pandas {expected_text}")
            continue
        expected = float(expected_text)
        relative = 1e-9 if any(s in key for s in SQUARES) else 1e-13
        allowed = 10.0 ** -decimals(got_text) + relative * abs(expected)
        if abs(got - expected) > allowed * 1.0000001:
            problems.append(f"{key}: report {got_text}, pandas {expected!r}")
    return problems


def main(argv):
    if len(argv) < 4:
        sys.exit(__doc__)
    command, report, figures = argv[1], argv[2], argv[3]
    with open(report, encoding="utf-8") as r:
        lines = r.readlines()
    if command == "EX":
        runner = parse_extract(lines, argv[4])
    else:
        runner = PARSERS[command](lines)
    pandas = {}
    with open(figures, encoding="utf-8") as p:
        for line in p:
            key, _, value = line.rstrip("\n").partition("\t")
            pandas[key] = value
    # Figures the report does not print in this form are left to pandas alone.
    if command == "XT":
        pandas.pop("left_out", None)
    problems = compare(runner, pandas)
    label = argv[5] if len(argv) > 5 else command
    if problems:
        print(f"DIFFER  {label}: {len(problems)} of {len(pandas)} figures")
        for p in problems[:8]:
            print(f"          {p}")
        return 1
    print(f"agree   {label}: {len(pandas)} figures")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

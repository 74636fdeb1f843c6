#!/usr/bin/python3
"""Writes the workbook fixtures of the runner's tests into this folder.

    /usr/bin/python3 tests/testdata/workbooks/make_workbooks.py

ledger.xlsx, ledger1904.xlsx and divzero.xlsx are written by xlsxwriter (another program than
the one under test) from examples/payments.tsv; kinds.xlsx is written part by part with
zipfile, to hold cell forms xlsxwriter does not write (inline strings, 17-digit numbers, ISO
date cells, rows and cells without references, prefixed element names); encrypted.xlsx and
old.xls are the two kinds of OLE compound file a workbook name may hold.
"""
import datetime
import os
import struct
import zipfile

import xlsxwriter

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(HERE)))


def ledger():
    with open(os.path.join(ROOT, "examples", "payments.tsv"), encoding="utf-8") as f:
        lines = [l.rstrip("\r\n").split("\t") for l in f if l.strip()]
    return lines[0], lines[1:]


def write_row(ws, r, c0, row, header, date_fmt):
    for k, v in enumerate(row):
        name = header[k]
        if name == "InvDate":
            m, d, y = (int(x) for x in v.split("/"))
            ws.write_datetime(r, c0 + k, datetime.datetime(y, m, d), date_fmt)
        elif name in ("Amount", "Account", "CheckNum"):
            ws.write_number(r, c0 + k, float(v))
        else:
            ws.write_string(r, c0 + k, v)


def ledger_books():
    header, rows = ledger()
    for name, opts in (("ledger.xlsx", {}), ("ledger1904.xlsx", {"date_1904": True})):
        wb = xlsxwriter.Workbook(os.path.join(HERE, name), opts)
        date_fmt = wb.add_format({"num_format": "m/d/yyyy"})
        ws = wb.add_worksheet("Ledger")
        ws.write_row(0, 0, header)
        for r, row in enumerate(rows, start=1):
            write_row(ws, r, 0, row, header, date_fmt)
        if name == "ledger.xlsx":
            # The same table as a range at B3, under a title, with a total below an empty row
            # and a note beyond an empty column: neither belongs to the range.
            rs = wb.add_worksheet("Range")
            rs.write_string(0, 0, "Payments 2023")
            rs.write_row(2, 1, header)
            for r, row in enumerate(rows, start=3):
                write_row(rs, r, 1, row, header, date_fmt)
            end = 3 + len(rows)
            rs.write_string(end + 1, 1, "Total")
            rs.write_formula(end + 1, 4, "=SUM(E4:E%d)" % end, None, 0)
            rs.write_string(2, 1 + len(header) + 1, "Note")
            rs.write_string(3, 1 + len(header) + 1, "not part of the range")
        wb.close()

    # An amount column with a formula whose stored value is the error #DIV/0! on row 6.
    wb = xlsxwriter.Workbook(os.path.join(HERE, "divzero.xlsx"))
    ws = wb.add_worksheet("Ledger")
    ws.write_row(0, 0, ["Vendor", "Amount"])
    for r in range(1, 9):
        ws.write_string(r, 0, "V%04d" % r)
        if r == 5:
            ws.write_formula(r, 1, "=1/0", None, "#DIV/0!")
        else:
            ws.write_number(r, 1, 100.0 * r)
    wb.close()


KINDS_SHEET = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<x:sheetData>
<x:row r="1"><x:c r="A1" t="s"><x:v>0</x:v></x:c><x:c r="B1" t="s"><x:v>1</x:v></x:c><x:c r="C1" t="inlineStr"><x:is><x:t>When</x:t></x:is></x:c><x:c r="D1" t="s"><x:v>2</x:v></x:c><x:c r="E1" t="s"><x:v>3</x:v></x:c></x:row>
<x:row r="2"><x:c r="A2" t="inlineStr"><x:is><x:r><x:t>Acme </x:t></x:r><x:r><x:t>&amp; Co</x:t></x:r></x:is></x:c><x:c r="B2"><x:v>726578.07999999996</x:v></x:c><x:c r="C2" s="1"><x:v>45112</x:v></x:c><x:c r="D2" t="b"><x:v>1</x:v></x:c><x:c r="E2"><x:f>B2*2</x:f><x:v>1453156.1599999999</x:v></x:c></x:row>
<x:row r="3"><x:c r="A3" t="s"><x:v>4</x:v></x:c><x:c r="B3"><x:v>1E+16</x:v></x:c><x:c r="C3" s="2"><x:v>45112.5625</x:v></x:c><x:c r="D3" t="b"><x:v>0</x:v></x:c><x:c r="E3" t="str"><x:f>A3&amp;"!"</x:f><x:v>x, "quoted"!</x:v></x:c></x:row>
<x:row r="5"><x:c r="A5" t="s"><x:v>5</x:v></x:c><x:c r="B5"><x:v>-0.0001</x:v></x:c><x:c r="C5" s="1"><x:v>60</x:v></x:c><x:c r="E5" t="e"><x:v>#N/A</x:v></x:c></x:row>
<x:row><x:c t="inlineStr"><x:is><x:t>no refs</x:t></x:is></x:c><x:c><x:v>7</x:v></x:c><x:c t="d"><x:v>2023-07-05T06:00:00</x:v></x:c><x:c s="3"><x:v>12.5</x:v></x:c></x:row>
<x:row r="7"><x:c r="C7" s="1"><x:v>59</x:v></x:c><x:c r="F7"><x:v>99</x:v></x:c></x:row>
<x:row r="9" customFormat="1"><x:c r="A9" s="1"/><x:c r="B9" t="s"/></x:row>
<x:row r="12"><x:c r="G12"><x:v>5</x:v></x:c></x:row>
</x:sheetData>
</x:worksheet>
"""

KINDS_STRINGS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="6" uniqueCount="6">
<si><t>Name</t></si><si><t>Amount</t></si><si><r><t>Paid</t></r><rPh sb="0" eb="1"><t>ignored</t></rPh></si><si><t>Formula</t></si>
<si><t xml:space="preserve">x, "quoted"</t></si><si><t>after a gap</t></si>
</sst>
"""

# Rows 9 (formatted, no values) and 12 (a value beyond the header's columns) add no row.
# Cell formats: 0 general, 1 built-in date 14, 2 custom "yyyy-mm-dd hh:mm", 3 a custom format
# whose letters are all quoted or bracketed (a number, not a date).
KINDS_STYLES = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<numFmts count="2"><numFmt numFmtId="164" formatCode="yyyy\\-mm\\-dd hh:mm"/><numFmt numFmtId="165" formatCode="[Red]#,##0.00&quot; days&quot;"/></numFmts>
<cellStyleXfs count="1"><xf numFmtId="14"/></cellStyleXfs>
<cellXfs count="4"><xf numFmtId="0"/><xf numFmtId="14" applyNumberFormat="1"/><xf numFmtId="164" applyNumberFormat="1"/><xf numFmtId="165" applyNumberFormat="1"/></cellXfs>
</styleSheet>
"""

KINDS_WORKBOOK = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<workbookPr/>
<sheets><sheet name="Hidden" sheetId="2" state="hidden" r:id="rId2"/><sheet name="Kinds" sheetId="1" r:id="rId1"/></sheets>
</workbook>
"""

KINDS_RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/kinds.xml"/>
<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/worksheets/hidden.xml"/>
<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>
<Relationship Id="rId4" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>
</Relationships>
"""

ROOT_RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>
</Relationships>
"""

HIDDEN_SHEET = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1" t="inlineStr"><is><t>Secret</t></is></c></row>
<row r="2"><c r="A2"><v>1</v></c></row>
</sheetData></worksheet>
"""


def kinds_book():
    with zipfile.ZipFile(os.path.join(HERE, "kinds.xlsx"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>')
        z.writestr("_rels/.rels", ROOT_RELS)
        z.writestr("xl/workbook.xml", KINDS_WORKBOOK)
        z.writestr("xl/_rels/workbook.xml.rels", KINDS_RELS)
        z.writestr("xl/worksheets/kinds.xml", KINDS_SHEET)
        z.writestr("xl/worksheets/hidden.xml", HIDDEN_SHEET)
        z.writestr("xl/sharedStrings.xml", KINDS_STRINGS)
        z.writestr("xl/styles.xml", KINDS_STYLES)


def compound_file(path, stream):
    """A minimal OLE compound file whose directory holds one stream entry named `stream`."""
    free, end, fatsect = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD
    header = b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"\0" * 16
    header += struct.pack("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6) + b"\0" * 6
    header += struct.pack("<IIIIIIII", 0, 1, 1, 0, 4096, end, 0, end) + struct.pack("<I", 0)
    header += struct.pack("<I", 0) + struct.pack("<108I", *([free] * 108))
    assert len(header) == 512
    fat = struct.pack("<128I", fatsect, end, *([free] * 126))

    def entry(name, kind):
        raw = name.encode("utf-16-le") + b"\0\0"
        e = raw.ljust(64, b"\0") + struct.pack("<HBB", len(raw), kind, 1)
        e += struct.pack("<III", free, free, free) + b"\0" * 16 + b"\0" * 4 + b"\0" * 16
        e += struct.pack("<II", end, 0) + b"\0" * 4
        assert len(e) == 128
        return e

    directory = entry("Root Entry", 5) + entry(stream, 2) + b"\0" * 256
    with open(path, "wb") as f:
        f.write(header + fat + directory)


if __name__ == "__main__":
    ledger_books()
    kinds_book()
    compound_file(os.path.join(HERE, "encrypted.xlsx"), "EncryptedPackage")
    compound_file(os.path.join(HERE, "old.xls"), "Workbook")

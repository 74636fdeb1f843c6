// End-to-end tests of the runner's own arguments for dates and keys: datefmt= (date orders),
// keys= and composite key columns, holidays= and Juneteenth, the JO join of two sources and
// GA's digits=.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "cli_support.h"

namespace fs = std::filesystem;
using namespace cli_test;

namespace {

std::string Made(const std::string& name, const std::string& text) {
  WriteFile(Temp(name), text);
  return Temp(name);
}

// The sample ledger with its InvDate column rewritten by `date(month, day, year)`.
std::string LedgerWithDates(const std::string& name, std::string (*date)(int, int, int)) {
  const Table t = ReadTable(Ledger());
  const int c = t.Col("InvDate");
  std::string text;
  for (std::size_t i = 0; i < t.header.size(); ++i) text += (i ? "\t" : "") + t.header[i];
  text += "\n";
  for (auto row : t.rows) {
    int m = 0, d = 0, y = 0;
    if (std::sscanf(row[c].c_str(), "%d/%d/%d", &m, &d, &y) != 3) std::abort();
    row[c] = date(m, d, y);
    for (std::size_t i = 0; i < row.size(); ++i) text += (i ? "\t" : "") + row[i];
    text += "\n";
  }
  return Made(name, text);
}

std::string Dmy(int m, int d, int y) {
  return std::to_string(d) + "/" + std::to_string(m) + "/" + std::to_string(y);
}
std::string Ymd(int m, int d, int y) {  // two-digit year first
  char b[16];
  std::snprintf(b, sizeof b, "%02d-%02d-%02d", y % 100, m, d);
  return b;
}

// The same report from the month/day/year ledger and from its day/month/year and
// year/month/day copies, the arguments' dates written as each copy writes them.
TEST(DateOrders, CopiesInOtherOrdersGiveTheSameReports) {
  const std::string dmy = LedgerWithDates("dmy.tsv", Dmy);
  const std::string ymd = LedgerWithDates("ymd.tsv", Ymd);
  struct Case {
    std::string mdy, dmy, ymd;  // the arguments after file=
  };
  const Case cases[] = {
      {"HO col=InvDate", "HO col=InvDate", "HO col=InvDate"},
      {"WD col=InvDate", "WD col=InvDate", "WD col=InvDate"},
      {"AR agecol=InvDate trancol=Amount agedate=12/31/2023",
       "AR agecol=InvDate trancol=Amount agedate=31/12/2023",
       "AR agecol=InvDate trancol=Amount agedate=23/12/31"},
      {"NE vendno=Vendor invno=InvNum invdate=InvDate invamt=Amount datetol=5",
       "NE vendno=Vendor invno=InvNum invdate=InvDate invamt=Amount datetol=5",
       "NE vendno=Vendor invno=InvNum invdate=InvDate invamt=Amount datetol=5"},
      {"SU col=Vendor amount=Amount cond=\"$InvDate >= 12/1/2023 AND $InvDate - 11/15/2023 < 40\"",
       "SU col=Vendor amount=Amount cond=\"$InvDate >= 1/12/2023 AND $InvDate - 15/11/2023 < 40\"",
       "SU col=Vendor amount=Amount cond=\"$InvDate >= 23/12/1 AND $InvDate - 23/11/15 < 40\""},
      {"UN col=Amount cond=\"HO $InvDate OR WE $InvDate\"",
       "UN col=Amount cond=\"HO $InvDate OR WE $InvDate\"",
       "UN col=Amount cond=\"HO $InvDate OR WE $InvDate\""},
  };
  for (const Case& c : cases) {
    const Result a = Tarnwick({"--raw", c.mdy + " file=" + Ledger()});
    ASSERT_EQ(a.status, 0) << c.mdy << a.err;
    ASSERT_GT(a.out.size(), 60u) << c.mdy;
    const Result b = Tarnwick({"--raw", c.dmy + " file=" + dmy + " datefmt=dmy"});
    EXPECT_EQ(b.status, 0) << c.dmy << b.err;
    EXPECT_EQ(b.out, a.out) << c.dmy;
    const Result y = Tarnwick({"--raw", c.ymd + " file=" + ymd + " datefmt=YMD"});
    EXPECT_EQ(y.status, 0) << c.ymd << y.err;
    EXPECT_EQ(y.out, a.out) << c.ymd;
  }
  // A database copy of the day/month/year ledger, and its contradiction found before the run.
  const std::string db = Temp("dmy.db");
  MakeDb(db, ReadTable(dmy));
  const std::string query = " ds=db conn=" + db + " sql=\"select * from payments\"";
  const Result fromDb = Tarnwick({"--raw", "WD col=InvDate datefmt=dmy" + query});
  EXPECT_EQ(fromDb.status, 0) << fromDb.err;
  EXPECT_EQ(fromDb.out, Tarnwick({"--raw", "WD col=InvDate file=" + Ledger()}).out);
  const Result wrong = Tarnwick({"WD col=InvDate" + query});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.err.rfind("Dates: Col: InvDate on row: ", 0), 0u) << wrong.err;
  EXPECT_EQ(wrong.out, "");

  // datefmt=mdy is the default, and a four-digit year first reads in every order.
  const std::string iso = Made("iso.tsv", "D\tA\n2023-12-25\t1\n2024-01-01\t2\n");
  for (const char* f : {"", " datefmt=mdy", " datefmt=dmy", " datefmt=ymd"}) {
    const Result r = Tarnwick({"HO file=" + iso + " col=D" + f});
    EXPECT_EQ(r.status, 0) << f << r.err;
    EXPECT_EQ(r.out, "Holidays: \nNew Year's \t1\nChristmas \t1\n") << f;
  }
}

struct Refusal {
  const char* name;
  std::vector<std::string> args;
  int status;
  std::string message;
};

// Contradicting and mixed orders stop the command before it runs, with nothing written.
TEST(DateOrders, ContradictingOrMixedOrdersAreRefused) {
  const std::string dmy =
      Made("few_dmy.tsv", "Vendor\tD\tAmount\nV1\t1/2/2023\t5\nV1\t13/2/2023\t7\n");
  const std::string mixed =
      Made("mixed.tsv", "Vendor\tD\tAmount\nV1\t2/13/2023\t5\nV1\t13/2/2023\t7\n");
  const std::string badRow =
      Made("bad_row.tsv", "Vendor\tD\tAmount\nV1\t1/2/2023\tx\nV1\tsoon\t7\n");
  std::string late = "Vendor\tD\tAmount\n";
  for (int i = 0; i < 10005; ++i) late += "V1\t1/2/2023\t5\n";
  late += "V1\t2/13/2023\t5\n";
  const std::string lateFile = Made("late.tsv", late);
  const std::string sample = Temp("never.tsv");
  const std::vector<Refusal> cases = {
      {"Contradicts",
       {"WD file=" + dmy + " col=D"},
       2,
       "Dates: Col: D on row: 3 in file: " + dmy +
           " holds 13/2/2023, which reads only as day/month/year "
           "(datefmt=dmy), not as month/day/year (datefmt=mdy); give the order the source writes "
           "its dates in"},
      {"ContradictsInAFilterColumn",
       {"IS file=" + dmy + " intvl=5 rn=1 sample=" + sample + " cond=\"WE $D\""},
       2,
       "Dates: Col: D on row: 3 in file: " + dmy +
           " holds 13/2/2023, which reads only as day/month/year "
           "(datefmt=dmy), not as month/day/year (datefmt=mdy); give the order the source writes "
           "its dates in"},
      {"Mixed",
       {"WD file=" + mixed + " col=D datefmt=dmy"},
       2,
       "Dates: Col: D in file: " + mixed +
           " holds dates in more than one order: 13/2/2023 on row: 3 reads only "
           "as day/month/year, 2/13/2023 on row: 2 only as month/day/year (datefmt=mdy); its dates "
           "cannot be "
           "read in one order"},
      {"FilterConstant",
       {"EX file=" + Ledger() + " cond=\"$InvDate >= 31/12/2023\""},
       2,
       "Filter: the date 31/12/2023 reads only as day/month/year (datefmt=dmy), not as "
       "month/day/year "
       "(datefmt=mdy)"},
      {"UnknownOrder",
       {"WD file=" + dmy + " col=D datefmt=dd/mm/yyyy"},
       2,
       "datefmt=dd/mm/yyyy is not one of mdy, dmy, ymd"},
      {"NotADateInTheFirstRows",
       {"WD file=" + badRow + " col=D datefmt=dmy"},
       2,
       "Col: D on row: 3 in file: " + badRow + " not a date value:soon"},
      {"AgeingDateInTheOtherOrder",
       {"AR file=" + dmy + " agecol=D trancol=Amount agedate=12/31/2023 datefmt=dmy"},
       2,
       "Error 13: Type mismatch: ageing date is not a date: 12/31/2023 (datefmt=dmy reads "
       "day/month/year)"},
      // Beyond the rows checked first: an error of the run that says which order reads it.
      {"LateContradictionInADateColumn",
       {"WD file=" + lateFile + " col=D datefmt=dmy"},
       1,
       "Error 13: Type mismatch: Col: D on row: 10007 in file: " + lateFile +
           " not a date value:2/13/2023 "
           "(it reads as month/day/year (datefmt=mdy); this run reads day/month/year)"},
  };
  for (const Refusal& c : cases) {
    fs::remove(sample);
    const Result r = Tarnwick(c.args);
    EXPECT_EQ(r.status, c.status) << c.name << r.err;
    EXPECT_EQ(r.err, c.message + "\n") << c.name;
    EXPECT_EQ(r.out, "") << c.name;
    EXPECT_FALSE(fs::exists(sample)) << c.name;
  }
}

// Juneteenth from 2021 on, observed by the weekend rule; a calendar file replaces the federal
// holidays for HO and for the filter's HO, for one command only.
TEST(Holidays, JuneteenthAndACalendarFile) {
  const std::string june =
      Made("june.tsv",
           "D\tA\n6/18/2021\t1\n6/20/2022\t1\n6/19/2023\t1\n6/18/2027\t1\n6/19/2020\t1\n"
           "6/19/2021\t1\n7/4/2023\t1\n");
  const Result fed = Tarnwick({"HO file=" + june + " col=D"});
  ASSERT_EQ(fed.status, 0) << fed.err;
  EXPECT_EQ(fed.out, "Holidays: \nJuneteenth \t4\nIndependence Day \t1\n");

  const std::string cal = Made("canada.txt",
                               "# statutory holidays, day/month/year\n1/7/2023\tCanada Day\n"
                               "25/12/2023\tChristmas\n2024-12-25\tChristmas\n26/12/2023\n");
  const std::string ledger =
      Made("hol.tsv",
           "D\tA\n01/07/2023\t10\n04/07/2023\t20\n25/12/2023\t30\n25/12/2024\t40\n"
           "26/12/2023\t50\n27/12/2023\t60\n");
  const Result own = Tarnwick({"HO file=" + ledger + " col=D datefmt=dmy holidays=" + cal});
  ASSERT_EQ(own.status, 0) << own.err;
  EXPECT_EQ(own.out, "Holidays: \nCanada Day\t1\nChristmas\t2\n12/26/2023\t1\n");
  const Result filtered = Tarnwick(
      {"EX file=" + ledger + " datefmt=dmy holidays=" + cal + " cond=\"HO $D AND $A < 45\""});
  ASSERT_EQ(filtered.status, 0) << filtered.err;
  EXPECT_EQ(filtered.out, "D\tA\n01/07/2023\t10\n25/12/2023\t30\n25/12/2024\t40\n");

  // In a script the calendar of one line does not reach the next.
  const std::string script =
      Made("two.txt", "EX file=" + ledger + " datefmt=dmy holidays=" + cal +
                          " cond=\"HO $D\"\nEX file=" + ledger + " datefmt=dmy cond=\"HO $D\"\n");
  const Result both = Tarnwick({"-f", script});
  ASSERT_EQ(both.status, 0) << both.err;
  EXPECT_EQ(both.out,
            "D\tA\n01/07/2023\t10\n25/12/2023\t30\n25/12/2024\t40\n26/12/2023\t50\n\n"
            "D\tA\n04/07/2023\t20\n25/12/2023\t30\n25/12/2024\t40\n");

  const std::string bad = Made("bad_cal.txt", "1/7/2023\tCanada Day\n12/31/2023\tEve\n");
  const std::string none = Made("no_cal.txt", "# nothing yet\n\n");
  const std::vector<Refusal> cases = {
      {"BadLine",
       {"HO file=" + ledger + " col=D datefmt=dmy holidays=" + bad},
       2,
       "Holidays: line 2 of " + bad +
           ": 12/31/2023 is not a date in day/month/year order (datefmt=dmy); it "
           "reads as month/day/year (datefmt=mdy)"},
      {"NoDates",
       {"HO file=" + ledger + " col=D datefmt=dmy holidays=" + none},
       2,
       "Holidays: " + none + " holds no dates"},
      {"Missing",
       {"HO file=" + ledger + " col=D datefmt=dmy holidays=" + Temp("gone.txt")},
       2,
       "Holidays: " + Temp("gone.txt") + " not found"},
      {"NotForSampleSizes",
       {"SA pop=100 conf=95% ep=5% er=5% holidays=" + cal},
       2,
       "holidays= is not an argument of SA (see tarnwick HE)"},
  };
  for (const Refusal& c : cases) {
    const Result r = Tarnwick(c.args);
    EXPECT_EQ(r.status, c.status) << c.name;
    EXPECT_EQ(r.err, c.message + "\n") << c.name;
  }
}

const char* kInvoices =
    "Vendor\tInv\tAmount\n"
    "V1\tINV1\t10\n"
    "V1\tINV1 \t20\n"
    "V1\tinv1\t5\n"
    "V2\tINV1\t7\n"
    "V1\tINV2\t1\n";

// Composite keys are shown part by part under their column names; keys= decides which texts
// are one key.
TEST(Keys, CompositeAndNormalisedKeys) {
  const std::string f = Made("inv.tsv", kInvoices);
  struct Case {
    std::string args;
    std::string out;
  };
  const Case cases[] = {
      {"DU col=Vendor+Inv amount=Amount",
       "Duplicate Report\nVendor\tInv\tCount\tTotal\tDebits\tCredits\n"},
      {"DU col=Vendor+Inv amount=Amount keys=trim",
       "Duplicate "
       "Report\nVendor\tInv\tCount\tTotal\tDebits\tCredits\nV1\tINV1\t2\t30.00\t30.00\t.00\n"},
      {"DU col=\"Vendor + Inv\" keys=NOCASE",
       "Duplicate Report\nVendor\tInv\tCount\nV1\tINV1\t3\n"},
      {"DU col=Inv keys=nocase", "Duplicate Report\nVariable\tCount\nINV1\t4\n"},
      {"SU col=Vendor+Inv amount=Amount keys=nocase",
       "Summary Report\nVendor\tInv\tCount\tTotal\tDebits\tCredits\tAverage\tMinimum\tMaximum\tStd "
       "Dev\n"
       "V1\tINV1\t3\t35.00\t35.00\t.00\t11.67\t5.00\t20.00\t7.64\n"
       "V2\tINV1\t1\t7.00\t7.00\t.00\t7.00\t7.00\t7.00\t.00\n"
       "V1\tINV2\t1\t1.00\t1.00\t.00\t1.00\t1.00\t1.00\t.00\n"
       "Totals\t\t5\t43.00\t43.00\t.00\n"},
      {"BA col=Vendor+Inv amount=Amount",
       "Benford Summary Report\nVendor\tInv\tCount\tTotal\tChiSQ\td-stat\n"},
  };
  for (const Case& c : cases) {
    const Result r = Tarnwick({c.args + " file=" + f});
    ASSERT_EQ(r.status, 0) << c.args << r.err;
    EXPECT_EQ(r.out.substr(0, c.out.size()), c.out) << c.args;
    if (c.args.rfind("BA", 0) != 0) {
      EXPECT_EQ(r.out, c.out) << c.args;
    }
  }
  // The near-miss report names both parts of the vendor key.
  const std::string ne = Made("ne.tsv",
                              "Vendor\tSite\tInv\tD\tAmount\nV1\tA\t1001\t3/3/2023\t500\n"
                              "V1\tA\t1010\t3/5/2023\t500\nV1\tB\t1011\t3/5/2023\t500\n");
  const Result n = Tarnwick(
      {"NE file=" + ne + " vendno=Vendor+Site invno=Inv invdate=D invamt=Amount datetol=5"});
  ASSERT_EQ(n.status, 0) << n.err;
  EXPECT_EQ(n.out,
            "Near Miss Report \nVendor\tSite\tAmt\tInv Date \tSecond Date\tInvno\tSuspect "
            "Invno\tCloseness\n"
            "V1\tA\t500\t3/5/2023\t3/3/2023\t1010\t1001\t2\n");
  // A column whose own name holds "+" stays one column.
  const std::string plus = Made("plus.tsv", "Net+Tax\tAmount\nA\t1\nA\t2\n");
  const Result one = Tarnwick({"DU file=" + plus + " col=Net+Tax"});
  EXPECT_EQ(one.out, "Duplicate Report\nVariable\tCount\nA\t2\n");

  const std::vector<Refusal> refused = {
      {"EmptyPart",
       {"DU file=" + f + " col=Vendor+"},
       2,
       "col=Vendor+: a composite key names its columns joined by +, with none empty"},
      {"MissingPart",
       {"SU file=" + f + " col=Vendor+Nope amount=Amount"},
       2,
       "Col: Nope in file: " + f + " not found; the columns are: Vendor, Inv, Amount"},
      {"NotACompositeArgument",
       {"PO file=" + f + " col=Vendor+Inv amount=Amount"},
       2,
       "Col: Vendor+Inv in file: " + f + " not found; the columns are: Vendor, Inv, Amount"},
      {"UnknownMode",
       {"DU file=" + f + " col=Inv keys=fuzzy"},
       2,
       "keys=fuzzy is not one of exact, trim, nocase"},
  };
  for (const Refusal& c : refused) {
    const Result r = Tarnwick(c.args);
    EXPECT_EQ(r.status, c.status) << c.name;
    EXPECT_EQ(r.err, c.message + "\n") << c.name;
  }
}

// Payments to vendors missing from the master file, and vendors sharing an address with an
// employee, with the second source a file or a database query.
TEST(Join, RowsWhoseKeyIsOrIsNotInTheSecondSource) {
  const std::string pay =
      Made("pay.tsv", "Vendor\tAmount\nV1\t10\nv2 \t20\nV3\t30\n\t40\nV2\t50\n");
  const std::string master = Made("master.tsv", "VendorNo\tName\nV1\tAcme\nV2\tBolt\n\tBlank\n");
  const std::string out = Temp("missing.tsv");
  const Result r = Tarnwick({"JO file=" + pay + " col=Vendor file2=" + master +
                             " key2=VendorNo match=out keys=nocase sample=" + out});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadAll(out), "Vendor\tAmount\r\nV3\t30\r\n\t40\r\n");
  EXPECT_EQ(r.out,
            "Join\nKey\tVendor\nSecond source\tfile: " + master +
                "\nSecond key\tVendorNo\nKeys compared\tnocase\nRows of the second source\t3\n"
                "Keys of the second source\t2\nRows read\t5\nRows selected\t5\n"
                "Rows whose key is not in the second source\t2\nWritten to\t" +
                out + "\n");
  const Result exact =
      Tarnwick({"JO file=" + pay + " col=Vendor file2=" + master + " key2=VendorNo"});
  ASSERT_EQ(exact.status, 0) << exact.err;
  EXPECT_EQ(exact.out, "Vendor\tAmount\nV1\t10\nV2\t50\n");

  const std::string emp =
      Made("emp.tsv", "Emp\tStreet\tZip\nE1\t1 Main St\t10001\nE2\t\t\nE3\t9 Oak Rd\t20002\n");
  const std::string ven =
      Made("ven.tsv", "Vendor\tAddr\tZip\nV1\t1 MAIN ST \t10001\nV2\t\t\nV3\t9 Oak Rd\t20003\n");
  const std::string db = Temp("emp.db");
  MakeDb(db, ReadTable(emp));
  for (const std::string& second :
       {"file2=" + emp, "conn2=" + db + " sql2=\"select * from payments\""}) {
    const Result shared =
        Tarnwick({"JO file=" + ven + " col=Addr+Zip key2=Street+Zip keys=nocase " + second});
    ASSERT_EQ(shared.status, 0) << second << shared.err;
    EXPECT_EQ(shared.out, "Vendor\tAddr\tZip\nV1\t1 MAIN ST \t10001\n") << second;
  }

  const std::vector<Refusal> refused = {
      {"NoSecondSource",
       {"JO file=" + pay + " col=Vendor"},
       2,
       "JO compares with a second source: give file2=PATH (filespec2= for a print file) or "
       "conn2=PATH sql2=QUERY"},
      {"SecondKeyMissing",
       {"JO file=" + pay + " col=Vendor file2=" + master},
       2,
       "Col: Vendor in file: " + master +
           " not found; the columns are: VendorNo, Name (did you mean VendorNo?)"},
      {"PartsDiffer",
       {"JO file=" + ven + " col=Addr+Zip file2=" + emp + " key2=Street"},
       2,
       "key2=Street names 1 columns, col=Addr+Zip names 2: the keys must match part for part"},
      {"BadMatch",
       {"JO file=" + pay + " col=Vendor file2=" + master + " key2=VendorNo match=maybe"},
       2,
       "match=maybe is not one of in, out"},
      {"SampleOverTheSecondSource",
       {"JO file=" + pay + " col=Vendor file2=" + master + " key2=VendorNo sample=" + master},
       2,
       "Output: " + master + " is an input of this command; choose another file"},
  };
  for (const Refusal& c : refused) {
    const Result r = Tarnwick(c.args);
    EXPECT_EQ(r.status, c.status) << c.name;
    EXPECT_EQ(r.err, c.message + "\n") << c.name;
  }
}

// Sequence numbers with letters, by their trailing, leading or every digit.
TEST(Gaps, NumbersWithLettersByTheirDigits) {
  const std::string f =
      Made("seq.tsv",
           "Inv\tN\nINV10234\t1\nINV10236\t2\nA-10237\t3\n0496J10\t4\n0497J10\t5\n0499J10\t6\n");
  const std::string none = Made("nodigits.tsv", "Inv\n12\nABC\n");
  const std::string wide = Made("wide.tsv", "Inv\nX2147483648\n");
  struct Case {
    std::string args;
    int status;
    std::string out, err;
  };
  const Case cases[] = {
      {"GA file=" + f + " col=Inv digits=trailing cond=\"LEFT($Inv,1) <> 0\"", 0,
       "Gaps: Count: 1 Missing: 1\nStart\tEnd\tGap\n10234\t10236\t1\n", ""},
      {"GA file=" + f + " col=Inv digits=Leading cond=\"LEFT($Inv,1) = 0\"", 0,
       "Gaps: Count: 1 Missing: 1\nStart\tEnd\tGap\n497\t499\t1\n", ""},
      {"GA file=" + f + " col=Inv digits=all", 0,
       "Gaps: Count: 4 Missing: 39671\nStart\tEnd\tGap\n10234\t10236\t1\n10237\t49610\t39372\n"
       "49610\t49710\t99\n49710\t49910\t199\n",
       ""},
      {"GA file=" + f + " col=Inv digits=middle", 2, "",
       "digits=middle is not one of trailing, leading, all\n"},
      {"GA file=" + f + " col=Inv", 2, "",
       "Col: Inv on row: 2 in file: " + f + " not numeric: INV10234\n"},
      {"GA file=" + none + " col=Inv digits=trailing", 1, "",
       "Error 13: Type mismatch: Col: Inv on row: 3 has no digits: ABC\n"},
      {"GA file=" + wide + " col=Inv digits=trailing", 1, "",
       "Error 13: Type mismatch: Col: Inv on row: 2 has digits beyond 2,147,483,647: "
       "X2147483648\n"},
  };
  for (const Case& c : cases) {
    const Result r = Tarnwick({c.args});
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_EQ(r.out, c.out) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
  }
}

// HE lists the runner's own arguments under the commands that take them, and JO.
TEST(Help, ListsTheNewArgumentsAndJoin) {
  const Result r = Tarnwick({"HE"});
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\n  JO  Rows whose key is (or is not) in a second source\n"),
            std::string::npos);
  // datefmt= and holidays= apply to every command that reads rows: listed once, with the sources.
  for (const char* a :
       {"\n  datefmt: how the source writes dates", "\n  holidays: FILE: the holiday calendar",
        "        keys: how keys compare", "        digits: numbers with letters",
        "        file2: the second source", "        match: in: the rows"})
    EXPECT_NE(r.out.find(a), std::string::npos) << a;
}

}  // namespace

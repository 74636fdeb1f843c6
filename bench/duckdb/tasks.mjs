// DuckDB's equivalents of the runner's commands, as SQL over the ledger file: the peer that uses
// every core. Each run reads the file itself (an in-memory database, nothing kept between runs)
// and prints its figures as "key<TAB>value" lines, the form bench/pandas/agree.py compares.
//
//   node tasks.mjs TASK LEDGER [ARG]
//   node tasks.mjs version      DuckDB's version and its default thread count
//
//   BE LEDGER            first-digit counts, expected counts, chi-square, d-statistic
//   SU LEDGER            summary of Amount by Vendor
//   ST LEDGER "BOUNDS"   stratification of Amount between the boundaries
//   UN LEDGER            statistics of Amount as the in-memory statistics define them
//   XT LEDGER            cross-tab of Vendor by Account, first 30 x 30 values
//   EX LEDGER OUT        the filtered rows written to OUT, tab-separated, as read
//
// The DuckDB package is not a dependency of the project: bench/run installs @duckdb/node-api
// with npm into a scratch folder and names that folder in TARNWICK_DUCKDB_NODE.

import { createRequire } from "node:module";
import path from "node:path";
import { pathToFileURL } from "node:url";

const home = process.env.TARNWICK_DUCKDB_NODE;
if (!home) {
  console.error("tasks.mjs: set TARNWICK_DUCKDB_NODE to the folder where @duckdb/node-api is installed");
  process.exit(2);
}
const require = createRequire(path.join(path.resolve(home), "package.json"));
const { DuckDBInstance } = await import(pathToFileURL(require.resolve("@duckdb/node-api")).href);

const [task, ledger, arg] = process.argv.slice(2);
if (task === "version") {
  // For the record of a run: the engine's version and the threads it uses by default.
  const db = await DuckDBInstance.create(":memory:");
  const con = await db.connect();
  const [[version, threads]] = (await con.runAndReadAll(
    "SELECT version(), current_setting('threads')")).getRowsJS();
  console.log(`DuckDB ${version} (${threads} threads)`);
  process.exit(0);
}
if (!task || !ledger) {
  console.error("usage: node tasks.mjs BE|SU|ST|UN|XT|EX LEDGER [ARG]");
  process.exit(2);
}

// Every column named with its type, so that no time goes to guessing them; `as` overrides.
const COLUMNS = { Vendor: "VARCHAR", InvNum: "VARCHAR", InvDate: "VARCHAR", Amount: "DOUBLE",
                  Account: "VARCHAR", CheckNum: "VARCHAR", Phone: "VARCHAR" };
function ledgerSql(as = {}) {
  const cols = Object.entries({ ...COLUMNS, ...as }).map(([k, v]) => `'${k}': '${v}'`).join(", ");
  return `read_csv(${quote(ledger)}, delim = '\\t', header = true, quote = '', escape = '', ` +
         `columns = {${cols}})`;
}
function quote(text) {
  return `'${text.replaceAll("'", "''")}'`;
}

const db = await DuckDBInstance.create(":memory:");
const con = await db.connect();
async function rows(sql) {
  return (await con.runAndReadAll(sql)).getRowsJS();
}

const lines = [];
// Whole numbers are counts, printed as integers; other figures always show a point or an
// exponent, as the checker reads a figure without either as a count to compare exactly.
function count(key, value) {
  lines.push(`${key}\t${BigInt(value)}`);
}
function figure(key, value) {
  const x = Number(value);
  let t = String(x);
  if (Number.isFinite(x) && !/[.e]/.test(t)) t += ".0";
  lines.push(`${key}\t${t}`);
}

// Rounds halves to the even neighbour, as the engine rounds positions and expected counts.
function roundHalfEven(x) {
  const f = Math.floor(x);
  const d = x - f;
  if (d > 0.5) return f + 1;
  if (d < 0.5) return f;
  return f % 2 === 0 ? f : f + 1;
}

async function benford() {
  // The first significant digit of the amount as written: signs, zeros and points skipped.
  const got = await rows(`
    SELECT d, count(*) FROM (SELECT substr(ltrim(Amount, '-+0.'), 1, 1) AS d
                             FROM ${ledgerSql({ Amount: "VARCHAR" })})
    WHERE d BETWEEN '1' AND '9' GROUP BY d`);
  const observed = Array(9).fill(0);
  for (const [d, c] of got) observed[Number(d) - 1] = Number(c);
  const n = observed.reduce((a, b) => a + b, 0);
  const expected = observed.map((_, i) => roundHalfEven(n * Math.log10(1 + 1 / (i + 1))));
  // Chi-square of the 9 x 2 table (observed, expected) as a contingency table.
  const totalObserved = n;
  const totalExpected = expected.reduce((a, b) => a + b, 0);
  const all = totalObserved + totalExpected;
  let chisq = 0;
  for (let i = 0; i < 9; i++) {
    const row = observed[i] + expected[i];
    for (const [cell, column] of [[observed[i], totalObserved], [expected[i], totalExpected]]) {
      const e = (row * column) / all;
      chisq += ((cell - e) * (cell - e)) / e;
    }
  }
  let dstat = -1, hidigit = 0, co = 0, ce = 0;
  for (let i = 0; i < 9; i++) {
    co += observed[i];
    ce += expected[i];
    const gap = Math.abs(co / totalObserved - ce / totalExpected);
    if (gap > dstat) [dstat, hidigit] = [gap, i + 1];
  }
  count("n", n);
  for (let i = 0; i < 9; i++) {
    count(`observed.${i + 1}`, observed[i]);
    count(`expected.${i + 1}`, expected[i]);
  }
  figure("chisq", chisq);
  count("df", 8);
  figure("dstat", dstat);
  count("hidigit", hidigit);
}

async function summary() {
  const got = await rows(`
    SELECT Vendor, count(*), sum(Amount), sum(CASE WHEN Amount > 0 THEN Amount ELSE 0 END),
           sum(CASE WHEN Amount < 0 THEN Amount ELSE 0 END), avg(Amount), min(Amount),
           max(Amount), coalesce(stddev_samp(Amount), 0)
    FROM ${ledgerSql()} GROUP BY Vendor`);
  count("keys", got.length);
  const totals = [0, 0, 0, 0];
  const names = ["count", "total", "debits", "credits", "mean", "min", "max", "std"];
  for (const [key, ...values] of got) {
    count(`${key}.count`, values[0]);
    names.slice(1).forEach((name, i) => figure(`${key}.${name}`, values[i + 1]));
    for (let i = 0; i < 4; i++) totals[i] += Number(values[i]);
  }
  count("Totals.count", totals[0]);
  ["total", "debits", "credits"].forEach((name, i) => figure(`Totals.${name}`, totals[i + 1]));
}

async function stratify() {
  const bounds = (arg ?? "0 100 1000 10000 100000").trim().split(/\s+/).map(Number);
  // Stratum i holds (bounds[i], bounds[i + 1]], the first one its lower boundary too.
  const cases = bounds.slice(1).map((b, i) => `WHEN Amount <= ${b} THEN ${i}`).join(" ");
  const got = await rows(`
    SELECT CASE WHEN Amount < ${bounds[0]} THEN -1 ${cases} ELSE ${bounds.length - 1} END AS s,
           count(*), sum(Amount)
    FROM ${ledgerSql()} GROUP BY s`);
  const byStratum = new Map(got.map(([s, c, a]) => [s, [Number(c), a]]));
  const names = ["Below", ...bounds.slice(1).map((_, i) => String(i)), "Above"];
  const total = got.reduce((t, [, , a]) => t + a, 0);
  const n = got.reduce((t, [, c]) => t + Number(c), 0);
  let cumulative = 0;
  names.forEach((name, i) => {
    const [c, a] = byStratum.get(i - 1) ?? [0, 0];
    cumulative += a / total;
    count(`${name}.count`, c);
    figure(`${name}.amount`, a);
    figure(`${name}.pct`, a / total);
    figure(`${name}.cum`, cumulative);
  });
  count("Totals.count", n);
  figure("Totals.amount", total);
}

async function stats() {
  await con.run(`CREATE TEMP TABLE t AS SELECT Amount AS a FROM ${ledgerSql()}`);
  const [[n, lo, hi, mean, sum, median, s, skew, kurt, uss, pop, cpos, spos, cneg, sneg, czero]] =
    await rows(`
      SELECT count(*), min(a), max(a), avg(a), sum(a), median(a), stddev_samp(a), skewness(a),
             kurtosis(a), sum(a * a), stddev_pop(a), count(*) FILTER (a > 0),
             coalesce(sum(a) FILTER (a > 0), 0), count(*) FILTER (a < 0),
             coalesce(sum(a) FILTER (a < 0), 0), count(*) FILTER (a = 0)
      FROM t`);
  // Mode: the smallest of the most frequent values, none unless a value occurs twice.
  const [[modeValue, modeCount]] = await rows(
    "SELECT a, count(*) AS c FROM t GROUP BY a ORDER BY c DESC, a LIMIT 1");
  const N = Number(n);
  // Percentile i is the value at rank round(i * n / 100), halves to even (no interpolation).
  const rank = (level) => Math.min(Math.max(roundHalfEven((level * N) / 100), 1), N);
  const [r25, r75] = [rank(25), rank(75)];
  const at = new Map((await rows(`
    SELECT r, a FROM (SELECT a, row_number() OVER (ORDER BY a) AS r FROM t)
    WHERE r IN (${r25}, ${r75})`)).map(([r, a]) => [Number(r), a]));
  // Histogram: round(log2(n - 1)) bins of equal width from the minimum, the maximum in the last.
  const bins = N < 2 ? 1 : roundHalfEven(Math.log(N - 1) / Math.log(2));
  const last = Math.min(bins, 30) - 1;
  const width = (hi - lo) / bins;
  const histogram = new Map((await rows(`
    SELECT least(greatest(floor((round(a, 4) - ${lo}) / ${width}), 0), ${last})::INTEGER AS b,
           count(*), sum(a)
    FROM t GROUP BY b`)).map(([b, c, a]) => [b, [Number(c), a]]));
  const top = (await rows("SELECT a FROM t ORDER BY a DESC LIMIT 10")).map(([a]) => a);
  const bottom = (await rows("SELECT a FROM t ORDER BY a LIMIT 10")).map(([a]) => a);

  count("N", N);
  figure("Min", lo);
  figure("Max", hi);
  figure("Mean", mean);
  figure("Sum", sum);
  figure("Median", median);
  figure("Mode", Number(modeCount) >= 2 ? modeValue : 0);
  figure("StdDev", s);
  figure("Skewness", skew);
  figure("Kurtosis", kurt);
  figure("Variance", s * s);
  figure("USS", uss);
  figure("Range", hi - lo);
  figure("SEM", s / Math.sqrt(N));
  figure("CV", s / mean);
  figure("PopStdDev", pop);
  count("CountPos", cpos);
  figure("SumPos", spos);
  count("CountNeg", cneg);
  figure("SumNeg", sneg);
  count("CountZero", czero);
  figure("QRange", at.get(r75) - at.get(r25));
  count("bins", bins);
  for (let b = 0; b <= last; b++) {
    const [c, a] = histogram.get(b) ?? [0, 0];
    count(`bin.${b}.count`, c);
    figure(`bin.${b}.amount`, a);
  }
  for (let j = 1; j <= Math.min(N, 10); j++) {
    figure(`top.${j}`, top[j - 1]);
    figure(`bottom.${j}`, bottom[j - 1]);
    figure(`top.${j}.z`, (top[j - 1] - mean) / s);
    figure(`bottom.${j}.z`, (bottom[j - 1] - mean) / s);  // signed: below the mean
  }
}

async function crosstab() {
  const LIMIT = 30;
  // A table keeps the file's order in its row ids: the first values are those first seen.
  await con.run(`CREATE TEMP TABLE t AS SELECT Vendor, Account, Amount FROM ${ledgerSql()}`);
  const first = async (col) => (await rows(
    `SELECT ${col} FROM t GROUP BY ${col} ORDER BY min(rowid) LIMIT ${LIMIT}`)).map(([v]) => v);
  const rowValues = await first("Vendor");
  const colValues = await first("Account");
  const list = (values) => values.map(quote).join(", ");
  const cells = new Map((await rows(`
    SELECT Vendor, Account, count(*), sum(Amount) FROM t
    WHERE Vendor IN (${list(rowValues)}) AND Account IN (${list(colValues)})
    GROUP BY Vendor, Account`)).map(([r, c, n, a]) => [`${r}\t${c}`, [Number(n), a]]));
  const cell = (r, c) => cells.get(`${r}\t${c}`) ?? [0, 0];

  const rowSums = rowValues.map((r) => colValues.reduce((t, c) => t + cell(r, c)[0], 0));
  const colSums = colValues.map((c) => rowValues.reduce((t, r) => t + cell(r, c)[0], 0));
  const total = rowSums.reduce((a, b) => a + b, 0);
  let chisq = 0;
  rowValues.forEach((r, i) => colValues.forEach((c, j) => {
    const e = (rowSums[i] * colSums[j]) / total;
    const o = cell(r, c)[0];
    chisq += ((o - e) * (o - e)) / e;
  }));
  const k = Math.min(rowValues.length, colValues.length) - 1;
  figure("chisq", chisq);
  count("df", Math.max((rowValues.length - 1) * (colValues.length - 1), 1));
  figure("cramer", Math.sqrt(chisq / (total * k)));  // also when the test may not be valid
  for (const r of rowValues) {
    for (const c of colValues) {
      count(`count.${r}.${c}`, cell(r, c)[0]);
      figure(`amount.${r}.${c}`, cell(r, c)[1]);
    }
  }
}

async function extract() {
  if (!arg) {
    console.error("tasks.mjs: EX needs the file to write");
    process.exit(2);
  }
  // Every field kept as read, so that the rows written are the file's own; the filter reads
  // the amount as a number, the date as a day and compares the vendor without regard to case.
  const text = Object.fromEntries(Object.keys(COLUMNS).map((k) => [k, "VARCHAR"]));
  await con.run(`CREATE TEMP TABLE picked AS SELECT * FROM ${ledgerSql(text)}
    WHERE TRY_CAST(Amount AS DOUBLE) > 50000
      AND TRY_STRPTIME(InvDate, '%m/%d/%Y') >= DATE '2023-10-01'
      AND upper(Vendor) < 'V0100'`);
  await con.run(`COPY picked TO ${quote(arg)} (FORMAT csv, DELIMITER '\\t', HEADER, QUOTE '')`);
  const [[selected, amount]] = await rows("SELECT count(*), coalesce(sum(Amount::DOUBLE), 0) FROM picked");
  count("selected", selected);
  figure("amount", amount);
}

const TASKS = { BE: benford, SU: summary, ST: stratify, UN: stats, XT: crosstab, EX: extract };
if (!TASKS[task]) {
  console.error(`tasks.mjs: unknown task ${task}`);
  process.exit(2);
}
await TASKS[task]();
process.stdout.write(lines.join("\n") + "\n");

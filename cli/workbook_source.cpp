#include "workbook_source.h"

#include <expat.h>
#include <zip.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "tarnwick/core/date.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/text.h"

namespace tarnwick::cli {

namespace {

constexpr std::size_t kChunk = 1 << 16;

[[noreturn]] void Fail(const std::string& message) { throw FileError{message, true}; }

// The element or attribute name without its namespace prefix ("x:row" -> "row"): writers
// differ in the prefixes they use.
std::string_view Local(const XML_Char* name) {
  // one pass: every element and attribute of a sheet comes through here
  const XML_Char* start = name;
  const XML_Char* p = name;
  for (; *p; ++p) {
    if (*p == ':') start = p + 1;
  }
  return std::string_view(start, static_cast<std::size_t>(p - start));
}

const XML_Char* Attr(const XML_Char** atts, std::string_view local) {
  for (; *atts; atts += 2) {
    if (Local(atts[0]) == local) return atts[1];
  }
  return nullptr;
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

// A cell reference "B3" (optionally "$B$3"): 0-based column, 1-based row. Row 0 when the
// reference has no row digits (a column alone).
bool ParseCellRef(std::string_view ref, std::int32_t& col, std::int64_t& row) {
  std::size_t i = 0;
  if (i < ref.size() && ref[i] == '$') ++i;
  std::int64_t c = 0;
  const std::size_t letters = i;
  while (i < ref.size() && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z'))) {
    c = c * 26 + ((ref[i] | 0x20) - 'a' + 1);
    if (c > 16384) return false;
    ++i;
  }
  if (i == letters) return false;
  if (i < ref.size() && ref[i] == '$') ++i;
  std::int64_t r = 0;
  const std::size_t digits = i;
  while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9') {
    r = r * 10 + (ref[i] - '0');
    if (r > 1048576) return false;
    ++i;
  }
  if (i != ref.size()) return false;
  if (i == digits) r = 0;
  col = static_cast<std::int32_t>(c - 1);
  row = r;
  return true;
}

std::string ColumnLetters(std::int32_t col) {
  std::string s;
  for (std::int32_t c = col + 1; c > 0; c = (c - 1) / 26)
    s.insert(s.begin(), static_cast<char>('A' + (c - 1) % 26));
  return s;
}

// A custom number format shows a date or time when it has d, m, y, h or s outside quoted text,
// brackets ("[Red]", "[$-409]"), and escaped or padding characters.
bool IsDateFormatCode(std::string_view code) {
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (c == '"') {
      const std::size_t close = code.find('"', i + 1);
      if (close == std::string_view::npos) return false;
      i = close;
    } else if (c == '[') {
      const std::size_t close = code.find(']', i + 1);
      if (close == std::string_view::npos) return false;
      i = close;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;
    } else if (std::strchr("dDmMyYhHsS", c) && c != '\0') {
      return true;
    }
  }
  return false;
}

bool IsBuiltInDateFormat(long id) { return (id >= 14 && id <= 22) || (id >= 45 && id <= 47); }

// The engine's date of a serial number of the workbook's date system; nullopt for a serial
// that is no date. `leapDay` is set for the 1900 system's serial 60, 29 February 1900.
std::optional<Date> SerialDate(double v, bool date1904, bool& leapDay) {
  leapDay = false;
  if (!(v >= 0) || v >= 2958466) return std::nullopt;  // 31 December 9999 is the last
  if (date1904) {
    // 1 January 1904 is serial 0 there and 1462 here.
    return Date(v + 1462);
  }
  // The 1900 system counts a 29 February 1900 that never was: serials from 61 on agree with the
  // engine's day numbers, those before are one day off.
  if (v >= 61 || v < 1) return Date(v);
  if (v >= 60) {
    leapDay = true;
    return std::nullopt;
  }
  return Date(v + 1);
}

// An OLE compound document: an encrypted (password-protected) workbook keeps its zip inside
// a stream named "EncryptedPackage"; an old .xls workbook has none. Follows the directory's
// sector chain through the FAT sectors listed in the header.
bool IsEncryptedPackage(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char h[512];
  if (!in.read(reinterpret_cast<char*>(h), sizeof h)) return false;
  auto u16 = [](const unsigned char* p) { return static_cast<std::uint32_t>(p[0] | p[1] << 8); };
  auto u32 = [](const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
  };
  const std::uint32_t shift = u16(h + 30);
  if (shift != 9 && shift != 12) return false;
  const std::uint32_t size = 1u << shift;
  std::vector<unsigned char> sector(size);
  auto read = [&](std::uint32_t s) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(s + 1) * size);
    return static_cast<bool>(in.read(reinterpret_cast<char*>(sector.data()), size));
  };
  std::vector<std::uint32_t> fat;
  for (int k = 0; k < 109; ++k) {
    const std::uint32_t s = u32(h + 76 + 4 * k);
    if (s >= 0xFFFFFFFA) break;
    if (!read(s)) return false;
    for (std::uint32_t o = 0; o < size; o += 4) fat.push_back(u32(sector.data() + o));
  }
  static const char kName[] = "EncryptedPackage";
  std::uint32_t s = u32(h + 48);
  for (int steps = 0; s < 0xFFFFFFFA && steps < 100000; ++steps) {
    if (!read(s)) return false;
    for (std::uint32_t e = 0; e + 128 <= size; e += 128) {
      const unsigned char* entry = sector.data() + e;
      const std::uint32_t bytes = u16(entry + 64);
      if (bytes != 2 * sizeof kName) continue;
      bool same = true;
      for (std::size_t k = 0; k + 1 < sizeof kName && same; ++k)
        same = entry[2 * k] == static_cast<unsigned char>(kName[k]) && entry[2 * k + 1] == 0;
      if (same) return true;
    }
    if (s >= fat.size()) break;
    s = fat[s];
  }
  return false;
}

}  // namespace

bool IsWorkbookFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char magic[4] = {};
  if (in.read(magic, 4) &&
      (std::memcmp(magic, "PK\3\4", 4) == 0 || std::memcmp(magic, "\xD0\xCF\x11\xE0", 4) == 0)) {
    return true;
  }
  // A damaged workbook is still one; an ".xls" of text (as many programs export) is not.
  const std::string lower = Lower(path);
  for (const char* ext : {".xlsx", ".xlsm", ".xltx", ".xltm"}) {
    if (EndsWith(lower, ext)) return true;
  }
  return false;
}

struct WorkbookSource::Impl {
  std::string path;
  zip_t* zip = nullptr;

  // What the workbook holds besides its sheets.
  bool date1904 = false;
  std::vector<char> dateStyle;  // per cell format (cellXfs) index: a date format
  std::string strings;          // the shared strings, one after another
  std::vector<std::uint64_t> stringEnds;

  // The sheet being streamed.
  std::string sheetName;
  std::string part;
  zip_file_t* file = nullptr;
  XML_Parser parser = nullptr;
  std::uint64_t size = 0, done = 0;
  bool suspended = false, inputEnded = false, finished = false;
  std::string error;

  // The block.
  bool range = false;
  std::int32_t ulcCol = 0;
  std::int64_t ulcRow = 0;
  std::int32_t firstCol = 0, width = 0;
  bool headerDone = false;
  std::vector<std::pair<std::int32_t, std::string>> headerCells;
  std::vector<std::string> headerNames;

  // The row and cell being parsed.
  std::int64_t rowNum = 0, nextRow = 1, pendingBlank = 0;
  std::int32_t nextCol = 0, cellCol = 0;
  bool inRow = false, inCell = false, cellWanted = false, collect = false, inInline = false;
  int phonetic = 0;
  char cellType =
      'n';  // n number, s shared, i inline, f formula string, b boolean, e error, d ISO date
  std::int64_t cellStyle = 0;
  std::string text;
  std::vector<std::string> values;
  bool rowHasValue = false;

  // What Next() hands out.
  bool rowReady = false;
  std::int64_t blanksBefore = 0;  // blank rows to give before the ready row
  std::int64_t readyRow = 0;
  std::int64_t servedRow = 0;
  std::vector<std::string_view> views, blanks;

  ~Impl() {
    if (parser) XML_ParserFree(parser);
    if (file) zip_fclose(file);
    if (zip) zip_discard(zip);
  }

  std::string Where() const {
    return "file: " + path + (sheetName.empty() ? "" : " sheet: " + sheetName);
  }
  [[noreturn]] void Damaged(const std::string& what) const {
    Fail("Workbook: " + path + " is damaged: " + what);
  }

  // Reads a whole (small) part through expat with the given handlers.
  void ParsePart(const std::string& name, void* user, XML_StartElementHandler start,
                 XML_EndElementHandler end, XML_CharacterDataHandler chars, bool required) {
    zip_file_t* f = zip_fopen(zip, name.c_str(), 0);
    if (!f) {
      if (!required) return;
      Damaged("it has no part " + name);
    }
    XML_Parser p = XML_ParserCreate(nullptr);
    XML_SetUserData(p, user);
    XML_SetElementHandler(p, start, end);
    if (chars) XML_SetCharacterDataHandler(p, chars);
    std::string failure;
    for (;;) {
      void* buf = XML_GetBuffer(p, kChunk);
      const zip_int64_t n = buf ? zip_fread(f, buf, kChunk) : -1;
      if (n < 0) {
        failure = name + ": " + (buf ? zip_file_strerror(f) : "out of memory");
        break;
      }
      if (XML_ParseBuffer(p, static_cast<int>(n), n == 0) != XML_STATUS_OK) {
        failure = name + ": line " + std::to_string(XML_GetCurrentLineNumber(p)) + ": " +
                  XML_ErrorString(XML_GetErrorCode(p));
        break;
      }
      if (n == 0) break;
    }
    XML_ParserFree(p);
    zip_fclose(f);
    if (!failure.empty()) Damaged(failure);
  }

  void Open(const std::string& wantSheet);
  void StartSheet();
  void Pump();
  void CellEnd();
  void RowEnd();
};

namespace {

// --- the parts read whole: relationships, workbook, styles, shared strings ------------------

struct Rel {
  std::string type, target;
};
struct RelsReader {
  std::map<std::string, Rel> rels;
  static void Start(void* u, const XML_Char* name, const XML_Char** atts) {
    if (Local(name) != "Relationship") return;
    const XML_Char* id = Attr(atts, "Id");
    const XML_Char* type = Attr(atts, "Type");
    const XML_Char* target = Attr(atts, "Target");
    if (id && type && target) static_cast<RelsReader*>(u)->rels[id] = Rel{type, target};
  }
  static void End(void*, const XML_Char*) {}
};

struct SheetEntry {
  std::string name, relId;
  bool hidden = false;
};
struct WorkbookReader {
  std::vector<SheetEntry> sheets;
  bool date1904 = false;
  static void Start(void* u, const XML_Char* name, const XML_Char** atts) {
    auto* w = static_cast<WorkbookReader*>(u);
    const std::string_view n = Local(name);
    if (n == "workbookPr") {
      const XML_Char* v = Attr(atts, "date1904");
      w->date1904 = v && (std::string_view(v) == "1" || std::string_view(v) == "true");
    } else if (n == "sheet") {
      SheetEntry e;
      for (const XML_Char** a = atts; *a; a += 2) {
        const std::string_view an(a[0]);
        if (an == "name")
          e.name = a[1];
        else if (an == "state")
          e.hidden = std::string_view(a[1]) != "visible";
        else if (an.find(':') != std::string_view::npos && Local(a[0]) == "id")
          e.relId = a[1];
      }
      w->sheets.push_back(e);
    }
  }
  static void End(void*, const XML_Char*) {}
};

struct StylesReader {
  std::map<long, std::string> formats;
  std::vector<long> xfFormats;
  int inCellXfs = 0;
  static long Id(const XML_Char* v) { return v ? std::strtol(v, nullptr, 10) : 0; }
  static void Start(void* u, const XML_Char* name, const XML_Char** atts) {
    auto* s = static_cast<StylesReader*>(u);
    const std::string_view n = Local(name);
    if (n == "numFmt") {
      const XML_Char* code = Attr(atts, "formatCode");
      s->formats[Id(Attr(atts, "numFmtId"))] = code ? code : "";
    } else if (n == "cellXfs") {
      ++s->inCellXfs;
    } else if (n == "xf" && s->inCellXfs) {
      s->xfFormats.push_back(Id(Attr(atts, "numFmtId")));
    }
  }
  static void End(void* u, const XML_Char* name) {
    if (Local(name) == "cellXfs") --static_cast<StylesReader*>(u)->inCellXfs;
  }
};

struct StringsReader {
  WorkbookSource::Impl* w;
  bool inItem = false, inText = false;
  int phonetic = 0;
  static void Start(void* u, const XML_Char* name, const XML_Char**) {
    auto* s = static_cast<StringsReader*>(u);
    const std::string_view n = Local(name);
    if (n == "si")
      s->inItem = true;
    else if (n == "rPh")
      ++s->phonetic;
    else if (n == "t" && s->inItem && !s->phonetic)
      s->inText = true;
  }
  static void End(void* u, const XML_Char* name) {
    auto* s = static_cast<StringsReader*>(u);
    const std::string_view n = Local(name);
    if (n == "si") {
      s->inItem = false;
      s->w->stringEnds.push_back(s->w->strings.size());
    } else if (n == "rPh") {
      --s->phonetic;
    } else if (n == "t") {
      s->inText = false;
    }
  }
  static void Chars(void* u, const XML_Char* text, int len) {
    auto* s = static_cast<StringsReader*>(u);
    if (s->inText) s->w->strings.append(text, static_cast<std::size_t>(len));
  }
};

// A part's target, relative to the folder of the part whose relationships name it.
std::string Resolve(const std::string& folder, const std::string& target) {
  if (!target.empty() && target[0] == '/') return target.substr(1);
  std::string base = folder;
  std::string t = target;
  while (t.rfind("../", 0) == 0) {
    t.erase(0, 3);
    const std::size_t slash = base.find_last_of('/', base.empty() ? 0 : base.size() - 2);
    base = slash == std::string::npos ? "" : base.substr(0, slash + 1);
  }
  return base + t;
}

std::string RelsOf(const std::string& part) {
  const std::size_t slash = part.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : part.substr(0, slash + 1);
  return folder + "_rels/" + part.substr(slash == std::string::npos ? 0 : slash + 1) + ".rels";
}

// --- the sheet, streamed ------------------------------------------------------------------

void SheetStart(void* u, const XML_Char* name, const XML_Char** atts) {
  auto* w = static_cast<WorkbookSource::Impl*>(u);
  const std::string_view n = Local(name);
  if (n == "c") {
    std::int32_t col = w->nextCol;
    w->cellType = 'n';
    w->cellStyle = 0;
    for (const XML_Char** a = atts; *a; a += 2) {
      const std::string_view an = Local(a[0]);
      if (an == "r") {
        std::int64_t row = 0;
        if (!ParseCellRef(a[1], col, row)) {
          w->error = "cell reference " + std::string(a[1]);
        }
      } else if (an == "t") {
        const std::string_view t(a[1]);
        w->cellType = t == "s"           ? 's'
                      : t == "inlineStr" ? 'i'
                      : t == "str"       ? 'f'
                      : t == "b"         ? 'b'
                      : t == "e"         ? 'e'
                      : t == "d"         ? 'd'
                                         : 'n';
      } else if (an == "s") {
        w->cellStyle = std::strtol(a[1], nullptr, 10);
      }
    }
    w->cellCol = col;
    w->nextCol = col + 1;
    w->inCell = true;
    w->text.clear();
    w->cellWanted = !w->headerDone ? (w->rowNum >= w->ulcRow && col >= w->ulcCol)
                                   : (col >= w->firstCol && col < w->firstCol + w->width);
  } else if (n == "v") {
    w->collect = w->inCell && w->cellWanted && w->cellType != 'i';
  } else if (n == "is") {
    w->inInline = true;
  } else if (n == "t") {
    w->collect = w->inInline && w->cellWanted && !w->phonetic;
  } else if (n == "rPh") {
    ++w->phonetic;
  } else if (n == "row") {
    std::int64_t r = w->nextRow;
    if (const XML_Char* v = Attr(atts, "r")) r = std::strtoll(v, nullptr, 10);
    if (r < w->nextRow) {
      w->error = "rows out of order at row " + std::to_string(r);
    }
    if (w->headerDone && r > w->nextRow) {
      // rows that the sheet leaves out are empty
      if (w->range) {
        w->finished = true;
        XML_StopParser(w->parser, XML_FALSE);
        return;
      }
      w->pendingBlank += r - w->nextRow;
    }
    w->rowNum = r;
    w->nextRow = r + 1;
    w->nextCol = 0;
    w->inRow = true;
    w->rowHasValue = false;
    for (std::string& v : w->values) v.clear();
    w->headerCells.clear();
  }
  if (!w->error.empty()) XML_StopParser(w->parser, XML_FALSE);
}

void SheetEnd(void* u, const XML_Char* name) {
  auto* w = static_cast<WorkbookSource::Impl*>(u);
  const std::string_view n = Local(name);
  if (n == "v" || n == "t") {
    w->collect = false;
  } else if (n == "c") {
    w->CellEnd();
  } else if (n == "is") {
    w->inInline = false;
  } else if (n == "rPh") {
    --w->phonetic;
  } else if (n == "row") {
    w->RowEnd();
  } else if (n == "sheetData") {
    // What follows the cells (merges, print settings) is of no interest.
    w->finished = true;
    XML_StopParser(w->parser, XML_FALSE);
  }
  if (!w->error.empty() && !w->finished) XML_StopParser(w->parser, XML_FALSE);
}

void SheetChars(void* u, const XML_Char* s, int len) {
  auto* w = static_cast<WorkbookSource::Impl*>(u);
  if (w->collect) w->text.append(s, static_cast<std::size_t>(len));
}

}  // namespace

void WorkbookSource::Impl::Open(const std::string& wantSheet) {
  int code = 0;
  zip = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
  if (!zip) {
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    in.read(magic, 4);
    if (std::memcmp(magic, "\xD0\xCF\x11\xE0", 4) == 0) {
      if (IsEncryptedPackage(path)) {
        Fail("Workbook: " + path +
             " is protected by a password (encrypted): save it without "
             "a password to read it");
      }
      Fail("Workbook: " + path +
           " is an old binary .xls workbook, which is not read: save it as .xlsx");
    }
    zip_error_t ze;
    zip_error_init_with_code(&ze, code);
    const std::string why = zip_error_strerror(&ze);
    zip_error_fini(&ze);
    Damaged("not a readable zip archive (" + why + ")");
  }
  RelsReader root;
  ParsePart("_rels/.rels", &root, RelsReader::Start, RelsReader::End, nullptr, true);
  std::string book;
  for (const auto& [id, rel] : root.rels) {
    if (EndsWith(rel.type, "/officeDocument")) book = Resolve("", rel.target);
  }
  if (book.empty()) Damaged("it names no workbook part");
  const std::string folder = book.substr(0, book.rfind('/') + 1);

  WorkbookReader wb;
  ParsePart(book, &wb, WorkbookReader::Start, WorkbookReader::End, nullptr, true);
  date1904 = wb.date1904;
  RelsReader rels;
  ParsePart(RelsOf(book), &rels, RelsReader::Start, RelsReader::End, nullptr, true);

  for (const auto& [id, rel] : rels.rels) {
    if (EndsWith(rel.type, "/styles")) {
      StylesReader st;
      ParsePart(Resolve(folder, rel.target), &st, StylesReader::Start, StylesReader::End, nullptr,
                false);
      dateStyle.reserve(st.xfFormats.size());
      for (long id : st.xfFormats) {
        auto custom = st.formats.find(id);
        dateStyle.push_back(custom != st.formats.end() ? IsDateFormatCode(custom->second)
                                                       : IsBuiltInDateFormat(id));
      }
    } else if (EndsWith(rel.type, "/sharedStrings")) {
      StringsReader sr{this};
      ParsePart(Resolve(folder, rel.target), &sr, StringsReader::Start, StringsReader::End,
                StringsReader::Chars, false);
    }
  }

  // The sheet: by name (not case-sensitive, as sheet names are), or the first visible one.
  const SheetEntry* chosen = nullptr;
  std::string names;
  for (const SheetEntry& e : wb.sheets) {
    names += (names.empty() ? "" : ", ") + e.name;
    if (wantSheet.empty() ? (!chosen && !e.hidden) : EqualsNoCase(e.name, wantSheet)) {
      if (!chosen) chosen = &e;
    }
  }
  if (!chosen && wantSheet.empty() && !wb.sheets.empty()) chosen = &wb.sheets.front();
  if (!chosen) {
    if (wantSheet.empty()) Damaged("it has no worksheet");
    Fail("Workbook: " + path + " has no sheet named " + wantSheet + " (its sheets: " + names + ")");
  }
  sheetName = chosen->name;
  auto rel = rels.rels.find(chosen->relId);
  if (rel == rels.rels.end()) Damaged("sheet " + sheetName + " has no part");
  if (!EndsWith(rel->second.type, "/worksheet")) {
    Fail("Workbook: " + path + ": sheet " + sheetName + " is not a worksheet (a chart sheet?)");
  }
  part = Resolve(folder, rel->second.target);
}

void WorkbookSource::Impl::StartSheet() {
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat(zip, part.c_str(), 0, &st) != 0) Damaged("it has no part " + part);
  if (st.valid & ZIP_STAT_SIZE) size = st.size;
  file = zip_fopen(zip, part.c_str(), 0);
  if (!file) Damaged(part + ": " + zip_strerror(zip));
  parser = XML_ParserCreate(nullptr);
  XML_SetUserData(parser, this);
  XML_SetElementHandler(parser, SheetStart, SheetEnd);
  XML_SetCharacterDataHandler(parser, SheetChars);
}

// Parses on until a row is ready, the block has ended, or the sheet turns out damaged.
void WorkbookSource::Impl::Pump() {
  while (!rowReady && !finished) {
    XML_Status status;
    if (suspended) {
      status = XML_ResumeParser(parser);
    } else {
      if (inputEnded) {
        finished = true;
        break;
      }
      void* buf = XML_GetBuffer(parser, kChunk);
      if (!buf) Damaged(part + ": out of memory");
      const zip_int64_t n = zip_fread(file, buf, kChunk);
      if (n < 0) Damaged(part + ": " + zip_file_strerror(file));
      done += static_cast<std::uint64_t>(n);
      inputEnded = n == 0;
      status = XML_ParseBuffer(parser, static_cast<int>(n), inputEnded);
    }
    if (!error.empty()) Damaged(part + ": " + error);
    if (status == XML_STATUS_SUSPENDED) {
      suspended = true;
    } else if (status == XML_STATUS_OK) {
      suspended = false;
    } else if (!finished) {
      Damaged(part + ": line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ": " +
              XML_ErrorString(XML_GetErrorCode(parser)));
    }
  }
}

void WorkbookSource::Impl::CellEnd() {
  inCell = false;
  if (!cellWanted) return;
  std::string value;
  std::string& out = headerDone ? values[static_cast<std::size_t>(cellCol - firstCol)] : value;
  switch (cellType) {
    case 's': {
      if (text.empty()) {  // a formatted cell of string type with no value
        out.clear();
        break;
      }
      std::size_t k = 0;
      const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), k);
      if (ec != std::errc() || p != text.data() + text.size() || k >= stringEnds.size()) {
        error = "shared string " + text + " at " + ColumnLetters(cellCol) + std::to_string(rowNum);
        XML_StopParser(parser, XML_FALSE);
        return;
      }
      const std::uint64_t begin = k ? stringEnds[k - 1] : 0;
      out.assign(strings, begin, stringEnds[k] - begin);
      break;
    }
    case 'b': out = text.empty() ? "" : text == "0" ? "FALSE" : "TRUE"; break;
    case 'd': {
      // ISO 8601: yyyy-mm-dd, optionally "T" and hh:mm:ss
      int y = 0, m = 0, d = 0, hh = 0, mm = 0;
      double ss = 0;
      const int got = std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%lf", &y, &m, &d, &hh, &mm, &ss);
      const auto day = got >= 3 ? Date::FromYmd(y, m, d) : std::nullopt;
      out = day ? DateText(Date(day->serial() + (hh * 3600 + mm * 60 + ss) / 86400.0)) : text;
      break;
    }
    case 'n': {
      if (text.empty()) {
        out.clear();
        break;
      }
      double v = 0;
      const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
      if (ec != std::errc() || p != text.data() + text.size()) {
        error = "the number " + text + " at " + ColumnLetters(cellCol) + std::to_string(rowNum);
        XML_StopParser(parser, XML_FALSE);
        return;
      }
      if (cellStyle >= 0 && static_cast<std::size_t>(cellStyle) < dateStyle.size() &&
          dateStyle[cellStyle]) {
        bool leapDay = false;
        if (const auto date = SerialDate(v, date1904, leapDay)) {
          out = DateText(*date);
          break;
        }
        if (leapDay) {
          out = "2/29/1900";
          break;
        }
      }
      // The shortest text that reads back as the same double; in fixed notation where the
      // engine's own number text is ("-0.0001", not "-1e-04").
      char buf[400];
      const double mag = v < 0 ? -v : v;
      const auto r = mag == 0 || (mag >= 1e-5 && mag < 1e15)
                         ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed)
                         : std::to_chars(buf, buf + sizeof buf, v);
      out.assign(buf, r.ptr);
      break;
    }
    default:  // inline and formula strings, error values
      out.swap(text);
      break;
  }
  if (!out.empty()) rowHasValue = true;
  if (!headerDone && !out.empty()) headerCells.emplace_back(cellCol, std::move(out));
}

void WorkbookSource::Impl::RowEnd() {
  inRow = false;
  if (!headerDone) {
    if (range && rowNum > ulcRow) {
      finished = true;
      XML_StopParser(parser, XML_FALSE);
      return;
    }
    if (headerCells.empty()) {
      if (range && rowNum == ulcRow) {
        finished = true;
        XML_StopParser(parser, XML_FALSE);
      }
      return;
    }
    std::sort(headerCells.begin(), headerCells.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    if (range) {
      // from the upper-left cell to the right, up to the first empty header cell
      firstCol = ulcCol;
      std::int32_t c = ulcCol;
      for (const auto& [col, name] : headerCells) {
        if (col != c) break;
        ++c;
      }
      width = c - ulcCol;
      if (width == 0) {
        finished = true;
        XML_StopParser(parser, XML_FALSE);
        return;
      }
    } else {
      firstCol = headerCells.front().first;
      width = headerCells.back().first - firstCol + 1;
    }
    std::vector<std::string> names(static_cast<std::size_t>(width));
    for (auto& [col, name] : headerCells) {
      if (col < firstCol + width) names[static_cast<std::size_t>(col - firstCol)] = std::move(name);
    }
    headerCells.clear();
    values.assign(static_cast<std::size_t>(width), std::string());
    views.assign(static_cast<std::size_t>(width), std::string_view());
    blanks.assign(static_cast<std::size_t>(width), std::string_view());
    headerNames.swap(names);
    headerDone = true;
    pendingBlank = 0;
    XML_StopParser(parser, XML_TRUE);
    return;
  }
  if (!rowHasValue) {
    if (range) {
      finished = true;
      XML_StopParser(parser, XML_FALSE);
    } else {
      ++pendingBlank;
    }
    return;
  }
  rowReady = true;
  readyRow = rowNum;
  blanksBefore = pendingBlank;
  pendingBlank = 0;
  XML_StopParser(parser, XML_TRUE);
}

WorkbookSource::WorkbookSource(const std::string& path, const std::string& sheet,
                               const std::string& ulc)
    : impl_(std::make_unique<Impl>()) {
  Impl& w = *impl_;
  w.path = path;
  where_ = "file: " + path;
  if (!ulc.empty()) {
    std::int32_t col = 0;
    std::int64_t row = 0;
    if (!ParseCellRef(ulc, col, row) || row < 1) {
      throw FileError{"ulc=" + ulc + " is not a cell reference such as B3", true};
    }
    w.range = true;
    w.ulcCol = col;
    w.ulcRow = row;
  }
  w.Open(sheet);
  where_ = w.Where();
  w.StartSheet();
  w.Pump();  // to the end of the header row
  if (!w.headerDone) {
    if (w.range) {
      Fail("Workbook: " + path + ": sheet " + w.sheetName + " has no header at " + UCase(ulc) +
           " (the cell is empty)");
    }
    Fail("Workbook: " + path + ": sheet " + w.sheetName + " holds no data");
  }
  names_.swap(w.headerNames);
  w.Pump();  // to the first row: a header alone is not a source
  if (!w.rowReady) {
    Fail("Workbook: " + path + ": " +
         (w.range ? "the range at " + UCase(ulc) : "sheet " + w.sheetName) +
         " has a header and no rows below it");
  }
  values_ = w.views.data();
  count_ = w.views.size();
}

WorkbookSource::~WorkbookSource() = default;

bool WorkbookSource::Next() {
  Impl& w = *impl_;
  if (!w.rowReady) w.Pump();
  if (!w.rowReady) return false;
  if (w.blanksBefore > 0) {
    values_ = w.blanks.data();
    w.servedRow = w.readyRow - w.blanksBefore;
    --w.blanksBefore;
  } else {
    for (std::size_t i = 0; i < w.values.size(); ++i) w.views[i] = w.values[i];
    values_ = w.views.data();
    w.servedRow = w.readyRow;
    w.rowReady = false;
  }
  ++rowNo_;
  return true;
}

double WorkbookSource::Done() const {
  return impl_->size ? static_cast<double>(impl_->done) / static_cast<double>(impl_->size) : -1.0;
}

std::int64_t WorkbookSource::LineNo() const { return impl_->servedRow; }

}  // namespace tarnwick::cli

#pragma once
// Reads back what a test needs from a written .xlsx: its parts (through `unzip`), the sheet
// names, and a cell's type, value and number format.

#include <cstdio>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace xlsx_test {

inline std::string Run(const std::string& command) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ::pclose(p);
  return out;
}

struct CellXml {
  std::string type;    // "s" shared string, "" number
  std::string value;   // the shared string's text, or the number as written
  std::string format;  // the number format code; "" for none
};

class Xlsx {
 public:
  explicit Xlsx(std::string path) : path_(std::move(path)) {
    std::string list = Run("unzip -Z1 '" + path_ + "' 2>/dev/null");
    std::size_t pos = 0;
    while (pos < list.size()) {
      std::size_t nl = list.find('\n', pos);
      if (nl == std::string::npos) nl = list.size();
      parts_.push_back(list.substr(pos, nl - pos));
      pos = nl + 1;
    }
    const std::string strings = Part("xl/sharedStrings.xml");
    const std::regex si("<si><t[^>]*>([^<]*)</t></si>");
    for (auto it = std::sregex_iterator(strings.begin(), strings.end(), si);
         it != std::sregex_iterator(); ++it) {
      shared_.push_back((*it)[1]);
    }
    const std::string styles = Part("xl/styles.xml");
    const std::regex fmt("<numFmt numFmtId=\"(\\d+)\" formatCode=\"([^\"]*)\"");
    for (auto it = std::sregex_iterator(styles.begin(), styles.end(), fmt);
         it != std::sregex_iterator(); ++it) {
      formats_[std::stoi((*it)[1])] = (*it)[2];
    }
    const std::size_t xfs = styles.find("<cellXfs");
    const std::regex xf("<xf numFmtId=\"(\\d+)\"");
    for (auto it = std::sregex_iterator(styles.begin() + static_cast<long>(xfs), styles.end(), xf);
         it != std::sregex_iterator(); ++it) {
      xfFormat_.push_back(std::stoi((*it)[1]));
    }
  }

  const std::vector<std::string>& Parts() const { return parts_; }
  std::string Part(const std::string& name) const {
    return Run("unzip -p '" + path_ + "' '" + name + "' 2>/dev/null");
  }

  std::vector<std::string> SheetNames() const {
    std::vector<std::string> names;
    const std::string wb = Part("xl/workbook.xml");
    const std::regex sheet("<sheet name=\"([^\"]*)\"");
    for (auto it = std::sregex_iterator(wb.begin(), wb.end(), sheet); it != std::sregex_iterator();
         ++it) {
      names.push_back((*it)[1]);
    }
    return names;
  }

  // Cell `ref` ("B8") of the n-th sheet (1-based); an empty type and value when absent.
  CellXml Cell(int sheet, const std::string& ref) const {
    const std::string xml = Part("xl/worksheets/sheet" + std::to_string(sheet) + ".xml");
    const std::regex cell("<c r=\"" + ref + "\"( s=\"(\\d+)\")?( t=\"(\\w+)\")?>(<v>([^<]*)</v>)?");
    std::smatch m;
    CellXml out;
    if (!std::regex_search(xml, m, cell)) return out;
    out.type = m[4];
    out.value = m[6];
    if (out.type == "s") out.value = shared_.at(std::stoul(out.value));
    if (m[2].matched) {
      const int id = xfFormat_.at(std::stoul(m[2]));
      out.format = formats_.count(id) ? formats_.at(id) : std::to_string(id);
    }
    return out;
  }

  // Every chart part's XML.
  std::vector<std::string> Charts() const {
    std::vector<std::string> out;
    for (const std::string& p : parts_) {
      if (p.rfind("xl/charts/chart", 0) == 0) out.push_back(Part(p));
    }
    return out;
  }

 private:
  std::string path_;
  std::vector<std::string> parts_;
  std::vector<std::string> shared_;
  std::map<int, std::string> formats_;
  std::vector<int> xfFormat_;
};

}  // namespace xlsx_test

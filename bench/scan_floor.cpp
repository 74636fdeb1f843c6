// The floor for the runner's timings: one pass over a tab-separated file with a header line,
// read in large blocks, each line split at its tabs and one column parsed as a number. Nothing
// is checked beyond that, so no command that reads the whole file can be expected to beat it.
//
//   scan_floor FILE [COLUMN]      (COLUMN defaults to Amount)
//
// Prints the number of rows, how many of them held a number in the column, and their sum.

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kBlock = 1 << 20;

struct Tally {
  long long rows = 0;
  long long numbers = 0;
  double sum = 0.0;
};

// Field `col` of one line (no line end), split at tabs.
std::string_view Field(std::string_view line, int col) {
  std::size_t start = 0;
  for (int i = 0; i < col; ++i) {
    const std::size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) return {};
    start = tab + 1;
  }
  const std::size_t end = line.find('\t', start);
  return line.substr(start, end == std::string_view::npos ? line.size() - start : end - start);
}

int ColumnOf(std::string_view header, std::string_view name) {
  int col = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = header.find('\t', start);
    const std::string_view f = header.substr(start, tab == std::string_view::npos ? header.size() - start : tab - start);
    if (f == name) return col;
    if (tab == std::string_view::npos) return -1;
    start = tab + 1;
    ++col;
  }
}

void Line(std::string_view line, int col, Tally& t) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  ++t.rows;
  const std::string_view f = Field(line, col);
  double v = 0.0;
  const auto r = std::from_chars(f.data(), f.data() + f.size(), v);
  if (r.ec == std::errc() && r.ptr == f.data() + f.size() && !f.empty()) {
    ++t.numbers;
    t.sum += v;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fputs("usage: scan_floor FILE [COLUMN]\n", stderr);
    return 2;
  }
  const std::string_view column = argc == 3 ? argv[2] : "Amount";
  const int fd = ::open(argv[1], O_RDONLY);
  if (fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
  std::vector<char> buf(kBlock * 2);
  std::size_t held = 0;  // bytes of an unfinished line kept at the front of buf
  int col = -1;
  Tally t;
  for (;;) {
    if (held == buf.size()) buf.resize(buf.size() * 2);  // a line longer than the buffer
    const ssize_t got = ::read(fd, buf.data() + held, buf.size() - held);
    if (got < 0) {
      std::perror(argv[1]);
      return 1;
    }
    const std::size_t end = held + static_cast<std::size_t>(got);
    std::size_t pos = 0;
    for (;;) {
      const void* nl = std::memchr(buf.data() + pos, '\n', end - pos);
      if (nl == nullptr) break;
      const std::size_t stop = static_cast<std::size_t>(static_cast<const char*>(nl) - buf.data());
      const std::string_view line(buf.data() + pos, stop - pos);
      if (col < 0) {
        std::string_view h = line;
        if (!h.empty() && h.back() == '\r') h.remove_suffix(1);
        col = ColumnOf(h, column);
        if (col < 0) {
          std::fprintf(stderr, "scan_floor: no column %.*s\n", static_cast<int>(column.size()), column.data());
          return 1;
        }
      } else {
        Line(line, col, t);
      }
      pos = stop + 1;
    }
    if (got == 0) {
      if (pos < end && col >= 0) Line(std::string_view(buf.data() + pos, end - pos), col, t);
      break;
    }
    held = end - pos;
    std::memmove(buf.data(), buf.data() + pos, held);
  }
  ::close(fd);
  std::printf("rows %lld numbers %lld sum %.2f\n", t.rows, t.numbers, t.sum);
  return 0;
}

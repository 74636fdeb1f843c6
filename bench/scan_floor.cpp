// The floor for the runner's timings: one pass over a tab-separated file with a header line,
// read in large blocks, each line split at its tabs and one column parsed as a number. Nothing
// is checked beyond that, so no command that reads the whole file can be expected to beat it.
//
//   scan_floor FILE [COLUMN] [--threads N]      (COLUMN defaults to Amount, N to 1)
//
// With N threads the lines after the header are cut into N byte ranges at line ends, each
// scanned on its own thread with the same work per line: the floor of a reader that uses N
// cores. Prints the number of rows, how many of them held a number in the column, and their sum.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kBlock = 1 << 20;

struct Tally {
  long long rows = 0;
  long long numbers = 0;
  double sum = 0.0;
  bool failed = false;
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
    const std::string_view f =
        header.substr(start, tab == std::string_view::npos ? header.size() - start : tab - start);
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

// Offset just past the first line end at or after `from` (`size` when there is none).
off_t NextLineStart(int fd, off_t from, off_t size) {
  char b[4096];
  while (from < size) {
    const ssize_t got = ::pread(fd, b, sizeof b, from);
    if (got <= 0) return size;
    const void* nl = std::memchr(b, '\n', static_cast<std::size_t>(got));
    if (nl != nullptr) return from + (static_cast<const char*>(nl) - b) + 1;
    from += got;
  }
  return size;
}

// Scans the lines in [begin, end) of the file; `begin` is the start of a line and `end` the start
// of a line or the end of the file. A last line without a line end counts.
void ScanRange(int fd, off_t begin, off_t end, int col, Tally& out) {
  Tally t;  // counted here, not in `out`, which shares a cache line with the other threads' tallies
  std::vector<char> buf(kBlock * 2);
  std::size_t held = 0;  // bytes of an unfinished line kept at the front of buf
  off_t at = begin;
  for (;;) {
    if (held == buf.size()) buf.resize(buf.size() * 2);  // a line longer than the buffer
    const std::size_t want =
        std::min<std::size_t>(buf.size() - held, static_cast<std::size_t>(end - at));
    const ssize_t got = want == 0 ? 0 : ::pread(fd, buf.data() + held, want, at);
    if (got < 0) {
      out.failed = true;
      return;
    }
    at += got;
    const std::size_t stop = held + static_cast<std::size_t>(got);
    std::size_t pos = 0;
    for (;;) {
      const void* nl = std::memchr(buf.data() + pos, '\n', stop - pos);
      if (nl == nullptr) break;
      const std::size_t lineEnd =
          static_cast<std::size_t>(static_cast<const char*>(nl) - buf.data());
      Line(std::string_view(buf.data() + pos, lineEnd - pos), col, t);
      pos = lineEnd + 1;
    }
    if (got == 0) {
      if (pos < stop) Line(std::string_view(buf.data() + pos, stop - pos), col, t);
      out = t;
      return;
    }
    held = stop - pos;
    std::memmove(buf.data(), buf.data() + pos, held);
  }
}

int Usage() {
  std::fputs("usage: scan_floor FILE [COLUMN] [--threads N]\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = nullptr;
  std::string_view column = "Amount";
  int threads = 1;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--threads") {
      if (i + 1 >= argc) return Usage();
      threads = std::atoi(argv[++i]);
      if (threads < 1 || threads > 256) return Usage();
    } else if (positional == 0) {
      path = argv[i];
      ++positional;
    } else if (positional == 1) {
      column = a;
      ++positional;
    } else {
      return Usage();
    }
  }
  if (path == nullptr) return Usage();
  const int fd = ::open(path, O_RDONLY);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    std::perror(path);
    return 1;
  }
  const off_t size = st.st_size;

  // The header line: the column's position, and where the rows start.
  const off_t first = NextLineStart(fd, 0, size);
  std::string header(static_cast<std::size_t>(first), '\0');
  if (first > 0 && ::pread(fd, header.data(), header.size(), 0) != static_cast<ssize_t>(first)) {
    std::perror(path);
    return 1;
  }
  while (!header.empty() && (header.back() == '\n' || header.back() == '\r')) header.pop_back();
  const int col = ColumnOf(header, column);
  if (col < 0) {
    std::fprintf(stderr, "scan_floor: no column %.*s\n", static_cast<int>(column.size()),
                 column.data());
    return 1;
  }

  // Range i starts at the first line start at or after its share of the bytes.
  std::vector<off_t> starts{first};
  for (int i = 1; i < threads; ++i) {
    const off_t cut = first + (size - first) / threads * i;
    starts.push_back(
        std::max(starts.back(), NextLineStart(fd, cut > first ? cut - 1 : first, size)));
  }
  starts.push_back(size);
  std::vector<Tally> tallies(static_cast<std::size_t>(threads));
  if (threads == 1) {
    ScanRange(fd, starts[0], starts[1], col, tallies[0]);
  } else {
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i) {
      pool.emplace_back(ScanRange, fd, starts[static_cast<std::size_t>(i)],
                        starts[static_cast<std::size_t>(i) + 1], col,
                        std::ref(tallies[static_cast<std::size_t>(i)]));
    }
    for (std::thread& t : pool) t.join();
  }
  ::close(fd);
  Tally t;
  for (const Tally& part : tallies) {
    if (part.failed) {
      std::perror(path);
      return 1;
    }
    t.rows += part.rows;
    t.numbers += part.numbers;
    t.sum += part.sum;
  }
  std::printf("rows %lld numbers %lld sum %.2f\n", t.rows, t.numbers, t.sum);
  return 0;
}

#include "tarnwick/platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string_view>

#include "tarnwick/core/error.h"

namespace tarnwick {

namespace {

constexpr std::size_t kReadBlock = 1 << 20;
constexpr std::size_t kWriteBlock = 1 << 20;
constexpr char kBom[] = "\xEF\xBB\xBF";

[[noreturn]] void RaiseFor(int err, const std::string& path) {
  switch (err) {
    case ENOENT:
    case ENOTDIR: Raise(ErrorCode::FileNotFound, path);
    case EACCES:
    case EPERM: Raise(ErrorCode::PermissionDenied, path);
    default: Raise(ErrorCode::FileAccess, path + ": " + std::strerror(err));
  }
}

}  // namespace

// ---- reader ----

TextReader::~TextReader() { Close(); }

TextReader::TextReader(TextReader&& o) noexcept { *this = std::move(o); }

TextReader& TextReader::operator=(TextReader&& o) noexcept {
  if (this != &o) {
    Close();
    fd_ = o.fd_;
    buf_ = std::move(o.buf_);
    pos_ = o.pos_;
    end_ = o.end_;
    eof_ = o.eof_;
    bomChecked_ = o.bomChecked_;
    line_ = o.line_;
    consumed_ = o.consumed_;
    size_ = o.size_;
    o.fd_ = -1;
    o.pos_ = o.end_ = 0;
    o.eof_ = true;
  }
  return *this;
}

void TextReader::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  eof_ = true;
}

bool TextReader::Fill() {
  if (eof_ || fd_ < 0) return false;
  // Keep the unread tail, then read a block after it; grow only for a line longer than the buffer.
  if (pos_ > 0) {
    std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  if (buf_.size() - end_ < kReadBlock / 2) buf_.resize(buf_.size() * 2);
  bool got = false;
  for (;;) {
    const ssize_t n = ::read(fd_, buf_.data() + end_, buf_.size() - end_);
    if (n > 0) {
      end_ += static_cast<std::size_t>(n);
      got = true;
      // The first bytes may be a byte-order mark split over two reads (a pipe): read on.
      if (!bomChecked_ && end_ - pos_ < 3 &&
          std::memcmp(buf_.data() + pos_, kBom, end_ - pos_) == 0)
        continue;
      SkipBom();
      if (pos_ < end_) return true;
      continue;  // nothing but the mark so far
    }
    if (n == 0) {
      eof_ = true;
      SkipBom();
      return got && pos_ < end_;
    }
    if (errno == EINTR) continue;
    const int err = errno;
    eof_ = true;
    Raise(ErrorCode::FileAccess, std::strerror(err));
  }
}

void TextReader::SkipBom() {
  // A UTF-8 byte-order mark is how some programs say what the text is; it is not text.
  if (bomChecked_) return;
  bomChecked_ = true;
  if (end_ - pos_ >= 3 && std::memcmp(buf_.data() + pos_, kBom, 3) == 0) {
    pos_ += 3;
    consumed_ += 3;
  }
}

bool TextReader::AtEndOfStream() {
  if (pos_ < end_) return false;
  return !Fill();
}

std::string_view TextReader::ReadLineView() {
  std::size_t scanFrom = pos_;
  for (;;) {
    const char* base = buf_.data();
    const void* nl = pos_ < end_ ? std::memchr(base + scanFrom, '\n', end_ - scanFrom) : nullptr;
    if (nl != nullptr) {
      const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(nl) - base);
      std::size_t len = at - pos_;
      if (len > 0 && base[pos_ + len - 1] == '\r') --len;
      std::string_view line(base + pos_, len);
      consumed_ += static_cast<std::int64_t>(at + 1 - pos_);
      pos_ = at + 1;
      ++line_;
      return line;
    }
    const std::size_t scanned = end_ - pos_;
    if (!Fill()) {
      if (pos_ >= end_) Raise(ErrorCode::ReadPastEnd);
      // the last line has no terminator
      std::size_t len = end_ - pos_;
      if (len > 0 && buf_[pos_ + len - 1] == '\r') --len;
      std::string_view line(buf_.data() + pos_, len);
      consumed_ += static_cast<std::int64_t>(end_ - pos_);
      pos_ = end_;
      ++line_;
      return line;
    }
    scanFrom = pos_ + scanned;  // Fill moved the tail to the front
  }
}

void TextReader::ReadLine(std::string& line) { line.assign(ReadLineView()); }

std::string TextReader::ReadLine() { return std::string(ReadLineView()); }

TextReader OpenTextFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) RaiseFor(errno, path);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    Raise(ErrorCode::FileAccess, path + ": not a file");
  }
#ifdef POSIX_FADV_SEQUENTIAL
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  TextReader r;
  r.fd_ = fd;
  r.buf_.resize(kReadBlock);
  r.size_ = S_ISREG(st.st_mode) ? static_cast<std::int64_t>(st.st_size) : 0;
  return r;
}

// ---- writer ----

TextWriter::~TextWriter() {
  if (fd_ >= 0) {
    try {
      Flush();
    } catch (...) {
      // a destructor cannot report; Close() is the call that reports write failures
    }
    ::close(fd_);
  }
}

TextWriter::TextWriter(TextWriter&& o) noexcept { *this = std::move(o); }

TextWriter& TextWriter::operator=(TextWriter&& o) noexcept {
  if (this != &o) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = o.fd_;
    buf_ = std::move(o.buf_);
    path_ = std::move(o.path_);
    o.fd_ = -1;
  }
  return *this;
}

void TextWriter::Flush() {
  std::size_t off = 0;
  while (off < buf_.size()) {
    const ssize_t n = ::write(fd_, buf_.data() + off, buf_.size() - off);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      buf_.clear();
      Raise(ErrorCode::FileAccess, path_ + ": " + std::strerror(err));
    }
    off += static_cast<std::size_t>(n);
  }
  buf_.clear();
}

void TextWriter::Write(std::string_view text) {
  if (fd_ < 0) Raise(ErrorCode::FileAccess, "file is closed");
  buf_.append(text);
  if (buf_.size() >= kWriteBlock) Flush();
}

void TextWriter::WriteLine(std::string_view text) {
  if (fd_ < 0) Raise(ErrorCode::FileAccess, "file is closed");
  buf_.append(text);
  buf_.append("\r\n", 2);
  if (buf_.size() >= kWriteBlock) Flush();
}

void TextWriter::Close() {
  if (fd_ < 0) return;
  try {
    Flush();
  } catch (...) {
    ::close(fd_);
    fd_ = -1;
    throw;
  }
  const int rc = ::close(fd_);
  fd_ = -1;
  if (rc != 0) Raise(ErrorCode::FileAccess, path_ + ": " + std::strerror(errno));
}

TextWriter CreateTextFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) RaiseFor(errno, path);
  TextWriter w;
  w.fd_ = fd;
  w.path_ = path;
  w.buf_.reserve(kWriteBlock + 4096);
  return w;
}

// ---- names and folders ----

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string GetSpecialFolder(int code) {
  if (code != 2) Raise(ErrorCode::InvalidArgument, "special folder " + std::to_string(code));
  const char* t = std::getenv("TMPDIR");
  std::string dir = (t != nullptr && *t != '\0') ? t : "/tmp";
  while (dir.size() > 1 && dir.back() == kPathSeparator) dir.pop_back();
  return dir;
}

std::string GetTempName() {
  // The process id keeps two running processes apart; the counter keeps this one's names apart;
  // the random part keeps a later process with a recycled id clear of leftovers.
  static std::atomic<std::uint32_t> counter{0};
  static const std::uint32_t salt = std::random_device{}();
  const std::string dir = GetSpecialFolder(2);
  for (;;) {
    char name[64];
    std::snprintf(name, sizeof name, "rad%x_%x_%x.tmp", static_cast<unsigned>(::getpid()),
                  counter.fetch_add(1), salt);
    if (!FileExists(dir + kPathSeparator + name)) return name;
  }
}

// ---- temporary files that an interrupt must not leave behind ----

namespace {

// Fixed storage, so a signal handler can walk it without allocating or locking. A slot's path
// is complete before its flag is set, and the flag is cleared before the path changes.
constexpr std::size_t kTempSlots = 4096;
constexpr std::size_t kTempPathMax = 480;
struct TempSlot {
  volatile std::sig_atomic_t used;
  char path[kTempPathMax];
};
TempSlot g_tempSlots[kTempSlots];

}  // namespace

void RegisterTempFile(const std::string& path) {
  if (path.empty() || path.size() >= kTempPathMax) return;  // best effort; such paths stay
  for (TempSlot& slot : g_tempSlots) {
    if (slot.used) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.used = 1;
    return;
  }
}

void ForgetTempFile(const std::string& path) {
  for (TempSlot& slot : g_tempSlots) {
    if (slot.used && std::strcmp(slot.path, path.c_str()) == 0) {
      slot.used = 0;
      return;
    }
  }
}

void RemoveTempFiles() noexcept {
  for (TempSlot& slot : g_tempSlots) {
    if (!slot.used) continue;
    ::unlink(slot.path);
    slot.used = 0;
  }
}

namespace {

// The process id in a name made by GetTempName ("rad<pid>_<n>_<salt>.tmp", hex), found alone
// or inside a hidden name; -1 for any other name.
long TempNameProcess(std::string_view name) {
  std::size_t at = name.find("rad");
  if (at == std::string_view::npos || (at != 0 && name[0] != '.')) return -1;
  std::size_t i = at + 3;
  auto hex = [&](std::size_t& k, unsigned long& v) {
    const std::size_t start = k;
    v = 0;
    while (k < name.size() && std::isxdigit(static_cast<unsigned char>(name[k])) && k - start < 9) {
      const char c = name[k++];
      v = v * 16 + static_cast<unsigned long>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return k > start;
  };
  unsigned long pid = 0, n = 0, salt = 0;
  if (!hex(i, pid) || i >= name.size() || name[i++] != '_') return -1;
  if (!hex(i, n) || i >= name.size() || name[i++] != '_') return -1;
  if (!hex(i, salt) || name.substr(i, 4) != ".tmp") return -1;
  i += 4;
  // alone, or a runner's hidden file: ".rad…tmp.part" or ".<target>.rad…tmp"
  if (at == 0 && i != name.size()) return -1;
  if (at != 0 && i != name.size() && name.substr(i) != ".part") return -1;
  return pid == 0 ? -1 : static_cast<long>(pid);
}

}  // namespace

int RemoveStaleTempFiles(const std::string& folder) noexcept {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  const long self = static_cast<long>(::getpid());
  while (const dirent* e = ::readdir(dir)) {
    const long pid = TempNameProcess(e->d_name);
    if (pid < 0 || pid == self) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;  // still there
    std::string path = folder.empty() ? std::string() : folder + kPathSeparator;
    path += e->d_name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path.c_str()) == 0) {
      ++removed;
    }
  }
  ::closedir(dir);
  return removed;
}

std::string TempFilePath() {
  std::string path = GetSpecialFolder(2) + kPathSeparator + GetTempName();
  RegisterTempFile(path);
  return path;
}

bool DeleteFile(const std::string& path) {
  ForgetTempFile(path);
  return ::unlink(path.c_str()) == 0;
}

void RenameFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0)
    Raise(ErrorCode::FileAccess, from + " -> " + to + ": " + std::strerror(errno));
  ForgetTempFile(from);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace tarnwick

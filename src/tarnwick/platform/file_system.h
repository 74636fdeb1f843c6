#pragma once
// File-system services: the only way the engine touches files. Whole lines of single-byte
// text; reading accepts LF and CRLF line ends, writing ends every line with CR LF.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// A buffered line reader. Lines of any length; no allocation per line beyond the line itself.
// A UTF-8 byte-order mark at the start of the file is skipped: it is not part of the first line.
class TextReader {
 public:
  TextReader() = default;
  ~TextReader();
  TextReader(TextReader&& other) noexcept;
  TextReader& operator=(TextReader&& other) noexcept;
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  // True once every line has been read; true at once for an empty file.
  bool AtEndOfStream();
  // True while unread bytes are held: AtEndOfStream then answers without reading, so the last
  // view ReadLineView gave stays valid.
  bool HasBuffered() const { return pos_ < end_; }
  // The next line without its terminator. Reading past the end is ReadPastEnd.
  std::string ReadLine();
  void ReadLine(std::string& line);
  // The next line as a view into the reader's buffer, valid until the next call; the fast path.
  std::string_view ReadLineView();
  // Lines read so far.
  std::int64_t Line() const { return line_; }
  // Bytes consumed so far (for progress) and the file's size when it was opened.
  std::int64_t BytesRead() const { return consumed_; }
  std::int64_t Size() const { return size_; }
  void Close();

 private:
  friend TextReader OpenTextFile(const std::string& path);
  bool Fill();  // false when nothing more can be read
  void SkipBom();

  int fd_ = -1;
  std::vector<char> buf_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  bool bomChecked_ = false;
  std::int64_t line_ = 0;
  std::int64_t consumed_ = 0;
  std::int64_t size_ = 0;
};

// A buffered line writer. Close() reports a failed write (a full disk, say) as FileAccess.
class TextWriter {
 public:
  TextWriter() = default;
  ~TextWriter();  // closes without raising; call Close() to learn of write failures
  TextWriter(TextWriter&& other) noexcept;
  TextWriter& operator=(TextWriter&& other) noexcept;
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  void WriteLine(std::string_view text);
  void Write(std::string_view text);
  void Close();

 private:
  friend TextWriter CreateTextFile(const std::string& path);
  void Flush();

  int fd_ = -1;
  std::string buf_;
  std::string path_;
};

// True when a regular file of that name exists; never fails.
bool FileExists(const std::string& path);
// FileNotFound when missing, PermissionDenied when unreadable, FileAccess otherwise.
TextReader OpenTextFile(const std::string& path);
// A new, empty file replacing any of that name; PermissionDenied or FileAccess on failure.
TextWriter CreateTextFile(const std::string& path);
// Code 2 is the temporary folder (TMPDIR, else /tmp), without a trailing separator.
std::string GetSpecialFolder(int code);
// A fresh file name (no folder) that clashes with no existing file in the temporary folder,
// nor with a name handed out by this or any other running process.
std::string GetTempName();
// The temporary folder, the separator and a fresh name; the path is registered (below).
std::string TempFilePath();

// Temporary files must not outlive the process, even an interrupted one. Paths handed out by
// TempFilePath are registered; RegisterTempFile adds another (a part-written output beside its
// target); DeleteFile and RenameFile forget the path they remove or move. RemoveTempFiles
// deletes every registered file and is async-signal-safe, for SIGINT and SIGTERM handlers.
void RegisterTempFile(const std::string& path);
void ForgetTempFile(const std::string& path);
void RemoveTempFiles() noexcept;
// A process killed outright (SIGKILL) cannot remove its files. This removes, from `folder`,
// the temporary files named by GetTempName (alone, or inside a hidden name beside a target)
// whose process no longer runs; returns how many it removed. Files of running processes, and
// every other file, are left alone.
int RemoveStaleTempFiles(const std::string& folder) noexcept;
// Removes a file; false when there was none or it could not be removed. Never raises.
bool DeleteFile(const std::string& path);
// Replaces `to` by `from` in one step (same file system); FileAccess on failure.
void RenameFile(const std::string& from, const std::string& to);
// True when both paths name the same existing file (links and relative paths resolved).
bool SameFile(const std::string& a, const std::string& b);

constexpr char kPathSeparator = '/';

}  // namespace tarnwick

#include "run_record.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <ctime>
#include <memory>
#include <nlohmann/json.hpp>

#include "output_file.h"
#include "runner.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/text.h"

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "unknown"
#endif

namespace tarnwick::cli {

std::string MaskPassword(const std::string& text) {
  std::string out = text;
  for (const char* key : {"pwd=", "password="}) {
    const std::string_view k = key;
    std::size_t pos = 0;
    while (pos + k.size() <= out.size()) {
      std::size_t i = pos;
      // case-insensitive search for the key at a word start
      for (; i + k.size() <= out.size(); ++i) {
        if (EqualsNoCase(std::string_view(out).substr(i, k.size()), k) &&
            (i == 0 || out[i - 1] == ';' || out[i - 1] == ' ' || out[i - 1] == '"' ||
             out[i - 1] == '=')) {
          break;
        }
      }
      if (i + k.size() > out.size()) break;
      const std::size_t start = i + k.size();
      std::size_t end = start;
      if (end < out.size() && out[end] == '{') {  // ODBC braces may hold a ';'
        end = out.find('}', end);
        end = end == std::string::npos ? out.size() : end + 1;
      } else {
        while (end < out.size() && out[end] != ';' && out[end] != ' ' && out[end] != '"') ++end;
      }
      out.replace(start, end - start, "***");
      pos = start + 3;
    }
  }
  return out;
}

std::string UtcNow() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  ::gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

std::string FileSha256(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Raise(ErrorCode::FileNotFound, path);
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) {
    ::close(fd);
    Raise(ErrorCode::FileAccess, path);
  }
  std::array<unsigned char, 1 << 16> buf;
  for (;;) {
    const ssize_t n = ::read(fd, buf.data(), buf.size());
    if (n == 0) break;
    if (n < 0 || EVP_DigestUpdate(ctx.get(), buf.data(), static_cast<std::size_t>(n)) != 1) {
      ::close(fd);
      Raise(ErrorCode::FileAccess, path);
    }
  }
  ::close(fd);
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_DigestFinal_ex(ctx.get(), md, &len);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * len);
  for (unsigned int i = 0; i < len; ++i) {
    hex += kHex[md[i] >> 4];
    hex += kHex[md[i] & 15];
  }
  return hex;
}

namespace {

// Path, size and hash of a file; a device or pipe (a sample written to /dev/stdout) has none.
nlohmann::ordered_json FileEntry(const std::string& path) {
  nlohmann::ordered_json f;
  f["path"] = path;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    f["size"] = static_cast<std::int64_t>(st.st_size);
    f["sha256"] = FileSha256(path);
  } else {
    f["size"] = nullptr;
    f["sha256"] = nullptr;
  }
  return f;
}

}  // namespace

std::string RunRecord::Json() const {
  nlohmann::ordered_json doc;
  doc["tool"] = "tarnwick";
  doc["version"] = TARNWICK_VERSION;
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const CommandRecord& c : commands_) {
    nlohmann::ordered_json j;
    j["line"] = c.line;
    j["version"] = TARNWICK_VERSION;
    j["started"] = c.started;
    j["ended"] = c.ended;
    j["status"] = c.status;
    if (!c.message.empty()) j["message"] = c.message;
    j["inputs"] = nlohmann::ordered_json::array();
    for (const std::string& in : c.inputs) j["inputs"].push_back(FileEntry(in));
    if (!c.database.empty() || !c.query.empty()) {
      j["database"] = {{"connection", c.database}, {"query", c.query}};
    }
    j["rows"] = {
        {"read", c.rowsRead}, {"selected", c.rowsSelected}, {"not_evaluated", c.rowsNotEvaluated}};
    j["control_totals"] = nlohmann::ordered_json::array();
    for (const ControlTotal& t : c.totals) {
      j["control_totals"].push_back({{"column", t.column}, {"count", t.count}, {"sum", t.sum}});
    }
    j["outputs"] = nlohmann::ordered_json::array();
    for (const std::string& out : c.outputs) j["outputs"].push_back(FileEntry(out));
    list.push_back(std::move(j));
  }
  doc["commands"] = std::move(list);
  return doc.dump(2);
}

bool RunRecord::Write(const std::string& path, std::string& message) const {
  try {
    std::vector<std::string> inputs;
    for (const CommandRecord& c : commands_) {
      inputs.insert(inputs.end(), c.inputs.begin(), c.inputs.end());
    }
    const std::string text = Json();
    OutputFile out(path, inputs);
    out.WriteLine(text);
    out.Commit();
    return true;
  } catch (const Rejected& r) {
    message = r.message;
  } catch (const EngineError& e) {
    message = std::string("Error ") + std::to_string(static_cast<int>(e.code())) + ": " + e.what();
  } catch (const std::exception& e) {
    message = e.what();
  }
  return false;
}

}  // namespace tarnwick::cli

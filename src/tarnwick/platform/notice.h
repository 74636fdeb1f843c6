#pragma once
// Notices stand in for the host's message boxes: the text goes to a replaceable sink and
// processing goes on. The default sink writes one line to standard error.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

using NoticeSink = std::function<void(std::string_view)>;

void Notify(std::string_view text);
// Installs a sink (an empty one restores the default) and returns the one it replaced.
NoticeSink SetNoticeSink(NoticeSink sink);

// Collects notices while alive and restores the previous sink afterwards; for tests and for
// callers that want to show notices their own way.
class NoticeCapture {
 public:
  NoticeCapture();
  ~NoticeCapture();
  NoticeCapture(const NoticeCapture&) = delete;
  NoticeCapture& operator=(const NoticeCapture&) = delete;
  const std::vector<std::string>& texts() const { return texts_; }

 private:
  std::vector<std::string> texts_;
  NoticeSink previous_;
};

}  // namespace tarnwick

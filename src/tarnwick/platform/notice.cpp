#include "tarnwick/platform/notice.h"

#include <cstdio>

namespace tarnwick {

namespace {
NoticeSink& Sink() {
  static NoticeSink sink;
  return sink;
}
}  // namespace

void Notify(std::string_view text) {
  if (Sink()) {
    Sink()(text);
    return;
  }
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

NoticeSink SetNoticeSink(NoticeSink sink) {
  NoticeSink old = std::move(Sink());
  Sink() = std::move(sink);
  return old;
}

NoticeCapture::NoticeCapture() {
  previous_ = SetNoticeSink([this](std::string_view t) { texts_.emplace_back(t); });
}

NoticeCapture::~NoticeCapture() { SetNoticeSink(std::move(previous_)); }

}  // namespace tarnwick

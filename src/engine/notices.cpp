#include "engine/notices.h"

#include <utility>

namespace povezava::engine {
namespace {

class Dropped final : public NoticeSink {
 public:
  void notice(Notice) override {}
};

}  // namespace

void NoticeList::notice(Notice notice) {
  const std::lock_guard lock(mutex_);
  pending_.push_back(std::move(notice));
}

std::vector<Notice> NoticeList::takeRecords() {
  const std::lock_guard lock(mutex_);
  std::vector<Notice> out;
  out.swap(pending_);
  return out;
}

std::vector<std::string> NoticeList::takeTexts() {
  std::vector<std::string> texts;
  for (Notice& n : takeRecords()) texts.push_back(std::move(n.text));
  return texts;
}

NoticeSink& droppedNotices() {
  static Dropped dropped;  // holds nothing
  return dropped;
}

}  // namespace povezava::engine

#include "engine/notices.h"

#include <mutex>

namespace povezava::engine {
namespace {

std::mutex& guard() {
  static std::mutex m;
  return m;
}

std::vector<Notice>& pending() {
  static std::vector<Notice> notices;
  return notices;
}

}  // namespace

void notice(std::string text) { notice(Notice{NoticeCase::other, {}, {}, std::move(text)}); }

void notice(Notice notice) {
  const std::lock_guard lock(guard());
  pending().push_back(std::move(notice));
}

std::vector<Notice> takeNoticeRecords() {
  const std::lock_guard lock(guard());
  std::vector<Notice> out;
  out.swap(pending());
  return out;
}

std::vector<std::string> takeNotices() {
  std::vector<std::string> texts;
  for (Notice& n : takeNoticeRecords()) texts.push_back(std::move(n.text));
  return texts;
}

}  // namespace povezava::engine

#include "engine/notices.h"

#include <mutex>

namespace povezava::engine {
namespace {

std::mutex& guard() {
  static std::mutex m;
  return m;
}

std::vector<std::string>& pending() {
  static std::vector<std::string> notices;
  return notices;
}

}  // namespace

void notice(std::string text) {
  const std::lock_guard lock(guard());
  pending().push_back(std::move(text));
}

std::vector<std::string> takeNotices() {
  const std::lock_guard lock(guard());
  std::vector<std::string> out;
  out.swap(pending());
  return out;
}

}  // namespace povezava::engine

#include "text/path_helpers.h"

#include <cstddef>

namespace povezava::text {
namespace {

// 0-based position of the last separator, or npos when there is none.
std::size_t lastSeparator(std::u16string_view path, std::u16string_view separators) {
  if (separators.empty()) return std::u16string_view::npos;
  return path.find_last_of(separators);
}

}  // namespace

std::u16string StripFileName(const std::u16string& rsFileName, std::u16string_view separators) {
  const std::size_t p = lastSeparator(rsFileName, separators);
  if (p == std::u16string_view::npos) return {};
  std::u16string folder = rsFileName.substr(0, p);
  // A bare drive names its root folder.
  if (!folder.empty() && folder.back() == u':') folder.push_back(u'\\');
  return folder;
}

std::u16string StripFilepath(const std::u16string& rsFileName, std::u16string_view separators) {
  const std::size_t p = lastSeparator(rsFileName, separators);
  if (p == std::u16string_view::npos) return rsFileName;
  return rsFileName.substr(p + 1);
}

}  // namespace povezava::text

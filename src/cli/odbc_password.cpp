#include "cli/odbc_password.h"

#include <cstddef>
#include <vector>

#include "base/case_fold.h"
#include "engine/link_path.h"

namespace povezava::cli {
namespace {

constexpr std::u16string_view kMask = u"***";

struct Span {
  std::size_t begin = 0;
  std::size_t end = 0;
};

std::u16string_view trimSpaces(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

bool isPasswordKey(std::u16string_view key) {
  key = trimSpaces(key);
  return engine::equalsIgnoringCase(key, u"PWD") || engine::equalsIgnoringCase(key, u"PASSWORD");
}

// Where the non-empty password values lie, in order.
std::vector<Span> passwordValues(std::u16string_view text) {
  std::vector<Span> found;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t keyBegin = i;
    while (i < text.size() && text[i] != u'=' && text[i] != u';') ++i;
    if (i == text.size() || text[i] == u';') {  // an attribute without a value
      ++i;
      continue;
    }
    const std::u16string_view key = text.substr(keyBegin, i - keyBegin);
    ++i;  // past "="
    std::size_t valueBegin = i;
    while (valueBegin < text.size() && text[valueBegin] == u' ') ++valueBegin;
    std::size_t valueEnd = valueBegin;
    if (valueBegin < text.size() && text[valueBegin] == u'{') {
      valueEnd = valueBegin + 1;
      while (valueEnd < text.size()) {
        if (text[valueEnd] == u'}') {
          if (valueEnd + 1 < text.size() && text[valueEnd + 1] == u'}') {
            valueEnd += 2;
            continue;
          }
          ++valueEnd;
          break;
        }
        ++valueEnd;
      }
      i = valueEnd;
      while (i < text.size() && text[i] != u';') ++i;  // text after the braces
    } else {
      while (valueEnd < text.size() && text[valueEnd] != u';') ++valueEnd;
      i = valueEnd;
      while (valueEnd > valueBegin && text[valueEnd - 1] == u' ') --valueEnd;
    }
    if (isPasswordKey(key) && valueEnd > valueBegin) {
      const std::u16string_view value = text.substr(valueBegin, valueEnd - valueBegin);
      if (value != u"{}") found.push_back({valueBegin, valueEnd});
    }
    if (i < text.size()) ++i;  // past ";"
  }
  return found;
}

// The part of a connect text that may hold passwords: a link to a file
// ("MS Access;PWD=x;DATABASE=C:\\a;PWD=b\\P.MDB") holds its path from
// "DATABASE=" to the end, and a folder name is no attribute; an ODBC text is
// attributes throughout.
std::u16string_view attributesOf(std::u16string_view connect) {
  if (engine::startsWithIgnoringCase(connect, u"ODBC;")) return connect;
  if (const auto parts = engine::splitLink(connect)) return parts->prefix;
  return connect;
}

}  // namespace

bool holdsPlainPassword(std::u16string_view connect) { return !passwordValues(attributesOf(connect)).empty(); }

std::u16string maskPasswords(std::u16string_view connect) {
  std::u16string masked;
  std::size_t copied = 0;
  for (const Span& value : passwordValues(attributesOf(connect))) {
    masked += connect.substr(copied, value.begin - copied);
    masked += kMask;
    copied = value.end;
  }
  masked += connect.substr(copied);
  return masked;
}

}  // namespace povezava::cli

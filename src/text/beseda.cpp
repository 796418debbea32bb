#include "text/beseda.h"

#include <cstddef>

#include "text/spaces.h"

namespace povezava::text {
namespace {

constexpr char16_t kComma = u',';
constexpr char16_t kSemicolon = u';';
constexpr char16_t kDoubleQuote = u'"';
constexpr char16_t kSingleQuote = u'\'';
constexpr char16_t kQuoteStandIn = u'\x0001';

}  // namespace

std::u16string BESEDA(std::u16string& LT) {
  std::u16string word;
  bool quoted = false;
  bool stoppedAtSemicolon = false;
  std::size_t position = 0;  // 0-based here; the scan stops on the separator
  for (; position < LT.size(); ++position) {
    char16_t c = LT[position];
    if ((c == kComma || c == kSemicolon) && !quoted) {
      stoppedAtSemicolon = c == kSemicolon;
      break;
    }
    if (c == kDoubleQuote || c == kSingleQuote) {
      quoted = !quoted;
      continue;
    }
    if (c == kQuoteStandIn) c = kDoubleQuote;
    word.push_back(c);
  }
  // The rest survives only after a "," that is not the last character; a scan
  // that ran to the end leaves position == size, which fails the test too.
  if (!stoppedAtSemicolon && position + 1 < LT.size()) {
    LT = std::u16string(trimLeadingSpaces(std::u16string_view(LT).substr(position + 1)));
  } else {
    LT.clear();
  }
  return word;
}

}  // namespace povezava::text

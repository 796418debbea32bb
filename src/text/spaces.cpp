#include "text/spaces.h"

namespace povezava::text {

std::u16string_view trimLeadingSpaces(std::u16string_view text) {
  const auto first = text.find_first_not_of(u' ');
  return first == std::u16string_view::npos ? std::u16string_view{} : text.substr(first);
}

std::u16string_view trimSpaces(std::u16string_view text) {
  text = trimLeadingSpaces(text);
  const auto last = text.find_last_not_of(u' ');
  return last == std::u16string_view::npos ? std::u16string_view{} : text.substr(0, last + 1);
}

}  // namespace povezava::text

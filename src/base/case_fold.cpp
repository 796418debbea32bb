#include "base/case_fold.h"

namespace povezava::engine {

char16_t foldCase(char16_t c) {
  const auto plus = [c](int d) { return static_cast<char16_t>(c + d); };
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? plus(0x20) : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return plus(0x20);  // À..Þ, not ×
  if (c == 0xB5) return 0x03BC;                                // micro sign -> μ
  if (c >= 0x0100 && c <= 0x017F) {
    // Latin Extended-A: pairs of capital (even or odd) and small letter.
    if (c == 0x0130 || c == 0x0131 || c == 0x0138 || c == 0x0149) return c;  // İ ı ĸ ŉ
    if (c == 0x0178) return 0x00FF;                                          // Ÿ -> ÿ
    if (c == 0x017F) return u's';                                            // long s
    const bool oddCapitals = (c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E);
    if (oddCapitals) return (c % 2 == 1) ? plus(1) : c;
    return (c % 2 == 0) ? plus(1) : c;
  }
  if (c >= 0x0391 && c <= 0x03AB && c != 0x03A2) return plus(0x20);  // Greek capitals
  if (c == 0x03C2) return 0x03C3;                                    // final sigma
  if (c >= 0x0400 && c <= 0x040F) return plus(0x50);                 // Ѐ..Џ
  if (c >= 0x0410 && c <= 0x042F) return plus(0x20);                 // А..Я
  if (c >= 0xFF21 && c <= 0xFF3A) return plus(0x20);                 // fullwidth A..Z
  return c;
}

std::u16string foldCase(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = foldCase(c);
  return out;
}

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (foldCase(a[i]) != foldCase(b[i])) return false;
  }
  return true;
}

bool startsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace povezava::engine

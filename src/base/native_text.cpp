#include "base/native_text.h"

#include "base/unicode.h"

namespace povezava::engine {

std::filesystem::path pathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

#ifdef _WIN32
std::wstring wideFromUtf8(std::string_view utf8) {
  const std::u16string text = fromUtf8(utf8);
  return std::wstring(text.begin(), text.end());
}

std::string utf8FromWide(std::wstring_view wide) {
  return toUtf8(std::u16string(wide.begin(), wide.end()));
}
#endif

}  // namespace povezava::engine

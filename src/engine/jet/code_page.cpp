#include "engine/jet/code_page.h"

#include <cerrno>
#include <vector>

#include "engine/errors.h"
#include "engine/unicode.h"

namespace povezava::engine::jet {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

}  // namespace

CodePageEncoder::CodePageEncoder(std::uint16_t codePage)
    : codePage_(codePage), handle_(iconv_open(("CP" + std::to_string(codePage)).c_str(), "UTF-16LE")) {}

CodePageEncoder::~CodePageEncoder() {
  if (handle_ != kNoConverter) iconv_close(handle_);
}

Result<std::string> CodePageEncoder::encode(std::u16string_view text) {
  const std::string codePage = "code page " + std::to_string(codePage_);
  if (handle_ == kNoConverter) return errors::invalidArgument(codePage + " is not known to iconv");
  iconv(handle_, nullptr, nullptr, nullptr, nullptr);  // a fresh conversion state

  std::vector<char> in;
  in.reserve(text.size() * 2);
  for (char16_t c : text) {
    in.push_back(static_cast<char>(c & 0xFF));
    in.push_back(static_cast<char>(c >> 8));
  }
  std::string out(text.size() + 1, '\0');  // a single-byte code page never needs more
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  if (iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
    if (errno == E2BIG) return errors::invalidArgument(codePage + " is not a single-byte code page");
    const std::size_t at = (in.size() - inLeft) / 2;
    return errors::invalidArgument("'" + toUtf8(text.substr(at, 1)) + "' in '" + toUtf8(text) +
                                   "' has no character in " + codePage);
  }
  out.resize(out.size() - outLeft);
  return out;
}

Result<std::string> encodeCodePage(std::u16string_view text, std::uint16_t codePage) {
  return CodePageEncoder(codePage).encode(text);
}

}  // namespace povezava::engine::jet

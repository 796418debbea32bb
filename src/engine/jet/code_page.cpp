#include "engine/jet/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

#include "engine/errors.h"
#include "engine/unicode.h"

namespace povezava::engine::jet {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// An iconv converter, closed when it goes away.
class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (handle_ != kNoConverter) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return handle_ != kNoConverter; }
  iconv_t get() const { return handle_; }

 private:
  iconv_t handle_;
};

}  // namespace

Result<std::string> encodeCodePage(std::u16string_view text, std::uint16_t codePage) {
  const std::string target = "CP" + std::to_string(codePage);
  Converter converter(target.c_str(), "UTF-16LE");
  if (!converter.ok()) {
    return errors::invalidArgument("code page " + std::to_string(codePage) + " is not known to iconv");
  }

  std::vector<char> in;
  in.reserve(text.size() * 2);
  for (char16_t c : text) {
    in.push_back(static_cast<char>(c & 0xFF));
    in.push_back(static_cast<char>(c >> 8));
  }
  std::string out(text.size() * 2 + 1, '\0');  // single-byte code pages never grow
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  if (iconv(converter.get(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
    if (errno == E2BIG) {
      return errors::invalidArgument("code page " + std::to_string(codePage) + " is not a single-byte code page");
    }
    const std::size_t at = (in.size() - inLeft) / 2;
    const std::u16string_view bad = text.substr(at, 1);
    return errors::invalidArgument("'" + toUtf8(bad) + "' in '" + toUtf8(text) + "' has no character in code page " +
                                   std::to_string(codePage));
  }
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace povezava::engine::jet

// The platform's own string and path types, made from UTF-8 and back.
//
// The engine's paths are UTF-8 on every system. On Windows, libstdc++ reads a
// plain std::string as a std::filesystem::path in the ANSI code page, and the
// wide Windows API wants UTF-16: both go through these conversions, never
// through the ANSI code page. Invalid UTF-8 becomes U+FFFD, so a damaged name
// is a file that is not found, not some other file.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace povezava::engine {

std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string utf8Of(const std::filesystem::path& path);

#ifdef _WIN32
std::wstring wideFromUtf8(std::string_view utf8);
std::string utf8FromWide(std::wstring_view wide);
#endif

}  // namespace povezava::engine

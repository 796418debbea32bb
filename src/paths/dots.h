// "." and ".." in a path, by its text alone (nothing is asked of the file
// system): "\" and "/" both separate names. One rule for every spelling a
// path has here: UTF-8 (the path map), UTF-16 (link locations) and the wide
// text of the Windows API (io_windows.cpp).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace povezava::engine {

// What a ".." that would climb above the path's start does.
enum class AboveStart {
  stays,    // nothing: the start is as high as it goes ("/.." is "/")
  refused,  // the whole path is refused
};

template <typename Char>
constexpr bool isPathSeparator(Char c) {
  return c == Char('/') || c == Char('\\');
}

// The names of `path` in order, "." and empty names left out and each ".."
// taking away the name before it. Nothing when a ".." climbs above the start
// and `above` is refused.
template <typename Char>
std::optional<std::vector<std::basic_string<Char>>> foldDots(std::basic_string_view<Char> path,
                                                             AboveStart above) {
  std::vector<std::basic_string<Char>> names;
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t end = at;
    while (end < path.size() && !isPathSeparator(path[end])) ++end;
    const std::basic_string_view<Char> name = path.substr(at, end - at);
    if (name.size() == 2 && name[0] == Char('.') && name[1] == Char('.')) {
      if (names.empty() && above == AboveStart::refused) return std::nullopt;
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && !(name.size() == 1 && name[0] == Char('.'))) {
      names.emplace_back(name);
    }
    at = end + 1;
  }
  return names;
}

// Whether `path` has a "." or ".." name.
template <typename Char>
bool hasDots(std::basic_string_view<Char> path) {
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t end = at;
    while (end < path.size() && !isPathSeparator(path[end])) ++end;
    const std::basic_string_view<Char> name = path.substr(at, end - at);
    if (name.size() == 1 && name[0] == Char('.')) return true;
    if (name.size() == 2 && name[0] == Char('.') && name[1] == Char('.')) return true;
    at = end + 1;
  }
  return false;
}

}  // namespace povezava::engine

// Link strings: how one is made from a back-end path and taken apart again.
//
// A table linked to a file has the link string
//
//   <prefix>DATABASE=<path>
//
// where the prefix is ";" for a Jet/ACE back-end and an ISAM's type and
// options ("Excel 8.0;HDR=YES;") for another kind of file. "DATABASE=" is
// matched in any letter case, the first one found; the path runs from there
// to the end, as a Windows path may itself hold ";".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace povezava::engine {

// The prefix of a link to a Jet/ACE back-end.
inline constexpr std::u16string_view kJetLinkPrefix = u";";

// prefix + "DATABASE=" + path.
std::u16string composeLink(std::u16string_view prefix, std::u16string_view path);

// ";DATABASE=" + path: the link string to the Jet/ACE back-end `path`.
std::u16string jetLink(std::u16string_view path);

// Whether `link` is one to a Jet/ACE back-end: it begins ";DATABASE=" (any
// letter case).
bool isJetLink(std::u16string_view link);

struct PrefixAndPath {
  std::u16string_view prefix;  // before "DATABASE="
  std::u16string_view path;    // after it, exactly as written
};

// The link string split at its "DATABASE="; nothing when it has none. Both
// halves point into `link`.
std::optional<PrefixAndPath> splitLink(std::u16string_view link);

// The back-end path of a link string, as written; nothing when it names none.
std::optional<std::u16string_view> linkPath(std::u16string_view link);

}  // namespace povezava::engine

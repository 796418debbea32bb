#include "links/link_location.h"

#include <filesystem>
#include <vector>

#include "engine/link_path.h"
#include "engine/native_text.h"
#include "engine/unicode.h"

namespace povezava::links {
namespace {

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// The root a folder in Windows form keeps whatever ".." says: "D:" or
// "\\server\share"; empty for a folder in POSIX form.
std::u16string_view windowsRoot(std::u16string_view folder) {
  if (engine::pathForm(folder) != engine::PathForm::windows) return {};
  if (folder.size() >= 2 && folder[1] == u':') return folder.substr(0, 2);
  std::size_t end = 2;  // "\\server\share": past the server's name and the share's
  for (int part = 0; part < 2; ++part) {
    while (end < folder.size() && isSeparator(folder[end])) ++end;
    while (end < folder.size() && !isSeparator(folder[end])) ++end;
  }
  return folder.substr(0, end);
}

// `folder` + `relative`, with "." and ".." taken out (by the text: the
// folder need not exist), in the folder's form: "/a/b" under a POSIX folder,
// "D:\a\b" or "\\server\share\a\b" under a Windows one (the current
// folder of a Windows program).
std::u16string absoluteIn(std::u16string_view folder, std::u16string_view relative) {
  const std::u16string_view root = windowsRoot(folder);
  const char16_t separator = root.empty() ? u'/' : u'\\';
  std::vector<std::u16string> parts;
  const auto addComponents = [&parts](std::u16string_view text) {
    std::size_t at = 0;
    while (at <= text.size()) {
      std::size_t end = at;
      while (end < text.size() && !isSeparator(text[end])) ++end;
      const std::u16string_view part = text.substr(at, end - at);
      if (part == u"..") {
        if (!parts.empty()) parts.pop_back();
      } else if (!part.empty() && part != u".") {
        parts.emplace_back(part);
      }
      at = end + 1;
    }
  };
  addComponents(folder.substr(root.size()));
  addComponents(relative);
  std::u16string out(root);
  for (const std::u16string& part : parts) {
    out += separator;
    out += part;
  }
  return parts.empty() ? out + separator : out;
}

}  // namespace

LinkPlace LinkPlace::here() {
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  return LinkPlace{&engine::processPathMap(), error ? u"/" : engine::fromUtf8(engine::utf8Of(current))};
}

std::u16string linkLocation(std::u16string_view location, const LinkPlace& place) {
  std::u16string local;
  switch (engine::pathForm(location)) {
    case engine::PathForm::windows: return std::u16string(location);
    case engine::PathForm::relative:
      if (location.empty()) return {};
      local = absoluteIn(place.currentFolder, location);
      break;
    case engine::PathForm::absolute: local = location; break;
  }
  if (place.map != nullptr) {
    if (auto windows = place.map->toWindows(local)) return std::move(*windows);
  }
  return local;
}

std::u16string linkString(std::u16string_view location, std::u16string_view fileName,
                          const LinkPlace& place) {
  std::u16string path = linkLocation(location, place);
  path += fileName;
  return engine::jetLink(path);
}

std::optional<std::string> relativeLinkNotice(std::u16string_view link, const LinkPlace& place) {
  const auto path = engine::linkPath(link);
  if (!path || path->empty() || engine::pathForm(*path) != engine::PathForm::relative) return std::nullopt;
  return "the back-end path '" + engine::toUtf8(*path) + "' is relative: it is stored as given and "
         "resolved against the current folder, " + engine::toUtf8(place.currentFolder) +
         ", so the link works only from there";
}

}  // namespace povezava::links

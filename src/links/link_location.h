// Building link strings from locations: the one rule that the window (its
// proposals, the browse buttons, its command line) and povezava-cli
// (--backend, --beside, --folder) share.
//
//   link string = ";DATABASE=" + linkLocation(location) + file name
//
// linkLocation() makes a location fit for a link that other computers follow:
//   - in Windows form ("S:\DATA", "\\SERVER\share\DATA"): as given;
//   - relative ("data", "..\data"): made absolute against the current folder
//     (a link that works only from one folder is no link), then as below;
//   - absolute: the Windows form when it lies in a folder of the path map
//     (paths/path_map.h), else as given.
// It is idempotent: a location it returned comes back unchanged.
//
// Link strings that the user writes whole (TABLE=LINK, the window's lower
// boxes) are stored as given; relativeLinkNotice() is what to tell the user
// when their path is relative.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "paths/path_map.h"


namespace povezava::links {

// The process's current folder, absolute ("/" when it cannot be known).
std::u16string currentFolder();

// The map and the current folder that link locations are made with.
struct LinkPlace {
  const engine::PathMap* map = nullptr;  // null: no map
  std::u16string currentFolder;          // absolute

  // `map` (the program's: links/program.h; it must outlive the place) and
  // the process's current folder.
  static LinkPlace here(const engine::PathMap& map);
};

std::u16string linkLocation(std::u16string_view location, const LinkPlace& place);

// ";DATABASE=" + linkLocation(location) + fileName (fileName starts with its
// own "\": "\PARTNER.MDB").
std::u16string linkString(std::u16string_view location, std::u16string_view fileName, const LinkPlace& place);

// When the back-end path of `link` is relative: a sentence saying so and
// which folder it is resolved against now. Nothing otherwise.
std::optional<std::string> relativeLinkNotice(std::u16string_view link, const LinkPlace& place);

}  // namespace povezava::links

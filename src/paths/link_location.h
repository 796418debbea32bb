// Link locations: where a link string points, made fit for a link that
// other computers follow (links/link_location.h builds the link strings).
//
// linkLocation():
//   - in Windows form ("S:\DATA", "\\SERVER\share\DATA"): as given;
//   - relative ("data", "..\data"): made absolute against the current folder
//     (a link that works only from one folder is no link), then as below;
//   - absolute: the Windows form when it lies in a folder of the path map
//     (paths/path_map.h), else as given.
// It is idempotent: a location it returned comes back unchanged.
#pragma once

#include <string>
#include <string_view>

#include "paths/path_map.h"

namespace povezava::engine {

// The process's current folder, absolute ("/" when it cannot be known).
std::u16string currentFolder();

// The map and the current folder that link locations are made with.
struct LinkPlace {
  const PathMap* map = nullptr;  // null: no map
  std::u16string currentFolder;  // absolute

  // `map` (the program's: links/program.h; it must outlive the place) and
  // the process's current folder.
  static LinkPlace here(const PathMap& map);
};

std::u16string linkLocation(std::u16string_view location, const LinkPlace& place);

}  // namespace povezava::engine

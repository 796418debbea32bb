// Building link strings from locations: the one rule that the window (its
// proposals, the browse buttons, its command line) and povezava-cli
// (--backend, --beside, --folder) share.
//
//   link string = ";DATABASE=" + linkLocation(location) + file name
//
// linkLocation() (paths/link_location.h) makes a location fit for a link that
// other computers follow.
//
// Link strings that the user writes whole (TABLE=LINK, the window's lower
// boxes) are stored as given; relativeLinkNotice() is what to tell the user
// when their path is relative.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "paths/link_location.h"

namespace povezava::links {

// The location rule itself lives with the other path rules.
using engine::currentFolder;
using engine::LinkPlace;
using engine::linkLocation;

// ";DATABASE=" + linkLocation(location) + fileName (fileName starts with its
// own "\": "\PARTNER.MDB").
std::u16string linkString(std::u16string_view location, std::u16string_view fileName, const LinkPlace& place);

// When the back-end path of `link` is relative: a sentence saying so and
// which folder it is resolved against now. Nothing otherwise.
std::optional<std::string> relativeLinkNotice(std::u16string_view link, const LinkPlace& place);

}  // namespace povezava::links

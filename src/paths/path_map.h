// The Windows path map: where the drives and shares that Windows users see
// lie on this computer.
//
// Link strings are written on Windows PCs: they say "S:\DATA\PARTNER.MDB" or
// "\\SERVER\share\DATA\PARTNER.MDB". On Linux such a path means something
// only through a pair "Windows prefix = local folder":
//
//   S:                    = /srv/samba/data
//   S:\APPS               = /srv/samba/apps
//   \\SERVER\share        = /mnt/share
//   \\server.firma.si\x\y = /mnt/x/y
//
// Forward (resolving a link): the longest Windows prefix that covers the
// path, compared without regard to case and with "\" and "/" alike, is
// replaced by its local folder. Reverse (writing a link): a local path inside
// a mapped folder gets the Windows form of the longest such folder (the first
// pair on equal length).
//
// A map is built from several sources (path_map_sources.h); a pair whose
// Windows prefix is already in the map is left out: the earlier source wins.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace povezava::engine {

// What a path is, as far as linking goes.
enum class PathForm {
  windows,   // starts with a drive ("S:") or with two separators (a share)
  absolute,  // starts with one "/" or "\": a folder of this computer
  relative,  // anything else, including the empty text
};
PathForm pathForm(std::u16string_view path);

struct PathMapping {
  std::u16string windows;  // "S:", "S:\APPS", "\\SERVER\share": "\" only, no final one
  std::string local;       // an absolute folder, no final "/" (except "/" itself)
  std::string origin;      // where the pair comes from: "--map", "FILE:LINE", "mount"
};

class PathMap {
 public:
  // Adds the pair unless the map already has one for the same Windows prefix;
  // true when it was added.
  bool add(PathMapping mapping);
  const std::vector<PathMapping>& mappings() const { return mappings_; }
  bool empty() const { return mappings_.empty(); }

  // The local path of a path in Windows form: the longest covering prefix
  // replaced by its folder, the rest's separators as "/". Nothing when no pair
  // covers it (or the path is not in Windows form).
  std::optional<std::string> toLocal(std::u16string_view windowsPath) const;
  // The same, with what is wrong: notMapped() when no pair covers the path,
  // kErrOutsideMappedFolder when its ".." climbs out of the mapped folder
  // ("P:\..\..\etc"). "." and ".." are taken out of the local path.
  [[nodiscard]] Result<std::string> localOf(std::u16string_view windowsPath) const;

  // The Windows form of an absolute local path ("\" and "/" alike) that lies
  // in a mapped folder ("." and ".." taken out first); nothing when it lies in
  // none.
  std::optional<std::u16string> toWindows(std::u16string_view localPath) const;

 private:
  std::vector<PathMapping> mappings_;
};

// The drive ("S:") or share ("\\SERVER\share") a Windows path starts with,
// as written but with "\" separators; empty when the path is not in Windows
// form.
std::u16string windowsRoot(std::u16string_view path);

// One pair as the user writes it: "WINDOWS = LOCAL", blanks around "="
// ignored. The Windows side must be a drive ("S:", "S:\APPS") or a share
// ("\\SERVER\share[\sub]", "/" allowed for "\"), the local side an absolute
// folder. Errors (kErrInvalidArgument) say what is wrong with the text; the
// caller adds where it was written.
[[nodiscard]] Result<PathMapping> parseMapping(std::string_view text, std::string origin);

// The description of the 3044 for a Windows path that no pair covers: names
// the drive or share and says how to add a pair for it.
[[nodiscard]] Status notMapped(std::u16string_view path);

}  // namespace povezava::engine

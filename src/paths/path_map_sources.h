// Where the Windows path map (path_map.h) comes from, in order of precedence:
//
//   1. the pairs given on the command line (povezava-cli --map 'S:=/srv/data');
//   2. the paths files: $XDG_CONFIG_HOME/povezava/paths (~/.config/... when
//      XDG_CONFIG_HOME is not set), then /etc/povezava/paths; or, when the
//      environment variable POVEZAVA_PATHS is set, the files it names
//      instead (":" between them; empty: none). One "WINDOWS = LOCAL" per
//      line; blank lines and lines starting with "#" are skipped. A missing
//      file is no error; a wrong line is, naming the file and the line (its
//      control characters shown as \xNN). Only a regular file of at most
//      1 MiB is read. A second pair for the same Windows prefix, a folder
//      that does not exist here and a " #" inside the folder are taken, and
//      said (loadPathMap's `said`);
//   3. the SMB/CIFS mounts of this computer (/proc/self/mountinfo, file system
//      cifs or smb3): "//server/share/sub" mounted at /mnt/x gives
//      \\server\share\sub = /mnt/x.
//
// An earlier source wins over a later one on the same Windows prefix.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "paths/path_map.h"
#include "base/io.h"
#include "base/status.h"

namespace povezava::engine {

struct PathMapSources {
  std::vector<std::string> options;  // "WINDOWS=LOCAL" texts, as given
  std::vector<std::string> files;    // paths files, in order
  std::string mountTable;            // a mountinfo file; empty for none
};

// The program's sources: the given options, the paths files that
// `xdgConfigHome` and `home` (the environment's values, null when unset) point
// to, and /proc/self/mountinfo.
PathMapSources programPathMapSources(std::vector<std::string> options, const char* xdgConfigHome,
                                     const char* home);

// The same, with the values of this process's environment (POVEZAVA_PATHS
// first).
PathMapSources programPathMapSources(std::vector<std::string> options);

// The paths files this process reads, in order.
std::vector<std::string> programPathsFiles();

// The merged map, the paths files read through `fs`. A wrong option or
// paths-file line fails the whole load (kErrInvalidArgument, naming the
// option or the file and line); an unreadable mount table is taken as one
// without SMB mounts. What is taken but likely meant otherwise is added to
// `said`, one English sentence each.
[[nodiscard]] Result<PathMap> loadPathMap(const PathMapSources& sources, FileSystem& fs,
                                          std::vector<std::string>& said);

// The pairs that the SMB/CIFS mounts of a mountinfo text give, in its order.
// Fields may hold octal escapes ("\040" for a blank).
std::vector<PathMapping> smbMounts(std::string_view mountinfo);

}  // namespace povezava::engine

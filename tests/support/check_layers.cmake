# Fails when a source file includes a header its layer must not see:
#   base/               what every layer shares (Status and the error numbers,
#                       the FileSystem interface, UTF-8/UTF-16, case folding):
#                       nothing but itself;
#   text/               the text routines: nothing of the program;
#   paths/              every rule about Windows and local paths: base/ and
#                       text/ only, never the engine, platform/ or links/;
#   the engine          never paths/, platform/ or links/ (it sees a resolver
#                       through engine/path_resolver.h and is handed the file
#                       system), nor the test-database builder (engine/jet_build/);
#   engine/jet/format/  the file format alone: neither the reader nor the writer;
#   engine/jet/read/    never the writer;
#   platform/           the real file system: base/, paths/ and the engine's
#                       interface, never engine/jet/ or links/;
#   links/, window/, win32/ and povezava-cli
#                       the engine through its public headers, never engine/jet/;
#   links/              never platform/: the programs hand it the file system;
#   win32/              never the Qt window (window/);
#   all but window/     no Qt header at all: the Windows window and the CLI
#                       are built where there is no Qt.
# Run as: cmake -DSOURCE=<src folder> -P check_layers.cmake
# "Q" stands for Qt's headers (<QString>, ...).
set(rules
  "base|engine/|paths/|platform/|links/|text/|cli/|window/|win32/|Q"
  "text|base/|engine/|paths/|platform/|links/|cli/|window/|win32/|Q"
  "paths|engine/|platform/|links/|cli/|window/|win32/|Q"
  "engine/jet/format|engine/jet/(read|write)/|engine/jet/jet_database|engine/jet_build/"
  "engine/jet/read|engine/jet/write/|engine/jet/jet_database|engine/jet_build/"
  "engine/jet/write|engine/jet_build/"
  "engine|engine/jet_build/|paths/|platform/|links/|cli/|window/|win32/|Q"
  "platform|engine/jet|links/|cli/|window/|win32/|Q"
  "links|engine/jet/|platform/|cli/|window/|win32/|Q"
  "window|engine/jet/"
  "win32|engine/jet/|window/|Q"
  "cli|engine/jet/|Q")
set(found "")
foreach(rule ${rules})
  string(REPLACE "|" ";" parts "${rule}")
  list(GET parts 0 folder)
  list(SUBLIST parts 1 -1 forbidden)
  list(JOIN forbidden "|" forbidden)
  file(GLOB_RECURSE files ${SOURCE}/${folder}/*.h ${SOURCE}/${folder}/*.cpp)
  foreach(file ${files})
    # The builder's own folder is not part of the engine it may use.
    if(file MATCHES "/engine/jet_build/")
      continue()
    endif()
    file(STRINGS ${file} includes REGEX "^#include [\"<](${forbidden})")
    foreach(line ${includes})
      file(RELATIVE_PATH name ${SOURCE} ${file})
      string(APPEND found "\n  ${name}: ${line}")
    endforeach()
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "includes across the layers:${found}")
endif()

# Fails when a source file includes a header its layer must not see:
#   engine/jet/format/  the file format alone: neither the reader nor the writer;
#   engine/jet/read/    never the writer;
#   the engine          never the test-database builder (engine/jet_build/);
#   links/, window/, win32/ and povezava-cli
#                       the engine through its public headers, never engine/jet/;
#   win32/              never the Qt window (window/);
#   all but window/     no Qt header at all: the Windows window and the CLI
#                       are built where there is no Qt.
# Run as: cmake -DSOURCE=<src folder> -P check_layers.cmake
# "Q" stands for Qt's headers (<QString>, ...).
set(rules
  "engine/jet/format|engine/jet/(read|write)/|engine/jet/jet_database|engine/jet_build/"
  "engine/jet/read|engine/jet/write/|engine/jet/jet_database|engine/jet_build/"
  "engine/jet/write|engine/jet_build/"
  "engine|engine/jet_build/|Q"
  "text|Q"
  "links|engine/jet/|Q"
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

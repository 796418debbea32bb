# A Windows program's resources: the icon, a version resource naming the
# licence, and the manifest (common controls 6, dpi awareness). The icon is
# the window's own, as the Linux build draws it (src/window/icon.cpp exported
# to PNG by the target povezava_icons), packed into an .ico at build time.
set(POVEZAVA_ICON_DIR "${CMAKE_SOURCE_DIR}/build/release/src/window/icons" CACHE PATH
  "The Linux build's icon images (16x16/povezava.png ... 256x256/povezava.png)")
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(pngs)
foreach(size 16 32 48 64 128 256)
  set(png ${POVEZAVA_ICON_DIR}/${size}x${size}/povezava.png)
  if(NOT EXISTS ${png})
    message(FATAL_ERROR "${png} is missing. The Windows programs carry the window's icon as the "
      "Linux build draws it: build the target povezava_icons of a Linux build first "
      "(scripts/test does), or set POVEZAVA_ICON_DIR to its src/window/icons folder.")
  endif()
  list(APPEND pngs ${png})
endforeach()
set(POVEZAVA_ICO ${CMAKE_BINARY_DIR}/povezava.ico)
add_custom_command(OUTPUT ${POVEZAVA_ICO}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/src/win32/tools/pack_ico.py ${POVEZAVA_ICO} ${pngs}
  DEPENDS ${pngs} ${CMAKE_SOURCE_DIR}/src/win32/tools/pack_ico.py
  COMMENT "Packing the icon into povezava.ico")
add_custom_target(povezava_ico DEPENDS ${POVEZAVA_ICO})

# povezava_windows_resources(TARGET NAME DESCRIPTION): links the resources
# into TARGET, the program NAME.exe.
function(povezava_windows_resources target name description)
  set(POVEZAVA_NAME ${name})
  set(POVEZAVA_DESCRIPTION ${description})
  set(POVEZAVA_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  set(POVEZAVA_VERSION_4 "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/${name}-resources)
  set(POVEZAVA_MANIFEST ${folder}/${name}.manifest)
  configure_file(${CMAKE_SOURCE_DIR}/src/win32/povezava.manifest ${POVEZAVA_MANIFEST} @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/src/win32/povezava.rc.in ${folder}/${name}.rc @ONLY)
  set_source_files_properties(${folder}/${name}.rc PROPERTIES
    OBJECT_DEPENDS "${POVEZAVA_ICO};${POVEZAVA_MANIFEST}")
  target_sources(${target} PRIVATE ${folder}/${name}.rc)
  add_dependencies(${target} povezava_ico)
endfunction()

# Project-wide compile options, applied to every target through povezava_options.
add_library(povezava_options INTERFACE)
target_compile_options(povezava_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wnull-dereference -Wimplicit-fallthrough)
if(POVEZAVA_WERROR)
  target_compile_options(povezava_options INTERFACE -Werror)
endif()
if(POVEZAVA_SANITIZE)
  target_compile_options(povezava_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(povezava_options INTERFACE -fsanitize=address,undefined)
endif()

# A library made of every .cpp in the given folders; an interface library
# while a folder has no sources yet.
function(povezava_library name)
  cmake_parse_arguments(ARG "" "" "FOLDERS;DEPENDS" ${ARGN})
  set(sources)
  foreach(folder ${ARG_FOLDERS})
    file(GLOB found CONFIGURE_DEPENDS ${folder}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC povezava_options ${ARG_DEPENDS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE povezava_options ${ARG_DEPENDS})
  endif()
endfunction()

# Project-wide compile options, applied to every target through povezava_options.
add_library(povezava_options INTERFACE)
target_compile_options(povezava_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wnull-dereference -Wimplicit-fallthrough)
if(WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # MinGW's GCC 12 inlines std::vector differently and then reports a "potential
  # null pointer dereference" for writes into a vector it has just sized; the
  # Linux build keeps the check.
  target_compile_options(povezava_options INTERFACE -Wno-null-dereference)
endif()
if(POVEZAVA_WERROR)
  target_compile_options(povezava_options INTERFACE -Werror)
endif()
if(POVEZAVA_SANITIZE)
  target_compile_options(povezava_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(povezava_options INTERFACE -fsanitize=address,undefined)
endif()

# A library made of every .cpp in the given folders (those for the other
# system left out); an interface library
# while a folder has no sources yet.
function(povezava_library name)
  cmake_parse_arguments(ARG "" "" "FOLDERS;DEPENDS" ${ARGN})
  set(sources)
  foreach(folder ${ARG_FOLDERS})
    file(GLOB found CONFIGURE_DEPENDS ${folder}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  # A file ending in _posix or _windows is built on that system only.
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_windows\\.cpp$")
  endif()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC povezava_options ${ARG_DEPENDS})
    povezava_unity(${name})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE povezava_options ${ARG_DEPENDS})
  endif()
endfunction()

# Unity builds (-DCMAKE_UNITY_BUILD=ON, as scripts/test builds): a target's
# sources compiled a few at a time as one file. These files are compiled
# alone: they share a name in an anonymous namespace with another file of
# their target (or a name that a local one of another file would shadow), or
# hold a member whose type is in an anonymous namespace.
set(POVEZAVA_UNITY_ALONE
  make_demo_command relink_command                        # kUsage
  write_batch                                             # the state of a batch
  win32_view                                              # wide()
  long_value_test page_commit_test page_edit_test         # bytesOf(), kPageSize, Damage
  make_demo_command_test check_command_test              # run, UsageCase
  relink_form_test startup_test)                          # utf8(), kAppPath
function(povezava_unity target)
  list(JOIN POVEZAVA_UNITY_ALONE "|" alone)
  get_target_property(sources ${target} SOURCES)
  foreach(source ${sources})
    if(source MATCHES "/(${alone})\\.cpp$")
      set_source_files_properties(${source} TARGET_DIRECTORY ${target} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
    endif()
  endforeach()
endfunction()

# Included by the top-level CMakeLists.txt: quave_layer, which makes a layer
# (or a part of the simulator) a static library held to its place.

# Where the platforms differ, a layer has one file for each: name_posix.cpp
# and name_win32.cpp behind one name.hpp; name_linux.cpp where only Linux has
# what it needs.
if(WIN32)
  set(quave_other_platform posix)
else()
  set(quave_other_platform win32)
endif()

# quave_layer(NAME FOLDER folder [USES seen...] [LINKS library...]): the
# library quave_NAME of the folder's sources. A layer is a folder; a folder
# inside another layer's folder is a layer of its own. Its sources see only
# their own folder's headers and those of the folders (or single headers)
# USES names: its include path is a folder of links to exactly those
# headers, so an include that points upward, or into a folder the layer may
# not use, does not compile.
function(quave_layer name)
  cmake_parse_arguments(arg "" "FOLDER" "USES;LINKS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${arg_FOLDER}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "_${quave_other_platform}\\.cpp$")
  if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
    list(FILTER sources EXCLUDE REGEX "_linux\\.cpp$")
  endif()
  # Linked on purpose by what needs it, never as part of a layer.
  list(FILTER sources EXCLUDE REGEX "_elf\\.cpp$")
  set(view ${CMAKE_BINARY_DIR}/layer-view/${name})
  file(REMOVE_RECURSE ${view})
  foreach(seen ${arg_FOLDER} ${arg_USES})
    # A header named alone is the one of its folder the layer may use.
    if(seen MATCHES "\\.hpp$")
      set(headers ${CMAKE_SOURCE_DIR}/${seen})
      get_filename_component(seen ${seen} DIRECTORY)
    else()
      file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${seen}/*.hpp)
    endif()
    file(MAKE_DIRECTORY ${view}/${seen})
    foreach(header ${headers})
      get_filename_component(header_name ${header} NAME)
      file(CREATE_LINK ${header} ${view}/${seen}/${header_name} SYMBOLIC)
    endforeach()
  endforeach()
  add_library(quave_${name} STATIC ${sources})
  # A layer compiles as a few large files: most of each small one's time
  # went to the same Boost and standard headers.
  set_target_properties(quave_${name} PROPERTIES UNITY_BUILD ON)
  target_include_directories(quave_${name} PRIVATE ${view})
  target_compile_options(quave_${name} PRIVATE ${quave_coverage_options})
  target_link_libraries(quave_${name} PUBLIC ${arg_LINKS})
endfunction()

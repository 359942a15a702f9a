# The version's one source is project(vigilon VERSION x.y) in the top-level
# CMakeLists.txt. Sets VIGILON_VERSION, VIGILON_VERSION_MAJOR and
# VIGILON_VERSION_MINOR: from that project, or read from that line when the
# server is configured on its own (this file may be included before its
# project()). vigilon_version_header() writes generated/vigilon_version.hpp
# into the build directory and makes the interface library vigilon_version,
# which puts it on the include path.
set(VIGILON_ROOT_CMAKELISTS ${CMAKE_CURRENT_LIST_DIR}/../CMakeLists.txt)
if(DEFINED vigilon_VERSION_MAJOR)
  set(VIGILON_VERSION_MAJOR ${vigilon_VERSION_MAJOR})
  set(VIGILON_VERSION_MINOR ${vigilon_VERSION_MINOR})
else()
  file(STRINGS ${VIGILON_ROOT_CMAKELISTS} VIGILON_PROJECT_LINE
       REGEX "^project\\(vigilon VERSION [0-9]+\\.[0-9]+" LIMIT_COUNT 1)
  if(NOT VIGILON_PROJECT_LINE MATCHES "VERSION ([0-9]+)\\.([0-9]+)")
    message(FATAL_ERROR "no project(vigilon VERSION x.y) line in ${VIGILON_ROOT_CMAKELISTS}")
  endif()
  set(VIGILON_VERSION_MAJOR ${CMAKE_MATCH_1})
  set(VIGILON_VERSION_MINOR ${CMAKE_MATCH_2})
endif()
set(VIGILON_VERSION ${VIGILON_VERSION_MAJOR}.${VIGILON_VERSION_MINOR})

function(vigilon_version_header)
  set(folder ${CMAKE_BINARY_DIR}/generated)
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../common/version.hpp.in
                 ${folder}/vigilon_version.hpp @ONLY)
  add_library(vigilon_version INTERFACE)
  target_include_directories(vigilon_version INTERFACE ${folder})
endfunction()

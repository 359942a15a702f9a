# nlohmann-json (Debian's nlohmann-json3-dev, header-only) for the client
# API's messages. Its headers are copied into the build tree, so that a cross
# build includes them without seeing the build machine's other headers.
find_path(VIGILON_JSON_ROOT nlohmann/json.hpp PATHS /usr/include /usr/local/include
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(VIGILON_JSON_INCLUDE ${CMAKE_BINARY_DIR}/json_include)
file(COPY ${VIGILON_JSON_ROOT}/nlohmann DESTINATION ${VIGILON_JSON_INCLUDE})
add_library(vigilon_json INTERFACE)
target_include_directories(vigilon_json SYSTEM INTERFACE ${VIGILON_JSON_INCLUDE})

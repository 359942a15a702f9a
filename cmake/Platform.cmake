# Chooses the backend files of the platform being built for. Each backend is
# a whole folder; nothing in the core is conditional.
if(WIN32)
  file(GLOB VIGILON_PLATFORM_SOURCES CONFIGURE_DEPENDS platform/win32/*.cpp)
  add_library(vigilon_platform STATIC ${VIGILON_PLATFORM_SOURCES})
  target_link_libraries(vigilon_platform PUBLIC vigilon_common)
else()
  file(GLOB VIGILON_PLATFORM_SOURCES CONFIGURE_DEPENDS platform/posix/*.cpp
       platform/headless/*.cpp)
  add_library(vigilon_platform STATIC ${VIGILON_PLATFORM_SOURCES})
  target_link_libraries(vigilon_platform PUBLIC vigilon_common)
endif()
vigilon_warnings(vigilon_platform)

# The recording platform of the unit tests.
file(GLOB VIGILON_FAKE_SOURCES CONFIGURE_DEPENDS platform/fake/*.cpp)
add_library(vigilon_fake_platform STATIC ${VIGILON_FAKE_SOURCES})
target_link_libraries(vigilon_fake_platform PUBLIC vigilon_common)
vigilon_warnings(vigilon_fake_platform)

# Chooses the backend files of the platform being built for. Each backend is
# a whole folder; nothing in the core is conditional.
if(WIN32)
  # Until the Windows display backend exists, the headless display stands in
  # for the window, GL context and tray icon.
  file(GLOB VIGILON_PLATFORM_SOURCES CONFIGURE_DEPENDS platform/win32/*.cpp
       platform/x86/*.cpp platform/headless/*.cpp)
  add_library(vigilon_platform STATIC ${VIGILON_PLATFORM_SOURCES})
  target_link_libraries(vigilon_platform PUBLIC vigilon_common ws2_32 winhttp advapi32 user32 gdi32
                                                shell32 opengl32)
else()
  file(GLOB VIGILON_PLATFORM_SOURCES CONFIGURE_DEPENDS platform/posix/*.cpp
       platform/x86/*.cpp platform/headless/*.cpp)
  add_library(vigilon_platform STATIC ${VIGILON_PLATFORM_SOURCES})
  target_link_libraries(vigilon_platform PUBLIC vigilon_common)
  find_package(CURL REQUIRED)
  target_link_libraries(vigilon_platform PUBLIC CURL::libcurl)
endif()
vigilon_warnings(vigilon_platform)

# The recording platform of the unit tests.
file(GLOB VIGILON_FAKE_SOURCES CONFIGURE_DEPENDS platform/fake/*.cpp)
add_library(vigilon_fake_platform STATIC ${VIGILON_FAKE_SOURCES})
target_link_libraries(vigilon_fake_platform PUBLIC vigilon_common)
vigilon_warnings(vigilon_fake_platform)

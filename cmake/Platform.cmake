# Chooses the backend files of the platform being built for. Each backend is
# a whole folder; nothing in the core is conditional.

# The output of --help and --version, shared by both programs' backends.
if(WIN32)
  add_library(vigilon_console STATIC platform/win32/console.cpp)
else()
  add_library(vigilon_console STATIC platform/posix/console.cpp)
endif()
target_link_libraries(vigilon_console PUBLIC vigilon_common)
vigilon_warnings(vigilon_console)

if(WIN32)
  # Win32 services, the status window, WGL context and notification-area icon,
  # and the OpenGL renderer that the Linux build shares.
  file(GLOB VIGILON_PLATFORM_SOURCES CONFIGURE_DEPENDS platform/win32/*.cpp
       platform/x86/*.cpp platform/opengl/*.cpp platform/wait_hook.cpp)
  list(FILTER VIGILON_PLATFORM_SOURCES EXCLUDE REGEX "/(setup_[^/]*|console)\\.cpp$")
  add_library(vigilon_platform STATIC ${VIGILON_PLATFORM_SOURCES})
  target_link_libraries(vigilon_platform PUBLIC vigilon_common vigilon_console ws2_32 winhttp advapi32 user32 gdi32
                                                shell32 opengl32)
else()
  # POSIX services, the X11 window, GLX context and tray icon (StatusNotifierItem
  # or XEmbed), and the OpenGL renderer that the Windows build shares.
  file(GLOB VIGILON_PLATFORM_SOURCES CONFIGURE_DEPENDS platform/posix/*.cpp
       platform/x86/*.cpp platform/x11/*.cpp platform/opengl/*.cpp platform/wait_hook.cpp)
  list(FILTER VIGILON_PLATFORM_SOURCES EXCLUDE REGEX "/(setup_[^/]*|console)\\.cpp$")
  add_library(vigilon_platform STATIC ${VIGILON_PLATFORM_SOURCES})
  target_link_libraries(vigilon_platform PUBLIC vigilon_common vigilon_console)
  find_package(CURL REQUIRED)
  find_package(X11 REQUIRED)
  set(OpenGL_GL_PREFERENCE GLVND)
  find_package(OpenGL REQUIRED COMPONENTS OpenGL GLX)
  target_link_libraries(vigilon_platform PUBLIC CURL::libcurl X11::X11 OpenGL::OpenGL
                                                OpenGL::GLX)
  # wslay frames today's client's WebSocket API over our own socket. Debian
  # 12's libwslay-dev ships a CMake package and no pkg-config file; where only
  # the pkg-config file exists, that is used.
  find_package(wslay CONFIG QUIET)
  if(TARGET wslay)
    target_link_libraries(vigilon_platform PRIVATE wslay)
  else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(WSLAY REQUIRED IMPORTED_TARGET libwslay)
    target_link_libraries(vigilon_platform PRIVATE PkgConfig::WSLAY)
  endif()
  # sd-bus (libsystemd) carries the StatusNotifierItem tray icon.
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
  target_link_libraries(vigilon_platform PRIVATE PkgConfig::SYSTEMD)
endif()
vigilon_warnings(vigilon_platform)

# The setup tool's own backend (files named setup_*, and platform/gtk/): its
# dialog, the current directory and the file replacement.
if(WIN32)
  file(GLOB VIGILON_SETUP_PLATFORM_SOURCES CONFIGURE_DEPENDS platform/win32/setup_*.cpp)
  add_library(vigilon_setup_platform STATIC ${VIGILON_SETUP_PLATFORM_SOURCES})
  target_link_libraries(vigilon_setup_platform PUBLIC vigilon_common vigilon_console user32 comctl32)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
  file(GLOB VIGILON_SETUP_PLATFORM_SOURCES CONFIGURE_DEPENDS platform/posix/setup_*.cpp
       platform/gtk/*.cpp)
  add_library(vigilon_setup_platform STATIC ${VIGILON_SETUP_PLATFORM_SOURCES})
  target_link_libraries(vigilon_setup_platform PUBLIC vigilon_common vigilon_console PkgConfig::GTK3)
endif()
vigilon_warnings(vigilon_setup_platform)

# The recording platform of the unit tests.
file(GLOB VIGILON_FAKE_SOURCES CONFIGURE_DEPENDS platform/fake/*.cpp)
add_library(vigilon_fake_platform STATIC ${VIGILON_FAKE_SOURCES})
target_link_libraries(vigilon_fake_platform PUBLIC vigilon_common)
vigilon_warnings(vigilon_fake_platform)

# Cross build of the 32-bit Windows deliverables with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORVALIS_MINGW i686-w64-mingw32)
set(ORVALIS_ARCH_NAME x86)
set(ORVALIS_WIDL_ARCH --win32)
set(ORVALIS_WINE_DLL_DIR /usr/lib/i386-linux-gnu/wine/i386-windows)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Cross build of the 64-bit Windows deliverables with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORVALIS_MINGW x86_64-w64-mingw32)
set(ORVALIS_ARCH_NAME x64)
set(ORVALIS_WIDL_ARCH --win64)
set(ORVALIS_WINE_DLL_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

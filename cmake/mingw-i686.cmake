# Cross build of the 32-bit Windows deliverables with mingw-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Every test program built here runs under Wine, in the 32-bit prefix the test scripts prepare.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env ORVALIS_ARCH=x86 ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
# The type library step: widl for this target and Wine's stdole2.tlb of the same architecture.
set(ORVALIS_WIDL_PROGRAM i686-w64-mingw32-widl)
set(ORVALIS_WIDL_ARCH --win32)
set(ORVALIS_WINE_DLL_DIR /usr/lib/i386-linux-gnu/wine/i386-windows)

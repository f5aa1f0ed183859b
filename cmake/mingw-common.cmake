# What both mingw-w64 cross builds share; the including toolchain file sets ORVALIS_MINGW
# (the target triple), ORVALIS_ARCH_NAME (x86 or x64), ORVALIS_WIDL_ARCH and ORVALIS_WINE_DLL_DIR.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${ORVALIS_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVALIS_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVALIS_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ORVALIS_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Every test program built here runs under Wine, in the prefix of this architecture that the
# test scripts prepare.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env ORVALIS_ARCH=${ORVALIS_ARCH_NAME} ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
# The type library step: widl for this target and Wine's stdole2.tlb of the same architecture.
set(ORVALIS_WIDL_PROGRAM ${ORVALIS_MINGW}-widl)

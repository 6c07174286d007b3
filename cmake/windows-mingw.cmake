# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (posix threads) against the
# libraries that scripts/windows-toolchain.sh builds into its cache. Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZORBEL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZORBEL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZORBEL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ZORBEL_MINGW}-windres)

if(DEFINED ENV{ZORBEL_WINCROSS})
    set(ZORBEL_WINCROSS "$ENV{ZORBEL_WINCROSS}" CACHE PATH "Cache of the Windows libraries")
else()
    set(ZORBEL_WINCROSS /var/tmp/zorbel-wincross CACHE PATH "Cache of the Windows libraries")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${ZORBEL_MINGW}
    ${ZORBEL_WINCROSS}/qt ${ZORBEL_WINCROSS}/curl ${ZORBEL_WINCROSS}/sodium
    ${ZORBEL_WINCROSS}/openssl ${ZORBEL_WINCROSS}/httplib)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_PREFIX_PATH ${ZORBEL_WINCROSS}/qt)

set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
# The folders whose DLLs the programs load, as Wine wants them in WINEPATH.
set(ZORBEL_WINDOWS_DLL_DIRS
    ${ZORBEL_WINCROSS}/qt/bin ${ZORBEL_WINCROSS}/curl/bin ${ZORBEL_WINCROSS}/sodium/bin
    /usr/lib/gcc/${ZORBEL_MINGW}/12-posix /usr/${ZORBEL_MINGW}/lib)

# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, which
# C++ threads and Qt need). VARNOLT_WINDOWS_PREFIX is where scripts/windows installed the
# static Qt, libcurl, SQLite and http-parser.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

if(NOT VARNOLT_WINDOWS_PREFIX AND DEFINED ENV{VARNOLT_WINDOWS_PREFIX})
    set(VARNOLT_WINDOWS_PREFIX $ENV{VARNOLT_WINDOWS_PREFIX})
endif()
# Try-compiles run with a copy of this file only: hand the prefix on to them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VARNOLT_WINDOWS_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${VARNOLT_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One file per program: the C and C++ runtimes and winpthread are linked in, so nothing but
# Windows' own DLLs has to sit beside the program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# zlib's import library would make the program need zlib1.dll.
set(ZLIB_LIBRARY /usr/${triple}/lib/libz.a CACHE FILEPATH "")
set(ZLIB_INCLUDE_DIR /usr/${triple}/include CACHE PATH "")

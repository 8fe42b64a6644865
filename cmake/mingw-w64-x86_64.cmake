# Cross-compiling for 64-bit Windows with Debian's mingw-w64, posix thread model.
# The posix variants are named here rather than chosen through update-alternatives,
# so the machine's default mingw compilers stay as they are.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(GLYPHORA_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${GLYPHORA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GLYPHORA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${GLYPHORA_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${GLYPHORA_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${GLYPHORA_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")

# Headers and libraries come from the mingw sysroot (and whatever prefixes the
# caller adds), never from the Linux host; programs run at build time are host ones.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${GLYPHORA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

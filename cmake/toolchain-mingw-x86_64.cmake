# Cross-compiles the Windows library with MinGW-w64 for x86_64.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VELTO_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# Cross-compiles the Windows library with MinGW-w64 for i686.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VELTO_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

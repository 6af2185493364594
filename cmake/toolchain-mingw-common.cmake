# The MinGW-w64 cross-compilation settings shared by both Windows targets;
# each toolchain file sets VELTO_MINGW_TRIPLET and CMAKE_SYSTEM_PROCESSOR
# and includes this one.
# The "-posix" compilers use the winpthreads threading model, which gives the
# full C++ threading library; it is linked statically, like the compiler's
# own runtime, so the DLL needs nothing but system DLLs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VELTO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELTO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VELTO_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELTO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

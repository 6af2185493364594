// The Windows headers for the platform layer. They define macros for the
// ANSI/wide pairs of their services, and some of those names are also the
// names of our own platform functions; the macros are dropped here so that
// both keep their own names.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#undef GetCurrentDirectory
#undef GetProfileString
#undef GetProfileInt
#undef WriteProfileString

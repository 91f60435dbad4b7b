// Win32-specific implementation detail of the platform layer: it must contain
// only Win32-specific code.
//
// The one way the Win32 files take in <windows.h>: without the min and max
// macros, and without the macros that would rename the platform layer's own
// functions (<windows.h> maps ReplaceFile to ReplaceFileA or ReplaceFileW).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#undef ReplaceFile

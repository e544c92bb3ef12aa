// What the Windows SDK's headers define for every compilation and MinGW-w64's do not: compiling
// the Windows sources once with this header forced in makes a name that collides with one of them
// fail on Linux, not first under MSVC on a Windows runner.
#pragma once

// rpcndr.h (through shlobj.h, objbase.h, ole2.h); MinGW-w64 defines it for the resource compiler
// only. A variable named `small` reads as `char`.
#define small char
// specstrings.h, SAL 1 annotations that MinGW-w64's sal.h does not have.
#define __reserved
#define __callback

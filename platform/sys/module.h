// Loading optional libraries at run time (dlopen). Symbols of a loaded library stay local to it.
#pragma once

#include "platform/sys/types.h"

struct HostModule;
using HMODULE = HostModule*;
using FARPROC = void (*)();

// Null when the library cannot be loaded.
HMODULE LoadLibraryA(const char* path);
// Non-zero on success.
BOOL FreeLibrary(HMODULE module);
// Null when the symbol is missing or the module is null.
FARPROC GetProcAddress(HMODULE module, const char* name);

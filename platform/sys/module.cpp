#include "platform/sys/module.h"

#include <dlfcn.h>

HMODULE LoadLibraryA(const char* path) {
  if (!path || !*path) return nullptr;
  return static_cast<HMODULE>(dlopen(path, RTLD_NOW | RTLD_LOCAL));
}

BOOL FreeLibrary(HMODULE module) {
  if (!module) return FALSE;
  return dlclose(module) == 0 ? TRUE : FALSE;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  if (!module || !name) return nullptr;
  return reinterpret_cast<FARPROC>(dlsym(module, name));
}
